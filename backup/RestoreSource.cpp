#include "backup/RestoreSource.h"

#include "app/Causes.h"
#include "app/Context.h"
#include "backup/ArchiveCalls.h"
#include "storage/FileOps.h"
#include "storage/HostLayout.h"

#include <QDir>
#include <QTemporaryDir>

std::optional<BackupInfo> CheckArchiveSource(Context& ctx, const QString& archivePath)
{
    if (!archive::checkArchive(ctx, archivePath)) {
        ctx.critical(kMsgNotLhaArchive);
        return std::nullopt;
    }
    if (!archive::hasInfoMember(ctx, archivePath)) {
        ctx.critical(kMsgNotBackupFile);
        return std::nullopt;
    }
    // Removed with everything in it when this function returns, whatever the outcome.
    QTemporaryDir temp;
    if (!temp.isValid()) {
        ctx.fileError({causes::line(QDir::tempPath(), temp.errorString())});
        return std::nullopt;
    }
    const QString folder = temp.path() + QLatin1Char('/');
    if (!archive::WaitUnlhaIdle(ctx))
        return std::nullopt;
    if (!archive::RunUnlha(ctx, archive::extractInfoCommand(archivePath, folder))) {
        ctx.critical(kMsgNotBackupFile);
        return std::nullopt;
    }
    QString info = findFileNoCase(temp.path(), kBackupInfoName);
    if (info.isEmpty())
        info = folder + kBackupInfoName;
    return ReadBackupInfo(ctx, info, kMsgNotBackupFile);
}

std::optional<BackupInfo> CheckFolderSource(Context& ctx, const QString& folder)
{
    if (folder.isEmpty()) {
        ctx.critical(kMsgNoFolderGiven);
        return std::nullopt;
    }
    const QString base = fileops::withoutFinalSep(folder);
    const QString info = findFileNoCase(base, kBackupInfoName);
    if (!info.isEmpty())
        return ReadBackupInfo(ctx, info, kMsgBrokenFolderInfo);
    const QString sep = base.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    if (fileops::exists(base + sep + items::kSettings))
        return BackupInfo{kNotSet, kNotSet, kUnknownDate};
    ctx.critical(kMsgNoBackupInFolder);
    return std::nullopt;
}

QString formatBackupDate(const QString& date)
{
    if (date == kUnknownDate)
        return QStringLiteral(" ") + kUnknownDate;
    return QStringLiteral(" ") + date.left(4) + QStringLiteral("年") + date.mid(4, 2) + QStringLiteral("月")
           + date.right(2) + QStringLiteral("日");
}
