#include "ports/Causes.h"

#include "ports/Messages.h"

#include <QFile>

#include <cstring>
#include <exception>
#include <sys/stat.h>

namespace causes {

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString line(const QString& path, const QString& reason)
{
    return QStringLiteral("%1（%2）").arg(path, reason);
}

QString line(const QString& path, int error)
{
    return line(path, reason(error));
}

QString ofPath(const QString& path, int error)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return line(path, errno);
    if (S_ISLNK(st.st_mode))
        return line(path, QStringLiteral("リンクのため使えません"));
    return line(path, error);
}

QString below(const QString& text, const QStringList& lines, int shown)
{
    if (lines.isEmpty())
        return text;
    QStringList out = lines.mid(0, shown);
    if (lines.size() > shown)
        out << QStringLiteral("ほか %1 件").arg(lines.size() - shown);
    return text + QLatin1Char('\n') + out.join(QLatin1Char('\n'));
}

} // namespace causes

FileErrorGroup::FileErrorGroup(MessagePort& messages) : messages_(messages), unwinding_(std::uncaught_exceptions())
{
    ++messages_.fileErrorGroups_;
}

FileErrorGroup::~FileErrorGroup()
{
    if (--messages_.fileErrorGroups_ > 0)
        return;
    // Ended by the program's end (a test's exit port throws): nothing more is shown.
    if (std::uncaught_exceptions() > unwinding_) {
        messages_.pendingCauses_.reset();
        return;
    }
    messages_.tellFileError();
}
