// The tab strip: events only on user selection, the display area.
#include "ui/controls/cTabStrip.h"

#include <QWidget>
#include <QtTest>

class TestCTabStrip : public QObject {
    Q_OBJECT

private slots:
    // A click on a tab raises Click; a selection by the program raises nothing and ignores an
    // index out of range; the display area is the container's below the tabs and follows it.
    void selectionAndClientArea()
    {
        QWidget window;
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget box(&window);
        box.setGeometry(10, 20, 300, 200);
        box.show();
        cTabStrip strip;
        strip.setPictureBox(&box);
        strip.TabsAdd(0, QStringLiteral("バックアップ"));
        strip.TabsAdd(1, QStringLiteral("リストア"));
        int clicks = 0;
        QObject::connect(&strip, &cTabStrip::Click, [&clicks] { ++clicks; });
        QCOMPARE(strip.SelectedItem(), 1);
        QTest::mouseClick(strip.tabBar(), Qt::LeftButton, {}, strip.tabBar()->tabRect(1).center());
        QVERIFY(clicks == 1 && strip.SelectedItem() == 2);
        strip.setSelectedItem(1);
        strip.setSelectedItem(7); // out of range: ignored
        QVERIFY(clicks == 1 && strip.SelectedItem() == 1);

        const int tabs = strip.tabBar()->height();
        QVERIFY(tabs > 0);
        const auto client = [&] {
            return QRect(strip.ClientLeft(), strip.ClientTop(), strip.ClientWidth(), strip.ClientHeight());
        };
        QCOMPARE(client(), QRect(10, 20 + tabs, 300, 200 - tabs));
        box.setGeometry(30, 40, 250, 150);
        QCOMPARE(client(), QRect(30, 40 + tabs, 250, 150 - tabs));
        QCOMPARE(strip.tabBar()->width(), 250);
    }
};

QTEST_MAIN(TestCTabStrip)
#include "test_ctabstrip.moc"
