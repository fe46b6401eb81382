// RecoverInterruptedWork: the start-up half of the intent journal (storage/Journal.h).
#include "ports/Context.h"
#include "app/Registry.h"
#include "storage/DeletePet.h"
#include "shell/FileOps.h"
#include "storage/Journal.h"
#include "storage/PetSwitch.h"
#include "storage/StorageOps.h"

namespace {

RegistryContent readRegistryFile(const Context& ctx)
{
    const auto bytes = fileops::readRegular(ctx.paths.registryFile(), 1 << 20);
    return bytes ? parseRegistry(*bytes) : RegistryContent{};
}

bool listed(const RegistryContent& reg, int index, const QString& name)
{
    return reg.kind == RegistryContent::Kind::Version2 && index >= 0 && index <= reg.table.MaxUser
           && reg.table.Pet[index] == name;
}

// Writes `table` as Kennel.ini; false when it could not be written.
bool writeTable(Context& ctx, const PetTable& table)
{
    ctx.table = table;
    return WriteRegistry(ctx);
}

// The chosen pet's folder goes into the host's places again and Kennel.ini names it.
bool finishSwitch(Context& ctx, const journal::Entry& e, const RegistryContent& reg)
{
    if (reg.kind != RegistryContent::Kind::Version2)
        return true;  // ReadRegistry deals with the file; nothing was written over a pet
    PetTable t = reg.table;
    const int i = e.number(QStringLiteral("pet"));
    if (!listed(reg, i, e.value(QStringLiteral("name"))))
        return true;  // not a switch between the pets of this file: nothing of it to finish
    if (!fileops::exists(ctx.paths.PetFolder(i))) {
        // The places may hold a mix: no pet owns them.
        t.CurrentUser = -1;
        return writeTable(ctx, t);
    }
    ctx.table = t;
    ctx.table.CurrentUser = i;
    const bool loaded = LoadPetData(ctx) && LoadedWhole(ctx, ctx.paths.PetFolder(i));
    t.CurrentUser = loaded ? i : -1;
    if (!loaded)
        ctx.critical(kMsgRecoveredLoadFailed);
    return writeTable(ctx, t);
}

// The new pet named in Kennel.ini gets the template again.
bool finishNewPet(Context& ctx, const journal::Entry& e, const RegistryContent& reg)
{
    const int n = e.number(QStringLiteral("pet"));
    if (!listed(reg, n, e.value(QStringLiteral("name"))) || reg.table.CurrentUser != n)
        return true;  // the registration was not written: the places were not touched
    ctx.table = reg.table;
    if (InitNewPetData(ctx))
        return true;
    // Not even now: the registration is taken back (the new pet has no data of its own yet,
    // and no folder), and no pet owns the mixed places.
    PetTable t = reg.table;
    t.CurrentUser = -1;
    if (n == t.MaxUser)
        t.MaxUser = n - 1;
    ctx.critical(kMsgNewPetNotReady);
    return writeTable(ctx, t);
}

bool finishDelete(Context& ctx, const journal::Entry& e, const RegistryContent& reg)
{
    const int c = e.number(QStringLiteral("pet"));
    const int m = e.number(QStringLiteral("max"));
    const QString trash = e.value(QStringLiteral("trash"));
    // Only a trash name of Kennel's own is ever removed, whatever the journal says.
    const QString prefix = ctx.paths.place(QStringLiteral(".kennel-deleted"));
    if (!trash.startsWith(prefix) || trash.indexOf(QLatin1Char('/'), prefix.size()) != -1)
        return true;
    const bool before = reg.kind == RegistryContent::Kind::Version2 && reg.table.MaxUser == m
                        && listed(reg, c, e.value(QStringLiteral("name")));
    if (before) {
        if (!RenumberPetFolders(ctx, c, m, trash) || !writeTable(ctx, TableAfterDeletion(reg.table, c)))
            return false;
    } else if (!(reg.kind == RegistryContent::Kind::Version2 && reg.table.MaxUser == m - 1)) {
        return true;  // not this deletion's file: leave the folders alone
    }
    fileops::removeTree(trash);
    return true;
}

// Unless Kennel.ini lists the restored pet, its folder goes back to the staging name (and
// from there, with the rest of the staging folder, away).
bool finishRestore(Context& ctx, const journal::Entry& e, const RegistryContent& reg)
{
    const int n = e.number(QStringLiteral("pet"));
    if (n < 0 || n >= kMaxPets || listed(reg, n, e.value(QStringLiteral("name"))))
        return true;
    if (reg.kind == RegistryContent::Kind::Version2 && n <= reg.table.MaxUser)
        return true;  // another pet owns that number now
    const QString folder = ctx.paths.PetFolder(n);
    const QString staging = journal::stagingFolder(ctx.paths);
    if (!fileops::exists(folder))
        return true;
    return fileops::removeTree(staging) && fileops::renameNoReplace(folder, staging);
}

// A path the upgrade journal may name: a pet folder 1 to 3 or a mailbox folder 1 to 3.
bool upgradePath(const Context& ctx, const QString& path)
{
    for (int n = 1; n <= 3; ++n)
        if (path == ctx.paths.PetFolder(n - 1) || path == ctx.paths.OldPetFolder(n))
            return true;
    return false;
}

bool finishUpgrade(Context& ctx, const journal::Entry& e, const RegistryContent& reg)
{
    // A journal naming anything but the upgrade's folders is not the upgrade's: left alone.
    for (const auto& kv : e.values)
        if (!upgradePath(ctx, kv.second))
            return true;
    if (reg.kind == RegistryContent::Kind::Version1) {
        // Back to the version 1.0 folders: the upgrade is offered again.
        for (int k = 2; k >= 0; --k) {
            const QString from = e.value(QStringLiteral("from%1").arg(k));
            const QString to = e.value(QStringLiteral("to%1").arg(k));
            if (!from.isEmpty() && !to.isEmpty() && fileops::exists(to) && !fileops::exists(from) && !fileops::renameNoReplace(to, from))
                return false;
            const QString made = e.value(QStringLiteral("made%1").arg(k));
            if (!made.isEmpty()) {
                for (const QString& name : items::kFolderOrder)
                    fileops::removeFolder(made + QLatin1Char('/') + name);
                fileops::removeFolder(made);
            }
        }
        return true;
    }
    if (reg.kind != RegistryContent::Kind::Version2)
        return true;
    for (int k = 0; k < 3; ++k) {
        const QString gone = e.value(QStringLiteral("remove%1").arg(k));
        if (!gone.isEmpty())
            RemovePetFolder(ctx, gone + QLatin1Char('/'));
    }
    SnapshotDefaultData(ctx);
    return true;
}

} // namespace

bool RecoverInterruptedWork(Context& ctx)
{
    const int stepSize = ctx.StepSize;
    ctx.StepSize = 0;
    bool ok = true;
    QString namedTrash; // a deletion's trash that its journal may have left alone
    if (const auto e = journal::read(ctx.paths)) {
        if (e->op == QLatin1String("delete"))
            namedTrash = e->value(QStringLiteral("trash"));
        const RegistryContent reg = readRegistryFile(ctx);
        const PetTable table = ctx.table;
        if (e->op == QLatin1String("switch"))
            ok = finishSwitch(ctx, *e, reg);
        else if (e->op == QLatin1String("newpet"))
            ok = finishNewPet(ctx, *e, reg);
        else if (e->op == QLatin1String("delete"))
            ok = finishDelete(ctx, *e, reg);
        else if (e->op == QLatin1String("restore"))
            ok = finishRestore(ctx, *e, reg);
        else if (e->op == QLatin1String("upgrade"))
            ok = finishUpgrade(ctx, *e, reg);
        ctx.table = table;  // ReadRegistry fills the table from the file
        if (ok)
            ok = journal::remove(ctx.paths);
    } else if (fileops::exists(journal::path(ctx.paths))) {
        journal::remove(ctx.paths);  // names no operation: nothing to finish
    }
    // A restore that never registered leaves its staging folder behind; a deletion whose
    // journal is gone, its trash (earlier versions left the deleted pet's sub-folders there).
    if (ok) {
        fileops::removeTree(journal::stagingFolder(ctx.paths));
        for (const QString& trash : journal::trashFolders(ctx.paths))
            if (trash != namedTrash)
                fileops::removeTree(trash);
    }
    ctx.StepSize = stepSize;
    return ok;
}
