#include "platform/InstanceLock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
int g_lockFd = -1;
int g_lockError = 0;

// 0 when taken, else the reason.
int lockExclusive(int fd)
{
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : errno;
}
} // namespace

InstanceLock acquireInstanceLock(const QString& programFolder)
{
    if (g_lockFd >= 0)
        return InstanceLock::Held;
    const int folder = ::open(QFile::encodeName(programFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        g_lockError = errno;
        return InstanceLock::Failed;
    }
    int fd = folder;
    int error = lockExclusive(fd);
    if (error != 0 && error != EWOULDBLOCK) {
        fd = ::openat(folder, ".kennel-lock", O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        ::close(folder);
        error = fd < 0 ? errno : lockExclusive(fd);
    }
    if (error != 0) {
        if (fd >= 0)
            ::close(fd);
        g_lockError = error == EWOULDBLOCK ? 0 : error;
        return error == EWOULDBLOCK ? InstanceLock::HeldElsewhere : InstanceLock::Failed;
    }
    g_lockFd = fd; // kept open (and locked) until the process ends
    return InstanceLock::Held;
}

int instanceLockError()
{
    return g_lockError;
}

void releaseInstanceLock()
{
    if (g_lockFd >= 0) {
        ::close(g_lockFd);
        g_lockFd = -1;
    }
}
