// Starting the host and waiting for its end; waits keep the event loop and leave the processor idle.
#include "platform/ProcessRunner.h"
#include "platform/SystemClock.h"

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
        QFile plain(dir.filePath(QStringLiteral("plain")));
        plain.open(QIODevice::WriteOnly);
        QVERIFY(!runner.runAndWait(plain.fileName(), dir.path()));
    }

    void runsInProgramFolder_eventsFlow_untilItEnds()
    {
        const QString folder = dir.filePath(QStringLiteral("ホスト フォルダ"));
        QDir().mkpath(folder);
        ProcessRunner runner;
        bool sawRunning = false;
        QTimer::singleShot(0, this, [&] { // like the tray menu during the wait
            sawRunning = runner.isRunning();
            QFile(folder + QStringLiteral("/stop")).open(QIODevice::WriteOnly);
        });
        QVERIFY(runner.runAndWait(script(folder, "until [ -e stop ]; do sleep 0.05; done\npwd > where\n"), folder));
        QVERIFY(sawRunning);
        QVERIFY(!runner.isRunning());
        QFile where(folder + QStringLiteral("/where"));
        QVERIFY(where.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(where.readAll()).trimmed(), folder);
    }

    void waits_doNotSpinTheProcessor()
    {
        // A polling loop would burn about as much processor time as the wait lasts.
        ProcessRunner runner;
        const double before = cpuSeconds();
        QVERIFY(runner.runAndWait(script(dir.path(), "sleep 1\n"), dir.path()));
        SystemClock().wait(500);
        QVERIFY2(cpuSeconds() - before < 0.5, "the wait used the processor");
    }
};

QTEST_MAIN(TestProcessRunner)
#include "test_processrunner.moc"
