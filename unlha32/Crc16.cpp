#include "Crc16.h"

#include <array>

namespace unlha {

namespace {

// Four tables let the loop fold four bytes per step ("slicing by four").
constexpr std::array<std::array<std::uint16_t, 256>, 4> makeTables()
{
    std::array<std::array<std::uint16_t, 256>, 4> t{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t c = static_cast<std::uint16_t>(i);
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? static_cast<std::uint16_t>((c >> 1) ^ 0xA001) : static_cast<std::uint16_t>(c >> 1);
        t[0][i] = c;
    }
    for (unsigned i = 0; i < 256; ++i)
        for (int s = 1; s < 4; ++s)
            t[s][i] = static_cast<std::uint16_t>((t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF]);
    return t;
}

constexpr auto kTables = makeTables();

} // namespace

std::uint16_t crc16Update(std::uint16_t crc, const std::uint8_t* data, std::size_t size)
{
    std::uint32_t c = crc;
    while (size >= 4) {
        c ^= static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8);
        c = kTables[3][c & 0xFF] ^ kTables[2][(c >> 8) & 0xFF] ^ kTables[1][data[2]] ^ kTables[0][data[3]];
        data += 4;
        size -= 4;
    }
    while (size--)
        c = (c >> 8) ^ kTables[0][(c ^ *data++) & 0xFF];
    return static_cast<std::uint16_t>(c);
}

} // namespace unlha
