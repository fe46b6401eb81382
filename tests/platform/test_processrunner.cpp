// Starting the host and waiting for its end (a Windows program through Wine); the date the
// host sees. Waits keep the event loop and leave the processor idle; no test moves the
// machine's clock.
#include "platform/HostClock.h"
#include "platform/HostCommand.h"
#include "platform/ProcessRunner.h"
#include "tests/support/HostFolder.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>
#include <unistd.h>

namespace {
QString program(const QString& folder, const QString& name, const QByteArray& content)
{
    hostfolder::write(folder, name, content);
    QFile::setPermissions(folder + QLatin1Char('/') + name, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return folder + QLatin1Char('/') + name;
}
double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
} // namespace

class TestProcessRunner : public QObject, ClockPort {
    Q_OBJECT
    QTemporaryDir dir;

    bool shiftDate(int) override { return false; }
    QString lastError() const override { return QStringLiteral("権限がありません。"); }
    void wait(int) override {}

private slots:
    // Which program runs the host's file, in which Wine prefix, or why it cannot run.
    void hostCommand_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("environment"); // PATH=bin unless given
        QTest::addColumn<QString>("runs");            // program, arguments, WINEPREFIX: or the error
        const QString bin = dir.filePath(QStringLiteral("bin"));
        program(bin, QStringLiteral("wine"), "#!/bin/sh\n");
        const QString host = dir.filePath(QStringLiteral("prefix/drive_c/Mewmail/Mewmail20.exe"));
        const QString nested = host + QStringLiteral(" | ") + dir.filePath(QStringLiteral("prefix"));
        QTest::newRow("native") << QByteArray("\x7f" "ELF") << QStringList() << host + QStringLiteral(" |  | ");
        QTest::newRow("Windows program: wine on PATH, the prefix it lies in")
            << QByteArray("MZ") << QStringList() << bin + QStringLiteral("/wine | ") + nested;
        QTest::newRow("WINE and WINEPREFIX as given")
            << QByteArray("MZ") << QStringList{"WINE=/bin/true", "WINEPREFIX=/elsewhere"}
            << QStringLiteral("/bin/true | ") + host + QStringLiteral(" | /elsewhere");
        QTest::newRow("no Wine") << QByteArray("MZ") << QStringList{"PATH=/nowhere"} << hosttexts::kNoWine;
        QTest::newRow("WINE names nothing runnable") << QByteArray("MZ") << QStringList{"WINE=/nowhere/wine"}
                                                     << hosttexts::kWineVariableBad.arg("/nowhere/wine");
        const QString other = bin + QStringLiteral("/other");
        QDir().mkpath(other);
        if (::chown(QFile::encodeName(other).constData(), 65534, 65534) == 0) // root only
            QTest::newRow("prefix of another user") << QByteArray("MZ") << QStringList{"WINEPREFIX=" + other}
                                                    << hosttexts::kPrefixNotOwned.arg(other);
    }
    void hostCommand()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, environment);
        QFETCH(QString, runs);
        const QString file = dir.filePath(QStringLiteral("prefix/drive_c/Mewmail/Mewmail20.exe"));
        program(dir.filePath(QStringLiteral("prefix/drive_c/Mewmail")), QStringLiteral("Mewmail20.exe"), content);
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), dir.filePath(QStringLiteral("bin")));
        for (const QString& entry : environment)
            env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        const HostCommand c = ::hostCommand(file, env);
        const QStringList parts = {c.program, c.arguments.join(QLatin1Char(' ')),
                                   c.environment.value(QStringLiteral("WINEPREFIX"))};
        QCOMPARE(c.error.isEmpty() ? parts.join(QStringLiteral(" | ")) : c.error, runs);
    }

    // A file that cannot run is told at once: not executable, or of a format the system refuses.
    void cannotStart_toldWhy()
    {
        ProcessRunner runner;
        hostfolder::write(dir.path(), QStringLiteral("plain"), "not a program");
        const QString plain = dir.filePath(QStringLiteral("plain"));
        QCOMPARE(runner.runAndWait(plain, dir.path(), {}).error, hosttexts::kNotExecutable.arg(plain));
        const QString garbage = program(dir.path(), QStringLiteral("garbage"), "\x01\x02 not a program");
        QCOMPARE(runner.runAndWait(garbage, dir.path(), {}).error, hosttexts::kNotRunnable.arg(garbage));
    }

    // A Windows host runs through Wine (here a script standing in for it) in the program
    // folder, with the environment given and the prefix it lies in; events keep flowing (like
    // the tray menu during the wait) and a polling wait would burn the processor meanwhile.
    void runsThroughWine_eventsFlow_processorIdle()
    {
        const QString folder = dir.filePath(QStringLiteral("wine prefix/drive_c/ホスト フォルダ"));
        const QString host = program(folder, QStringLiteral("Mewmail20.exe"), "MZ");
        const QString wine = program(dir.path(), QStringLiteral("wine.sh"),
                                     "#!/bin/sh\nsleep 1\necho \"$PWD|$WINEPREFIX|$1|$EXTRA\" > where\nexit 3\n");
        ProcessRunner runner;
        bool sawRunning = false;
        QTimer::singleShot(0, this, [&] { sawRunning = runner.isRunning(); });
        const double before = cpuSeconds();
        const HostRun run = runner.runAndWait(host, folder, {"WINE=" + wine, "EXTRA=a=b"});
        SystemClock().wait(500);
        QVERIFY2(cpuSeconds() - before < 0.5, "the wait used the processor");
        QVERIFY(sawRunning && !runner.isRunning());
        QVERIFY(run.started);
        QCOMPARE(run.exitCode, 3);
        QCOMPARE(QString::fromUtf8(hostfolder::read(folder + QStringLiteral("/where"))).trimmed(),
                 folder + '|' + dir.filePath(QStringLiteral("wine prefix")) + '|' + host + "|a=b");
    }

    // With libfaketime the host sees the shifted date, and nothing else does; without it the
    // machine's clock is the fallback (here one that refuses), and its refusal says what to
    // install.
    void hostClock_onlyTheHostsDateMoves()
    {
        HostClock missing(QString(), this);
        QVERIFY(missing.hostEnvironment().isEmpty());
        QVERIFY(!missing.shiftDate(1));
        QCOMPARE(missing.lastError(), QStringLiteral("権限がありません。\n") + kMsgInstallFakeTime);

        const QString library = HostClock::findFakeTimeLibrary();
        if (library.isEmpty())
            QSKIP("libfaketime is not installed");
        HostClock clock(library, this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& entry : clock.hostEnvironment())
            env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        const auto seen = [&] {
            QProcess date;
            date.setProcessEnvironment(env);
            date.start(QStringLiteral("date"), {QStringLiteral("+%F")});
            date.waitForFinished();
            return QDate::fromString(QString::fromLatin1(date.readAll()).trimmed(), Qt::ISODate);
        };
        const QDate today = QDate::currentDate();
        QCOMPARE(seen(), today);
        QVERIFY(clock.shiftDate(1));
        QCOMPARE(seen(), today.addDays(1));
        QCOMPARE(QDate::currentDate(), today);
        QVERIFY(clock.shiftDate(-1));
        QCOMPARE(seen(), today);
        const QString file = clock.controlFile();
        clock.hostEnded(); // Kennel ends without destructors: nothing of it stays behind
        QVERIFY(!QFileInfo::exists(file) && !QFileInfo::exists(QFileInfo(file).path()));
    }
};

QTEST_MAIN(TestProcessRunner)
#include "test_processrunner.moc"
