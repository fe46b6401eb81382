#include "ports/LogFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace logfile {

namespace {
QString g_path;
QString g_folder;
} // namespace

QString defaultPath()
{
    QString state = QFile::decodeName(qgetenv("XDG_STATE_HOME"));
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/kennel/kennel.log");
}

void start(const QString& path, const QString& programFolder)
{
    g_path = path;
    g_folder = programFolder;
    QDir().mkpath(QFileInfo(path).path());
}

QString path()
{
    return g_path;
}

void append(const QString& kind, const QString& text)
{
    if (g_path.isEmpty())
        return;
    const QByteArray name = QFile::encodeName(g_path);
    struct stat st {};
    if (::stat(name.constData(), &st) == 0 && st.st_size > kMaxLogBytes)
        ::rename(name.constData(), name + ".1");
    QString lines = text;
    lines.replace(QLatin1Char('\n'), QLatin1String("\n    "));
    const QByteArray record =
        (QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char(' ') + QString::number(::getpid()) +
         QLatin1Char(' ') + g_folder + QLatin1Char(' ') + kind + QStringLiteral(": ") + lines + QLatin1Char('\n'))
            .toUtf8();
    // The log must never stop Kennel: a log that cannot be written is left alone.
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const ssize_t written = ::write(fd, record.constData(), static_cast<size_t>(record.size()));
    static_cast<void>(written);
    ::close(fd);
}

} // namespace logfile
