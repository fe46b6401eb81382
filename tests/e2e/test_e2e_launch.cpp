// End to end on a private Xvfb: the real kennel and the stand-in host in temporary host folders.
#include "app/Registry.h"
#include "app/Texts.h"
#include "platform/X11WindowPort.h"
#include "storage/HostLayout.h"
#include "tests/support/HostFolder.h"

#include <QTemporaryDir>
#include <QtTest>

#include "tests/platform/XvfbServer.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

class TestE2ELaunch : public QObject {
    Q_OBJECT
    XvfbServer server;
    QTemporaryDir dir;
    QString host;
    Display* d = nullptr;

    QStringList inbox(const QString& folder) const { return QDir(folder + "/" + items::kInbox).entryList(QDir::Files); }
    void copyProgram(const QString& name)
    {
        QVERIFY(QFile::copy(qEnvironmentVariable("KENNEL_BIN_DIR") + "/" + name, host + "/" + name));
    }
    void key(KeySym sym, KeySym modifier) // to the focused window
    {
        XTestFakeKeyEvent(d, XKeysymToKeycode(d, modifier), True, CurrentTime);
        XTestFakeKeyEvent(d, XKeysymToKeycode(d, sym), True, CurrentTime);
        XTestFakeKeyEvent(d, XKeysymToKeycode(d, sym), False, CurrentTime);
        XTestFakeKeyEvent(d, XKeysymToKeycode(d, modifier), False, CurrentTime);
        XSync(d, False);
    }
    void closeWindow(unsigned long window) // as a window manager's close button does
    {
        XEvent e{};
        e.xclient = {ClientMessage, 0, False, d, window, XInternAtom(d, "WM_PROTOCOLS", False), 32, {}};
        e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
        XSendEvent(d, window, False, NoEventMask, &e);
        XSync(d, False);
    }

private slots:
    void initTestCase()
    {
        if (!XvfbServer::available())
            QSKIP("Xvfb is not installed");
        QVERIFY(server.start());
        d = server.connection;
        // The programs started below inherit this; all they may write stays in the test's folder.
        for (const char* sub : {"home", "run", "tmp"})
            QDir().mkpath(dir.filePath(sub));
        QFile::setPermissions(dir.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("DISPLAY", server.display());
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("QT_LOGGING_RULES", "kennel.messages.debug=true");
        qputenv("HOME", QFile::encodeName(dir.filePath("home")));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.filePath("run")));
        qputenv("TMPDIR", QFile::encodeName(dir.filePath("tmp")));
        // Should a step fail, the host still ends by itself: the test fails instead of hanging.
        qputenv("MEWMAIL_QUIT_AFTER_MS", "90000");
    }

    // The real program starts the host, hides, ends with it; the next start stores what the
    // host changed into the pet's folder.
    void kennel_launchWaitEnd_nextStartStores()
    {
        host = dir.filePath(QStringLiteral("host"));
        QDir().mkpath(host);
        copyProgram(QStringLiteral("Mewmail20.exe"));
        copyProgram(QStringLiteral("kennel"));
        for (const QString& place : items::kFolderOrder)
            QDir().mkpath(host + "/" + place);
        hostfolder::write(host, items::kSettings, "[Mewmail 2.0]\n名前=ミケ\n");
        PetTable table;
        table.Pet[0] = QStringLiteral("ミケ");
        table.Master[0] = QStringLiteral("太郎");
        table.MaxUser = table.CurrentUser = 0;
        hostfolder::write(host, QStringLiteral("Kennel.ini"), formatRegistry(table).value());
        const QString pet = host + QStringLiteral("/ユーザー1");
        X11WindowPort windows(server.display());

        QProcess kennel;
        kennel.setProcessChannelMode(QProcess::MergedChannels);
        kennel.start(host + QStringLiteral("/kennel"));
        QTRY_VERIFY_WITH_TIMEOUT(hostfolder::exists(pet + "/" + items::kSettings), 20000);
        // The launch command (Ctrl+P) is taken once start-up is done.
        for (int i = 0; i < 40 && !windows.windowExists(texts::kHostTitle); ++i) {
            if (windows.activateWindow(texts::kProgramTitle))
                key(XK_p, XK_Control_L);
            QTest::qWait(500);
        }
        QVERIFY(windows.windowExists(texts::kHostTitle));
        QVERIFY(!windows.windowExists(texts::kProgramTitle)); // hidden while the host runs

        // A host that has only just mapped its window may miss the first keys on a busy machine.
        for (int i = 0; i < 10 && inbox(host).isEmpty(); ++i) {
            QVERIFY(windows.activateWindow(texts::kHostTitle) && windows.sendAltFThenM());
            for (int t = 0; t < 30 && inbox(host).isEmpty(); ++t)
                QTest::qWait(100);
        }
        QVERIFY(!inbox(host).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!windows.windowExists(texts::kReceivingTitle), 20000);
        closeWindow(windows.findWindow(texts::kHostTitle));
        QVERIFY(kennel.waitForFinished(30000));
        QCOMPARE(kennel.exitCode(), 0);
        QVERIFY(inbox(pet).isEmpty()); // nothing stored when the host ends
        const QByteArray said = kennel.readAll();
        QVERIFY2(!said.contains("| critical |"), said.constData());

        kennel.start(host + QStringLiteral("/kennel"));
        QTRY_COMPARE_WITH_TIMEOUT(inbox(pet), inbox(host), 20000);
        QCOMPARE(kennel.state(), QProcess::Running); // idle, not launching anything
        QVERIFY(!windows.windowExists(texts::kHostTitle));
        kennel.kill();
        kennel.waitForFinished();
    }

    // A damaged Kennel.ini stops the program with its message; nothing in the folder changes.
    void kennel_damagedRegistry_toldAndNothingChanged()
    {
        host = dir.filePath(QStringLiteral("damaged"));
        hostfolder::makeHost(host, QStringLiteral("live"));
        hostfolder::write(host, QStringLiteral("Kennel.ini"),
                          "Version = 2.0\r\nCurrentUser = 0\r\nMaxUser = 0\r\nMaster 0 = m\r\nPet 0 = p\r\n");
        copyProgram(QStringLiteral("kennel"));
        const auto before = hostfolder::snapshot(host);
        QProcess kennel;
        kennel.setProcessChannelMode(QProcess::MergedChannels);
        kennel.start(host + QStringLiteral("/kennel"));
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += kennel.readAll()).contains("| critical |"), 20000);
        QVERIFY2(said.contains("Kennel 2001 | critical | INIファイルエラーが発生しました。強制終了します。"), said);
        kennel.kill();
        kennel.waitForFinished();
        QCOMPARE(hostfolder::snapshot(host), before);
    }
};

QTEST_MAIN(TestE2ELaunch)
#include "test_e2e_launch.moc"
