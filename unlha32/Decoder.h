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

// The error that says that the archive could not be read (any more), not that it is damaged.
inline constexpr const char* kReadFailed = "archive cannot be read";

// Decodes the packed data of one member (-lh0-, -lh4- to -lh7-), read from the source at
// [offset, offset + packedSize) a window at a time, and hands exactly originalSize bytes to
// the sink (which may be empty). Damaged input ends with an error, never with a read outside
// the packed data or a loop that does not advance: every step either consumes input or
// produces output, and the output never exceeds originalSize. Memory stays within a window of
// packed data and the decoder's ring, whatever the sizes. The caller compares the CRC with the
// header's.
DecodeResult decodeMember(Method method, const ArchiveSource& source, std::uint64_t offset, std::uint64_t packedSize,
                          std::uint64_t originalSize, const Sink& sink);

// The same for packed data in memory.
DecodeResult decodeMember(Method method, Bytes packed, std::uint64_t originalSize, const Sink& sink);

} // namespace unlha
