// Starting the host and waiting for its end (a Windows program through Wine); the date the
// host sees. Waits keep the event loop and leave the processor idle; no test moves the
// machine's clock.
#include "platform/HostClock.h"
#include "platform/HostCommand.h"
#include "platform/ProcessRunner.h"
#include "tests/support/HostFolder.h"

#include <QTemporaryDir>
#include <QtTest>

#include <ctime>
#include <unistd.h>

namespace {
QString program(const QString& folder, const QString& name, const QByteArray& content)
{
    hostfolder::write(folder, name, content);
    QFile::setPermissions(folder + QLatin1Char('/') + name, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return folder + QLatin1Char('/') + name;
}
} // namespace

class TestProcessRunner : public QObject, ClockPort {
    Q_OBJECT
    QTemporaryDir dir;

    bool shiftDate(int) override { return false; }
    QString lastError() const override { return QStringLiteral("権限がありません。"); }
    void wait(int) override {}

private slots:
    // A Windows host runs through Wine: WINE and WINEPREFIX win over what Kennel would find,
    // and what they name must be usable.
    void commandForHost_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("runs"); // program and WINEPREFIX, or the error
        const QString other = dir.filePath(QStringLiteral("other"));
        QDir().mkpath(other);
        QTest::newRow("as given") << QStringList{"WINE=/bin/true", "WINEPREFIX=/elsewhere"}
                                  << QStringLiteral("/bin/true /elsewhere");
        QTest::newRow("WINE names nothing runnable")
            << QStringList{"WINE=/nowhere/wine"} << hosttexts::kWineVariableBad.arg("/nowhere/wine");
        if (::chown(QFile::encodeName(other).constData(), 65534, 65534) == 0) // root only
            QTest::newRow("prefix of another user")
                << QStringList{"WINE=/bin/true", "WINEPREFIX=" + other} << hosttexts::kPrefixNotOwned.arg(other);
    }
    void commandForHost()
    {
        QFETCH(QStringList, environment);
        QProcessEnvironment env;
        for (const QString& entry : environment)
            env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        const HostCommand c =
            ::commandForHost(program(dir.filePath(QStringLiteral("prefix/drive_c/M")), QStringLiteral("M.exe"), "MZ"), env);
        QTEST(c.error.isEmpty() ? c.program + ' ' + c.environment.value(QStringLiteral("WINEPREFIX")) : c.error, "runs");
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
    // folder, with the environment given and the prefix it lies in; a polling wait would burn
    // the processor meanwhile. (Events flow during the wait: the tray menu and the TaskTray
    // window answer while the host runs in test_e2e_wine.)
    void runsThroughWine_processorIdle()
    {
        const QString folder = dir.filePath(QStringLiteral("wine prefix/drive_c/ホスト フォルダ"));
        const QString host = program(folder, QStringLiteral("Mewmail20.exe"), "MZ");
        const QString wine = program(dir.path(), QStringLiteral("wine.sh"),
                                     "#!/bin/sh\nsleep 1\necho \"$PWD|$WINEPREFIX|$1|$EXTRA\" > where\nexit 3\n");
        ProcessRunner runner;
        const std::clock_t before = std::clock(); // the processor time of all threads
        const HostRun run = runner.runAndWait(host, folder, {"WINE=" + wine, "EXTRA=a=b"});
        SystemClock().wait(500);
        QVERIFY2(std::clock() - before < CLOCKS_PER_SEC / 2, "the wait used the processor");
        QVERIFY(!runner.isRunning());
        QVERIFY(run.started);
        QCOMPARE(run.exitCode, 3);
        QCOMPARE(QString::fromUtf8(hostfolder::read(folder + QStringLiteral("/where"))).trimmed(),
                 folder + '|' + dir.filePath(QStringLiteral("wine prefix")) + '|' + host + "|a=b");
    }

    // Without libfaketime the machine's clock is the fallback (here one that refuses), and its
    // refusal says what to install. (The date libfaketime gives the host: test_e2e_wine.)
    void hostClock_withoutFakeTime_saysWhatToInstall()
    {
        HostClock clock(QString(), this);
        QVERIFY(clock.hostEnvironment().isEmpty());
        QVERIFY(!clock.shiftDate(1));
        QCOMPARE(clock.lastError(), QStringLiteral("権限がありません。\n") + kMsgInstallFakeTime);
    }
};

QTEST_MAIN(TestProcessRunner)
#include "test_processrunner.moc"
