#include "storage/PetCopyCheck.h"

#include "shell/FileOps.h"
#include "shell/ShellCopy.h"
#include "storage/HostLayout.h"

#include <QStringList>

namespace {

QString child(const QString& base, const QString& name)
{
    return base.endsWith(QLatin1Char('/')) ? base + name : base + QLatin1Char('/') + name;
}

// One root item: anything at the original's path must be a file with the same content
// in the copy; nothing there means nothing may be in the copy either.
bool sameRootItem(const QString& original, const QString& copy)
{
    if (!fileops::exists(original))
        return !fileops::exists(copy);
    return !fileops::isFolder(original) && !fileops::isFolder(copy) && fileops::exists(copy)
           && SameCopiedFile(original, copy);
}

bool sameItemFolder(const QString& original, const QString& copy)
{
    // What the shell copy carries; a missing item folder counts as empty, one that is a
    // link as unreadable.
    bool readableOriginal = true;
    bool readableCopy = true;
    auto list = [](const QString& folder, bool& readable) {
        QStringList names;
        if (!fileops::exists(folder))
            return names;
        for (const fileops::Entry& e : fileops::copiedEntries(folder, &readable))
            names << QString::fromStdString(e.name);
        names.sort();
        return names;
    };
    const QStringList names = list(original, readableOriginal);
    if (!readableOriginal || !readableCopy || names != list(copy, readableCopy) || !readableCopy)
        return false;
    for (const QString& name : names)
        if (!SameCopiedFile(child(original, name), child(copy, name)))
            return false;
    return true;
}

} // namespace

bool samePetItem(const QString& original, const QString& copy, const QString& item)
{
    if (items::kFolderOrder.contains(item))
        return sameItemFolder(child(original, item), child(copy, item));
    return sameRootItem(child(original, item), child(copy, item));
}

bool samePetData(const QString& original, const QString& copy)
{
    for (const QString& name : {items::kFriends, items::kSettings, items::kSettingsBackup})
        if (!samePetItem(original, copy, name))
            return false;
    for (const QString& name : items::kFolderOrder)
        if (!samePetItem(original, copy, name))
            return false;
    return true;
}
