#include "platform/HostCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isWindowsProgram(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) && f.read(2) == "MZ";
}

// An executable found by name on the environment's PATH, or by path.
QString findProgram(const QString& name, const QProcessEnvironment& environment)
{
    if (name.contains(QLatin1Char('/'))) {
        const QFileInfo info(name);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    const QStringList path = environment.value(QStringLiteral("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return path.isEmpty() ? QString() : QStandardPaths::findExecutable(name, path);
}

// The nearest folder above file that holds "drive_c", or empty.
QString enclosingPrefix(const QString& file)
{
    for (QDir dir = QFileInfo(file).absoluteDir();;) {
        if (QFileInfo(dir.filePath(QStringLiteral("drive_c"))).isDir())
            return dir.absolutePath();
        if (!dir.cdUp())
            return {};
    }
}

// Wine refuses a prefix that another user owns ("is not owned by you") and ends at once.
bool ownedByOthers(const QString& folder)
{
    struct stat info {};
    return ::stat(QFile::encodeName(folder).constData(), &info) == 0 && info.st_uid != ::geteuid();
}

} // namespace

HostCommand commandForHost(const QString& file, const QProcessEnvironment& environment)
{
    HostCommand command;
    command.environment = environment;
    if (!isWindowsProgram(file)) {
        command.program = file;
        if (!QFileInfo(file).isExecutable())
            command.error = hosttexts::kNotExecutable.arg(file);
        return command;
    }

    command.throughWine = true;
    command.arguments = {file};
    const QString named = environment.value(QStringLiteral("WINE"));
    command.program = findProgram(named.isEmpty() ? QStringLiteral("wine") : named, environment);
    if (command.program.isEmpty()) {
        command.error = named.isEmpty() ? hosttexts::kNoWine : hosttexts::kWineVariableBad.arg(named);
        return command;
    }

    QString prefix = environment.value(QStringLiteral("WINEPREFIX"));
    if (prefix.isEmpty()) {
        prefix = enclosingPrefix(file);
        if (!prefix.isEmpty())
            command.environment.insert(QStringLiteral("WINEPREFIX"), prefix);
        else
            prefix = environment.value(QStringLiteral("HOME")) + QStringLiteral("/.wine");
    }
    if (ownedByOthers(prefix))
        command.error = hosttexts::kPrefixNotOwned.arg(prefix);
    return command;
}
