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

// The CRC register is a vector over GF(2); feeding zero bits is a linear map, kept as the 16
// images of the register's bits.
using Map = std::array<std::uint16_t, 16>;

std::uint16_t apply(const Map& m, std::uint16_t v)
{
    std::uint16_t r = 0;
    for (int i = 0; v; ++i, v >>= 1)
        if (v & 1)
            r ^= m[i];
    return r;
}

Map twice(const Map& m)
{
    Map r{};
    for (int i = 0; i < 16; ++i)
        r[i] = apply(m, m[i]);
    return r;
}

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

std::uint16_t crc16Combine(std::uint16_t crcA, std::uint16_t crcB, std::uint64_t lengthB)
{
    // crc(a b) is crc(a) carried through |b| zero bytes, plus crc(b): square the map of one
    // zero bit up to one byte, then walk the bits of the length.
    Map zeros{};
    zeros[0] = 0xA001;
    for (int i = 1; i < 16; ++i)
        zeros[i] = static_cast<std::uint16_t>(1u << (i - 1));
    for (int k = 0; k < 3; ++k)
        zeros = twice(zeros);
    std::uint16_t c = crcA;
    for (; lengthB; lengthB >>= 1, zeros = twice(zeros))
        if (lengthB & 1)
            c = apply(zeros, c);
    return static_cast<std::uint16_t>(c ^ crcB);
}

} // namespace unlha
