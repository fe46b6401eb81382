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

// Compresses input with one of -lh5-, -lh6-, -lh7- (LZSS over the method's window, static
// Huffman blocks split where the statistics change).
std::vector<std::uint8_t> encodeLh(Bytes input, Method method, const EncoderSettings& settings);

// The method a member of this size is written with: the smallest window that covers it (the
// matches are the same, the smaller distance tree saves a few bits), -lh7- above 32 KiB.
Method methodForSize(std::size_t size);

struct Packed {
    Method method = Method::Stored;
    std::vector<std::uint8_t> data; // empty for Stored: the caller writes the input itself
};

// Compresses input and falls back to storing when compression does not make it smaller.
Packed packMember(Bytes input, const EncoderSettings& settings);

} // namespace unlha
