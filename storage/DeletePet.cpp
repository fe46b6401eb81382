#include "storage/DeletePet.h"

#include "app/Context.h"
#include "app/Gauge.h"
#include "app/Registry.h"
#include "storage/FileOps.h"
#include "storage/PetCopyCheck.h"
#include "storage/StorageOps.h"

#include <cmath>

namespace {

QString folderArg(const Context& ctx, int index)
{
    return ctx.paths.PetFolder(index) + QLatin1Char('/');
}

// Moves the pet at index + 1 into the folder of index: a copy of its folder, checked
// against the source; a pet without a folder leaves none behind. False when incomplete.
bool moveDown(Context& ctx, int index)
{
    const QString source = ctx.paths.PetFolder(index + 1);
    const QString target = ctx.paths.PetFolder(index);
    if (!fileops::exists(source)) {
        RemovePetFolder(ctx, folderArg(ctx, index));
        return !fileops::exists(target);
    }
    CopyPetFolder(ctx, folderArg(ctx, index + 1), folderArg(ctx, index));
    return samePetData(source, target);
}

void finish(Context& ctx)
{
    ProgressFill(ctx);
    ctx.view->BusyOff();
}

void selectPet(Context& ctx, int index)
{
    ctx.SuppressPetSel = true;
    ctx.view->setSelectorText(ctx.table.Pet[index]);
    ctx.view->setOwnerText(ctx.table.Master[index]);
    ctx.SuppressPetSel = false;
}

// The copy into the folder of `at` failed. The pets before `at` have moved, those after it
// have not; the pet being deleted takes `at`, without a folder, and stays current.
void stopAt(Context& ctx, int deleted, int at, const QString& pet, const QString& master)
{
    PetTable& t = ctx.table;
    RemovePetFolder(ctx, folderArg(ctx, at));
    t.Pet[at] = pet;
    t.Master[at] = master;
    t.CurrentUser = at;
    if (at != deleted) {
        ctx.view->selectorRemove(deleted + 1);
        ctx.view->selectorInsert(at + 1, pet);
    }
    selectPet(ctx, at);
    ctx.StepSize = 1;
    WriteRegistry(ctx);
    ctx.StepSize = 0;
    ctx.critical(kMsgDeleteStopped.arg(pet));
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
    if (!writable) {
        ctx.critical(kMsgDeleteNotStarted.arg(pet));
        finish(ctx);
        ctx.StepSize = 0;
        return DeleteResult::Stopped;
    }

    if (c < m) {
        ctx.StepSize = static_cast<int>(std::floor(((64.0 / m) - c) / 16.0));
        for (int i = c; i < m; ++i) {
            if (!moveDown(ctx, i)) {
                stopAt(ctx, c, i, pet, master);
                finish(ctx);
                return DeleteResult::Stopped;
            }
            t.Pet[i] = t.Pet[i + 1];
            t.Master[i] = t.Master[i + 1];
        }
    }

    t.MaxUser = m - 1;
    t.CurrentUser = -1;
    ctx.StepSize = 1;
    // The last folder (now a duplicate, or the deleted pet's own) goes only once Kennel.ini
    // no longer lists a pet in it.
    if (writeUntilDone(ctx))
        RemovePetFolder(ctx, folderArg(ctx, m));

    ctx.view->selectorRemove(c + 1);
    ctx.view->setSelectorText(texts::kNewPetEntry);
    ctx.view->setOwnerText(QString());
    ctx.view->setDeleteEnabled(false);
    ctx.StepSize = 0;
    finish(ctx);
    return DeleteResult::Deleted;
}
