#include "backup/Restore.h"

#include "backup/UnlhaLibrary.h"
#include "registry/Texts.h"
#include "shell/FileOps.h"
#include "storage/Session.h"
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

QString RestoreStagingFolder(const Session& session)
{
    return session.journal().stagingFolder() + QLatin1Char('/');
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

RestoreSession::RestoreSession(Session& session, UnlhaLibrary& library, RestoreSource source)
    : session_(session), library_(library), source_(std::move(source)), staging_(RestoreStagingFolder(session))
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
    MessagePort& messages = *session_.context().messages;
    if (session_.table().isFull()) {
        messages.critical(texts::kMsgTooManyPets);
        return false;
    }
    if (source_.kind == RestoreSource::Kind::Folder && isSameOrInside(source_.folder, staging_)) {
        // Clearing the staging folder would delete the backup before it is read.
        messages.critical(kMsgSourceInStaging);
        return false;
    }
    opened_ = true;
    // The staging folder is Kennel's own: whatever an earlier run left there goes whole.
    complete_ = fileops::removeTree(fileops::withoutFinalSep(staging_));
    if (source_.kind == RestoreSource::Kind::Archive) {
        PreparePetFolder(staging_, Steps::none(session_.context()));
        complete_ &= unpackArchive();
    } else {
        QString folder = source_.folder;
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        complete_ &= session_.shell().ShellCopyAll(folder + QStringLiteral("*.*"), staging_);
        fileops::makeFolder(fileops::withoutFinalSep(staging_));
    }
    for (const QString& name : items::kFolderOrder)
        complete_ &= fileops::makeFolder(staging_ + name);
    return true;
}

bool RestoreSession::unpackArchive()
{
    MessagePort& messages = *session_.context().messages;
    if (!WaitUnlhaIdle(messages, library_))
        return false;
    // The main window's gauge follows the bytes extracted, from 0.
    Context& ctx = session_.context();
    ProgressReset(ctx);
    const auto gauge = [&ctx](qint64 done, qint64 total) { ProgressShare(ctx, done, total); };
    if (!isArchiveFile(source_.archive)
        || !library_.RunUnlha(unlhaExtractAllCommand(source_.archive, staging_), nullptr, UnlhaWait{nullptr, gauge})) {
        messages.critical(kMsgExtractFailed);
        return false;
    }
    return true;
}

bool RestoreSession::registerPet(const QString& pet, const QString& master)
{
    if (!opened_ || registered_)
        return false;
    MessagePort& messages = *session_.context().messages;
    const PetTable& t = session_.table();
    if (pet.isEmpty() || master.isEmpty()) {
        messages.critical(texts::kMsgEnterNames);
        return false;
    }
    bool refused = false;
    if (pet == texts::kNewPetEntry) {
        messages.critical(texts::kMsgReservedName);
        refused = true;
    }
    if (t.indexOf(pet) >= 0) {
        messages.critical(texts::kMsgDuplicatePet);
        refused = true;
    }
    if (refused)
        return false;
    if (!registrableName(pet) || !registrableName(master)) {
        messages.critical(texts::kMsgUnstorableName);
        return false;
    }
    if (t.isFull()) {
        messages.critical(texts::kMsgTooManyPets);
        return false;
    }
    if (!complete_) {
        // Only part of the backup arrived: the new pet would start without the rest.
        messages.critical(kMsgRestoreIncomplete);
        return false;
    }
    if (t.anyShared() && messages.show(kMsgSharedNotRestored, MsgIcon::Exclamation, MsgButtons::OkCancel) != MsgAnswer::Ok)
        return false;
    if (!session_.registerRestored(fileops::withoutFinalSep(staging_), pet, master))
        return false;
    registered_ = true;
    messages.information(kMsgRestoreDone);
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
