#pragma once

#include <cstdint>

namespace unlha {

// Code lengths for n (at most 512) symbols from their frequencies, no code longer than limit
// bits. Symbols with frequency 0 get length 0. A lone used symbol gets length 1 (callers send
// such a tree as a single symbol). The lengths always form a complete prefix code when two or
// more symbols are used.
void buildCodeLengths(const std::uint32_t* freq, int n, int limit, std::uint8_t* lengths);

// Canonical codes for the lengths: shorter codes first, equal lengths in symbol order.
void buildCodes(const std::uint8_t* lengths, int n, std::uint16_t* codes);

} // namespace unlha
