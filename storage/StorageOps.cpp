#include "storage/StorageOps.h"

#include "app/Context.h"
#include "app/Gauge.h"
#include "shell/ShellCopy.h"
#include "storage/FileOps.h"

using namespace items;

namespace {

const QString kAll = QStringLiteral("/*.*");

// base + "/" + name, without doubling the separator at the root.
QString child(const QString& base, const QString& name)
{
    return base.endsWith(QLatin1Char('/')) ? base + name : base + QLatin1Char('/') + name;
}

// Makes the six item folders below base ("base/おもちゃ", ...), a step after each when stepped.
void makeItemFolders(Context& ctx, const QString& base, bool stepped)
{
    for (const QString& name : kFolderOrder) {
        fileops::makeFolder(child(base, name));
        if (stepped)
            Step(ctx);
    }
}

// Clears the folder's own files and those of its six item folders, a step after each.
void clearPetFolder(Context& ctx, const QString& base)
{
    fileops::clearFiles(base);
    Step(ctx);
    for (const QString& name : kFolderOrder) {
        fileops::clearFiles(child(base, name));
        Step(ctx);
    }
}

// Makes or clears a pet folder so that it can take a fresh copy (seven steps).
void readyTarget(Context& ctx, const QString& target)
{
    if (!fileops::exists(target)) {
        fileops::makeFolder(target);
        Step(ctx);
        makeItemFolders(ctx, target, true);
    } else {
        clearPetFolder(ctx, target);
    }
}

// Copies a single-file item when the source has it.
void copyIfPresent(Context& ctx, const QString& from, const QString& to)
{
    if (fileops::exists(from))
        ShellCopy(ctx, from, to);
}

// The attachments folder is copied only when the source has one.
void copyAttachmentsIfPresent(Context& ctx, const QString& fromBase, const QString& toBase)
{
    const QString from = child(fromBase, kAttachments);
    if (fileops::exists(from))
        ShellCopy(ctx, from + kAll, child(toBase, kAttachments) + QLatin1Char('/'));
}

void copyFolderItem(Context& ctx, const QString& fromBase, const QString& toBase, const QString& name)
{
    ShellCopy(ctx, child(fromBase, name) + kAll, child(toBase, name) + QLatin1Char('/'));
}

// All kinds from one pet-shaped folder into another (ten steps): the single files,
// the attachments, then toys, snacks, inbox, outbox and treasures.
void copyAllKinds(Context& ctx, const QString& from, const QString& to)
{
    copyIfPresent(ctx, child(from, kFriends), child(to, kFriends));
    Step(ctx);
    copyIfPresent(ctx, child(from, kSettings), child(to, kSettings));
    Step(ctx);
    copyIfPresent(ctx, child(from, kSettingsBackup), child(to, kSettingsBackup));
    Step(ctx);
    copyAttachmentsIfPresent(ctx, from, to);
    Step(ctx);
    for (const QString& name : {kToys, kSnacks, kInbox, kOutbox, kTreasures}) {
        copyFolderItem(ctx, from, to, name);
        Step(ctx);
    }
}

// Replaces the host's unshared kinds from source (a pet folder or the template), five steps.
void replaceUnsharedKinds(Context& ctx, const QString& source)
{
    const PetTable& t = ctx.table;
    auto hostPlace = [&](const QString& name) { return ctx.paths.place(name); };
    auto replaceFolder = [&](const QString& name) {
        fileops::clearFiles(hostPlace(name));
        ShellCopy(ctx, child(source, name) + kAll, hostPlace(name) + QLatin1Char('/'));
    };

    if (!t.Oyatsu)
        replaceFolder(kSnacks);
    Step(ctx);
    if (!t.Treasures)
        replaceFolder(kTreasures);
    Step(ctx);
    if (!t.Friends) {
        fileops::deleteFile(hostPlace(kFriends));
        copyIfPresent(ctx, child(source, kFriends), hostPlace(kFriends));
    }
    Step(ctx);
    if (!t.Toys)
        replaceFolder(kToys);
    Step(ctx);
    if (!t.Mails) {
        fileops::clearFiles(hostPlace(kInbox));
        fileops::clearFiles(hostPlace(kOutbox));
        fileops::clearFiles(hostPlace(kAttachments));
        const QString attachments = child(source, kAttachments);
        if (fileops::exists(attachments))
            ShellCopy(ctx, attachments + kAll, hostPlace(kAttachments) + QLatin1Char('/'));
        ShellCopy(ctx, child(source, kInbox) + kAll, hostPlace(kInbox) + QLatin1Char('/'));
        ShellCopy(ctx, child(source, kOutbox) + kAll, hostPlace(kOutbox) + QLatin1Char('/'));
    }
    Step(ctx);
}

}  // namespace

void SnapshotDefaultData(Context& ctx)
{
    const QString def = ctx.paths.DefaultFolder();
    fileops::makeFolder(def);
    makeItemFolders(ctx, def, false);
    Step(ctx);
    copyIfPresent(ctx, ctx.paths.place(kFriends), child(def, kFriends));
    Step(ctx);
    copyIfPresent(ctx, ctx.paths.place(kSettings), child(def, kSettings));
    Step(ctx);
    copyIfPresent(ctx, ctx.paths.place(kSettingsBackup), child(def, kSettingsBackup));
    Step(ctx);
    copyAttachmentsIfPresent(ctx, ctx.paths.ProgramFolder, def);
    Step(ctx);
    for (const QString& name : {kInbox, kOutbox, kToys, kSnacks, kTreasures}) {
        ShellCopy(ctx, ctx.paths.place(name) + kAll, child(def, name) + QLatin1Char('/'));
        Step(ctx);
    }
}

void InitNewPetData(Context& ctx)
{
    replaceUnsharedKinds(ctx, ctx.paths.DefaultFolder());
    fileops::deleteFile(ctx.paths.place(kSettings));
    Step(ctx);
    fileops::deleteFile(ctx.paths.place(kSettingsBackup));
    Step(ctx);
}

void StorePetData(Context& ctx)
{
    if (ctx.table.CurrentUser == -1)
        return;
    const QString pet = ctx.paths.PetFolder(ctx.table.CurrentUser);
    readyTarget(ctx, pet);
    // The host places are the program folder itself.
    copyAllKinds(ctx, ctx.paths.ProgramFolder, pet);
}

void LoadPetData(Context& ctx)
{
    if (ctx.table.CurrentUser == -1)
        return;
    const QString pet = ctx.paths.PetFolder(ctx.table.CurrentUser);
    if (!fileops::exists(pet))
        ctx.fatal(kMsgPetFolderMissing);
    replaceUnsharedKinds(ctx, pet);
    fileops::deleteFile(ctx.paths.place(kSettings));
    Step(ctx);
    fileops::deleteFile(ctx.paths.place(kSettingsBackup));
    Step(ctx);
    copyIfPresent(ctx, child(pet, kSettings), ctx.paths.place(kSettings));
    Step(ctx);
    copyIfPresent(ctx, child(pet, kSettingsBackup), ctx.paths.place(kSettingsBackup));
    Step(ctx);
}

void CopyPetFolder(Context& ctx, const QString& source, const QString& target)
{
    const QString from = fileops::withoutFinalSep(source);
    const QString to = fileops::withoutFinalSep(target);
    readyTarget(ctx, to);
    copyAllKinds(ctx, from, to);
}

void PreparePetFolder(Context& ctx, const QString& folder)
{
    const QString f = fileops::withoutFinalSep(folder);
    if (fileops::exists(f))
        RemovePetFolder(ctx, folder);
    fileops::makeFolder(f);
    makeItemFolders(ctx, f, false);
}

void RemovePetFolder(Context& ctx, const QString& folder)
{
    const QString f = fileops::withoutFinalSep(folder);
    clearPetFolder(ctx, f);
    for (const QString& name : kFolderOrder) {
        fileops::removeFolder(child(f, name));
        Step(ctx);
    }
    fileops::removeFolder(f);
    Step(ctx);
}
