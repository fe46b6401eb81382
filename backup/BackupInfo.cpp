#include "backup/BackupInfo.h"

#include "app/KeyedLines.h"

#include "app/Context.h"
#include "app/Cp932.h"

#include <QDir>
#include <QFile>

namespace {

const QString kKeyPet = QStringLiteral("Pet = ");
const QString kKeyMaster = QStringLiteral("Master = ");
const QString kKeyDate = QStringLiteral("Backup Date = ");

QByteArray encodeLenient(const QString& text)
{
    if (auto bytes = cp932::encode(text))
        return *bytes;
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // Keep surrogate pairs together so that one character gives one "?".
        qsizetype len = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        auto one = cp932::encode(text.mid(i, len));
        out += one ? *one : QByteArray("?");
        i += len - 1;
    }
    return out;
}

}  // namespace

QString findFileNoCase(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return {};
    const QDir dir(folder);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    if (entries.contains(name))
        return dir.filePath(name);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return {};
}

QByteArray formatBackupInfo(const QString& pet, const QString& master, const QDate& date)
{
    QByteArray out;
    out += kBackupMagic.toLatin1() + "\r\n";
    out += "Version = 2.0\r\n";
    out += "Backup Date = " + date.toString(QStringLiteral("yyyyMMdd")).toLatin1() + "\r\n";
    out += "Master = " + encodeLenient(master) + "\r\n";
    out += "Pet = " + encodeLenient(pet) + "\r\n";
    return out;
}

void WriteBackupInfo(Context& ctx, int index, const QDate& today)
{
    if (index < 0 || index >= kMaxPets)
        return;
    const QString folder = ctx.paths.PetFolder(index);
    QString path = findFileNoCase(folder, kBackupInfoName);
    if (path.isEmpty())
        path = folder + QLatin1Char('/') + kBackupInfoName;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(formatBackupInfo(ctx.table.Pet[index], ctx.table.Master[index], today));
    file.close();
}

std::optional<BackupInfo> parseBackupInfo(const QByteArray& bytes)
{
    const QStringList lines = keyedlines::decode(bytes);
    bool magic = false;
    for (const QString& line : lines)
        if (line.contains(kBackupMagic, Qt::CaseInsensitive)) {
            magic = true;
            break;
        }
    if (!magic)
        return std::nullopt;
    BackupInfo info;
    const auto pet = keyedlines::findValue(lines, kKeyPet);
    if (!pet)
        return std::nullopt;
    const auto master = keyedlines::findValue(lines, kKeyMaster);
    if (!master)
        return std::nullopt;
    const auto date = keyedlines::findValue(lines, kKeyDate);
    if (!date)
        return std::nullopt;
    return BackupInfo{*pet, *master, *date};
}

std::optional<BackupInfo> ReadBackupInfo(Context& ctx, const QString& path, const QString& refusal)
{
    std::optional<BackupInfo> info;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        info = parseBackupInfo(file.read(1 << 20));  // a real file is a few lines; a huge one stays bounded
    if (!info)
        ctx.critical(refusal);
    return info;
}
