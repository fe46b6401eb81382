#include "storage/StorageOps.h"

#include "app/Causes.h"
#include "app/Context.h"
#include "app/FaultPoint.h"
#include "app/Gauge.h"
#include "shell/ShellCopy.h"
#include "storage/FileOps.h"

#include <cerrno>
#include <set>
#include <string>

using namespace items;

// A target is brought up to date rather than cleared and copied again: files the source
// lacks are deleted, then each copy replaces only the files that differ (ShellCopyChanged).
// The result is the same files as clearing first; unchanged files are neither deleted nor
// rewritten.

namespace {

using Names = std::set<std::string>;

// A file a copy takes: a regular file or a link (copied as a link).
bool isCopiedFile(const QString& path)
{
    return fileops::exists(path) && !fileops::isFolder(path);
}

// The names of the files a "/*.*" copy takes from folder; none when it cannot be read.
Names copiedNames(const QString& folder)
{
    Names names;
    for (const fileops::Entry& e : fileops::copiedEntries(folder))
        names.insert(e.name);
    return names;
}

// As fileops::deleteFile before a copy of from to to, but a file that the copy replaces stays.
bool deleteUnlessReplaced(const QString& from, const QString& to)
{
    if (isCopiedFile(from) && isCopiedFile(to))
        return true;
    return fileops::deleteFile(to);
}

// An item folder that is a link is never written through: the link goes (the folder it
// points to stays as it is) and a real folder takes its place.
void replaceLinkByFolder(const QString& path)
{
    if (fileops::isLink(path))
        fileops::makeFolder(path);
}

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
bool clearPetFolder(Context& ctx, const QString& base)
{
    bool ok = fileops::clearFiles(base);
    Step(ctx);
    for (const QString& name : kFolderOrder) {
        ok &= fileops::clearFiles(child(base, name));
        Step(ctx);
    }
    return ok;
}

// As clearPetFolder before copyAllKinds from source, keeping what the copy replaces.
bool clearPetFolderFor(Context& ctx, const QString& source, const QString& base)
{
    Names rootFiles;
    for (const QString& name : {kFriends, kSettings, kSettingsBackup})
        if (isCopiedFile(child(source, name)))
            rootFiles.insert(name.toStdString());
    bool ok = fileops::clearFiles(base, rootFiles);
    Step(ctx);
    for (const QString& name : kFolderOrder) {
        replaceLinkByFolder(child(base, name));
        ok &= fileops::clearFiles(child(base, name), copiedNames(child(source, name)));
        Step(ctx);
    }
    return ok;
}

// Makes or clears a pet folder so that it can take a copy of source (seven steps).
bool readyTarget(Context& ctx, const QString& source, const QString& target)
{
    if (fileops::isFolder(target))
        return clearPetFolderFor(ctx, source, target);
    const bool ok = fileops::makeFolder(target);  // a link in its place goes
    Step(ctx);
    makeItemFolders(ctx, target, true);
    return ok;
}

// Copies a single-file item when the source has it.
bool copyIfPresent(Context& ctx, const QString& from, const QString& to)
{
    return !fileops::exists(from) || ShellCopyChanged(ctx, from, to);
}

// The attachments folder is copied only when the source has one.
bool copyAttachmentsIfPresent(Context& ctx, const QString& fromBase, const QString& toBase)
{
    const QString from = child(fromBase, kAttachments);
    return !fileops::exists(from)
        || ShellCopyChanged(ctx, from + kAll, child(toBase, kAttachments) + QLatin1Char('/'));
}

bool copyFolderItem(Context& ctx, const QString& fromBase, const QString& toBase, const QString& name)
{
    return ShellCopyChanged(ctx, child(fromBase, name) + kAll, child(toBase, name) + QLatin1Char('/'));
}

// All kinds from one pet-shaped folder into another (ten steps): the single files,
// the attachments, then toys, snacks, inbox, outbox and treasures.
bool copyAllKinds(Context& ctx, const QString& from, const QString& to)
{
    bool ok = copyIfPresent(ctx, child(from, kFriends), child(to, kFriends));
    Step(ctx);
    ok &= copyIfPresent(ctx, child(from, kSettings), child(to, kSettings));
    Step(ctx);
    ok &= copyIfPresent(ctx, child(from, kSettingsBackup), child(to, kSettingsBackup));
    Step(ctx);
    ok &= copyAttachmentsIfPresent(ctx, from, to);
    Step(ctx);
    for (const QString& name : {kToys, kSnacks, kInbox, kOutbox, kTreasures}) {
        ok &= copyFolderItem(ctx, from, to, name);
        Step(ctx);
    }
    return ok;
}

// Replaces the host's unshared kinds from source (a pet folder or the template), five steps.
bool replaceUnsharedKinds(Context& ctx, const QString& source)
{
    const PetTable& t = ctx.table;
    bool ok = true;
    auto hostPlace = [&](const QString& name) { return ctx.paths.place(name); };
    auto clearFor = [&](const QString& name) {
        replaceLinkByFolder(hostPlace(name));
        ok &= fileops::clearFiles(hostPlace(name), copiedNames(child(source, name)));
    };
    auto replaceFolder = [&](const QString& name) {
        clearFor(name);
        ok &= ShellCopyChanged(ctx, child(source, name) + kAll, hostPlace(name) + QLatin1Char('/'));
    };

    if (!t.Oyatsu)
        replaceFolder(kSnacks);
    Step(ctx);
    if (!t.Treasures)
        replaceFolder(kTreasures);
    Step(ctx);
    if (!t.Friends) {
        ok &= deleteUnlessReplaced(child(source, kFriends), hostPlace(kFriends));
        ok &= copyIfPresent(ctx, child(source, kFriends), hostPlace(kFriends));
    }
    Step(ctx);
    if (!t.Toys)
        replaceFolder(kToys);
    Step(ctx);
    if (!t.Mails) {
        clearFor(kInbox);
        clearFor(kOutbox);
        clearFor(kAttachments);
        ok &= copyAttachmentsIfPresent(ctx, source, ctx.paths.ProgramFolder);
        ok &= ShellCopyChanged(ctx, child(source, kInbox) + kAll, hostPlace(kInbox) + QLatin1Char('/'));
        ok &= ShellCopyChanged(ctx, child(source, kOutbox) + kAll, hostPlace(kOutbox) + QLatin1Char('/'));
    }
    Step(ctx);
    return ok;
}

}  // namespace

bool SnapshotDefaultData(Context& ctx)
{
    const FileErrorGroup oneBox(ctx);
    const QString def = ctx.paths.DefaultFolder();
    bool ok = fileops::makeFolder(def);
    makeItemFolders(ctx, def, false);
    Step(ctx);
    ok &= copyIfPresent(ctx, ctx.paths.place(kFriends), child(def, kFriends));
    Step(ctx);
    ok &= copyIfPresent(ctx, ctx.paths.place(kSettings), child(def, kSettings));
    Step(ctx);
    ok &= copyIfPresent(ctx, ctx.paths.place(kSettingsBackup), child(def, kSettingsBackup));
    Step(ctx);
    ok &= copyAttachmentsIfPresent(ctx, ctx.paths.ProgramFolder, def);
    Step(ctx);
    for (const QString& name : {kInbox, kOutbox, kToys, kSnacks, kTreasures}) {
        ok &= ShellCopyChanged(ctx, ctx.paths.place(name) + kAll, child(def, name) + QLatin1Char('/'));
        Step(ctx);
    }
    return ok;
}

bool InitNewPetData(Context& ctx)
{
    const FileErrorGroup oneBox(ctx);
    bool ok = replaceUnsharedKinds(ctx, ctx.paths.DefaultFolder());
    ok &= fileops::deleteFile(ctx.paths.place(kSettings));
    Step(ctx);
    ok &= fileops::deleteFile(ctx.paths.place(kSettingsBackup));
    Step(ctx);
    return ok;
}

bool StorePetData(Context& ctx)
{
    const FileErrorGroup oneBox(ctx);
    if (ctx.table.CurrentUser == -1)
        return true;
    const QString pet = ctx.paths.PetFolder(ctx.table.CurrentUser);
    bool ok = readyTarget(ctx, ctx.paths.ProgramFolder, pet);
    // The host places are the program folder itself.
    ok &= copyAllKinds(ctx, ctx.paths.ProgramFolder, pet);
    return ok;
}

bool LoadPetData(Context& ctx)
{
    const FileErrorGroup oneBox(ctx);
    if (ctx.table.CurrentUser == -1)
        return true;
    const QString pet = ctx.paths.PetFolder(ctx.table.CurrentUser);
    if (!fileops::exists(pet))
        ctx.fatal(causes::below(kMsgPetFolderMissing, {causes::ofPath(pet, ENOENT)}));
    bool ok = replaceUnsharedKinds(ctx, pet);
    ok &= deleteUnlessReplaced(child(pet, kSettings), ctx.paths.place(kSettings));
    Step(ctx);
    ok &= deleteUnlessReplaced(child(pet, kSettingsBackup), ctx.paths.place(kSettingsBackup));
    Step(ctx);
    ok &= copyIfPresent(ctx, child(pet, kSettings), ctx.paths.place(kSettings));
    Step(ctx);
    ok &= copyIfPresent(ctx, child(pet, kSettingsBackup), ctx.paths.place(kSettingsBackup));
    Step(ctx);
    return ok;
}

bool CopyPetFolder(Context& ctx, const QString& source, const QString& target)
{
    const FileErrorGroup oneBox(ctx);
    const QString from = fileops::withoutFinalSep(source);
    const QString to = fileops::withoutFinalSep(target);
    bool ok = readyTarget(ctx, from, to);
    ok &= copyAllKinds(ctx, from, to);
    return ok;
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
    if (fileops::isLink(f)) {
        // Removed as a link; nothing it points to is touched.
        fileops::removeFolder(f);
        for (int k = 0; k < 14; ++k)
            Step(ctx);
        return;
    }
    clearPetFolder(ctx, f);
    for (const QString& name : kFolderOrder) {
        fileops::removeFolder(child(f, name));
        Step(ctx);
    }
    fileops::removeFolder(f);
    Step(ctx);
}
