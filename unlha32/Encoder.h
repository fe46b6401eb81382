#pragma once

#include "Header.h"

#include <cstdint>
#include <vector>

namespace unlha {

// How hard the encoder works: 1..3 lazy matching with longer hash chains, 4 a cost-driven
// (near-optimal) parse. 0 is never passed here: it means storing.
struct EncoderSettings {
    int effort = 4;
};

// A member is encoded in segments of this size, each on its own (on any worker thread) and
// each ending a block; the bit strings are joined in order. Memory stays bounded by the
// segment, and one large file keeps every worker busy.
inline constexpr std::size_t kSegment = std::size_t{2} << 20;
// Bytes a segment's encoder reads before and after the segment: the match window before it,
// the longest match after it.
inline constexpr std::size_t kSegmentBefore = std::size_t{1} << 16;
inline constexpr std::size_t kSegmentAfter = 256;

// One segment of a member: data holds `before` bytes ahead of the segment (they only prime the
// match finder), the segment's `length` bytes, and up to kSegmentAfter bytes of what follows.
struct SegmentInput {
    Bytes data;
    std::size_t before = 0;
    std::size_t length = 0;
    std::uint64_t memberSize = 0;
};

// The encoded segment: bits of bytes (the last byte padded with zero bits).
struct BitString {
    std::vector<std::uint8_t> bytes;
    std::uint64_t bits = 0;
};

// Encodes one segment with one of -lh5-, -lh6-, -lh7- (LZSS over the method's window, static
// Huffman blocks split where the statistics change).
BitString encodeSegment(const SegmentInput& in, Method method, const EncoderSettings& settings);

// Appends bit strings to a byte stream: joins segments that do not end on a byte.
class BitJoiner {
public:
    // Appends s; calls write(bytes, n) with every completed byte.
    template <typename W> void append(const BitString& s, W&& write);
    // The last partial byte, zero-padded (none when the bits end on a byte).
    std::vector<std::uint8_t> tail() const;
    std::uint64_t bits() const { return bits_; }

private:
    std::uint64_t bits_ = 0;
    std::uint8_t partial_ = 0; // the top (bits_ % 8) bits are valid
};

// Compresses a whole member held in memory, segment by segment as the archive writer does.
std::vector<std::uint8_t> encodeLh(Bytes input, Method method, const EncoderSettings& settings);

// The method a member of this size is written with: the smallest window that covers it (the
// matches are the same, the smaller distance tree saves a few bits), -lh7- above 32 KiB.
Method methodForSize(std::uint64_t size);

struct Packed {
    Method method = Method::Stored;
    std::vector<std::uint8_t> data; // empty for Stored: the caller writes the input itself
};

// Compresses input and falls back to storing when compression does not make it smaller.
Packed packMember(Bytes input, const EncoderSettings& settings);

template <typename W> void BitJoiner::append(const BitString& s, W&& write)
{
    const int shift = static_cast<int>(bits_ % 8);
    const std::size_t whole = static_cast<std::size_t>(s.bits / 8);
    if (shift == 0) {
        write(s.bytes.data(), whole);
        partial_ = s.bits % 8 ? s.bytes[whole] : 0;
    } else {
        // Each byte of s is split over the pending partial byte and the next one.
        std::vector<std::uint8_t> out;
        out.reserve(whole + 1);
        std::uint8_t acc = partial_;
        for (std::size_t i = 0; i < whole; ++i) {
            out.push_back(static_cast<std::uint8_t>(acc | (s.bytes[i] >> shift)));
            acc = static_cast<std::uint8_t>(s.bytes[i] << (8 - shift));
        }
        const int rest = static_cast<int>(s.bits % 8); // bits of s left after its whole bytes
        if (rest > 0) {
            const std::uint8_t last = s.bytes[whole];
            if (shift + rest >= 8) {
                out.push_back(static_cast<std::uint8_t>(acc | (last >> shift)));
                acc = static_cast<std::uint8_t>(last << (8 - shift));
            } else {
                acc = static_cast<std::uint8_t>(acc | (last >> shift));
            }
        }
        write(out.data(), out.size());
        partial_ = acc;
    }
    bits_ += s.bits;
}

} // namespace unlha
