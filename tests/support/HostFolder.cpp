#include "tests/support/HostFolder.h"

#include "storage/HostLayout.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace hostfolder {

void write(const QString& base, const QString& relative, const QByteArray& bytes)
{
    const QString path = base + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes);
}

QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool exists(const QString& path)
{
    return QFileInfo::exists(path);
}

QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> out;
    QDir base(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = base.relativeFilePath(it.next());
        const bool isDir = it.fileInfo().isDir();
        out.insert(isDir ? rel + QLatin1Char('/') : rel, isDir ? QByteArray() : read(it.filePath()));
    }
    return out;
}

void makeHost(const QString& folder, const QString& tag, bool withSettings)
{
    const QByteArray t = tag.toUtf8();
    write(folder, QStringLiteral("Mewmail20.exe"), "host");
    write(folder, items::kToys + QStringLiteral("/ball.pty"), "toy " + t);
    write(folder, items::kSnacks + QStringLiteral("/cake.pac"), "snack " + t);
    write(folder, items::kInbox + QStringLiteral("/in.mwm"), "in " + t);
    write(folder, items::kOutbox + QStringLiteral("/out.mwm"), "out " + t);
    write(folder, items::kAttachments + QStringLiteral("/att.bin"), "att " + t);
    write(folder, items::kTreasures + QStringLiteral("/gem.pac"), "gem " + t);
    write(folder, items::kFriends, "friends " + t);
    if (withSettings) {
        write(folder, items::kSettings, "settings " + t);
        write(folder, items::kSettingsBackup, "backup " + t);
    }
}

void makePet(const QString& folder, const QString& tag, bool withAttachments, bool withSettings)
{
    makeHost(folder, tag, withSettings);
    QFile::remove(folder + QStringLiteral("/Mewmail20.exe"));
    if (!withAttachments)
        QDir(folder + QLatin1Char('/') + items::kAttachments).removeRecursively();
}

QMap<QString, QByteArray> dataOf(const QString& folder)
{
    QMap<QString, QByteArray> files = snapshot(folder);
    files.removeIf([](auto it) { return it.key().compare(QStringLiteral("BackUp.ini"), Qt::CaseInsensitive) == 0; });
    return files;
}

} // namespace hostfolder
