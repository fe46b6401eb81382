// Starting the host and waiting for its end in the event loop; the clock's wait.
#include "platform/ProcessRunner.h"
#include "platform/SystemClock.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

namespace {

QString writeScript(const QString& folder, const QString& name, const QByteArray& body)
{
    const QString path = folder + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write("#!/bin/sh\n" + body);
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return path;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

class TestProcessRunner : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void missingOrNotExecutable_returnsAtOnce()
    {
        ProcessRunner runner;
        QVERIFY(!runner.runAndWait(dir.filePath(QStringLiteral("nothing")), dir.path()));
        QFile plain(dir.filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(!runner.runAndWait(plain.fileName(), dir.path()));
        QVERIFY(!runner.isRunning());
    }

    void runsInProgramFolder_andReturnsAfterEnd()
    {
        const QString folder = dir.filePath(QStringLiteral("ホスト フォルダ"));
        QVERIFY(QDir().mkpath(folder));
        const QString script = writeScript(folder, QStringLiteral("host.sh"),
                                           "sleep 0.2\npwd > where.txt\nexit 3\n");
        ProcessRunner runner;
        QVERIFY(runner.runAndWait(script, folder));
        QFile where(folder + QStringLiteral("/where.txt"));
        QVERIFY(where.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(where.readAll()).trimmed(), folder);
        QVERIFY(!runner.isRunning());
    }

    void eventsKeepFlowingWhileWaiting()
    {
        const QString script = writeScript(dir.path(), QStringLiteral("slow.sh"),
                                           "while [ ! -e stop ]; do sleep 0.05; done\n");
        ProcessRunner runner;
        bool sawRunning = false;
        // A timer (like the tray menu) fires during the wait and ends the child by itself.
        QTimer::singleShot(0, this, [&] {
            sawRunning = runner.isRunning();
            QFile stop(dir.filePath(QStringLiteral("stop")));
            QVERIFY(stop.open(QIODevice::WriteOnly));
        });
        QVERIFY(runner.runAndWait(script, dir.path()));
        QVERIFY(sawRunning);
    }

    void waitingDoesNotSpinTheProcessor()
    {
        // A host runs for hours: the wait must sleep, not poll. Over a one-second child a
        // polling loop would burn about a second of processor time.
        const QString script = writeScript(dir.path(), QStringLiteral("sleep.sh"), "sleep 1\n");
        ProcessRunner runner;
        const double before = cpuSeconds();
        QVERIFY(runner.runAndWait(script, dir.path()));
        QVERIFY2(cpuSeconds() - before < 0.4, "the wait used the processor");
    }

    void clockWait_runsTimersWithoutSpinning()
    {
        SystemClock clock;
        int fired = 0;
        QTimer::singleShot(0, this, [&] { ++fired; });
        const double before = cpuSeconds();
        clock.wait(300);
        QCOMPARE(fired, 1);
        QVERIFY(cpuSeconds() - before < 0.2);
    }
};

QTEST_MAIN(TestProcessRunner)
#include "test_processrunner.moc"
