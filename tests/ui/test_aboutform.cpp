// The about box: the fold-out, the contact labels' clipboard copies, one modeless box.
#include "app/ContactInfo.h"
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

    void foldsOutAndBack()
    {
        QCOMPARE(box()->height(), 296); // 4440 twips
        QCOMPARE(button("BtnMoreInfo")->text(), QStringLiteral("▼"));
        QTest::mouseClick(button("BtnMoreInfo"), Qt::LeftButton);
        QCOMPARE(box()->height(), 443); // 6645 twips
        QCOMPARE(button("BtnMoreInfo")->text(), QStringLiteral("▲"));
        QVERIFY(box()->findChild<QWidget*>(QStringLiteral("FrmMoreInfo"))->isVisible());
        QTest::mouseClick(button("BtnMoreInfo"), Qt::LeftButton);
        QCOMPARE(box()->height(), 296);
        QCOMPARE(button("BtnMoreInfo")->text(), QStringLiteral("▼"));
    }

    void contactLabelsCopy_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<QString>("copied"); // empty: nothing copied, nothing said
        QTest::addColumn<QString>("message");
        const QString board = QStringLiteral("掲示板投稿用メールアドレスをクリップボードにコピーしました。");
        const QString home = QStringLiteral("サポートホームページＵＲＬをクリップボードにコピーしました。");
        const QString mail = QStringLiteral("メールアドレスをクリップボードにコピーしました。");
        QTest::newRow("board, double-click") << "LblBBS" << true << contact::kBoardAddress << board;
        QTest::newRow("board, single click") << "LblBBS" << false << QString() << QString();
        QTest::newRow("home page, single click") << "LblHome" << false << contact::kHomePageUrl << home;
        QTest::newRow("home page, double-click copies once") << "LblHome" << true << contact::kHomePageUrl << home;
        QTest::newRow("mail, double-click") << "LblMail" << true << contact::kAuthorAddress << mail;
        QTest::newRow("mail, single click") << "LblMail" << false << QString() << QString();
    }

    void contactLabelsCopy()
    {
        QFETCH(QString, label);
        QFETCH(bool, doubleClick);
        QFETCH(QString, copied);
        QFETCH(QString, message);
        auto* target = box()->findChild<QLabel*>(label);
        QTest::mouseClick(target, Qt::LeftButton);
        if (doubleClick)
            QTest::mouseDClick(target, Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), copied.isEmpty() ? QStringLiteral("before") : copied);
        QCOMPARE(tc->messages.texts(), copied.isEmpty() ? QStringList() : QStringList{message});
        if (!copied.isEmpty()) {
            QCOMPARE(tc->messages.shown[0].caption, QStringLiteral("Kennel 2001"));
            QCOMPARE(tc->messages.shown[0].icon, MsgIcon::Information);
        }
    }

    void oneModelessBoxThatOpensFolded()
    {
        showAboutForm(*main);
        QCOMPARE(main->findChildren<AboutForm*>().size(), 1);
        QVERIFY(!box()->isModal());
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        QTest::mouseClick(button("BtnMoreInfo"), Qt::LeftButton);
        QTest::keyClick(box(), Qt::Key_Escape); // closes as "閉　じ　る" does
        QTRY_VERIFY(!box());
        showAboutForm(*main);
        QCOMPARE(box()->height(), 296);
        QTest::mouseClick(button("BtnClose"), Qt::LeftButton);
        QTRY_VERIFY(!box());
    }
};

QTEST_MAIN(TestAboutForm)
#include "test_aboutform.moc"
