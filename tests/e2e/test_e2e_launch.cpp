// End to end on a private Xvfb: the stand-in host in a temporary host folder, started and
// waited for by the launch code and by the real kennel program.
#include "app/Context.h"
#include "app/Registry.h"
#include "platform/ProcessRunner.h"
#include "platform/SystemClock.h"
#include "platform/X11WindowPort.h"
#include "storage/HostLayout.h"
#include "tests/platform/XvfbServer.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"
#include "ui/main/HostLaunch.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

const QString kHostTitle = QStringLiteral("Mewmail for Windows ver. 2.0");
const QString kKennelTitle = QStringLiteral("Kennel 2001");

// Copies a built program into the host folder, keeping it executable.
bool copyProgram(const QString& name, const QString& folder)
{
    const QString source = qEnvironmentVariable("KENNEL_BIN_DIR") + QLatin1Char('/') + name;
    const QString target = folder + QLatin1Char('/') + name;
    QFile::remove(target);
    return QFile::copy(source, target) &&
           QFile::setPermissions(target, QFile::permissions(source));
}

QStringList inbox(const QString& folder)
{
    return QDir(folder + QStringLiteral("/受信フォルダ")).entryList({QStringLiteral("*.mwm")}, QDir::Files);
}

// The test's own hands on the X server: keys to the focused window, closing a window the way
// a window manager's close button does.
class Hands {
public:
    explicit Hands(const QByteArray& display) : d_(XOpenDisplay(display.constData())) {}
    ~Hands()
    {
        if (d_)
            XCloseDisplay(d_);
    }
    void key(KeySym sym, KeySym modifier = 0)
    {
        const KeyCode m = modifier ? XKeysymToKeycode(d_, modifier) : 0;
        const KeyCode k = XKeysymToKeycode(d_, sym);
        if (m)
            XTestFakeKeyEvent(d_, m, True, CurrentTime);
        XTestFakeKeyEvent(d_, k, True, CurrentTime);
        XTestFakeKeyEvent(d_, k, False, CurrentTime);
        if (m)
            XTestFakeKeyEvent(d_, m, False, CurrentTime);
        XSync(d_, False);
    }
    void close(unsigned long window)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(d_, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(d_, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(d_, window, False, NoEventMask, &event);
        XSync(d_, False);
    }

private:
    Display* d_;
};

// A clock whose date only moves in its log, but whose waits are real event-loop waits.
class RecordingClock : public ClockPort {
public:
    bool shiftDate(int days) override
    {
        shifts << days;
        return true;
    }
    QString lastError() const override { return {}; }
    void wait(int ms) override { waitWithEvents(qMin(ms, 200)); }
    QList<int> shifts;
};

}  // namespace

class TestE2ELaunch : public QObject {
    Q_OBJECT

    XvfbServer server;
    QTemporaryDir dir;
    QString folder;

    QProcessEnvironment childEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(server.display()));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("kennel.messages.debug=true"));
        // Everything the programs may write stays in the test's folder.
        env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("TMPDIR"), dir.filePath(QStringLiteral("tmp")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("home/.config")));
        // Should a step fail, the host still ends by itself and the test reports instead of hanging.
        env.insert(QStringLiteral("MEWMAIL_QUIT_AFTER_MS"), QStringLiteral("90000"));
        return env;
    }

    void useChildEnvironmentHere()
    {
        const QProcessEnvironment env = childEnvironment();
        for (const QString& key : env.keys())
            qputenv(key.toLocal8Bit().constData(), env.value(key).toLocal8Bit());
    }

private slots:
    void initTestCase()
    {
        if (!XvfbServer::available())
            QSKIP("Xvfb is not installed");
        QVERIFY(server.start());
        QVERIFY(dir.isValid());
        for (const char* sub : {"home", "run", "tmp"})
            QVERIFY(QDir().mkpath(dir.filePath(QLatin1String(sub))));
        QFile::setPermissions(dir.filePath(QStringLiteral("run")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void init()
    {
        folder = dir.filePath(QStringLiteral("host"));
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(copyProgram(QStringLiteral("Mewmail20.exe"), folder));
    }

    // The launch code with the real process wait and the real window port; only the clock
    // is a stand-in. The bring-home command drives the host's menu while the host runs.
    void launchHost_bringHomeReachesTheHost_thenEndsWithIt()
    {
        useChildEnvironmentHere();
        TestContext tc(folder);
        X11WindowPort windows(server.display());
        tc.ctx.windows = &windows;
        RecordingClock clock;
        ProcessRunner runner;
        LaunchServices services;
        services.clock = &clock;
        services.process = &runner;
        Hands hands(server.display());

        bool commandDone = false;
        QStringList mailsAfterCommand;
        QTimer poll;
        poll.setInterval(100);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (!windows.windowExists(kHostTitle))
                return;
            poll.stop();
            MnuTrayReturn_Click(tc.ctx, services);
            commandDone = true;
            mailsAfterCommand = inbox(folder);
            hands.close(windows.findWindow(kHostTitle));
        });
        poll.start();

        int code = -1;
        try {
            LaunchHost(tc.ctx, services, {});
        } catch (const ProgramEnded& end) {
            code = end.code;
        }
        QCOMPARE(code, 0);
        QVERIFY(commandDone);
        QCOMPARE(tc.messages.texts(), QStringList());
        QCOMPARE(clock.shifts, (QList<int>{1, -1}));
        QVERIFY(!tc.ctx.DateShifted);
        // The host made its pet at start and received a mail through Alt+F, M.
        QVERIFY(hostfolder::exists(folder + QStringLiteral("/Mewmail設定.mwc")));
        QCOMPARE(mailsAfterCommand.size(), 1);
        QVERIFY(!windows.windowExists(QStringLiteral("メールを受信中")));
    }

    // The real program: it starts the host, hides, ends when the host ends; the next start
    // stores what the host changed into the pet's folder.
    void kennel_launchWaitEnd_nextStartStoresHostChanges()
    {
        QVERIFY(copyProgram(QStringLiteral("kennel"), folder));
        // A host that has run before: every item place exists.
        for (const QString& place : items::kFolderOrder)
            QVERIFY(QDir().mkpath(folder + QLatin1Char('/') + place));
        hostfolder::write(folder, QStringLiteral("おやつ/cake.pac"), "cake");
        hostfolder::write(folder, QStringLiteral("Mewmail設定.mwc"), "[Mewmail 2.0]\n名前=ミケ\n");
        PetTable table;
        table.Pet[0] = QStringLiteral("ミケ");
        table.Master[0] = QStringLiteral("太郎");
        table.MaxUser = 0;
        table.CurrentUser = 0;
        hostfolder::write(folder, QStringLiteral("Kennel.ini"), formatRegistry(table).value());

        X11WindowPort windows(server.display());
        Hands hands(server.display());
        const QString petInbox = folder + QStringLiteral("/ユーザー1/受信フォルダ");

        QProcess kennel;
        kennel.setProcessEnvironment(childEnvironment());
        kennel.setWorkingDirectory(dir.path());
        kennel.setProgram(folder + QStringLiteral("/kennel"));
        kennel.setProcessChannelMode(QProcess::MergedChannels);
        kennel.start();
        QVERIFY(kennel.waitForStarted());

        // Start-up stored the pet; then the launch command (Ctrl+P) starts the host.
        QTRY_VERIFY_WITH_TIMEOUT(hostfolder::exists(folder + QStringLiteral("/ユーザー1/おやつ/cake.pac")), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(windows.windowExists(kKennelTitle), 20000);
        for (int attempt = 0; attempt < 40 && !windows.windowExists(kHostTitle); ++attempt) {
            if (windows.activateWindow(kKennelTitle))
                hands.key(XK_p, XK_Control_L);
            QTest::qWait(500);
        }
        QTRY_VERIFY_WITH_TIMEOUT(windows.windowExists(kHostTitle), 20000);
        QVERIFY(!windows.windowExists(kKennelTitle));  // hidden while the host runs
        QCOMPARE(kennel.state(), QProcess::Running);

        // A person receives a mail in the host, then closes it.
        const int mailsBefore = inbox(folder).size();
        QVERIFY(windows.activateWindow(kHostTitle));
        QVERIFY(windows.sendAltFThenM());
        QTRY_COMPARE_WITH_TIMEOUT(inbox(folder).size(), mailsBefore + 1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!windows.windowExists(QStringLiteral("メールを受信中")), 20000);
        hands.close(windows.findWindow(kHostTitle));

        QVERIFY(kennel.waitForFinished(30000));
        QCOMPARE(kennel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(kennel.exitCode(), 0);
        // Nothing is stored when the host ends.
        QCOMPARE(QDir(petInbox).entryList(QDir::Files).size(), mailsBefore);
        const QByteArray firstRunOutput = kennel.readAll();
        QVERIFY2(!firstRunOutput.contains("| critical |"), firstRunOutput.constData());

        // The next start stores the host's places into the pet's folder.
        kennel.start();
        QVERIFY(kennel.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(QDir(petInbox).entryList(QDir::Files), inbox(folder), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(windows.windowExists(kKennelTitle), 20000);
        hands.close(windows.findWindow(kKennelTitle));
        if (!kennel.waitForFinished(10000)) {
            kennel.kill();
            kennel.waitForFinished();
        }
        QVERIFY(hostfolder::exists(folder + QStringLiteral("/ユーザー1/Mewmail設定.mwc")));
    }

    void cleanupTestCase() { server.stop(); }
};

QTEST_MAIN(TestE2ELaunch)
#include "test_e2e_launch.moc"
