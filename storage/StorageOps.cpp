#include "storage/StorageOps.h"

#include "ports/Causes.h"
#include "shell/FileOps.h"
#include "storage/Session.h"

#include <cerrno>
#include <set>
#include <string>

using namespace items;

// A target is brought up to date rather than cleared and copied again: files the source
// lacks are deleted, then each copy replaces only the files that differ (ShellCopyChanged).
// The result is the same files as clearing first; unchanged files are neither deleted nor
// rewritten.

namespace {

using NameSet = std::set<std::string>;

// A file a copy takes: a regular file or a link (copied as a link).
bool isCopiedFile(const QString& path)
{
    return fileops::exists(path) && !fileops::isFolder(path);
}

// The names of the files a "/*.*" copy takes from folder; none when it cannot be read.
NameSet copiedNames(const QString& folder)
{
    NameSet names;
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
void makeItemFolders(const QString& base, const Steps* steps = nullptr)
{
    for (const QString& name : kFolderOrder) {
        fileops::makeFolder(child(base, name));
        if (steps)
            (*steps)();
    }
}

// Clears the folder's own files and those of its six item folders, a step after each.
bool clearPetFolder(const QString& base, Steps steps)
{
    bool ok = fileops::clearFiles(base);
    steps();
    for (const QString& name : kFolderOrder) {
        ok &= fileops::clearFiles(child(base, name));
        steps();
    }
    return ok;
}

// As clearPetFolder before copyAllKinds from source, keeping what the copy replaces.
bool clearPetFolderFor(const QString& source, const QString& base, Steps steps)
{
    NameSet rootFiles;
    for (const QString& name : {kFriends, kSettings, kSettingsBackup})
        if (isCopiedFile(child(source, name)))
            rootFiles.insert(name.toStdString());
    bool ok = fileops::clearFiles(base, rootFiles);
    steps();
    for (const QString& name : kFolderOrder) {
        replaceLinkByFolder(child(base, name));
        ok &= fileops::clearFiles(child(base, name), copiedNames(child(source, name)));
        steps();
    }
    return ok;
}

// Makes or clears a pet folder so that it can take a copy of source (seven steps).
bool readyTarget(const QString& source, const QString& target, Steps steps)
{
    if (fileops::isFolder(target))
        return clearPetFolderFor(source, target, steps);
    const bool ok = fileops::makeFolder(target);  // a link in its place goes
    steps();
    makeItemFolders(target, &steps);
    return ok;
}

// Copies a single-file item when the source has it.
bool copyIfPresent(Shell& shell, const QString& from, const QString& to)
{
    return !fileops::exists(from) || shell.ShellCopyChanged(from, to);
}

// The attachments folder is copied only when the source has one.
bool copyAttachmentsIfPresent(Shell& shell, const QString& fromBase, const QString& toBase)
{
    const QString from = child(fromBase, kAttachments);
    return !fileops::exists(from)
        || shell.ShellCopyChanged(from + kAll, child(toBase, kAttachments) + QLatin1Char('/'));
}

bool copyFolderItem(Shell& shell, const QString& fromBase, const QString& toBase, const QString& name)
{
    return shell.ShellCopyChanged(child(fromBase, name) + kAll, child(toBase, name) + QLatin1Char('/'));
}

// All kinds from one pet-shaped folder into another (ten steps): the single files,
// the attachments, then toys, snacks, inbox, outbox and treasures.
bool copyAllKinds(Shell& shell, const QString& from, const QString& to, Steps steps)
{
    bool ok = copyIfPresent(shell, child(from, kFriends), child(to, kFriends));
    steps();
    ok &= copyIfPresent(shell, child(from, kSettings), child(to, kSettings));
    steps();
    ok &= copyIfPresent(shell, child(from, kSettingsBackup), child(to, kSettingsBackup));
    steps();
    ok &= copyAttachmentsIfPresent(shell, from, to);
    steps();
    for (const QString& name : {kToys, kSnacks, kInbox, kOutbox, kTreasures}) {
        ok &= copyFolderItem(shell, from, to, name);
        steps();
    }
    return ok;
}

// Replaces the host's unshared kinds from source (a pet folder or the template), five steps.
bool replaceUnsharedKinds(Session& s, const QString& source, Steps steps)
{
    const PetTable& t = s.table();
    bool ok = true;
    auto hostPlace = [&](const QString& name) { return s.layout().place(name); };
    auto clearFor = [&](const QString& name) {
        replaceLinkByFolder(hostPlace(name));
        ok &= fileops::clearFiles(hostPlace(name), copiedNames(child(source, name)));
    };
    auto replaceFolder = [&](const QString& name) {
        clearFor(name);
        ok &= s.shell().ShellCopyChanged(child(source, name) + kAll, hostPlace(name) + QLatin1Char('/'));
    };

    if (!t.Oyatsu)
        replaceFolder(kSnacks);
    steps();
    if (!t.Treasures)
        replaceFolder(kTreasures);
    steps();
    if (!t.Friends) {
        ok &= deleteUnlessReplaced(child(source, kFriends), hostPlace(kFriends));
        ok &= copyIfPresent(s.shell(), child(source, kFriends), hostPlace(kFriends));
    }
    steps();
    if (!t.Toys)
        replaceFolder(kToys);
    steps();
    if (!t.Mails) {
        clearFor(kInbox);
        clearFor(kOutbox);
        clearFor(kAttachments);
        ok &= copyAttachmentsIfPresent(s.shell(), source, s.layout().ProgramFolder);
        ok &= s.shell().ShellCopyChanged(child(source, kInbox) + kAll, hostPlace(kInbox) + QLatin1Char('/'));
        ok &= s.shell().ShellCopyChanged(child(source, kOutbox) + kAll, hostPlace(kOutbox) + QLatin1Char('/'));
    }
    steps();
    return ok;
}

}  // namespace

bool SnapshotDefaultData(Session& s, Steps steps)
{
    const FileErrorGroup oneBox(*s.context().messages);
    const QString def = s.layout().DefaultFolder();
    bool ok = fileops::makeFolder(def);
    makeItemFolders(def);
    steps();
    ok &= copyIfPresent(s.shell(), s.layout().place(kFriends), child(def, kFriends));
    steps();
    ok &= copyIfPresent(s.shell(), s.layout().place(kSettings), child(def, kSettings));
    steps();
    ok &= copyIfPresent(s.shell(), s.layout().place(kSettingsBackup), child(def, kSettingsBackup));
    steps();
    ok &= copyAttachmentsIfPresent(s.shell(), s.layout().ProgramFolder, def);
    steps();
    for (const QString& name : {kInbox, kOutbox, kToys, kSnacks, kTreasures}) {
        ok &= s.shell().ShellCopyChanged(s.layout().place(name) + kAll, child(def, name) + QLatin1Char('/'));
        steps();
    }
    return ok;
}

bool InitNewPetData(Session& s, Steps steps)
{
    const FileErrorGroup oneBox(*s.context().messages);
    bool ok = replaceUnsharedKinds(s, s.layout().DefaultFolder(), steps);
    ok &= fileops::deleteFile(s.layout().place(kSettings));
    steps();
    ok &= fileops::deleteFile(s.layout().place(kSettingsBackup));
    steps();
    return ok;
}

bool StorePetData(Session& s, Steps steps)
{
    const FileErrorGroup oneBox(*s.context().messages);
    if (s.table().CurrentUser == -1)
        return true;
    const QString pet = s.layout().PetFolder(s.table().CurrentUser);
    bool ok = readyTarget(s.layout().ProgramFolder, pet, steps);
    // The host places are the program folder itself.
    ok &= copyAllKinds(s.shell(), s.layout().ProgramFolder, pet, steps);
    return ok;
}

bool LoadPetData(Session& s, Steps steps)
{
    const FileErrorGroup oneBox(*s.context().messages);
    if (s.table().CurrentUser == -1)
        return true;
    const QString pet = s.layout().PetFolder(s.table().CurrentUser);
    if (!fileops::exists(pet))
        s.context().fatal(causes::below(kMsgPetFolderMissing, {causes::ofPath(pet, ENOENT)}));
    bool ok = replaceUnsharedKinds(s, pet, steps);
    ok &= deleteUnlessReplaced(child(pet, kSettings), s.layout().place(kSettings));
    steps();
    ok &= deleteUnlessReplaced(child(pet, kSettingsBackup), s.layout().place(kSettingsBackup));
    steps();
    ok &= copyIfPresent(s.shell(), child(pet, kSettings), s.layout().place(kSettings));
    steps();
    ok &= copyIfPresent(s.shell(), child(pet, kSettingsBackup), s.layout().place(kSettingsBackup));
    steps();
    return ok;
}

void PreparePetFolder(const QString& folder, Steps steps)
{
    const QString f = fileops::withoutFinalSep(folder);
    if (fileops::exists(f))
        RemovePetFolder(folder, steps);
    fileops::makeFolder(f);
    makeItemFolders(f);
}

void RemovePetFolder(const QString& folder, Steps steps)
{
    const QString f = fileops::withoutFinalSep(folder);
    if (fileops::isLink(f)) {
        // Removed as a link; nothing it points to is touched.
        fileops::removeFolder(f);
        for (int k = 0; k < 14; ++k)
            steps();
        return;
    }
    clearPetFolder(f, steps);
    for (const QString& name : kFolderOrder) {
        fileops::removeFolder(child(f, name));
        steps();
    }
    fileops::removeFolder(f);
    steps();
}
