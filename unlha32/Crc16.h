#pragma once

#include <cstddef>
#include <cstdint>

namespace unlha {

// CRC-16 with the reflected polynomial 0xA001 and initial value 0, used by LHA archives for
// member data and for the level-2 header check. crc16("123456789") == 0xBB3D.
std::uint16_t crc16Update(std::uint16_t crc, const std::uint8_t* data, std::size_t size);

inline std::uint16_t crc16(const std::uint8_t* data, std::size_t size)
{
    return crc16Update(0, data, size);
}

// The CRC of a followed by b, from the CRC of each and the length of b: pieces of a member
// checked on different threads are joined without reading them again.
std::uint16_t crc16Combine(std::uint16_t crcA, std::uint16_t crcB, std::uint64_t lengthB);

} // namespace unlha
