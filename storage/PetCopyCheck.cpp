#include "storage/PetCopyCheck.h"

#include "shell/FileOps.h"
#include "shell/ShellCopy.h"
#include "storage/HostLayout.h"

#include <algorithm>
#include <string>
#include <vector>

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
    auto list = [](const QString& folder, bool& readable) {
        std::vector<std::string> names;
        if (!fileops::exists(folder))
            return names;
        for (fileops::Entry& e : fileops::copiedEntries(folder, &readable))
            names.push_back(std::move(e.name));
        std::sort(names.begin(), names.end());
        return names;
    };
    bool readableOriginal = true;
    bool readableCopy = true;
    const std::vector<std::string> names = list(original, readableOriginal);
    if (!readableOriginal || names != list(copy, readableCopy) || !readableCopy)
        return false;
    if (names.empty())
        return true;
    const OpenFolder a(original);
    const OpenFolder b(copy);
    return std::all_of(names.begin(), names.end(),
                       [&](const std::string& name) { return SameCopiedEntry(a, b, name); });
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
