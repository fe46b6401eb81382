#include "backup/Backup.h"

#include "ports/Causes.h"
#include "backup/BackupInfo.h"
#include "backup/UnlhaLibrary.h"
#include "shell/FileOps.h"
#include "storage/Session.h"

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
bool petFolderReady(Session& s, int index)
{
    if (index < 0 || index > s.table().MaxUser || index >= kMaxPets || !fileops::isFolder(s.layout().PetFolder(index))) {
        const bool registered = index >= 0 && index <= s.table().MaxUser && index < kMaxPets;
        s.context().messages->critical(causes::below(
            kMsgNoPetFolder, registered ? QStringList{causes::ofPath(s.layout().PetFolder(index), ENOTDIR)} : QStringList{}));
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

bool BackupToFolder(Session& session, int index, const QString& destination, Steps steps, const QDate& today)
{
    const FileErrorGroup oneBox(*session.context().messages);
    if (!petFolderReady(session, index))
        return false;
    Context& ctx = session.context();
    MessagePort& messages = *ctx.messages;
    Shell& shell = session.shell();
    WriteBackupInfo(session, index, today);
    const QString s = session.layout().PetFolder(index);
    const QString t = destination + backupBaseName(session.table().Pet[index], today);

    if (!fileops::exists(t)) {
        fileops::makeFolder(t);
        steps();
        for (const QString& name : kCreateOrder) {
            fileops::makeFolder(child(t, name));
            steps();
        }
    } else {
        if (!messages.askYesNo(kMsgBackupFolderExists))
            return false;
        if (!fileops::isFolder(t)) {
            // A file of that name is not ours to replace.
            messages.fileError({causes::line(t, ENOTDIR)});
            return false;
        }
        fileops::clearFiles(t);
        steps();
        for (const QString& name : kCreateOrder) {
            fileops::makeFolder(child(t, name)); // a link in its place goes, never written through
            fileops::clearFiles(child(t, name));
            steps();
        }
    }

    bool ok = true;
    for (const QString& name : {items::kFriends, items::kSettings, items::kSettingsBackup}) {
        if (fileops::exists(child(s, name)))
            ok &= shell.ShellCopy(child(s, name), child(t, name));
        steps();
    }
    if (fileops::isFolder(child(s, items::kAttachments)))
        ok &= shell.ShellCopy(child(s, items::kAttachments) + QStringLiteral("/*.*"),
                        child(t, items::kAttachments) + QLatin1Char('/'));
    steps();
    for (const QString& name : kCopyOrder) {
        ok &= shell.ShellCopy(child(s, name) + QStringLiteral("/*.*"), child(t, name) + QLatin1Char('/'));
        steps();
    }
    QString info = findFileNoCase(s, kBackupInfoName);
    if (info.isEmpty())
        info = child(s, kBackupInfoName);
    ok &= shell.ShellCopy(info, child(t, kBackupInfoName));
    steps();
    return ok;
}

bool BackupToArchive(Session& session, UnlhaLibrary& library, int index, const QString& destination, const QDate& today)
{
    if (!petFolderReady(session, index))
        return false;
    Context& ctx = session.context();
    MessagePort& messages = *ctx.messages;
    const QString name = session.table().Pet[index];
    const QString target = destination + QLatin1Char('/') + backupBaseName(name, today)
                           + QStringLiteral(".lzh");
    const bool replacing = fileops::exists(target);
    if (replacing) {
        if (!messages.askYesNo(kMsgBackupArchiveExists))
            return false;
        if (fileops::isFolder(target)) {
            messages.fileError({causes::line(target, EISDIR)});
            return false;
        }
    }

    // The library works in a private folder of its own, never in a fixed name that another
    // user of the shared temporary folder could prepare.
    QTemporaryDir work;
    if (!work.isValid()) {
        messages.fileError({causes::line(QDir::tempPath(), work.errorString())});
        return false;
    }
    WriteBackupInfo(session, index, today);

    const QString pet = session.layout().PetFolder(index);
    const bool withAttachments = fileops::isFolder(child(pet, items::kAttachments));

    // The new archive is built under a fresh name beside the old one and takes its place only
    // when complete, so a failed run leaves the earlier backup as it was.
    const QString building = replacing
        ? destination + QStringLiteral("/.") + backupBaseName(name, today) + QLatin1Char('.')
              + QUuid::createUuid().toString(QUuid::Id128).left(12) + QStringLiteral(".lzh")
        : target;

    if (!WaitUnlhaIdle(messages, library))
        return false;
    // The gauge follows the bytes packed, from 0.
    ProgressReset(ctx);
    const auto gauge = [&ctx](qint64 done, qint64 total) { ProgressShare(ctx, done, total); };
    if (!library.RunUnlha(unlhaAddCommand(building, work.path() + QLatin1Char('/'), pet, withAttachments), nullptr,
                          UnlhaWait{nullptr, gauge})) {
        if (replacing)
            fileops::deleteFile(building);
        messages.critical(kMsgLhaFailed);
        return false;
    }
    if (replacing) {
        std::error_code ec;
        std::filesystem::rename(building.toStdString(), target.toStdString(), ec);
        if (ec) {
            fileops::deleteFile(building);
            messages.critical(kMsgLhaFailed);
            return false;
        }
    }
    return true;
}
