// Start-up where the end-to-end journeys do not reach: a FIFO in place of Kennel.ini or the
// journal is never waited on. The refusals (the host's window by its exact title:
// test_x11windowport), the first runs and the store at start-up are driven end to end; storing
// and loading a pet's data are checked in tests/storage. The command line is read before all that.
#include "app/CommandLine.h"
#include "app/Startup.h"
#include "tests/support/HostTest.h"

#include <QtTest>

#include <sys/stat.h>

class TestStartup : public HostTest {
    Q_OBJECT

private slots:
    void init() { newHost(); }

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

    // What is asked for; Qt's own options pass; a wrong word names itself. (The answers and
    // exit codes, a plain start and `--setup FOLDER` with blanks in the folder, are checked on
    // the installed program, tests/e2e/test_e2e_package.cpp.)
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("folderOrComplaint");
        using A = CommandLine::Action;
        QTest::newRow("Qt's options") << QStringList{"-platform", "xcb", "-reverse"} << int(A::Run) << QString();
        QTest::newRow("help first") << QStringList{"-h", "--bogus"} << int(A::Help) << QString();
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
