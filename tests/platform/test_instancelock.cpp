// The single-instance lock: one holder at a time per program path, dropped with its holder.
#include "platform/InstanceLock.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
// Another process's hold on the lock: an flock on a separate open file conflicts with ours.
struct ForeignLock {
    explicit ForeignLock(const QString& file) : fd(::open(QFile::encodeName(file), O_RDWR | O_CREAT, 0600)) {}
    ~ForeignLock() { ::close(fd); }
    bool take() const { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; }
    int fd;
};
} // namespace

class TestInstanceLock : public QObject {
    Q_OBJECT
    QTemporaryDir temp; // lock files and programs live here only
    QString program;

private slots:
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(temp.path()));
        program = temp.filePath(QStringLiteral("kennel"));
        QFile(program).open(QIODevice::WriteOnly);
        QVERIFY(QFile::link(program, temp.filePath(QStringLiteral("link"))));
    }
    void cleanup() { releaseInstanceLock(); }

    void lockFile_perProgram_sameForOtherNamesOfIt()
    {
        const QString lock = instanceLockPath(program);
        QVERIFY(lock.startsWith(temp.path() + QLatin1Char('/')));
        QCOMPARE(instanceLockPath(temp.filePath(QStringLiteral("link"))), lock);
        QCOMPARE(instanceLockPath(temp.path() + QStringLiteral("/./kennel")), lock);
        QVERIFY(instanceLockPath(temp.filePath(QStringLiteral("other/kennel"))) != lock);
    }

    void heldAgainstOthers_andFreeOnceTheyEnd()
    {
        QVERIFY(acquireInstanceLock(program));
        QVERIFY(!ForeignLock(instanceLockPath(program)).take());
        releaseInstanceLock();
        {
            ForeignLock first(instanceLockPath(program));
            QVERIFY(first.take());
            QVERIFY(!acquireInstanceLock(program));
        } // the first instance ended: the system dropped its lock
        QVERIFY(acquireInstanceLock(program));
    }
};

QTEST_GUILESS_MAIN(TestInstanceLock)
#include "test_instancelock.moc"
