// The about box: the fold-out, the contact rows (copies, hidden when not configured), the
// version and licence, one modeless box.
#include "ports/LogFile.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"
#include "ui/main/AboutForm.h"
#include "backup/UnlhaLibrary.h"
#include "ui/main/MainForm.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(buildconfig::Contacts)

class TestAboutForm : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<TestContext> tc;
    UnlhaLibrary library{UnlhaLibrary::Entries{}};
    std::unique_ptr<MainForm> main;

    const buildconfig::Contacts contacts{QStringLiteral("board@kennel.test"), QStringLiteral("https://kennel.test/"),
                                         QStringLiteral("保守担当"), QStringLiteral("author@kennel.test")};

    AboutForm* box() { return main->findChild<AboutForm*>(); }
    QPushButton* button(const char* name) { return box()->findChild<QPushButton*>(QLatin1String(name)); }

private slots:
    void init()
    {
        tc = std::make_unique<TestContext>(dir.path());
        main = std::make_unique<MainForm>(tc->session, library, InstanceLock::Held);
        main->show();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }

    void cleanup() { main.reset(); }

    void contactLabelsCopy_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<QString>("copied"); // empty: nothing copied, nothing said
        QTest::newRow("board, double-click") << "LblBBS" << true << contacts.boardAddress;
        QTest::newRow("board, single click") << "LblBBS" << false << QString();
        QTest::newRow("home page, single click") << "LblHome" << false << contacts.homePageUrl;
        QTest::newRow("mail, double-click") << "LblMail" << true << contacts.authorAddress;
    }

    void contactLabelsCopy()
    {
        QFETCH(QString, label);
        QFETCH(bool, doubleClick);
        QFETCH(QString, copied);
        (new AboutForm(tc->messages, contacts, main.get()))->show();
        auto* target = box()->findChild<QLabel*>(label);
        QTest::mouseClick(target, Qt::LeftButton);
        if (doubleClick)
            QTest::mouseDClick(target, Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), copied.isEmpty() ? QStringLiteral("before") : copied);
        QCOMPARE(tc->messages.shown.size(), copied.isEmpty() ? 0 : 1); // one confirmation for each copy
    }

    void rowsFollowTheConfiguredContacts_data()
    {
        QTest::addColumn<buildconfig::Contacts>("configured");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("all") << contacts << QStringList{"LblFrame", "LblAbout5", "LblBBS", "LblHome", "LblMail"};
        QTest::newRow("home page only") << buildconfig::Contacts{{}, contacts.homePageUrl, {}, {}}
                                        << QStringList{"LblFrame", "LblAbout5", "LblHome"};
        QTest::newRow("none") << buildconfig::Contacts{} << QStringList{};
    }
    void rowsFollowTheConfiguredContacts()
    {
        QFETCH(buildconfig::Contacts, configured);
        QFETCH(QStringList, shown);
        QTemporaryDir state; // with a log (as the program keeps one), its path has a row
        if (shown.isEmpty())
            logfile::start(state.filePath(QStringLiteral("kennel/kennel.log")), QStringLiteral("/host"));
        auto* about = new AboutForm(tc->messages, configured, main.get());
        about->show();
        QCOMPARE(about->findChild<QLabel*>("LblLog")->isVisible(), shown.isEmpty());
        tc->messages.fileError({QStringLiteral("/host/a（理由）")});
        logfile::start({}, {});
        QCOMPARE(hostfolder::read(state.filePath(QStringLiteral("kennel/kennel.log"))).contains(
                     "/host critical: ファイルエラーが発生しました。\n    /host/a（理由）\n"),
                 shown.isEmpty());
        for (const char* name : {"LblFrame", "LblAbout5", "LblBBS", "LblHome", "LblMail"})
            QCOMPARE(about->findChild<QLabel*>(name)->isVisible(), shown.contains(QLatin1String(name)));
        QCOMPARE(about->findChild<QLabel*>("LblAbout2")->text(), QStringLiteral("Kennel 2001 Ver.2.31"));
        QVERIFY(about->findChild<QLabel*>("LblLicense")->text().contains(QStringLiteral("MIT")));
        // Without contacts the buttons move up into the frame's place.
        QCOMPARE(about->findChild<QPushButton*>("BtnClose")->y() < 160, shown.isEmpty());
    }

    void oneModelessBoxThatOpensFolded()
    {
        main->MnuHelpAbout_Click();
        QCOMPARE(main->findChildren<AboutForm*>().size(), 1);
        QVERIFY(!box()->isModal());
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        const int folded = box()->height();
        QTest::mouseClick(button("BtnMoreInfo"), Qt::LeftButton);
        QVERIFY(box()->height() > folded);
        QVERIFY(box()->findChild<QWidget*>(QStringLiteral("FrmMoreInfo"))->isVisible());
        QTest::keyClick(box(), Qt::Key_Escape); // closes as "閉　じ　る" does
        QTRY_VERIFY(!box());
        main->MnuHelpAbout_Click();
        QCOMPARE(box()->height(), folded);
        QTest::mouseClick(button("BtnClose"), Qt::LeftButton);
        QTRY_VERIFY(!box());
    }
};

QTEST_MAIN(TestAboutForm)
#include "test_aboutform.moc"
