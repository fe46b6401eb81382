// libFuzzer entry for the Kennel.ini reader: a table read as version 2 indexes inside the
// table and holds one-line names, and writing it and reading it back gives the same table
// whenever every name is one that registration accepts.
#include "registry/RegistryFormat.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>

namespace {

bool sameTable(const PetTable& a, const PetTable& b)
{
    if (a.CurrentUser != b.CurrentUser || a.MaxUser != b.MaxUser || a.sharing() != b.sharing())
        return false;
    for (int i = 0; i <= a.MaxUser; ++i)
        if (a.Pet[i] != b.Pet[i] || a.Master[i] != b.Master[i])
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const RegistryContent c = parseRegistry(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (c.kind == RegistryContent::Kind::Version1)
        FUZZ_CHECK(c.lastUser >= 0 && c.lastUser <= 2);
    if (c.kind != RegistryContent::Kind::Version2)
        return 0;
    const PetTable& t = c.table;
    FUZZ_CHECK(t.MaxUser >= -1 && t.MaxUser < kMaxPets && t.CurrentUser >= -1 && t.CurrentUser <= t.MaxUser);
    // Names that decoding marked as damaged, or with NUL, cannot be written.
    bool storable = true, keyed = false;
    for (int i = 0; i <= t.MaxUser; ++i)
        for (const QString& name : {t.Pet[i], t.Master[i]}) {
            FUZZ_CHECK(!name.contains(QLatin1Char('\n')) && !name.contains(QLatin1Char('\r')));
            storable = storable && !name.contains(QChar(0xFFFD)) && !name.contains(QChar(0));
            keyed = keyed || !registrableName(name);
        }
    const auto bytes = formatRegistry(t);
    FUZZ_CHECK(bytes.has_value() == storable);
    if (!bytes)
        return 0;
    const RegistryContent back = parseRegistry(*bytes);
    FUZZ_CHECK(back.kind == RegistryContent::Kind::Version2);
    if (!keyed) {
        FUZZ_CHECK(sameTable(back.table, t));
        FUZZ_CHECK(formatRegistry(back.table) == bytes);
    }
    return 0;
}
