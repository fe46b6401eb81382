// The about box: the fold-out, the contact labels' clipboard copies, one modeless box.
#include "ui/main/ContactInfo.h"
#include "tests/support/TestPorts.h"
#include "ui/main/AboutForm.h"
#include "ui/main/Commands.h"
#include "ui/main/MainForm.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestAboutForm : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<TestContext> tc;
    std::unique_ptr<MainForm> main;

    AboutForm* box() { return main->findChild<AboutForm*>(); }
    QPushButton* button(const char* name) { return box()->findChild<QPushButton*>(QLatin1String(name)); }

private slots:
    void init()
    {
        tc = std::make_unique<TestContext>(dir.path());
        main = std::make_unique<MainForm>(tc->ctx, true);
        main->show();
        showAboutForm(*main);
        QVERIFY(QTest::qWaitForWindowExposed(box()));
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }

    void cleanup() { main.reset(); }

    void contactLabelsCopy_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<QString>("copied"); // empty: nothing copied, nothing said
        QTest::newRow("board, double-click") << "LblBBS" << true << contact::kBoardAddress;
        QTest::newRow("board, single click") << "LblBBS" << false << QString();
        QTest::newRow("home page, single click") << "LblHome" << false << contact::kHomePageUrl;
        QTest::newRow("mail, double-click") << "LblMail" << true << contact::kAuthorAddress;
    }

    void contactLabelsCopy()
    {
        QFETCH(QString, label);
        QFETCH(bool, doubleClick);
        QFETCH(QString, copied);
        auto* target = box()->findChild<QLabel*>(label);
        QTest::mouseClick(target, Qt::LeftButton);
        if (doubleClick)
            QTest::mouseDClick(target, Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), copied.isEmpty() ? QStringLiteral("before") : copied);
        QCOMPARE(tc->messages.shown.size(), copied.isEmpty() ? 0 : 1); // one confirmation for each copy
    }

    void oneModelessBoxThatOpensFolded()
    {
        showAboutForm(*main);
        QCOMPARE(main->findChildren<AboutForm*>().size(), 1);
        QVERIFY(!box()->isModal());
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        const int folded = box()->height();
        QTest::mouseClick(button("BtnMoreInfo"), Qt::LeftButton);
        QVERIFY(box()->height() > folded);
        QVERIFY(box()->findChild<QWidget*>(QStringLiteral("FrmMoreInfo"))->isVisible());
        QTest::keyClick(box(), Qt::Key_Escape); // closes as "閉　じ　る" does
        QTRY_VERIFY(!box());
        showAboutForm(*main);
        QCOMPARE(box()->height(), folded);
        QTest::mouseClick(button("BtnClose"), Qt::LeftButton);
        QTRY_VERIFY(!box());
    }
};

QTEST_MAIN(TestAboutForm)
#include "test_aboutform.moc"
