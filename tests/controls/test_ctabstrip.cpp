// The tab strip: events only on user selection, the display area, independent instances.
#include "ui/controls/cTabStrip.h"

#include <QtTest>
#include <QWidget>

class TestCTabStrip : public QObject {
    Q_OBJECT

    struct Strip {
        QWidget box;
        cTabStrip strip;
        QStringList events;
        explicit Strip(QWidget* parent)
            : box(parent)
        {
            box.setGeometry(10, 20, 300, 200);
            strip.setPictureBox(&box);
            strip.TabsAdd(0, QStringLiteral("バックアップ"));
            strip.TabsAdd(1, QStringLiteral("リストア"));
            QObject::connect(&strip, &cTabStrip::Click, [this] { events << QStringLiteral("Click"); });
        }
        void clickTab(int index)
        {
            QTabBar* bar = strip.tabBar();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        }
    };

    QWidget window;

private slots:
    void initTestCase()
    {
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    void userClick_raisesClick()
    {
        Strip s(&window);
        s.box.show();
        QCOMPARE(s.strip.TabsCount(), 2);
        QCOMPARE(s.strip.SelectedItem(), 1);
        s.clickTab(1);
        QCOMPARE(s.events, QStringList{QStringLiteral("Click")});
        QCOMPARE(s.strip.SelectedItem(), 2);
    }

    void programSelection_raisesNothing()
    {
        Strip s(&window);
        s.strip.setSelectedItem(2);
        QCOMPARE(s.strip.SelectedItem(), 2);
        s.strip.setSelectedItem(1);
        s.strip.setSelectedItem(7);  // out of range: ignored
        QCOMPARE(s.strip.SelectedItem(), 1);
        QVERIFY(s.events.isEmpty());
    }

    void clientArea_followsTheContainer()
    {
        Strip s(&window);
        s.box.show();
        const int strip = s.strip.tabBar()->height();
        QVERIFY(strip > 0);
        QCOMPARE(QRect(s.strip.ClientLeft(), s.strip.ClientTop(), s.strip.ClientWidth(), s.strip.ClientHeight()),
                 QRect(10, 20 + strip, 300, 200 - strip));
        s.box.setGeometry(30, 40, 250, 150);
        QCOMPARE(QRect(s.strip.ClientLeft(), s.strip.ClientTop(), s.strip.ClientWidth(), s.strip.ClientHeight()),
                 QRect(30, 40 + strip, 250, 150 - strip));
        QCOMPARE(s.strip.tabBar()->width(), 250);
    }

};

QTEST_MAIN(TestCTabStrip)
#include "test_ctabstrip.moc"
