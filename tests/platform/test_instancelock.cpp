// The single-instance lock: held by one process at a time, keyed by the program's path.
#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Another process's view of the lock: an flock on its own open file description conflicts
// with ours even inside this process.
class ForeignLock {
public:
    explicit ForeignLock(const QString& lockFile)
    {
        fd_ = ::open(QFile::encodeName(lockFile).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }
    ~ForeignLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool tryLock() { return fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0; }

private:
    int fd_ = -1;
};

}  // namespace

class TestInstanceLock : public QObject {
    Q_OBJECT

    QTemporaryDir runtime;  // lock files land here, never in the real runtime folder
    QTemporaryDir install;
    QString program;

private slots:
    void initTestCase()
    {
        QVERIFY(runtime.isValid() && install.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        program = install.filePath(QStringLiteral("kennel"));
        QFile f(program);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

    void cleanup() { releaseInstanceLock(); }

    void lockFile_liesInRuntimeFolder_andDependsOnPath()
    {
        const QString lock = instanceLockPath(program);
        QVERIFY(lock.startsWith(runtime.path() + QLatin1Char('/')));
        QVERIFY(lock != instanceLockPath(install.filePath(QStringLiteral("other/kennel"))));
        // Another name of the same file meets the same lock.
        const QString link = install.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(program, link));
        QCOMPARE(instanceLockPath(link), lock);
        QCOMPARE(instanceLockPath(install.path() + QStringLiteral("/./kennel")), lock);
    }

    void firstInstance_holdsLockAgainstOthers()
    {
        QVERIFY(acquireInstanceLock(program));
        ForeignLock other(instanceLockPath(program));
        QVERIFY(!other.tryLock());
        // Asking again in the same process keeps the lock held.
        QVERIFY(acquireInstanceLock(program));
    }

    void secondInstance_refusedWhileFirstRuns_thenAllowed()
    {
        {
            ForeignLock first(instanceLockPath(program));
            QVERIFY(first.tryLock());
            QVERIFY(!acquireInstanceLock(program));
        }  // the first instance ended: the system dropped its lock
        QVERIFY(acquireInstanceLock(program));
    }

    void otherInstallation_isNotBlocked()
    {
        ForeignLock elsewhere(instanceLockPath(install.filePath(QStringLiteral("other/kennel"))));
        QVERIFY(elsewhere.tryLock());
        QVERIFY(acquireInstanceLock(program));
    }

    void unusableLockFolder_doesNotRefuseStart()
    {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        const QString tmp = runtime.filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkpath(tmp));
        qputenv("TMPDIR", QFile::encodeName(tmp));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(install.filePath(QStringLiteral("missing"))));
        // Without a runtime folder the lock goes to the temporary folder.
        QVERIFY(instanceLockPath(program).startsWith(tmp + QLatin1Char('/')));
        QVERIFY(acquireInstanceLock(program));
        releaseInstanceLock();
        // A lock folder that cannot hold files does not refuse the start either.
        qputenv("TMPDIR", QFile::encodeName(install.filePath(QStringLiteral("kennel"))));
        QVERIFY(acquireInstanceLock(program));
        qputenv("XDG_RUNTIME_DIR", saved);
    }
};

QTEST_GUILESS_MAIN(TestInstanceLock)
#include "test_instancelock.moc"
