#include "backup/Backup.h"

#include "app/Causes.h"
#include "app/Context.h"
#include "app/Gauge.h"
#include "backup/ArchiveCalls.h"
#include "backup/BackupInfo.h"
#include "shell/ShellCopy.h"
#include "storage/FileOps.h"
#include "storage/HostLayout.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace {

QString child(const QString& folder, const QString& name)
{
    return folder + QLatin1Char('/') + name;
}

// A registered pet whose folder holds its stored data.
bool petFolderReady(Context& ctx, int index)
{
    if (index < 0 || index > ctx.table.MaxUser || index >= kMaxPets
        || !fileops::isFolder(ctx.paths.PetFolder(index))) {
        const bool registered = index >= 0 && index <= ctx.table.MaxUser && index < kMaxPets;
        ctx.critical(
            causes::below(kMsgNoPetFolder, registered ? QStringList{causes::ofPath(ctx.paths.PetFolder(index), ENOTDIR)}
                                                      : QStringList{}));
        return false;
    }
    return true;
}

// The six item folders in the order the backup copies and creates them.
const QStringList kCreateOrder = {items::kToys,   items::kSnacks,      items::kInbox,
                                  items::kOutbox, items::kAttachments, items::kTreasures};
const QStringList kCopyOrder = {items::kToys, items::kSnacks, items::kInbox, items::kOutbox, items::kTreasures};

}  // namespace

QString backupBaseName(const QString& pet, const QDate& date)
{
    // A "/" in a pet name would put the backup into another folder than the one chosen.
    QString name = pet;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name + date.toString(QStringLiteral("yyMMdd"));
}

bool BackupToFolder(Context& ctx, int index, const QString& destination, const QDate& today)
{
    const FileErrorGroup oneBox(ctx);
    if (!petFolderReady(ctx, index))
        return false;
    WriteBackupInfo(ctx, index, today);
    const QString s = ctx.paths.PetFolder(index);
    const QString t = destination + backupBaseName(ctx.table.Pet[index], today);

    if (!fileops::exists(t)) {
        fileops::makeFolder(t);
        Step(ctx);
        for (const QString& name : kCreateOrder) {
            fileops::makeFolder(child(t, name));
            Step(ctx);
        }
    } else {
        if (!ctx.askYesNo(kMsgBackupFolderExists))
            return false;
        if (!fileops::isFolder(t)) {
            // A file of that name is not ours to replace.
            ctx.fileError({causes::line(t, ENOTDIR)});
            return false;
        }
        fileops::clearFiles(t);
        Step(ctx);
        for (const QString& name : kCreateOrder) {
            fileops::makeFolder(child(t, name)); // a link in its place goes, never written through
            fileops::clearFiles(child(t, name));
            Step(ctx);
        }
    }

    bool ok = true;
    for (const QString& name : {items::kFriends, items::kSettings, items::kSettingsBackup}) {
        if (fileops::exists(child(s, name)))
            ok &= ShellCopy(ctx, child(s, name), child(t, name));
        Step(ctx);
    }
    if (fileops::isFolder(child(s, items::kAttachments)))
        ok &= ShellCopy(ctx, child(s, items::kAttachments) + QStringLiteral("/*.*"),
                        child(t, items::kAttachments) + QLatin1Char('/'));
    Step(ctx);
    for (const QString& name : kCopyOrder) {
        ok &= ShellCopy(ctx, child(s, name) + QStringLiteral("/*.*"), child(t, name) + QLatin1Char('/'));
        Step(ctx);
    }
    QString info = findFileNoCase(s, kBackupInfoName);
    if (info.isEmpty())
        info = child(s, kBackupInfoName);
    ok &= ShellCopy(ctx, info, child(t, kBackupInfoName));
    Step(ctx);
    return ok;
}

bool BackupToArchive(Context& ctx, int index, const QString& destination, const QDate& today)
{
    if (!petFolderReady(ctx, index))
        return false;
    const QString target = destination + QLatin1Char('/') + backupBaseName(ctx.table.Pet[index], today)
                           + QStringLiteral(".lzh");
    const bool replacing = fileops::exists(target);
    if (replacing) {
        if (!ctx.askYesNo(kMsgBackupArchiveExists))
            return false;
        if (fileops::isFolder(target)) {
            ctx.fileError({causes::line(target, EISDIR)});
            return false;
        }
    }

    // The library works in a private folder of its own, never in a fixed name that another
    // user of the shared temporary folder could prepare.
    QTemporaryDir work;
    if (!work.isValid()) {
        ctx.fileError({causes::line(QDir::tempPath(), work.errorString())});
        return false;
    }
    WriteBackupInfo(ctx, index, today);

    const QString pet = ctx.paths.PetFolder(index);
    const bool withAttachments = fileops::isFolder(child(pet, items::kAttachments));

    // The new archive is built under a fresh name beside the old one and takes its place only
    // when complete, so a failed run leaves the earlier backup as it was.
    const QString building = replacing
        ? destination + QStringLiteral("/.") + backupBaseName(ctx.table.Pet[index], today) + QLatin1Char('.')
              + QUuid::createUuid().toString(QUuid::Id128).left(12) + QStringLiteral(".lzh")
        : target;

    if (!archive::WaitUnlhaIdle(ctx))
        return false;
    // The gauge follows the bytes packed, from 0.
    ProgressReset(ctx);
    if (!archive::RunUnlha(ctx, archive::addCommand(building, work.path() + QLatin1Char('/'), pet, withAttachments),
                           true)) {
        if (replacing)
            fileops::deleteFile(building);
        ctx.critical(kMsgLhaFailed);
        return false;
    }
    if (replacing) {
        std::error_code ec;
        std::filesystem::rename(building.toStdString(), target.toStdString(), ec);
        if (ec) {
            fileops::deleteFile(building);
            ctx.critical(kMsgLhaFailed);
            return false;
        }
    }
    return true;
}
