// Start-up where the end-to-end journeys do not reach: the host's window is known by its exact
// title only, a program folder at the root gives no doubled separators, and a FIFO in place of
// Kennel.ini or the journal is never waited on. The refusals, the
// first runs and the store at start-up are driven end to end; storing and loading a pet's data
// are checked in tests/storage. The command line is read before all that.
#include "app/CommandLine.h"
#include "app/Startup.h"
#include "tests/support/HostTest.h"

#include <QtTest>

#include <sys/stat.h>

namespace {

class FakeWindows : public WindowPort {
public:
    bool windowExists(const QString& title) override { return titles.contains(title); }
    bool activateWindow(const QString& title) override { return titles.contains(title); }
    bool sendAltFThenM() override { return true; }
    QStringList titles;
};

} // namespace

class TestStartup : public HostTest {
    Q_OBJECT

private slots:
    void init() { newHost(); }

    void runningHost_onlyByItsExactTitle()
    {
        FakeWindows windows;
        tc->ctx.windows = windows;
        windows.titles = {QStringLiteral("Mewmail for Windows ver. 2.0 ")};
        StartupRefusals(tc->ctx, InstanceLock::Held);
        QVERIFY(tc->messages.shown.isEmpty());
        windows.titles = {QStringLiteral("Mewmail for Windows ver. 2.0")};
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, StartupRefusals(tc->ctx, InstanceLock::Held));
        QCOMPARE(tc->messages.shown.size(), 1);
    }

    // In place of the journal the FIFO counts as naming no work to finish; in place of
    // Kennel.ini, as a broken file.
    void fifoInPlaceOfAFile()
    {
        hostfolder::makeHost(host(), QStringLiteral("live"));
        QuietStartupWindow window;
        for (const QString name : {"Kennel.journal", "Kennel.ini"}) {
            QVERIFY(session().WriteRegistry(none()));
            QFile::remove(host() + '/' + name);
            QCOMPARE(::mkfifo(QFile::encodeName(host() + '/' + name).constData(), 0600), 0);
            if (name == "Kennel.journal")
                StartupCheck(session(), window);
            else
                QVERIFY_THROWS_EXCEPTION(ProgramEnded, StartupCheck(session(), window));
        }
        QCOMPARE(tc->messages.texts(), QStringList{kMsgRegistryError});
    }

    void pathsAtTheRoot()
    {
        const HostLayout root(QStringLiteral("/"));
        QCOMPARE(root.PetFolder(9), QStringLiteral("/ユーザー10"));
        QCOMPARE(root.OldPetFolder(2), QStringLiteral("/ユーザー 2"));
        QCOMPARE(root.registryFile(), QStringLiteral("/Kennel.ini"));
    }

    // What is asked for; Qt's own options pass; a wrong word names itself. (The answers and
    // exit codes are checked on the installed program, tests/e2e/test_e2e_package.cpp.)
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("folderOrComplaint");
        using A = CommandLine::Action;
        QTest::newRow("nothing") << QStringList{} << int(A::Run) << QString();
        QTest::newRow("Qt's options") << QStringList{"-platform", "xcb", "-reverse"} << int(A::Run) << QString();
        QTest::newRow("help first") << QStringList{"-h", "--bogus"} << int(A::Help) << QString();
        QTest::newRow("setup folder") << QStringList{"--setup", "/m m"} << int(A::Setup) << "/m m";
        QTest::newRow("setup=folder") << QStringList{"--setup=/m"} << int(A::Setup) << "/m";
        QTest::newRow("setup, choose") << QStringList{"--setup", "-style", "fusion"} << int(A::Setup) << QString();
        QTest::newRow("unknown") << QStringList{"--bogus", "-h"} << int(A::Wrong) << "不明なオプションです: --bogus";
        QTest::newRow("two setups") << QStringList{"--setup", "/a", "--setup", "/b"} << int(A::Wrong) << "--setup は";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, folderOrComplaint);
        const CommandLine line = parseCommandLine(arguments);
        QTEST(int(line.action), "action");
        if (line.action == CommandLine::Action::Wrong)
            QVERIFY2(line.complaint.startsWith(folderOrComplaint), qPrintable(line.complaint));
        else
            QCOMPARE(line.hostFolder, folderOrComplaint);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
