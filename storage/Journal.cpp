#include "storage/Journal.h"

#include "app/Causes.h"
#include "app/Context.h"
#include "storage/FileOps.h"
#include "storage/HostLayout.h"

#include <QDir>

#include <cerrno>

namespace journal {

namespace {
const QString kFileName = QStringLiteral("Kennel.journal");
const QString kStaging = QStringLiteral(".kennel-restore");
const QString kTrash = QStringLiteral(".kennel-deleted");
}  // namespace

QString Entry::value(const QString& key) const
{
    for (const auto& [k, v] : values)
        if (k == key)
            return v;
    return {};
}

bool Entry::has(const QString& key) const
{
    for (const auto& kv : values)
        if (kv.first == key)
            return true;
    return false;
}

int Entry::number(const QString& key, int fallback) const
{
    bool ok = false;
    const int n = value(key).toInt(&ok);
    return ok ? n : fallback;
}

QString path(const HostLayout& paths)
{
    return paths.place(kFileName);
}

bool write(const HostLayout& paths, const Entry& entry)
{
    QByteArray bytes = "op=" + entry.op.toUtf8() + '\n';
    for (const auto& [k, v] : entry.values)
        bytes += k.toUtf8() + '=' + v.toUtf8() + '\n';
    return fileops::writeWhole(path(paths), bytes);
}

std::optional<Entry> read(const HostLayout& paths)
{
    // Anything but a regular file (a FIFO, a link) names no operation; it is never waited on.
    const auto bytes = fileops::readRegular(path(paths), 64 * 1024);
    if (!bytes)
        return std::nullopt;
    Entry entry;
    const QList<QByteArray> lines = bytes->split('\n');
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromUtf8(raw);
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq);
        const QString value = line.mid(eq + 1);
        if (key == QLatin1String("op") && entry.op.isEmpty())
            entry.op = value;
        else
            entry.values.append({key, value});
    }
    if (entry.op.isEmpty())
        return std::nullopt;
    return entry;
}

bool remove(const HostLayout& paths)
{
    return fileops::deleteFile(path(paths));
}

QString stagingFolder(const HostLayout& paths)
{
    return paths.place(kStaging);
}

QString freeTrashFolder(const HostLayout& paths)
{
    QString name = paths.place(kTrash);
    for (int n = 2; fileops::exists(name); ++n)
        name = paths.place(kTrash + QLatin1Char('-') + QString::number(n));
    return name;
}

QStringList trashFolders(const HostLayout& paths)
{
    QStringList found;
    const QDir folder(paths.ProgramFolder);
    for (const QString& name : folder.entryList({kTrash, kTrash + QStringLiteral("-*")},
                                                QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot
                                                    | QDir::CaseSensitive)) {
        bool number = name == kTrash;
        if (!number)
            name.mid(kTrash.size() + 1).toInt(&number);
        if (number)
            found << paths.place(name);
    }
    return found;
}

}  // namespace journal

bool BeginJournal(Context& ctx, const journal::Entry& entry)
{
    errno = 0;
    if (journal::write(ctx.paths, entry))
        return true;
    ctx.critical(causes::below(kMsgJournalNotWritten, {causes::line(journal::path(ctx.paths), errno ? errno : EIO)}));
    return false;
}

void EndJournal(Context& ctx)
{
    errno = 0;
    if (!journal::remove(ctx.paths))
        ctx.critical(
            causes::below(kMsgJournalNotRemoved, {causes::line(journal::path(ctx.paths), errno ? errno : EIO)}));
}
