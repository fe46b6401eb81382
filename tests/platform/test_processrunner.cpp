// Starting the host and waiting for its end; waits keep the event loop and leave the processor idle.
#include "platform/ProcessRunner.h"
#include "platform/SystemClock.h"
#include "tests/support/HostFolder.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

namespace {
QString script(const QString& folder, const QByteArray& body)
{
    QFile f(folder + QStringLiteral("/host.sh"));
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\n" + body);
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    return f.fileName();
}
double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
} // namespace

class TestProcessRunner : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void cannotStart_returnsAtOnce()
    {
        ProcessRunner runner;
        QVERIFY(!runner.runAndWait(dir.filePath(QStringLiteral("missing")), dir.path()));
        hostfolder::write(dir.path(), QStringLiteral("plain"), "not a program");
        QVERIFY(!runner.runAndWait(dir.filePath(QStringLiteral("plain")), dir.path()));
    }

    // The host runs in its folder while events keep flowing (like the tray menu during the
    // wait); a polling wait would burn about as much processor time as the wait lasts.
    void runsInProgramFolder_eventsFlow_processorIdle()
    {
        const QString folder = dir.filePath(QStringLiteral("ホスト フォルダ"));
        QDir().mkpath(folder);
        ProcessRunner runner;
        bool sawRunning = false;
        QTimer::singleShot(0, this, [&] { sawRunning = runner.isRunning(); });
        const double before = cpuSeconds();
        QVERIFY(runner.runAndWait(script(folder, "sleep 1\npwd > where\n"), folder));
        SystemClock().wait(500);
        QVERIFY2(cpuSeconds() - before < 0.5, "the wait used the processor");
        QVERIFY(sawRunning && !runner.isRunning());
        QCOMPARE(QString::fromUtf8(hostfolder::read(folder + QStringLiteral("/where"))).trimmed(), folder);
    }
};

QTEST_MAIN(TestProcessRunner)
#include "test_processrunner.moc"
