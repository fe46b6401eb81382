#include "ui/main/Registration.h"

#include "app/Context.h"
#include "app/Cp932.h"
#include "app/Registry.h"

QString registrationProblem(const Context& ctx, const QString& pet, const QString& master, bool checkDuplicate)
{
    if (pet.isEmpty() || master.isEmpty())
        return texts::kMsgEnterNames;
    if (pet == texts::kNewPetEntry)
        return texts::kMsgReservedName;
    if (!cp932::storableInLine(pet) || !cp932::storableInLine(master))
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
