#include "backup/BackupInfo.h"

#include "registry/Cp932.h"
#include "registry/KeyedLines.h"

// The bytes of BackUp.ini, without files or the program's state: the fuzz targets build
// this file on its own.

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
