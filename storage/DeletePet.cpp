// Deleting a pet (Session::deletePet) and the folder moves it makes.
#include "storage/Session.h"
#include "storage/StorageOps.h"

#include "shell/FileOps.h"

#include <cmath>

namespace {

// The gauge takes the steps of a folder copy for each pet that moves down.
constexpr int kStepsPerMove = 16;

// The gauge points of each of those steps for deleting pet c of pets 0 to m (the first pets
// move most); the trash is removed at 1 point a step.
int movePoints(int c, int m)
{
    return c < m ? static_cast<int>(std::floor(((64.0 / m) - c) / 16.0)) : 0;
}

// Undoes the moves before index `at` (whose rename failed) and gives pet c its folder back.
bool moveBack(const HostLayout& layout, int c, int at, const QString& trash, bool hadFolder)
{
    bool ok = true;
    for (int j = at - 1; j >= c; --j) {
        const QString from = layout.PetFolder(j);
        const QString to = layout.PetFolder(j + 1);
        if (fileops::exists(from) && !fileops::exists(to))
            ok &= fileops::renameNoReplace(from, to);
    }
    if (fileops::exists(trash) && hadFolder)
        ok &= fileops::renameNoReplace(trash, layout.PetFolder(c));
    else if (fileops::exists(trash))
        fileops::removeFolder(trash);
    return ok && !fileops::exists(trash);
}

} // namespace

bool Session::renumberPetFolders(int c, int m, const QString& trash, Steps steps, int* failedAt)
{
    if (!fileops::exists(trash)) {
        // An empty trash stands for a pet that had no folder: it marks the first move done.
        const QString own = layout_.PetFolder(c);
        const bool ok = fileops::exists(own) ? fileops::renameNoReplace(own, trash) : fileops::makeFolder(trash);
        if (!ok) {
            if (failedAt)
                *failedAt = c; // nothing moved
            return false;
        }
    }
    for (int i = c; i < m; ++i) {
        const QString target = layout_.PetFolder(i);
        const QString source = layout_.PetFolder(i + 1);
        if (!fileops::exists(target) && fileops::exists(source) && !fileops::renameNoReplace(source, target)) {
            if (failedAt)
                *failedAt = i;
            return false;
        }
        for (int k = 0; k < kStepsPerMove; ++k)
            steps();
    }
    return true;
}

DeleteResult Session::deletePet(int index)
{
    const int c = table_.CurrentUser;
    const int m = table_.MaxUser;
    if (index != c || c < 0 || c > m || m >= kMaxPets)
        return DeleteResult::NoPet;

    const QString pet = table_.Pet[c];
    if (ctx_.messages->show(kMsgConfirmDelete.arg(pet), MsgIcon::Exclamation, MsgButtons::OkCancel, kDeleteCaption)
        != MsgAnswer::Ok)
        return DeleteResult::Cancelled;

    const BusyScope busy(ctx_);
    // Once folders have moved, Kennel.ini must follow them: make sure it can be written.
    const bool writable = WriteRegistry(Steps::none(ctx_));
    const QString trash = journal_.freeTrashFolder();
    if (!writable || !beginJournal(journal::Delete{c, m, pet, trash})) {
        if (!writable)
            ctx_.messages->critical(kMsgDeleteNotStarted.arg(pet));
        return DeleteResult::Stopped;
    }

    // The folders move by renaming: pet c's to the trash, every later one down one number.
    // A kill from here on is finished at the next start (storage/Journal.h).
    const bool hadFolder = fileops::exists(layout_.PetFolder(c));
    int failedAt = c;
    if (!renumberPetFolders(c, m, trash, Steps(ctx_, movePoints(c, m)), &failedAt)) {
        if (!moveBack(layout_, c, failedAt, trash, hadFolder))
            ctx_.fatal(kMsgDeleteUndoFailed); // the next start finishes the deletion
        endJournal();
        ctx_.messages->critical(kMsgDeleteStopped.arg(pet));
        return DeleteResult::Stopped;
    }

    table_ = table_.withoutPet(c);
    currentUnstored_ = false; // no pet is current any more
    // The deleted pet's folder goes only once Kennel.ini no longer lists it. Should the file
    // stay unwritten, the journal stays too, and the next start writes it.
    const Steps one(ctx_, 1);
    bool written = WriteRegistry(one);
    while (!written && ctx_.messages->show(kMsgDeleteRegistryRetry, MsgIcon::Critical, MsgButtons::RetryCancel)
                           == MsgAnswer::Retry)
        written = WriteRegistry(one);
    if (written) {
        // The trash is Kennel's own: it goes whole, sub-folders of the deleted pet included.
        RemovePetFolder(trash + QLatin1Char('/'), one);
        fileops::removeTree(trash);
        endJournal();
    }
    return DeleteResult::Deleted;
}
