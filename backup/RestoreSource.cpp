#include "backup/RestoreSource.h"

#include "backup/UnlhaLibrary.h"
#include "ports/Messages.h"
#include "shell/FileOps.h"
#include "shell/ShellCopy.h"
#include "ports/Causes.h"
#include "storage/HostLayout.h"

#include <QDir>
#include <QTemporaryDir>

std::optional<BackupInfo> CheckArchiveSource(MessagePort& messages, UnlhaLibrary& library, const QString& archivePath)
{
    if (!isArchiveFile(archivePath) || !library.checkArchive(archivePath)) {
        messages.critical(kMsgNotLhaArchive);
        return std::nullopt;
    }
    if (!library.hasMember(archivePath, QStringLiteral("Backup.ini"))) {
        messages.critical(kMsgNotBackupFile);
        return std::nullopt;
    }
    // Removed with everything in it when this function returns, whatever the outcome.
    QTemporaryDir temp;
    if (!temp.isValid()) {
        messages.fileError({causes::line(QDir::tempPath(), temp.errorString())});
        return std::nullopt;
    }
    const QString folder = temp.path() + QLatin1Char('/');
    if (!WaitUnlhaIdle(messages, library))
        return std::nullopt;
    if (!library.RunUnlha(unlhaExtractOneCommand(archivePath, folder))) {
        messages.critical(kMsgNotBackupFile);
        return std::nullopt;
    }
    QString info = findFileNoCase(temp.path(), kBackupInfoName);
    if (info.isEmpty())
        info = folder + kBackupInfoName;
    return ReadBackupInfo(messages, info, kMsgNotBackupFile);
}

std::optional<BackupInfo> CheckFolderSource(MessagePort& messages, const QString& folder)
{
    if (folder.isEmpty()) {
        messages.critical(kMsgNoFolderGiven);
        return std::nullopt;
    }
    const QString base = fileops::withoutFinalSep(folder);
    const QString info = findFileNoCase(base, kBackupInfoName);
    if (!info.isEmpty())
        return ReadBackupInfo(messages, info, kMsgBrokenFolderInfo);
    const QString sep = base.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    if (fileops::exists(base + sep + items::kSettings))
        return BackupInfo{kNotSet, kNotSet, kUnknownDate};
    messages.critical(kMsgNoBackupInFolder);
    return std::nullopt;
}

QString formatBackupDate(const QString& date)
{
    if (date == kUnknownDate)
        return QStringLiteral(" ") + kUnknownDate;
    return QStringLiteral(" ") + date.left(4) + QStringLiteral("年") + date.mid(4, 2) + QStringLiteral("月")
           + date.right(2) + QStringLiteral("日");
}
