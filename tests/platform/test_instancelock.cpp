// The single-instance lock: one holder at a time per host folder, dropped with its holder; a
// folder that cannot be locked is a failure, not a free pass.
#include "platform/InstanceLock.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
// Another process's hold on the folder: an flock on a separate open of it conflicts with ours.
struct ForeignLock {
    explicit ForeignLock(const QString& folder) : fd(::open(QFile::encodeName(folder), O_RDONLY | O_DIRECTORY)) {}
    ~ForeignLock() { ::close(fd); }
    bool take() const { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; }
    int fd;
};
} // namespace

class TestInstanceLock : public QObject {
    Q_OBJECT
    QTemporaryDir temp; // the host folder

private slots:
    void cleanup() { releaseInstanceLock(); }

    void oneHolderPerFolder_freeOnceItEnds()
    {
        QCOMPARE(acquireInstanceLock(temp.path()), InstanceLock::Held);
        QVERIFY(!ForeignLock(temp.path()).take());
        releaseInstanceLock();
        {
            ForeignLock first(temp.path());
            QVERIFY(first.take());
            QCOMPARE(acquireInstanceLock(temp.path()), InstanceLock::HeldElsewhere);
        } // the first instance ended: the system dropped its lock
        QCOMPARE(acquireInstanceLock(temp.path()), InstanceLock::Held);
        QVERIFY(QDir(temp.path()).isEmpty()); // nothing left in the folder
    }

    void folderThatCannotBeLocked_failed()
    {
        QCOMPARE(acquireInstanceLock(temp.filePath(QStringLiteral("missing"))), InstanceLock::Failed);
    }
};

QTEST_GUILESS_MAIN(TestInstanceLock)
#include "test_instancelock.moc"
