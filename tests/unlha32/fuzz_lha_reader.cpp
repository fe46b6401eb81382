// libFuzzer entry for the reading side: header walk, name checks, decoding and CRC.
// test_lha_hostile compiles this same file and feeds it the seed corpus.
#include "Archive.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const unlha::MemorySource archive(unlha::Bytes(data, size));
    const unlha::Listing listing = unlha::listMembers(archive);
    std::uint64_t budget = std::uint64_t{256} << 20; // decoded bytes per input, to keep runs short
    for (const unlha::Member& m : listing.members) {
        if (m.originalSize > budget)
            break;
        budget -= m.originalSize;
        std::uint64_t produced = 0;
        const auto r = unlha::extractData(archive, m, [&produced](const std::uint8_t*, std::size_t n) {
            produced += n;
            return true;
        });
        if (produced > m.originalSize || (r.ok && produced != m.originalSize))
            __builtin_trap(); // never more than the claimed size; a clean result exactly that
    }
    unlha::checkArchive(archive, true);
    return 0;
}
