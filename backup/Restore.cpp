#include "backup/Restore.h"

#include "app/Causes.h"
#include "app/Context.h"
#include "app/Registry.h"
#include "backup/ArchiveCalls.h"
#include "shell/ShellCopy.h"
#include "storage/FileOps.h"
#include "storage/HostLayout.h"
#include "storage/Journal.h"
#include "storage/StorageOps.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace {

bool anyFile(const QString& folder, const QString& pattern)
{
    // Name filters compare without regard to letter case, as the patterns were meant.
    // Hidden files (dot files) do not count, nor do folders.
    const QDir dir(folder);
    return !dir.entryList({pattern}, QDir::Files).isEmpty();
}

// Absolute, cleaned path without resolving links that may not exist yet.
QString normalized(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool isSameOrInside(const QString& inner, const QString& outer)
{
    const QString a = normalized(inner);
    const QString b = normalized(outer);
    return a == b || a.startsWith(b.endsWith(QLatin1Char('/')) ? b : b + QLatin1Char('/'));
}

}  // namespace

QString RestoreStagingFolder(const Context& ctx)
{
    return journal::stagingFolder(ctx.paths) + QLatin1Char('/');
}

bool ExtractArchive(Context& ctx, const QString& archivePath, QString target)
{
    if (!target.endsWith(QLatin1Char('/')))
        target += QLatin1Char('/');
    if (!archive::WaitUnlhaIdle(ctx))
        return false;
    if (!archive::isArchiveFile(archivePath) || !archive::RunUnlha(ctx, archive::extractAllCommand(archivePath, target))) {
        ctx.critical(kMsgExtractFailed);
        return false;
    }
    return true;
}

std::array<bool, kPresenceRows> presenceRows(const QString& folder)
{
    const QString f = fileops::withoutFinalSep(folder) + QLatin1Char('/');
    std::array<bool, kPresenceRows> rows{};
    rows[RowSettings] = anyFile(f, items::kSettings);
    rows[RowFriends] = anyFile(f, items::kFriends);
    rows[RowSnacks] = anyFile(f + items::kSnacks, QStringLiteral("*.pac"));
    rows[RowToys] = anyFile(f + items::kToys, QStringLiteral("*.pty"));
    rows[RowMail] = anyFile(f + items::kInbox, QStringLiteral("*.mwm"))
                    || anyFile(f + items::kOutbox, QStringLiteral("*.mwm"))
                    || anyFile(f + items::kAttachments, QStringLiteral("*"));
    rows[RowTreasures] = anyFile(f + items::kTreasures, QStringLiteral("*.pac"));
    return rows;
}

RestoreSession::RestoreSession(Context& ctx, RestoreSource source)
    : ctx_(ctx), source_(std::move(source)), staging_(RestoreStagingFolder(ctx))
{
}

RestoreSession::~RestoreSession()
{
    close();
}

bool RestoreSession::open()
{
    if (opened_)
        return true;
    if (ctx_.table.isFull()) {
        ctx_.critical(texts::kMsgTooManyPets);
        return false;
    }
    if (source_.kind == RestoreSource::Kind::Folder && isSameOrInside(source_.folder, staging_)) {
        // Clearing the staging folder would delete the backup before it is read.
        ctx_.critical(kMsgSourceInStaging);
        return false;
    }
    opened_ = true;
    // The staging folder is Kennel's own: whatever an earlier run left there goes whole.
    complete_ = fileops::removeTree(fileops::withoutFinalSep(staging_));
    if (source_.kind == RestoreSource::Kind::Archive) {
        PreparePetFolder(ctx_, staging_);
        complete_ &= ExtractArchive(ctx_, source_.archive, staging_);
    } else {
        QString folder = source_.folder;
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        complete_ &= ShellCopyAll(ctx_, folder + QStringLiteral("*.*"), staging_);
        fileops::makeFolder(fileops::withoutFinalSep(staging_));
    }
    for (const QString& name : items::kFolderOrder)
        complete_ &= fileops::makeFolder(staging_ + name);
    return true;
}

bool RestoreSession::registerPet(const QString& pet, const QString& master)
{
    if (!opened_ || registered_)
        return false;
    if (pet.isEmpty() || master.isEmpty()) {
        ctx_.critical(texts::kMsgEnterNames);
        return false;
    }
    bool refused = false;
    if (pet == texts::kNewPetEntry) {
        ctx_.critical(texts::kMsgReservedName);
        refused = true;
    }
    if (ctx_.table.indexOf(pet) >= 0) {
        ctx_.critical(texts::kMsgDuplicatePet);
        refused = true;
    }
    if (refused)
        return false;
    if (!registrableName(pet) || !registrableName(master)) {
        ctx_.critical(texts::kMsgUnstorableName);
        return false;
    }
    if (ctx_.table.isFull()) {
        ctx_.critical(texts::kMsgTooManyPets);
        return false;
    }
    if (!complete_) {
        // Only part of the backup arrived: the new pet would start without the rest.
        ctx_.critical(kMsgRestoreIncomplete);
        return false;
    }
    if (ctx_.table.anyShared()
        && ctx_.show(kMsgSharedNotRestored, MsgIcon::Exclamation, MsgButtons::OkCancel) != MsgAnswer::Ok)
        return false;

    PetTable& t = ctx_.table;
    const PetTable before = t;
    const int index = t.MaxUser + 1;
    const QString folder = ctx_.paths.PetFolder(index);
    const QString staging = fileops::withoutFinalSep(staging_);
    // A folder at the new pet's number belongs to no registered pet: left by an earlier run.
    if (fileops::exists(folder))
        RemovePetFolder(ctx_, folder + QLatin1Char('/'));
    if (fileops::exists(folder)) {
        ctx_.critical(kMsgRestoreFolderInTheWay.arg(folder));
        return false;
    }
    // The data appears at the pet's number whole, by one rename, before Kennel.ini lists it;
    // a kill before the file is written takes it back at the next start.
    if (!BeginJournal(ctx_, {QStringLiteral("restore"),
                             {{"pet", QString::number(index)}, {"name", pet}, {"staging", staging}}}))
        return false;
    if (!fileops::renameNoReplace(staging, folder)) {
        const int error = errno;
        EndJournal(ctx_);
        ctx_.fileError({causes::line(folder, error)});
        return false;
    }
    t.MaxUser = index;
    t.Pet[index] = pet;
    t.Master[index] = master;
    if (!WriteRegistry(ctx_)) {
        t = before;  // the file still holds the old table; so does memory
        if (fileops::renameNoReplace(folder, staging))
            EndJournal(ctx_);  // otherwise the next start takes the folder back
        return false;
    }
    EndJournal(ctx_);
    registered_ = true;
    if (ctx_.view)
        ctx_.view->selectorInsert(t.MaxUser + 1, pet);
    ctx_.information(kMsgRestoreDone);
    ctx_.NewPetRegistered = true;
    return true;
}

void RestoreSession::close()
{
    if (!opened_)
        return;
    opened_ = false;
    if (!registered_)
        fileops::removeTree(fileops::withoutFinalSep(staging_));
}
