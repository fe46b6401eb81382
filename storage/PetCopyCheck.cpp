#include "storage/PetCopyCheck.h"

#include "shell/FileOps.h"
#include "shell/ShellCopy.h"
#include "storage/HostLayout.h"

#include <QStringList>

#include <filesystem>
#include <system_error>

namespace {

QString child(const QString& base, const QString& name)
{
    return base.endsWith(QLatin1Char('/')) ? base + name : base + QLatin1Char('/') + name;
}

// Two links are the same when they hold the same target text; a link is never read through.
bool sameContent(const QString& a, const QString& b)
{
    if (fileops::isLink(a) || fileops::isLink(b)) {
        std::error_code ea;
        std::error_code eb;
        const auto ta = std::filesystem::read_symlink(a.toStdString(), ea);
        return !ea && ta == std::filesystem::read_symlink(b.toStdString(), eb) && !eb;
    }
    return SameBytes(a, b);
}

// One root item: anything at the original's path must be a file with the same content
// in the copy; nothing there means nothing may be in the copy either.
bool sameRootItem(const QString& original, const QString& copy)
{
    if (!fileops::exists(original))
        return !fileops::exists(copy);
    return !fileops::isFolder(original) && !fileops::isFolder(copy) && fileops::exists(copy)
           && sameContent(original, copy);
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
        if (!sameContent(child(original, name), child(copy, name)))
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
