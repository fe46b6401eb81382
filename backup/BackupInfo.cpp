#include "backup/BackupInfo.h"

#include "shell/FileOps.h"
#include "storage/Session.h"

#include <QDir>
#include <QFile>

QString findFileNoCase(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return {};
    const QDir dir(folder);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    if (entries.contains(name))
        return dir.filePath(name);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return {};
}

void WriteBackupInfo(const Session& session, int index, const QDate& today)
{
    if (index < 0 || index >= kMaxPets)
        return;
    const QString folder = session.layout().PetFolder(index);
    QString path = findFileNoCase(folder, kBackupInfoName);
    if (path.isEmpty())
        path = folder + QLatin1Char('/') + kBackupInfoName;
    // Replaced whole: a link in its place goes, nothing is written through it.
    fileops::writeWhole(path, formatBackupInfo(session.table().Pet[index], session.table().Master[index], today));
}

std::optional<BackupInfo> ReadBackupInfo(MessagePort& messages, const QString& path, const QString& refusal)
{
    std::optional<BackupInfo> info;
    // A real file is a few lines; a huge one stays bounded. Anything but a regular file is
    // refused without waiting on it.
    if (const auto bytes = fileops::readRegular(path, 1 << 20))
        info = parseBackupInfo(*bytes);
    if (!info)
        messages.critical(refusal);
    return info;
}
