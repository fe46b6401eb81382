// The about box: the fold-out, the contact rows (copies, hidden when not configured), the
// log's row, one modeless box.
#include "ports/LogFile.h"
#include "tests/support/HostTest.h"
#include "ui/main/AboutForm.h"
#include "ui/main/MainForm.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestAboutForm : public HostTest {
    Q_OBJECT

    std::unique_ptr<MainForm> main;
    const buildconfig::Contacts contacts{QStringLiteral("board@kennel.test"), QStringLiteral("https://kennel.test/"),
                                         QStringLiteral("保守担当"), QStringLiteral("author@kennel.test")};

    AboutForm* box() { return main->findChild<AboutForm*>(); }
    AboutForm* open(const buildconfig::Contacts& configured)
    {
        auto* about = new AboutForm(tc->messages, configured, main.get());
        about->show();
        return about;
    }

private slots:
    void init()
    {
        newHost();
        main = std::make_unique<MainForm>(session(), library(), InstanceLock::Held);
        main->show();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }
    void cleanup() { main.reset(); }

    // Each contact is copied by the click its row takes, with one confirmation for each copy.
    void contactLabelsCopy()
    {
        const std::tuple<const char*, bool, QString> cases[] = {{"LblBBS", false, {}},
                                                               {"LblBBS", true, contacts.boardAddress},
                                                               {"LblHome", false, contacts.homePageUrl},
                                                               {"LblMail", true, contacts.authorAddress}};
        int copies = 0;
        for (const auto& [label, doubleClick, copied] : cases) {
            auto* target = open(contacts)->findChild<QLabel*>(QLatin1String(label));
            QTest::mouseClick(target, Qt::LeftButton);
            if (doubleClick)
                QTest::mouseDClick(target, Qt::LeftButton);
            copies += !copied.isEmpty();
            QCOMPARE(QGuiApplication::clipboard()->text(), copied.isEmpty() ? QStringLiteral("before") : copied);
            QCOMPARE(tc->messages.shown.size(), copies);
            delete target->window();
        }
    }

    // Rows of contacts not configured are hidden; without any, the log's path has a row (what
    // the log holds is read in the end-to-end start-up refusals).
    void rowsFollowTheConfiguredContacts()
    {
        const QStringList rows{"LblFrame", "LblAbout5", "LblBBS", "LblHome", "LblMail"};
        const std::pair<buildconfig::Contacts, QStringList> cases[] = {
            {contacts, rows}, {{{}, contacts.homePageUrl, {}, {}}, {"LblFrame", "LblAbout5", "LblHome"}}, {{}, {}}};
        for (const auto& [configured, shown] : cases) {
            if (shown.isEmpty())
                logfile::start(root() + QStringLiteral("/state/kennel.log"), QStringLiteral("/host"));
            AboutForm* about = open(configured);
            QCOMPARE(about->findChild<QLabel*>("LblLog")->isVisible(), shown.isEmpty());
            logfile::start({}, {});
            for (const QString& name : rows)
                QCOMPARE(about->findChild<QLabel*>(name)->isVisible(), shown.contains(name));
            delete about;
        }
    }

    void oneModelessBoxThatOpensFolded()
    {
        main->MnuHelpAbout_Click();
        QCOMPARE(main->findChildren<AboutForm*>().size(), 1);
        QVERIFY(!box()->isModal() && !QApplication::activeModalWidget());
        const int folded = box()->height();
        QTest::mouseClick(box()->findChild<QPushButton*>(QStringLiteral("BtnMoreInfo")), Qt::LeftButton);
        QVERIFY(box()->height() > folded && box()->findChild<QWidget*>(QStringLiteral("FrmMoreInfo"))->isVisible());
        QTest::keyClick(box(), Qt::Key_Escape); // closes as "閉　じ　る" does
        QTRY_VERIFY(!box());
        main->MnuHelpAbout_Click();
        QCOMPARE(box()->height(), folded);
        QTest::mouseClick(box()->findChild<QPushButton*>(QStringLiteral("BtnClose")), Qt::LeftButton);
        QTRY_VERIFY(!box());
    }
};

QTEST_MAIN(TestAboutForm)
#include "test_aboutform.moc"
