// The real kennel binary in a temporary host folder, without a display: start-up stores the
// current pet and goes idle; a damaged Kennel.ini stops it with its message and no change.
#include "app/Registry.h"
#include "tests/support/HostFolder.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString binDir()
{
    return qEnvironmentVariable("KENNEL_BIN_DIR");
}

// Copies the program into the host folder and starts it with its messages logged.
void startKennel(QProcess& process, const QString& host)
{
    QFile::remove(host + QStringLiteral("/kennel"));
    QVERIFY(QFile::copy(binDir() + QStringLiteral("/kennel"), host + QStringLiteral("/kennel")));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("kennel.messages.debug=true"));
    env.remove(QStringLiteral("DISPLAY"));
    // The instance lock goes to a runtime folder of the test's own, outside the host folder.
    static QTemporaryDir runtime;
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(host);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(host + QStringLiteral("/kennel"), {});
    QVERIFY(process.waitForStarted());
}

void stop(QProcess& process)
{
    process.kill();
    process.waitForFinished(5000);
}

}  // namespace

class TestKennelStartup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QFileInfo::exists(binDir() + QStringLiteral("/kennel")))
            QSKIP("kennel is not built");
    }

    void storesCurrentPetAndGoesIdle()
    {
        QTemporaryDir dir;
        const QString host = dir.path();
        hostfolder::makeHost(host, QStringLiteral("changed by host"));
        PetTable t;
        t.MaxUser = 2;
        t.CurrentUser = 1;
        for (int i = 0; i <= 2; ++i) {
            t.Pet[i] = QStringLiteral("ペット%1").arg(i);
            t.Master[i] = QStringLiteral("飼い主%1").arg(i);
        }
        hostfolder::write(host, QStringLiteral("Kennel.ini"), formatRegistry(t).value());
        hostfolder::write(host, QStringLiteral("ユーザー2/おやつ/old.pac"), "before");
        const QByteArray registry = hostfolder::read(host + QStringLiteral("/Kennel.ini"));

        QProcess kennel;
        startKennel(kennel, host);
        const QString stored = host + QStringLiteral("/ユーザー2/宝物/gem.pac");
        QTRY_VERIFY_WITH_TIMEOUT(hostfolder::exists(stored), 20000);
        // Idle means still running, with no message shown.
        QTest::qWait(1500);
        QCOMPARE(kennel.state(), QProcess::Running);
        stop(kennel);
        QVERIFY2(!kennel.readAll().contains("|"), "a message box was shown");
        QCOMPARE(hostfolder::read(stored), QByteArray("gem changed by host"));
        QVERIFY(!hostfolder::exists(host + QStringLiteral("/ユーザー2/おやつ/old.pac")));
        QVERIFY(!hostfolder::exists(host + QStringLiteral("/ユーザー1")));
        QCOMPARE(hostfolder::read(host + QStringLiteral("/Kennel.ini")), registry);
    }

    void damagedRegistryStopsWithMessage()
    {
        QTemporaryDir dir;
        const QString host = dir.path();
        hostfolder::makeHost(host, QStringLiteral("live"));
        hostfolder::write(host, QStringLiteral("Kennel.ini"),
                          "Version = 2.0\r\nCurrentUser = 0\r\nMaxUser = 0\r\nMaster 0 = m\r\nPet 0 = p\r\n");
        QProcess kennel;
        startKennel(kennel, host);
        const auto before = hostfolder::snapshot(host);
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += kennel.readAll()).contains("INIファイルエラー"), 20000);
        stop(kennel);
        QVERIFY(output.contains("Kennel 2001 | critical | INIファイルエラーが発生しました。強制終了します。"));
        QCOMPARE(hostfolder::snapshot(host), before);
    }
};

QTEST_GUILESS_MAIN(TestKennelStartup)
#include "test_kennel_startup.moc"
