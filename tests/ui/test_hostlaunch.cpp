// Host launch, the wait and the bring-home command, with a fake clock, windows and process
// that log into one list, so that each test can check the order of what happened.
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"
#include "ui/main/Commands.h"
#include "ui/main/HostLaunch.h"
#include "ui/main/MainForm.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Fakes : ClockPort, WindowPort, ProcessPort {
    QStringList log;
    int days = 0; // where the fake date stands
    bool failForward = false, failBack = false, hostWindow = true, running = false;
    int receivingLooks = 0; // looks that still find "メールを受信中"
    std::function<void()> whileRunning, onKeys;
    std::function<void(int)> onWait;

    bool shiftDate(int d) override
    {
        const bool fail = d > 0 ? failForward : failBack;
        log << QStringLiteral("shift %1%2").arg(d > 0 ? "+" : "").arg(d) + (fail ? " refused" : "");
        days += fail ? 0 : d;
        return !fail;
    }
    QString lastError() const override { return QStringLiteral("権限がありません。"); }
    void wait(int ms) override
    {
        log << QStringLiteral("wait %1").arg(ms);
        if (onWait)
            onWait(ms);
    }
    bool windowExists(const QString& title) override
    {
        if (title != texts::kReceivingTitle)
            return hostWindow;
        log << "look";
        return receivingLooks-- > 0;
    }
    bool activateWindow(const QString&) override
    {
        log << "activate";
        return hostWindow;
    }
    bool sendAltFThenM() override
    {
        log << "keys";
        if (onKeys)
            onKeys();
        return true;
    }
    bool runAndWait(const QString&, const QString& folder) override
    {
        log << "start " + folder;
        running = true;
        if (whileRunning)
            whileRunning();
        running = false;
        return true;
    }
    bool isRunning() const override { return running; }
};

} // namespace

class TestHostLaunch : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<TestContext> tc;
    std::unique_ptr<Fakes> f;
    LaunchServices services;
    std::unique_ptr<QTimer> dialogTimer;

    Context& ctx() { return tc->ctx; }
    QStringList shifts() const { return f->log.filter(QStringLiteral("shift")); }

    int launch() // the exit code, or -1 when LaunchHost returned
    {
        try {
            LaunchHost(ctx(), services, [this] { f->log << "hide"; });
        } catch (const ProgramEnded& end) {
            return end.code;
        }
        return -1;
    }
    void shiftDuringRun()
    {
        f->whileRunning = [this] { MnuTrayReturn_Click(ctx(), services); };
    }
    void onDialog(std::function<void(QWidget*)> act)
    {
        // The dialog opens inside BtnLaunch_Click; act once it is the active modal window.
        dialogTimer = std::make_unique<QTimer>();
        connect(dialogTimer.get(), &QTimer::timeout, this, [this, act] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                dialogTimer->stop();
                act(w);
            }
        });
        dialogTimer->start(10);
    }

private slots:
    void init()
    {
        hostfolder::makeHost(dir.path(), QStringLiteral("A"));
        hostfolder::makeHost(dir.filePath(QStringLiteral("Default")), QStringLiteral("T"));
        tc = std::make_unique<TestContext>(dir.path());
        f = std::make_unique<Fakes>();
        ctx().windows = f.get();
        services = LaunchServices{f.get(), f.get()};
        launchServices() = services;
    }
    void cleanup()
    {
        dialogTimer.reset();
        launchServices() = LaunchServices{};
    }

    void launch_missingHost_toldAndNothingStarts()
    {
        QFile::remove(dir.filePath(QStringLiteral("Mewmail20.exe")));
        QCOMPARE(launch(), -1);
        QCOMPARE(tc->messages.texts(), QStringList{kMsgHostMissing});
        QVERIFY(f->log.isEmpty());
    }

    void launch_hostRunsInProgramFolder_thenProgramEnds()
    {
        QCOMPARE(launch(), 0);
        QCOMPARE(f->log, (QStringList{"hide", "start " + dir.path()}));
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void trayReturn_sequence_withDateFlagFromTheShiftOn()
    {
        f->receivingLooks = 2;
        QList<bool> flags;
        f->onKeys = [&] { flags << ctx().DateShifted; };
        f->onWait = [&](int) { flags << ctx().DateShifted; };
        shiftDuringRun();
        QCOMPARE(launch(), 0);
        QCOMPARE(f->log, (QStringList{"hide", "start " + dir.path(), "activate", "shift +1", "keys", "look", "look",
                                      "wait 50", "look", "wait 3000", "shift -1"}));
        QCOMPARE(flags, (QList<bool>{true, true, true}));
        QCOMPARE(f->days, 0);
        QVERIFY(!ctx().DateShifted);
    }

    void trayReturn_dateNotMovable_toldAndNeverMovedBack()
    {
        f->failForward = true;
        shiftDuringRun();
        launch();
        QCOMPARE(shifts(), QStringList{"shift +1 refused"});
        QVERIFY(!f->log.contains(QStringLiteral("keys")));
        QCOMPARE(tc->messages.texts(), QStringList{kMsgDateNotShifted + "\n権限がありません。"});
    }

    void trayReturn_noHostWindow_toldAndDateUntouched()
    {
        f->hostWindow = false;
        shiftDuringRun();
        launch();
        QVERIFY(shifts().isEmpty());
        QCOMPARE(tc->messages.texts(), QStringList{kMsgHostWindowMissing});
    }

    void trayReturn_dateNotMovedBack_retriedWhenHostEnds()
    {
        f->failBack = true;
        f->whileRunning = [this] {
            MnuTrayReturn_Click(ctx(), services);
            f->failBack = false;
            MnuTrayReturn_Click(ctx(), services); // refused: the date is still a day ahead
        };
        QCOMPARE(launch(), 0);
        QCOMPARE(shifts(), (QStringList{"shift +1", "shift -1 refused", "shift -1"}));
        QCOMPARE(f->days, 0);
        QCOMPARE(tc->messages.texts(),
                 (QStringList{kMsgDateNotRestored + "\n権限がありません。", kMsgDateNotRestored}));
    }

    void trayReturn_hostEndsMidway_stopsWaitingAndPutsDateBack()
    {
        f->receivingLooks = 100;
        f->onKeys = [this] { f->running = false; };
        shiftDuringRun();
        launch();
        QCOMPARE(f->log.mid(f->log.indexOf("keys")), (QStringList{"keys", "shift -1"}));
    }

    void trayReturn_clickedAgainWhileRunning_movesDateOnce()
    {
        f->onWait = [this](int ms) {
            if (ms == 3000)
                MnuTrayReturn_Click(ctx(), services);
        };
        f->whileRunning = [this] {
            MnuTrayReturn_Click(ctx(), services);
            MnuTrayReturn_Click(ctx(), services); // again once finished: runs again
        };
        launch();
        QCOMPARE(shifts(), (QStringList{"shift +1", "shift -1", "shift +1", "shift -1"}));
    }

    void btnLaunch_paths_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("maxUser");
        QTest::addColumn<QString>("button"); // pressed in NewForm; empty: no dialog expected
        QTest::addColumn<bool>("started");
        QTest::newRow("registered pet, full table") << "ミケ" << 99 << "" << true;
        QTest::newRow("new pet, full table") << texts::kNewPetEntry << 99 << "" << false;
        QTest::newRow("new pet cancelled") << texts::kNewPetEntry << 0 << "BtnNewNO" << false;
        QTest::newRow("new pet registered") << texts::kNewPetEntry << 0 << "BtnNewPet" << true;
    }

    void btnLaunch_paths()
    {
        QFETCH(QString, selected);
        QFETCH(int, maxUser);
        QFETCH(QString, button);
        QFETCH(bool, started);
        MainForm main(ctx(), true);
        main.selectorInsert(0, texts::kNewPetEntry);
        main.selectorInsert(1, QStringLiteral("ミケ"));
        main.setSelectorText(selected);
        ctx().table.MaxUser = maxUser;
        ctx().table.Pet[0] = QStringLiteral("ミケ");
        ctx().RegistryLoaded = true;
        bool dialog = false;
        onDialog([&](QWidget* w) {
            dialog = true;
            w->findChild<QLineEdit*>(QStringLiteral("TxtNewPet"))->setText(QStringLiteral("タマ"));
            w->findChild<QLineEdit*>(QStringLiteral("TxtNewMaster"))->setText(QStringLiteral("花子"));
            w->findChild<QPushButton*>(button.isEmpty() ? QStringLiteral("BtnNewNO") : button)->click();
        });
        bool ended = false;
        try {
            BtnLaunch_Click(main);
        } catch (const ProgramEnded&) {
            ended = true;
        }
        QCOMPARE(ended, started);
        QCOMPARE(f->log.size(), started ? 1 : 0);
        QCOMPARE(dialog, !button.isEmpty());
        QCOMPARE(tc->messages.texts(), maxUser == 99 && !started ? QStringList{texts::kMsgTooManyPets} : QStringList{});
        QVERIFY(!ctx().FileProcessing); // never left busy
        QCOMPARE(ctx().StepSize, 0);
    }
};

QTEST_MAIN(TestHostLaunch)
#include "test_hostlaunch.moc"
