// Host launch, the wait and the bring-home command (reached through the tray and the TaskTray
// window in test_e2e_wine). The test itself plays the clock, the windows and the host's
// process, logging into one list, so that each test can check the order of what happened.
#include "backup/UnlhaLibrary.h"
#include "registry/Texts.h"
#include "tests/support/HostTest.h"
#include "app/HostLaunch.h"
#include "ui/main/MainForm.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestHostLaunch : public HostTest, ClockPort, WindowPort, ProcessPort, LaunchView {
    Q_OBJECT

    std::unique_ptr<HostLauncher> launcher;
    int trays = 0;         // shown and not removed
    QString fault;         // what goes wrong in this test
    int clicks = 0;        // on the tray command while the host runs
    QStringList log;       // what the program did to the fakes; "unmarked": DateShifted was not set
    int days = 0;          // where the fake date stands
    int receivingLeft = 0; // looks that still find "メールを受信中"
    bool running = false;

    bool shiftDate(int d) override
    {
        const bool fail = fault == (d > 0 ? "forward refused" : "back refused");
        log << QStringLiteral("shift %1%2").arg(d > 0 ? "+" : "").arg(d) + (fail ? " refused" : "");
        days += fail ? 0 : d;
        return !fail;
    }
    QString lastError() const override { return QStringLiteral("権限がありません。"); }
    QStringList hostEnvironment() override { return {QStringLiteral("DATE=host")}; }
    void wait(int ms) override
    {
        log << QStringLiteral("wait %1").arg(ms) + (launcher->dateShifted() ? "" : " unmarked");
        if (ms == 3000 && fault == "clicked twice")
            launcher->MnuTrayReturn_Click(); // ignored: the first run is still under way
    }
    bool windowExists(const QString& title) override
    {
        if (title != texts::kReceivingTitle)
            return fault != "no window";
        log << "look";
        return receivingLeft-- > 0;
    }
    bool activateWindow(const QString&) override
    {
        log << "activate";
        return fault != "no window";
    }
    bool sendAltFThenM() override
    {
        log << QStringLiteral("keys") + (launcher->dateShifted() ? "" : " unmarked");
        receivingLeft = 2;
        running = fault != "host ends";
        return true;
    }
    HostRun runAndWait(const QString&, const QString& folder, const QStringList& environment) override
    {
        log << "start " + folder + ' ' + environment.join(' ');
        if (fault == "cannot start")
            return {false, 0, QStringLiteral("理由")};
        running = true;
        if (fault == "fails after its window showed")
            QTest::qWait(400); // the launch looks for the host's window meanwhile
        for (int i = 0; i < clicks; ++i) {
            launcher->MnuTrayReturn_Click();
            fault.remove(QStringLiteral("back refused")); // the retry at the host's end succeeds
        }
        running = false;
        return {true, fault.startsWith("fails") ? 3 : 0, {}};
    }
    bool isRunning() const override { return running; }
    QString whyNotStartable(const QString&) const override { return {}; } // no Wine: test_e2e_wine
    void hideAllWindows() override { log << "hide"; }
    void restoreWindows() override { log << "restore"; }
    void TrayAdd() override { ++trays; }
    void TrayRemove() override { --trays; }
    void launch() { launcher->LaunchHost(*this); }

private slots:
    void init()
    {
        newHost();
        hostfolder::makeHost(host(), QStringLiteral("A"));
        hostfolder::makeHost(host() + QStringLiteral("/Default"), QStringLiteral("T"));
        ctx().windows = *this;
        ctx().clock = *this;
        ctx().process = *this;
        launcher = std::make_unique<HostLauncher>(session());
        log.clear();
        fault.clear();
        clicks = days = trays = 0;
    }

    // Where the host did not run, the program goes on with its windows back and nothing
    // stored; a host that ended at once may have written its places: they are stored before
    // anything replaces them.
    void launch_hostDidNotRun_data()
    {
        QTest::addColumn<QString>("goesWrong");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<bool>("unstored");
        QTest::newRow("no executable") << "no executable" << "" << QStringList{kMsgHostMissing} << false;
        QTest::newRow("start refused") << "cannot start" << "hide,start,restore"
                                       << QStringList{kMsgHostNotStarted + QStringLiteral("\n理由")} << false;
        QTest::newRow("ends before its window shows")
            << "fails at once" << "hide,start,restore" << QStringList{kMsgHostEndedAtOnce.arg(3)} << true;
    }
    void launch_hostDidNotRun()
    {
        QFETCH(QString, goesWrong);
        fault = goesWrong;
        table().CurrentUser = table().MaxUser = 0;
        if (fault == "no executable")
            QFile::remove(host() + QStringLiteral("/Mewmail20.exe"));
        launch(); // returns: the program goes on
        QTEST(log.join(',').remove(QRegularExpression(" [^,]*")), "steps");
        QTEST(tc->messages.fullTexts(), "told");
        QTEST(session().currentUnstored(), "unstored");
        QCOMPARE(trays, 0);
    }

    // The host runs in the program folder and the tray command is clicked while it runs.
    // However a step fails, the date ends where it started and the program ends.
    void trayReturn_data()
    {
        QTest::addColumn<QString>("goesWrong");
        QTest::addColumn<int>("trayClicks");
        QTest::addColumn<QString>("steps"); // from the first click on
        QTest::addColumn<QStringList>("told");
        const QString home = "activate,shift +1,keys,look,look,wait 50,look,wait 3000,shift -1";
        const QString denied = QStringLiteral("\n権限がありません。");
        QTest::newRow("no host window: date untouched")
            << "no window" << 1 << "activate" << QStringList{kMsgHostWindowMissing};
        QTest::newRow("date not movable: no keys, never moved back")
            << "forward refused" << 1 << "activate,shift +1 refused" << QStringList{kMsgDateNotShifted + denied};
        QTest::newRow("date not put back: clicked again refused, retried when the host ends")
            << "back refused" << 2 << home + " refused,shift -1"
            << QStringList{kMsgDateNotRestored + denied, kMsgDateNotRestored};
        QTest::newRow("host ends at the keys: no waiting")
            << "host ends" << 1 << "activate,shift +1,keys,shift -1" << QStringList();
        QTest::newRow("brings home; clicked again: during the wait ignored, afterwards runs again")
            << "clicked twice" << 2 << home + ',' + home << QStringList();
        QTest::newRow("host fails after its window showed: ends all the same")
            << "fails after its window showed" << 0 << "" << QStringList();
    }

    void trayReturn()
    {
        QFETCH(QString, goesWrong);
        QFETCH(int, trayClicks);
        QFETCH(QString, steps);
        fault = goesWrong;
        clicks = trayClicks;
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, launch());
        QCOMPARE(log.join(','), "hide,start " + host() + " DATE=host" + (steps.isEmpty() ? "" : ',' + steps));
        QTEST(tc->messages.fullTexts(), "told");
        QCOMPARE(days, 0);
    }

    void btnLaunch_paths_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("maxUser");
        QTest::addColumn<QString>("button"); // pressed in NewForm; empty: no dialog expected
        QTest::addColumn<bool>("started");
        QTest::newRow("registered pet, full table") << "ミケ" << 99 << "" << true; // launched: test_e2e_wine
        QTest::newRow("new pet, full table") << texts::kNewPetEntry << 99 << "" << false;
        QTest::newRow("new pet cancelled") << texts::kNewPetEntry << 0 << "BtnNewNO" << false;
        QTest::newRow("new pet registered in the last place") << texts::kNewPetEntry << 98 << "BtnNewPet" << true;
    }

    void btnLaunch_paths()
    {
        QFETCH(QString, selected);
        QFETCH(int, maxUser);
        QFETCH(QString, button);
        QFETCH(bool, started);
        UnlhaLibrary library{UnlhaLibrary::Entries{}};
        MainForm main(session(), library, InstanceLock::Held);
        table().MaxUser = maxUser;
        table().Pet[0] = QStringLiteral("ミケ");
        table().CurrentUser = selected == texts::kNewPetEntry ? -1 : 0;
        session().setRegistryLoaded(true);
        main.showPets();
        bool dialog = false;
        QTimer poll; // the dialog opens inside BtnLaunch_Click
        connect(&poll, &QTimer::timeout, this, [&] {
            if (QWidget* w = QApplication::activeModalWidget(); w && !std::exchange(dialog, true)) {
                for (const auto& [box, text] : {std::pair("TxtNewPet", "タマ"), std::pair("TxtNewMaster", "花子")})
                    w->findChild<QLineEdit*>(QLatin1String(box))->setText(QString::fromUtf8(text));
                w->findChild<QPushButton*>(button.isEmpty() ? QStringLiteral("BtnNewNO") : button)->click();
            }
        });
        poll.start(10);
        if (started) // the program ends with the host
            QVERIFY_THROWS_EXCEPTION(ProgramEnded, main.BtnLaunch_Click());
        else
            main.BtnLaunch_Click();
        QCOMPARE(log.size(), started ? 1 : 0);
        QCOMPARE(dialog, !button.isEmpty());
        QCOMPARE(tc->messages.fullTexts(), maxUser == 99 && !started ? QStringList{texts::kMsgTooManyPets} : QStringList{});
        QVERIFY(!main.isBusy()); // never left busy
    }
};

QTEST_MAIN(TestHostLaunch)
#include "test_hostlaunch.moc"
