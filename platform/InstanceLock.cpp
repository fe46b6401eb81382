#include "platform/InstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
int g_lockFd = -1;

QString lockFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(QString::fromLocal8Bit(runtime)).isDir())
        return QString::fromLocal8Bit(runtime);
    return QDir::tempPath();
}
} // namespace

QString instanceLockPath(const QString& programPath)
{
    // Two names of the same file (a symbolic link, "..") must meet the same lock.
    QString canonical = QFileInfo(programPath).canonicalFilePath();
    if (canonical.isEmpty())
        canonical = QFileInfo(programPath).absoluteFilePath();
    const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return lockFolder() + QStringLiteral("/kennel-") + QString::fromLatin1(hash) + QStringLiteral(".lock");
}

bool acquireInstanceLock(const QString& programPath)
{
    if (g_lockFd >= 0)
        return true;
    const QByteArray path = QFile::encodeName(instanceLockPath(programPath));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return !held;
    }
    g_lockFd = fd; // kept open (and locked) until the process ends
    return true;
}

void releaseInstanceLock()
{
    if (g_lockFd >= 0) {
        ::close(g_lockFd);
        g_lockFd = -1;
    }
}
