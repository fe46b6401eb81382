#include "storage/DeletePet.h"

#include "ports/Context.h"
#include "ports/Gauge.h"
#include "app/Registry.h"
#include "shell/FileOps.h"
#include "storage/Journal.h"
#include "storage/StorageOps.h"

#include <cmath>

namespace {

// The gauge takes the steps of a folder copy for each pet that moves down.
constexpr int kStepsPerMove = 16;

void finish(Context& ctx)
{
    ProgressFill(ctx);
    ctx.view->BusyOff();
}

// Undoes the moves before index `at` (whose rename failed) and gives pet c its folder back.
bool moveBack(Context& ctx, int c, int at, const QString& trash, bool hadFolder)
{
    bool ok = true;
    for (int j = at - 1; j >= c; --j) {
        const QString from = ctx.paths.PetFolder(j);
        const QString to = ctx.paths.PetFolder(j + 1);
        if (fileops::exists(from) && !fileops::exists(to))
            ok &= fileops::renameNoReplace(from, to);
    }
    if (fileops::exists(trash) && hadFolder)
        ok &= fileops::renameNoReplace(trash, ctx.paths.PetFolder(c));
    else if (fileops::exists(trash))
        fileops::removeFolder(trash);
    return ok && !fileops::exists(trash);
}

// Writes the shrunk table; on failure the user may try again.
bool writeUntilDone(Context& ctx)
{
    while (!WriteRegistry(ctx)) {
        const MsgAnswer a = ctx.show(kMsgDeleteRegistryRetry, MsgIcon::Critical, MsgButtons::RetryCancel);
        if (a != MsgAnswer::Retry)
            return false;
    }
    return true;
}

} // namespace

bool RenumberPetFolders(Context& ctx, int c, int m, const QString& trash, int* failedAt)
{
    if (!fileops::exists(trash)) {
        // An empty trash stands for a pet that had no folder: it marks the first move done.
        const QString own = ctx.paths.PetFolder(c);
        const bool ok = fileops::exists(own) ? fileops::renameNoReplace(own, trash) : fileops::makeFolder(trash);
        if (!ok) {
            if (failedAt)
                *failedAt = c;  // nothing moved
            return false;
        }
    }
    for (int i = c; i < m; ++i) {
        const QString target = ctx.paths.PetFolder(i);
        const QString source = ctx.paths.PetFolder(i + 1);
        if (!fileops::exists(target) && fileops::exists(source) && !fileops::renameNoReplace(source, target)) {
            if (failedAt)
                *failedAt = i;
            return false;
        }
        for (int k = 0; k < kStepsPerMove; ++k)
            Step(ctx);
    }
    return true;
}

PetTable TableAfterDeletion(const PetTable& before, int c)
{
    PetTable t = before;
    for (int i = c; i < before.MaxUser; ++i) {
        t.Pet[i] = before.Pet[i + 1];
        t.Master[i] = before.Master[i + 1];
    }
    t.MaxUser = before.MaxUser - 1;
    t.CurrentUser = -1;
    return t;
}

DeleteResult DeletePet(Context& ctx)
{
    PetTable& t = ctx.table;
    const int c = t.CurrentUser;
    const int m = t.MaxUser;
    if (c < 0 || c > m || m >= kMaxPets)
        return DeleteResult::NoPet;

    const QString pet = t.Pet[c];
    const QString master = t.Master[c];
    if (ctx.show(kMsgConfirmDelete.arg(pet), MsgIcon::Exclamation, MsgButtons::OkCancel, kDeleteCaption) !=
        MsgAnswer::Ok)
        return DeleteResult::Cancelled;

    ProgressReset(ctx);
    ctx.view->BusyOn();

    // Once folders have moved, Kennel.ini must follow them: make sure it can be written.
    const int stepSize = ctx.StepSize;
    ctx.StepSize = 0;
    const bool writable = WriteRegistry(ctx);
    ctx.StepSize = stepSize;
    const QString trash = journal::freeTrashFolder(ctx.paths);
    if (!writable
        || !BeginJournal(ctx, {QStringLiteral("delete"),
                               {{"pet", QString::number(c)}, {"max", QString::number(m)}, {"name", pet}, {"trash", trash}}})) {
        if (!writable)
            ctx.critical(kMsgDeleteNotStarted.arg(pet));
        finish(ctx);
        ctx.StepSize = 0;
        return DeleteResult::Stopped;
    }

    // The folders move by renaming: pet c's to the trash, every later one down one number.
    // A kill from here on is finished at the next start (storage/Journal.h).
    const bool hadFolder = fileops::exists(ctx.paths.PetFolder(c));
    if (c < m)
        ctx.StepSize = static_cast<int>(std::floor(((64.0 / m) - c) / 16.0));
    int failedAt = c;
    if (!RenumberPetFolders(ctx, c, m, trash, &failedAt)) {
        if (!moveBack(ctx, c, failedAt, trash, hadFolder))
            ctx.fatal(kMsgDeleteUndoFailed);  // the next start finishes the deletion
        EndJournal(ctx);
        ctx.StepSize = 0;
        ctx.critical(kMsgDeleteStopped.arg(pet));
        finish(ctx);
        return DeleteResult::Stopped;
    }

    t = TableAfterDeletion(t, c);
    ctx.CurrentUnstored = false;  // no pet is current any more
    ctx.StepSize = 1;
    // The deleted pet's folder goes only once Kennel.ini no longer lists it. Should the file
    // stay unwritten, the journal stays too, and the next start writes it.
    if (writeUntilDone(ctx)) {
        // The trash is Kennel's own: it goes whole, sub-folders of the deleted pet included.
        RemovePetFolder(ctx, trash + QLatin1Char('/'));
        fileops::removeTree(trash);
        EndJournal(ctx);
    }

    ctx.view->selectorRemove(c + 1);
    ctx.view->setSelectorText(texts::kNewPetEntry);
    ctx.view->setOwnerText(QString());
    ctx.view->setDeleteEnabled(false);
    ctx.StepSize = 0;
    finish(ctx);
    return DeleteResult::Deleted;
}
