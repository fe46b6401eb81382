#include "storage/Journal.h"

#include "shell/FileOps.h"
#include "storage/HostLayout.h"

#include <QDir>

#include <cerrno>

namespace journal {

namespace {

// One "key=value" line per field, in the order they are given.
struct Writer {
    QByteArray bytes;
    Writer& operator()(const char* key, const QString& value)
    {
        bytes += QByteArray(key) + '=' + value.toUtf8() + '\n';
        return *this;
    }
    Writer& operator()(const char* key, int value) { return (*this)(key, QString::number(value)); }
};

// The first value of each key.
struct Fields {
    QList<QPair<QString, QString>> values;

    QString text(const QString& key) const
    {
        for (const auto& [k, v] : values)
            if (k == key)
                return v;
        return {};
    }
    int number(const QString& key) const
    {
        bool ok = false;
        const int n = text(key).toInt(&ok);
        return ok ? n : -1;
    }
};

QString rowKey(const char* key, int k)
{
    return QLatin1String(key) + QString::number(k);
}

} // namespace

QByteArray format(const Record& record)
{
    Writer w;
    if (const auto* r = std::get_if<Switch>(&record))
        w("op", QStringLiteral("switch"))("pet", r->pet)("name", r->name);
    else if (const auto* r = std::get_if<NewPet>(&record))
        w("op", QStringLiteral("newpet"))("pet", r->pet)("name", r->name);
    else if (const auto* r = std::get_if<Delete>(&record))
        w("op", QStringLiteral("delete"))("pet", r->pet)("max", r->max)("name", r->name)("trash", r->trash);
    else if (const auto* r = std::get_if<Restore>(&record))
        w("op", QStringLiteral("restore"))("pet", r->pet)("name", r->name)("staging", r->staging);
    else if (const auto* r = std::get_if<Upgrade>(&record)) {
        w("op", QStringLiteral("upgrade"));
        for (int k = 0; k < 3; ++k) {
            if (!r->remove[k].isEmpty()) {
                w(qPrintable(rowKey("remove", k)), r->remove[k]);
            } else if (!r->from[k].isEmpty()) {
                w(qPrintable(rowKey("from", k)), r->from[k]);
                w(qPrintable(rowKey("to", k)), r->to[k]);
            } else if (!r->made[k].isEmpty()) {
                w(qPrintable(rowKey("made", k)), r->made[k]);
            }
        }
    }
    return w.bytes;
}

std::optional<Record> parse(const QByteArray& bytes)
{
    QString op;
    Fields f;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq);
        if (key == QLatin1String("op") && op.isEmpty())
            op = line.mid(eq + 1);
        else
            f.values.append({key, line.mid(eq + 1)});
    }
    if (op == QLatin1String("switch"))
        return Switch{f.number(QStringLiteral("pet")), f.text(QStringLiteral("name"))};
    if (op == QLatin1String("newpet"))
        return NewPet{f.number(QStringLiteral("pet")), f.text(QStringLiteral("name"))};
    if (op == QLatin1String("delete"))
        return Delete{f.number(QStringLiteral("pet")), f.number(QStringLiteral("max")), f.text(QStringLiteral("name")),
                      f.text(QStringLiteral("trash"))};
    if (op == QLatin1String("restore"))
        return Restore{f.number(QStringLiteral("pet")), f.text(QStringLiteral("name")), f.text(QStringLiteral("staging"))};
    if (op == QLatin1String("upgrade")) {
        Upgrade u;
        for (int k = 0; k < 3; ++k) {
            u.from[k] = f.text(rowKey("from", k));
            u.to[k] = f.text(rowKey("to", k));
            u.made[k] = f.text(rowKey("made", k));
            u.remove[k] = f.text(rowKey("remove", k));
        }
        return u;
    }
    return std::nullopt;
}

} // namespace journal

namespace {
const QString kFileName = QStringLiteral("Kennel.journal");
const QString kStaging = QStringLiteral(".kennel-restore");
const QString kTrash = QStringLiteral(".kennel-deleted");
} // namespace

Journal::Journal(const HostLayout& layout) : programFolder_(layout.ProgramFolder), pathSep_(layout.PathSep) {}

QString Journal::place(const QString& name) const
{
    return programFolder_ + pathSep_ + name;
}

QString Journal::path() const
{
    return place(kFileName);
}

bool Journal::write(const journal::Record& record) const
{
    return fileops::writeWhole(path(), journal::format(record));
}

std::optional<journal::Record> Journal::read() const
{
    // Anything but a regular file (a FIFO, a link) names no operation; it is never waited on.
    const auto bytes = fileops::readRegular(path(), 64 * 1024);
    return bytes ? journal::parse(*bytes) : std::nullopt;
}

bool Journal::exists() const
{
    return fileops::exists(path());
}

bool Journal::remove() const
{
    return fileops::deleteFile(path());
}

QString Journal::stagingFolder() const
{
    return place(kStaging);
}

QString Journal::freeTrashFolder() const
{
    QString name = place(kTrash);
    for (int n = 2; fileops::exists(name); ++n)
        name = place(kTrash + QLatin1Char('-') + QString::number(n));
    return name;
}

QStringList Journal::trashFolders() const
{
    QStringList found;
    const QDir folder(programFolder_);
    for (const QString& name : folder.entryList({kTrash, kTrash + QStringLiteral("-*")},
                                                QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot
                                                    | QDir::CaseSensitive)) {
        bool number = name == kTrash;
        if (!number)
            name.mid(kTrash.size() + 1).toInt(&number);
        if (number)
            found << place(name);
    }
    return found;
}

bool Journal::isTrashFolder(const QString& path) const
{
    const QString prefix = place(kTrash);
    return path.startsWith(prefix) && path.indexOf(QLatin1Char('/'), prefix.size()) == -1;
}
