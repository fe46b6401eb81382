// libFuzzer entry for the BackUp.ini reader: values are single lines, and the names read,
// written again for a backup and read back stay the same ("?" for what cannot be stored).
#include "backup/BackupInfo.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto info = parseBackupInfo(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!info)
        return 0;
    for (const QString& value : {info->pet, info->master, info->date})
        FUZZ_CHECK(!value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')));
    const auto back = parseBackupInfo(formatBackupInfo(info->pet, info->master, QDate(2001, 2, 3)));
    FUZZ_CHECK(back && back->date == QStringLiteral("20010203"));
    auto stored = [](QString s) { return s.replace(QChar(0xFFFD), QLatin1Char('?')); };
    FUZZ_CHECK(back->master == stored(info->master));
    // The owner's line comes first: an owner name holding the pet key is read as the pet's line.
    if (!info->master.contains(QStringLiteral("Pet = "), Qt::CaseInsensitive))
        FUZZ_CHECK(back->pet == stored(info->pet));
    return 0;
}
