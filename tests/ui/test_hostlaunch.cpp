// Host launch, the wait in the tray and the bring-home command, with a fake clock, fake
// windows and a fake host process.
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"
#include "tests/ui/DialogDriver.h"
#include "tests/ui/LaunchFakes.h"
#include "ui/main/Commands.h"
#include "ui/main/HostLaunch.h"
#include "ui/main/MainForm.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestHostLaunch : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QStringList log;
    std::unique_ptr<TestContext> tc;
    std::unique_ptr<FakeClock> clock;
    std::unique_ptr<FakeWindows> windows;
    std::unique_ptr<FakeProcess> process;
    LaunchServices services;
    bool hidden = false;

    Context& ctx() { return tc->ctx; }

    // Runs LaunchHost and returns the exit code it ended with, or -1 when it returned.
    int launch()
    {
        try {
            LaunchHost(ctx(), services, [this] {
                hidden = true;
                log << QStringLiteral("hide");
            });
        } catch (const ProgramEnded& end) {
            log << QStringLiteral("end");
            return end.code;
        }
        return -1;
    }

private slots:
    void init()
    {
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        hostfolder::makeHost(dir.path(), QStringLiteral("A"));
        log.clear();
        hidden = false;
        tc = std::make_unique<TestContext>(dir.path());
        clock = std::make_unique<FakeClock>(log);
        windows = std::make_unique<FakeWindows>(log);
        process = std::make_unique<FakeProcess>(log);
        ctx().windows = windows.get();
        services = LaunchServices{};
        services.clock = clock.get();
        services.process = process.get();
        launchServices() = services;
    }

    void cleanup() { launchServices() = LaunchServices{}; }

    // ---- LaunchHost ---------------------------------------------------------------------

    void launch_missingHost_tellsAndKeepsRunning()
    {
        QFile::remove(dir.path() + QStringLiteral("/Mewmail20.exe"));
        QCOMPARE(launch(), -1);
        QCOMPARE(tc->messages.texts(), QStringList{kMsgHostMissing});
        QCOMPARE(tc->messages.shown.first().icon, MsgIcon::Critical);
        QVERIFY(log.isEmpty());  // nothing hidden, nothing started
    }

    void launch_runsHostFromProgramFolderThenEnds()
    {
        QCOMPARE(launch(), 0);
        QCOMPARE(log, (QStringList{"hide", "start", "ended", "end"}));
        QCOMPARE(process->program, dir.path() + QStringLiteral("/Mewmail20.exe"));
        QCOMPARE(process->folder, dir.path());
        QVERIFY(tc->messages.shown.isEmpty());
        QCOMPARE(clock->offsetDays, 0);
    }

    void launch_hostThatCannotStart_endsSilently()
    {
        process->startFails = true;
        QCOMPARE(launch(), 0);
        QCOMPARE(log, (QStringList{"hide", "start", "end"}));
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void launch_hostEndsWhileDateShifted_putsDateBackOnce()
    {
        // The date moved forward, and the host ended before the command could move it back.
        process->whileRunning = [this] {
            clock->shiftDate(+1);
            ctx().DateShifted = true;
        };
        QCOMPARE(launch(), 0);
        QCOMPARE(clock->offsetDays, 0);
        QCOMPARE(log.filter(QStringLiteral("shift")), (QStringList{"shift +1", "shift -1"}));
        QVERIFY(!ctx().DateShifted);
    }

    void launch_dateThatCannotBePutBack_isTold()
    {
        process->whileRunning = [this] {
            clock->shiftDate(+1);
            ctx().DateShifted = true;
        };
        clock->failBack = true;
        QCOMPARE(launch(), 0);
        QCOMPARE(tc->messages.shown.size(), 1);
        QVERIFY(tc->messages.shown.first().text.startsWith(kMsgDateNotRestored));
    }

    void launch_trayMenuCarriesBringHome()
    {
        HostTray tray(ctx(), services);
        QCOMPARE(tray.MnuTray->objectName(), QStringLiteral("MnuTray"));
        QCOMPARE(tray.MnuTrayReturn->objectName(), QStringLiteral("MnuTrayReturn"));
        QCOMPARE(tray.MnuTrayReturn->text(), QStringLiteral("ﾍﾟｯﾄを強制帰宅"));
        QCOMPARE(tray.MnuTray->actions().size(), 1);
        // Without a tray (offscreen) the icon stays away and nothing fails.
        tray.TrayAdd();
        QCOMPARE(tray.iconShown(), QSystemTrayIcon::isSystemTrayAvailable());
        tray.TrayRemove();
        QVERIFY(!tray.iconShown());
    }

    // ---- MnuTrayReturn_Click ------------------------------------------------------------

    void trayReturn_runsTheSequence()
    {
        process->running = true;
        windows->receivingLooks = 2;
        bool shiftedWhileKeys = false;
        windows->onKeys = [&] { shiftedWhileKeys = ctx().DateShifted && clock->offsetDays == 1; };
        MnuTrayReturn_Click(ctx(), services);
        QCOMPARE(log, (QStringList{"activate Mewmail for Windows ver. 2.0", "shift +1", "keys", "look",
                                   "look", "wait 50", "look", "wait 3000", "shift -1"}));
        QVERIFY(shiftedWhileKeys);
        QVERIFY(!ctx().DateShifted);
        QCOMPARE(clock->offsetDays, 0);
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void trayReturn_receivingWindowNeverShows_waitsAMomentOnly()
    {
        process->running = true;
        windows->receivingLooks = 0;
        MnuTrayReturn_Click(ctx(), services);
        QCOMPARE(log.count(QStringLiteral("wait 50")), 40);  // two seconds of looking
        QCOMPARE(log.last(), QStringLiteral("shift -1"));
        QCOMPARE(clock->offsetDays, 0);
    }

    void trayReturn_dateMovedFlagTrueFromTheShiftOn()
    {
        process->running = true;
        QList<bool> flags;
        clock->onWait = [&](int) { flags << ctx().DateShifted; };
        windows->receivingLooks = 2;
        MnuTrayReturn_Click(ctx(), services);
        QCOMPARE(flags, (QList<bool>{true, true}));
    }

    void trayReturn_dateNotMovable_tellsAndNeverMovesBack()
    {
        process->running = true;
        clock->failForward = true;
        MnuTrayReturn_Click(ctx(), services);
        QCOMPARE(log, (QStringList{"activate Mewmail for Windows ver. 2.0", "shift +1 refused"}));
        QVERIFY(!ctx().DateShifted);
        QCOMPARE(tc->messages.shown.size(), 1);
        QVERIFY(tc->messages.shown.first().text.startsWith(kMsgDateNotShifted));
        QVERIFY(tc->messages.shown.first().text.contains(clock->lastError()));
        QCOMPARE(tc->messages.shown.first().icon, MsgIcon::Critical);
    }

    void trayReturn_noHostWindow_leavesDateAndKeysAlone()
    {
        process->running = true;
        windows->hostWindow = false;
        MnuTrayReturn_Click(ctx(), services);
        QCOMPARE(log, QStringList{"activate Mewmail for Windows ver. 2.0"});
        QCOMPARE(tc->messages.texts(), QStringList{kMsgHostWindowMissing});
        ctx().windows = nullptr;  // no display at all
        MnuTrayReturn_Click(ctx(), services);
        QCOMPARE(clock->offsetDays, 0);
        QCOMPARE(tc->messages.shown.size(), 2);
    }

    void trayReturn_dateNotMovedBack_leftForTheEndOfTheRun()
    {
        process->whileRunning = [this] {
            clock->failBack = true;
            MnuTrayReturn_Click(ctx(), services);
            QVERIFY(ctx().DateShifted);
            clock->failBack = false;
        };
        QCOMPARE(launch(), 0);
        QCOMPARE(clock->offsetDays, 0);
        QVERIFY(!ctx().DateShifted);
        QCOMPARE(log.filter(QStringLiteral("shift")),
                 (QStringList{"shift +1", "shift -1 refused", "shift -1"}));
        QCOMPARE(tc->messages.shown.size(), 1);  // the refused move back, told once
    }

    void trayReturn_hostEndsMidway_stopsWaitingAndPutsDateBack()
    {
        process->running = true;
        windows->receivingLooks = 100;
        windows->onKeys = [this] { process->running = false; };
        MnuTrayReturn_Click(ctx(), services);
        QVERIFY(!log.contains(QStringLiteral("wait 3000")));
        QCOMPARE(log.last(), QStringLiteral("shift -1"));
        QCOMPARE(clock->offsetDays, 0);
        QVERIFY(!ctx().DateShifted);
    }

    void trayReturn_secondClickWhileRunning_isIgnored()
    {
        process->running = true;
        clock->onWait = [this](int ms) {
            if (ms == 3000)
                MnuTrayReturn_Click(ctx(), services);  // the menu opened again meanwhile
        };
        MnuTrayReturn_Click(ctx(), services);
        QCOMPARE(log.filter(QStringLiteral("shift")), (QStringList{"shift +1", "shift -1"}));
        QCOMPARE(clock->offsetDays, 0);
        // Once finished, the command can run again.
        MnuTrayReturn_Click(ctx(), services);
        QCOMPARE(log.filter(QStringLiteral("shift")).size(), 4);
    }

    void trayReturn_fromTheTrayMenuDuringTheRun()
    {
        process->whileRunning = [this] {
            // The user picks "ﾍﾟｯﾄを強制帰宅" while the host runs.
            const auto menus = QApplication::allWidgets();
            QMenu* tray = nullptr;
            for (QWidget* w : menus)
                if (w->objectName() == QStringLiteral("MnuTray"))
                    tray = qobject_cast<QMenu*>(w);
            QVERIFY(tray);
            tray->actions().first()->trigger();
        };
        QCOMPARE(launch(), 0);
        QCOMPARE(log.filter(QStringLiteral("shift")), (QStringList{"shift +1", "shift -1"}));
        QVERIFY(log.indexOf(QStringLiteral("keys")) < log.indexOf(QStringLiteral("ended")));
    }

    // ---- BtnLaunch_Click ----------------------------------------------------------------

    void btnLaunch_hundredPets_refusedBeforeAnyDialog()
    {
        MainForm main(ctx(), true);
        main.selectorInsert(0, texts::kNewPetEntry);
        main.setSelectorText(texts::kNewPetEntry);
        ctx().RegistryLoaded = true;
        ctx().table.MaxUser = 99;
        DialogDriver newForm(QStringLiteral("NewForm"), [](QWidget* d) { d->close(); }, 0);
        BtnLaunch_Click(main);
        QCOMPARE(tc->messages.texts(), QStringList{texts::kMsgTooManyPets});
        QVERIFY(log.isEmpty());
        QVERIFY(!newForm.seen());
        QVERIFY(!ctx().FileProcessing);
    }

    void btnLaunch_registeredPet_startsHostAtOnce()
    {
        MainForm main(ctx(), true);
        main.selectorInsert(0, texts::kNewPetEntry);
        main.selectorInsert(1, QStringLiteral("ミケ"));
        main.setSelectorText(QStringLiteral("ミケ"));
        ctx().table.MaxUser = 99;  // a full table does not stop a registered pet
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, BtnLaunch_Click(main));
        QCOMPARE(log, (QStringList{"start", "ended"}));
        QVERIFY(!main.isVisible());
    }

    void btnLaunch_newPetCancelled_leavesWindowIdle()
    {
        MainForm main(ctx(), true);
        main.selectorInsert(0, texts::kNewPetEntry);
        main.setSelectorText(texts::kNewPetEntry);
        ctx().RegistryLoaded = true;
        DialogDriver newForm(QStringLiteral("NewForm"), [](QWidget* dialog) {
            dialog->findChild<QPushButton*>(QStringLiteral("BtnNewNO"))->click();
        });
        BtnLaunch_Click(main);
        QVERIFY(newForm.seen());
        QVERIFY(log.isEmpty());
        QVERIFY(!ctx().FileProcessing);
        QVERIFY(!ctx().NewPetRegistered);
        QCOMPARE(ctx().StepSize, 0);
        QVERIFY(main.findChild<QWidget*>(QStringLiteral("BtnLaunch"))->isEnabled());
    }

    void btnLaunch_newPetRegistered_startsHost()
    {
        MainForm main(ctx(), true);
        main.selectorInsert(0, texts::kNewPetEntry);
        main.setSelectorText(texts::kNewPetEntry);
        DialogDriver newForm(QStringLiteral("NewForm"), [](QWidget* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("TxtNewPet"))->setText(QStringLiteral("タマ"));
            dialog->findChild<QLineEdit*>(QStringLiteral("TxtNewMaster"))->setText(QStringLiteral("花子"));
            dialog->findChild<QPushButton*>(QStringLiteral("BtnNewPet"))->click();
        });
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, BtnLaunch_Click(main));
        QCOMPARE(log, (QStringList{"start", "ended"}));
        QCOMPARE(main.selectorText(), QStringLiteral("タマ"));
        QVERIFY(hostfolder::exists(dir.path() + QStringLiteral("/Kennel.ini")));
    }
};

QTEST_MAIN(TestHostLaunch)
#include "test_hostlaunch.moc"
