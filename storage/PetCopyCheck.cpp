#include "storage/PetCopyCheck.h"

#include "shell/ShellCopy.h"
#include "storage/HostLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

QString child(const QString& base, const QString& name)
{
    return base.endsWith(QLatin1Char('/')) ? base + name : base + QLatin1Char('/') + name;
}

// A copy that kept its source's size and time is taken as it is (the copy checked its own
// writes); any other pair is compared byte by byte.
bool sameContent(const QString& a, const QString& b)
{
    if (UnchangedCopy(a, b))
        return true;
    QFile fa(a);
    QFile fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    if (fa.size() != fb.size())
        return false;
    constexpr qint64 kChunk = 64 * 1024;
    while (!fa.atEnd()) {
        const QByteArray ca = fa.read(kChunk);
        const QByteArray cb = fb.read(kChunk);
        if (ca != cb || ca.isEmpty())
            return false;
    }
    return fb.atEnd();
}

// One root item: anything at the original's path must be a file with the same content
// in the copy; nothing there means nothing may be in the copy either.
bool sameRootItem(const QString& original, const QString& copy)
{
    const QFileInfo o(original);
    const QFileInfo c(copy);
    const bool inOriginal = o.exists() || o.isSymLink();
    const bool inCopy = c.exists() || c.isSymLink();
    if (!inOriginal)
        return !inCopy;
    return inCopy && o.isFile() && c.isFile() && sameContent(original, copy);
}

QStringList filesIn(const QString& folder)
{
    // Regular files and links to them: what the shell copy carries.
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

bool sameItemFolder(const QString& original, const QString& copy)
{
    const QStringList names = filesIn(original);
    if (names != filesIn(copy))
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
