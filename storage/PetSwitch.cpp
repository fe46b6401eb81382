#include "storage/PetSwitch.h"

#include "ports/Context.h"
#include "ports/Gauge.h"
#include "app/Registry.h"
#include "shell/FileOps.h"
#include "storage/Journal.h"
#include "storage/PetCopyCheck.h"
#include "storage/StorageOps.h"


namespace {

// Shows the current pet in the selector again, without starting a switch.
void reselectCurrent(Context& ctx)
{
    const PetTable& t = ctx.table;
    ctx.SuppressPetSel = true;
    if (t.CurrentUser >= 0 && t.CurrentUser <= t.MaxUser) {
        ctx.view->setSelectorText(t.Pet[t.CurrentUser]);
        ctx.view->setOwnerText(t.Master[t.CurrentUser]);
    } else {
        ctx.view->setSelectorText(texts::kNewPetEntry);
        ctx.view->setOwnerText(QString());
        ctx.view->setDeleteEnabled(false);
    }
    ctx.SuppressPetSel = false;
}

} // namespace

bool CurrentPetNeedsStore(const Context& ctx)
{
    const PetTable& t = ctx.table;
    if (t.CurrentUser < 0 || t.CurrentUser > t.MaxUser)
        return false;
    return ctx.CurrentUnstored || !fileops::exists(ctx.paths.PetFolder(t.CurrentUser));
}

bool StoreOutgoingPet(Context& ctx)
{
    if (!CurrentPetNeedsStore(ctx))
        return true;
    const PetTable& t = ctx.table;
    const QString folder = ctx.paths.PetFolder(t.CurrentUser);
    const bool hadFolder = fileops::exists(folder);
    const int stepSize = ctx.StepSize;
    ctx.StepSize = 1;
    const bool stored = StorePetData(ctx) && samePetData(ctx.paths.ProgramFolder, folder);
    ctx.CurrentUnstored = !stored;
    if (!stored) {
        // A partial folder would pass for a stored pet next time. A folder that was there
        // before stays: it holds the pet's data as last stored, and the host's places the rest.
        if (!hadFolder)
            RemovePetFolder(ctx, folder + QLatin1Char('/'));
        ctx.critical(kMsgOutgoingNotStored.arg(t.Pet[t.CurrentUser]));
    }
    ctx.StepSize = stepSize;
    return stored;
}

bool LoadedWhole(const Context& ctx, const QString& folder)
{
    const PetTable& t = ctx.table;
    QStringList checked = {items::kSettings, items::kSettingsBackup};
    if (!t.Oyatsu)
        checked << items::kSnacks;
    if (!t.Treasures)
        checked << items::kTreasures;
    if (!t.Friends)
        checked << items::kFriends;
    if (!t.Toys)
        checked << items::kToys;
    if (!t.Mails)
        checked << items::kInbox << items::kOutbox << items::kAttachments;
    for (const QString& item : checked)
        if (!samePetItem(folder, ctx.paths.ProgramFolder, item))
            return false;
    return true;
}

namespace {

// The current pet as Kennel.ini on disk names it; -1 when none or unreadable.
int currentInFile(const Context& ctx)
{
    const auto bytes = fileops::readRegular(ctx.paths.registryFile(), 1 << 20);
    if (!bytes)
        return -1;
    const RegistryContent content = parseRegistry(*bytes);
    return content.kind == RegistryContent::Kind::Version2 ? content.table.CurrentUser : -1;
}

// Kennel.ini could not be written and still names another pet: that pet's data goes back
// into the host's places, for the next start stores them into its folder.
void reloadPetNamedInFile(Context& ctx, int chosen)
{
    const int inFile = currentInFile(ctx);
    if (inFile < 0 || inFile > ctx.table.MaxUser || inFile == chosen)
        return;
    ctx.table.CurrentUser = inFile;
    ctx.StepSize = 2;
    LoadPetData(ctx);
    reselectCurrent(ctx);
}

void finish(Context& ctx)
{
    ProgressFill(ctx);
    ctx.view->BusyOff();
    ctx.StepSize = 0;
}

PetSwitchResult loadChosen(Context& ctx, int i)
{
    PetTable& t = ctx.table;
    // Missing folder: LoadPetData ends the program before anything is touched or journaled.
    if (!fileops::exists(ctx.paths.PetFolder(i))) {
        t.CurrentUser = i;
        LoadPetData(ctx);
    }
    // From here to the Kennel.ini write the host's places are a mix of two pets; a kill
    // in between is finished at the next start (the chosen pet is loaded again).
    if (!BeginJournal(ctx, {QStringLiteral("switch"), {{"pet", QString::number(i)}, {"name", t.Pet[i]}}})) {
        reselectCurrent(ctx);
        return PetSwitchResult::Refused;
    }
    t.CurrentUser = i;
    ctx.CurrentUnstored = false;
    ctx.view->setOwnerText(t.Master[i]);
    ctx.StepSize = 2;
    LoadPetData(ctx);
    if (!LoadedWhole(ctx, ctx.paths.PetFolder(i))) {
        t.CurrentUser = -1;
        reselectCurrent(ctx);
        ctx.StepSize = 9;
        if (WriteRegistry(ctx))
            EndJournal(ctx);
        ctx.critical(kMsgPetNotLoaded.arg(t.Pet[i]));
        return PetSwitchResult::LoadFailed;
    }
    ctx.StepSize = 9;
    if (!WriteRegistry(ctx)) {
        // The host may run next: a journal left behind would load the stale folder over
        // what it changes. The places are made to agree with the file where they can.
        reloadPetNamedInFile(ctx, i);
        // Should that pet not be back whole either, the journal stays: the next start loads
        // the chosen pet rather than store a mix over the folder of the pet the file names.
        if (t.CurrentUser == i || LoadedWhole(ctx, ctx.paths.PetFolder(t.CurrentUser)))
            EndJournal(ctx);
        return t.CurrentUser == i ? PetSwitchResult::Switched : PetSwitchResult::Refused;
    }
    EndJournal(ctx);
    return PetSwitchResult::Switched;
}

} // namespace

PetSwitchResult SwitchPet(Context& ctx)
{
    if (ctx.SuppressPetSel)
        return PetSwitchResult::Ignored;
    PetTable& t = ctx.table;
    const QString chosen = ctx.view->selectorText();

    if (chosen == texts::kNewPetEntry) {
        // A new pet that may follow starts from the template in the host's places.
        if (CurrentPetNeedsStore(ctx)) {
            ProgressReset(ctx);
            ctx.view->BusyOn();
            const bool stored = StoreOutgoingPet(ctx);
            if (!stored)
                reselectCurrent(ctx);
            finish(ctx);
            if (!stored)
                return PetSwitchResult::Refused;
        }
        ctx.view->setDeleteEnabled(false);
        ctx.view->setOwnerText(QString());
        t.CurrentUser = -1;
        return PetSwitchResult::NewPetEntry;
    }

    ProgressReset(ctx);
    ctx.view->BusyOn();
    const int i = t.indexOf(chosen);
    if (i < 0 || i >= kMaxPets)
        ctx.fatal(kMsgInternalError);

    PetSwitchResult result = PetSwitchResult::SamePet;
    if (i != t.CurrentUser) {
        if (StoreOutgoingPet(ctx)) {
            result = loadChosen(ctx, i);
        } else {
            reselectCurrent(ctx);
            result = PetSwitchResult::Refused;
        }
    }
    finish(ctx);
    return result;
}
