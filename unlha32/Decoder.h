#pragma once

#include "Header.h"

#include <cstdint>
#include <functional>
#include <string>

namespace unlha {

// Receives decoded bytes in order; returning false stops decoding with a write failure.
using Sink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

struct DecodeResult {
    bool ok = false;
    std::string error;
    std::uint16_t crc = 0; // CRC-16 of everything handed to the sink
};

// Decodes the packed data of one member (-lh0-, -lh4- to -lh7-) and hands exactly originalSize
// bytes to the sink. Damaged input ends with an error, never with a read outside packed or a
// loop that does not advance: every step either consumes input or produces output, and the
// output never exceeds originalSize. The caller compares the CRC with the header's.
DecodeResult decodeMember(Method method, Bytes packed, std::uint64_t originalSize, const Sink& sink);

} // namespace unlha
