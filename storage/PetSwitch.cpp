#include "storage/PetSwitch.h"

#include "app/Context.h"
#include "app/Gauge.h"
#include "app/Registry.h"
#include "storage/FileOps.h"
#include "storage/PetCopyCheck.h"
#include "storage/StorageOps.h"

#include <QFile>

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

// The current pet's data lives only in the host's places while it has no pet folder. Stores
// it there; false (after telling the user) when the stored copy does not match the places.
bool storeOutgoingWithoutFolder(Context& ctx)
{
    const PetTable& t = ctx.table;
    if (t.CurrentUser < 0 || t.CurrentUser > t.MaxUser)
        return true;
    const QString folder = ctx.paths.PetFolder(t.CurrentUser);
    if (fileops::exists(folder))
        return true;

    const int stepSize = ctx.StepSize;
    ctx.StepSize = 1;
    StorePetData(ctx);
    const bool stored = samePetData(ctx.paths.ProgramFolder, folder);
    if (!stored) {
        // A partial folder would pass for a stored pet next time.
        RemovePetFolder(ctx, folder + QLatin1Char('/'));
        ctx.critical(kMsgOutgoingNotStored.arg(t.Pet[t.CurrentUser]));
    }
    ctx.StepSize = stepSize;
    return stored;
}

// True when the host's places hold what LoadPetData should have put there from folder:
// every unshared kind and both settings files.
bool loadedWhole(const Context& ctx, const QString& folder)
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

// The current pet as Kennel.ini on disk names it; -1 when none or unreadable.
int currentInFile(const Context& ctx)
{
    QFile file(ctx.paths.registryFile());
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const RegistryContent content = parseRegistry(file.readAll());
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
    t.CurrentUser = i;
    ctx.view->setOwnerText(t.Master[i]);
    ctx.StepSize = 2;
    LoadPetData(ctx);
    if (!loadedWhole(ctx, ctx.paths.PetFolder(i))) {
        t.CurrentUser = -1;
        reselectCurrent(ctx);
        ctx.StepSize = 9;
        WriteRegistry(ctx);
        ctx.critical(kMsgPetNotLoaded.arg(t.Pet[i]));
        return PetSwitchResult::LoadFailed;
    }
    ctx.StepSize = 9;
    if (!WriteRegistry(ctx)) {
        reloadPetNamedInFile(ctx, i);
        return t.CurrentUser == i ? PetSwitchResult::Switched : PetSwitchResult::Refused;
    }
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
        if (t.CurrentUser >= 0 && t.CurrentUser <= t.MaxUser && !fileops::exists(ctx.paths.PetFolder(t.CurrentUser))) {
            ProgressReset(ctx);
            ctx.view->BusyOn();
            const bool stored = storeOutgoingWithoutFolder(ctx);
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
        if (storeOutgoingWithoutFolder(ctx)) {
            result = loadChosen(ctx, i);
        } else {
            reselectCurrent(ctx);
            result = PetSwitchResult::Refused;
        }
    }
    finish(ctx);
    return result;
}
