#pragma once

// The Huffman block layer of -lh5- to -lh7-: tokens, their statistics, block pricing and
// splitting, and the bit stream the blocks are written to.

#include "Header.h"

#include <array>
#include <cstdint>
#include <vector>

namespace unlha {

inline constexpr int kCodeSymbols = 510; // 256 literals + match lengths 3..256
inline constexpr int kMinMatch = 3;
inline constexpr int kMaxMatch = 256;
inline constexpr int kMaxDistanceSymbols = 18;

struct Token {
    std::uint16_t code;   // < 256 literal, else 256 + length - 3
    std::uint16_t offset; // distance - 1 for matches
};

inline Token literalToken(std::uint8_t b)
{
    return {b, 0};
}
inline Token matchToken(std::uint32_t len, std::uint32_t dist)
{
    return {static_cast<std::uint16_t>(256 + len - kMinMatch), static_cast<std::uint16_t>(dist - 1)};
}
inline std::size_t tokenLength(Token t)
{
    return t.code < 256 ? 1 : t.code - 256 + kMinMatch;
}
inline int distanceClass(std::uint32_t offset)
{
    return offset == 0 ? 0 : 32 - __builtin_clz(offset);
}

struct MethodParams {
    int windowBits;
    int distanceSymbols;
    int distanceCountBits;
};
MethodParams methodParams(Method m);

struct BlockStats {
    std::array<std::uint32_t, kCodeSymbols> code{};
    std::array<std::uint32_t, kMaxDistanceSymbols> distance{};
    void add(const Token* t, std::size_t n);
    void add(const BlockStats& o);
};

// Exact size in bits of one block holding tokens with these statistics.
std::uint64_t blockBits(const BlockStats& s, const MethodParams& mp);

// Bit output, most significant bit first.
class BitWriter {
public:
    explicit BitWriter(std::size_t reserve = 0) { out_.reserve(reserve); }
    void put(int n, std::uint32_t v)
    {
        if (n == 0)
            return;
        acc_ = (acc_ << n) | (v & ((1u << n) - 1)); // n <= 16
        bits_ += n;
        while (bits_ >= 8) {
            bits_ -= 8;
            out_.push_back(static_cast<std::uint8_t>(acc_ >> bits_));
        }
    }
    std::uint64_t bitCount() const { return out_.size() * 8 + static_cast<std::uint64_t>(bits_); }
    // The bytes written, the last one padded with zero bits; the writer starts over empty.
    std::vector<std::uint8_t> take()
    {
        if (bits_ > 0)
            out_.push_back(static_cast<std::uint8_t>(acc_ << (8 - bits_)));
        bits_ = 0;
        acc_ = 0;
        return std::move(out_);
    }

private:
    std::vector<std::uint8_t> out_;
    std::uint64_t acc_ = 0;
    int bits_ = 0;
};

// Decides where blocks end, a piece of kPiece tokens at a time: a piece joins the running
// block while one block costs fewer bits than two.
class BlockSplitter {
public:
    static constexpr std::size_t kPiece = 2048;
    explicit BlockSplitter(const MethodParams& mp) : mp_(mp) {}
    // Offers the next piece (kPiece tokens; fewer only for the last one): true when the running
    // block ends before it.
    bool endsBefore(const Token* t, std::size_t n);

private:
    MethodParams mp_;
    BlockStats block_;
    std::uint64_t blockCost_ = 0;
    std::size_t blockTokens_ = 0;
};

// Where the blocks of these tokens end, as the block writer would split them.
std::vector<std::size_t> splitBlocks(const Token* t, std::size_t n, const MethodParams& mp);

// Takes tokens as they come and writes them as blocks, split by a BlockSplitter; holds at
// most one block and one piece of tokens.
class BlockWriter {
public:
    BlockWriter(const MethodParams& mp, BitWriter& out) : mp_(mp), splitter_(mp), out_(out) {}
    void add(const Token* t, std::size_t n);
    // Writes what is left; the writer may then be used for a new stream.
    void finish();

private:
    void offer(std::size_t n);

    MethodParams mp_;
    BlockSplitter splitter_;
    BitWriter& out_;
    std::vector<Token> pending_; // the running block, then tokens not yet offered
    std::size_t offered_ = 0;    // tokens of pending_ in the running block
};

} // namespace unlha
