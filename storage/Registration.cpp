#include "storage/Registration.h"

#include "ports/Context.h"
#include "app/Registry.h"
#include "storage/Journal.h"
#include "storage/PetSwitch.h"
#include "storage/StorageOps.h"

QString registrationProblem(const Context& ctx, const QString& pet, const QString& master, bool checkDuplicate)
{
    if (pet.isEmpty() || master.isEmpty())
        return texts::kMsgEnterNames;
    if (pet == texts::kNewPetEntry)
        return texts::kMsgReservedName;
    if (!registrableName(pet) || !registrableName(master))
        return texts::kMsgUnstorableName;
    // On a first run the table holds no valid names yet.
    if (checkDuplicate && ctx.RegistryLoaded && ctx.table.indexOf(pet) >= 0)
        return texts::kMsgDuplicatePet;
    return {};
}

bool commitRegistration(Context& ctx, int index, const QString& pet, const QString& master)
{
    const PetTable before = ctx.table;
    PetTable& t = ctx.table;
    t.MaxUser = qMax(t.MaxUser, index);
    t.CurrentUser = index;
    t.Pet[index] = pet;
    t.Master[index] = master;
    if (!WriteRegistry(ctx)) {
        // Nothing may go on as if the pet were registered: the file on disk still names the
        // previous pet, and the next start would store the host's data into its folder.
        ctx.table = before;
        return false;
    }
    ctx.RegistryLoaded = true;
    if (ctx.view) {
        ctx.SuppressPetSel = true;
        ctx.view->selectorInsert(index + 1, pet);
        ctx.view->setSelectorText(pet);
        ctx.view->setOwnerText(master);
        ctx.SuppressPetSel = false;
    }
    return true;
}

bool RegisterNewPet(Context& ctx, const QString& pet, const QString& master)
{
    const bool firstRun = !ctx.RegistryLoaded;
    if (firstRun)
        return commitRegistration(ctx, 0, pet, master);

    // The template replaces the host's places: the pet whose data they hold is stored first.
    if (!StoreOutgoingPet(ctx))
        return false;
    const PetTable before = ctx.table;
    const int index = ctx.table.MaxUser + 1;
    if (!BeginJournal(ctx, {QStringLiteral("newpet"), {{"pet", QString::number(index)}, {"name", pet}}}))
        return false;
    // Kennel.ini is written before the host's places are touched: should the write fail,
    // the places still hold the data of the pet the file names.
    if (!commitRegistration(ctx, index, pet, master)) {
        EndJournal(ctx);
        return false;
    }
    ctx.CurrentUnstored = false;
    if (!InitNewPetData(ctx)) {
        // The places hold a mix of the previous pet (stored in its folder) and the template:
        // no pet is current, so the next start stores them nowhere.
        ctx.table = before;
        ctx.table.CurrentUser = -1;
        if (WriteRegistry(ctx)) {
            if (ctx.view) {
                ctx.SuppressPetSel = true;
                ctx.view->selectorRemove(index + 1);
                ctx.view->setSelectorText(texts::kNewPetEntry);
                ctx.view->setOwnerText(QString());
                ctx.view->setDeleteEnabled(false);
                ctx.SuppressPetSel = false;
            }
            EndJournal(ctx);
            ctx.critical(kMsgNewPetNotReady);
            return false;
        }
        // Kennel.ini still names the new pet: it stays registered with what arrived.
        ctx.table = before;
        ctx.table.MaxUser = index;
        ctx.table.CurrentUser = index;
        ctx.table.Pet[index] = pet;
        ctx.table.Master[index] = master;
    }
    EndJournal(ctx);
    return true;
}
