#pragma once

// Match finders of the encoder. Positions are offsets into the data they were given; a
// segment's data starts with the bytes that only prime the finder.

#include "Blocks.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace unlha {

// Length of the common prefix of a and b, at most limit; both must have limit bytes.
inline std::size_t commonLength(const std::uint8_t* a, const std::uint8_t* b, std::size_t limit)
{
    std::size_t len = 0;
    while (len + 8 <= limit) {
        std::uint64_t x, y;
        std::memcpy(&x, a + len, 8);
        std::memcpy(&y, b + len, 8);
        if (x != y)
            return len + (__builtin_ctzll(x ^ y) >> 3);
        len += 8;
    }
    while (len < limit && a[len] == b[len])
        ++len;
    return len;
}

// Hash chains over the window, for the lazy parse.
class HashChainFinder {
public:
    HashChainFinder(Bytes data, int windowBits, int maxChain)
        : d_(data.data()), n_(data.size()), window_(std::size_t{1} << windowBits), maxChain_(maxChain),
          head_(kHashSize, -1), prev_(window_, -1)
    {
    }

    // Longest matches at pos with increasing length, nearest first for each length. Must be
    // called for pos in increasing order; insert() every position once, after searching it.
    int find(std::size_t pos, std::uint32_t* lens, std::uint32_t* dists, int maxOut)
    {
        if (pos + kMinMatch > n_)
            return 0;
        const std::size_t limit = std::min<std::size_t>(kMaxMatch, n_ - pos);
        int found = 0;
        std::size_t best = kMinMatch - 1;
        std::int64_t cand = head_[hash(pos)];
        const std::uint8_t* cur = d_ + pos;
        if (pos + kMinMatch < n_) // the next position's head is needed next: load it early
            __builtin_prefetch(&head_[hash(pos + 1)]);
        for (int chain = maxChain_; cand >= 0 && chain > 0; --chain) {
            const std::size_t dist = pos - static_cast<std::size_t>(cand);
            if (dist > window_ || dist == 0)
                break;
            const std::uint8_t* c = d_ + cand;
            if (c[best] == cur[best] && c[0] == cur[0] && c[1] == cur[1]) {
                const std::size_t len = commonLength(c, cur, limit);
                if (len > best) {
                    best = len;
                    lens[found] = static_cast<std::uint32_t>(len);
                    dists[found] = static_cast<std::uint32_t>(dist);
                    if (++found == maxOut || len == limit)
                        break;
                }
            }
            const std::int64_t next = prev_[static_cast<std::size_t>(cand) & (window_ - 1)];
            if (next >= cand)
                break;
            cand = next;
        }
        return found;
    }

    void insert(std::size_t pos)
    {
        if (pos + kMinMatch > n_)
            return;
        const std::uint32_t h = hash(pos);
        prev_[pos & (window_ - 1)] = head_[h];
        head_[h] = static_cast<std::int32_t>(pos);
    }

private:
    static constexpr std::size_t kHashBits = 16;
    static constexpr std::size_t kHashSize = std::size_t{1} << kHashBits;

    std::uint32_t hash(std::size_t pos) const
    {
        const std::uint32_t v = d_[pos] | (d_[pos + 1] << 8) | (d_[pos + 2] << 16);
        return (v * 2654435761u) >> (32 - kHashBits);
    }

    const std::uint8_t* d_;
    std::size_t n_;
    std::size_t window_;
    int maxChain_;
    std::vector<std::int32_t> head_;
    std::vector<std::int32_t> prev_;
};

// Binary trees of the window's positions ordered by the text that follows them (its first
// kTreeLength bytes), one tree per 4-byte hash, and the latest position of each 3-byte hash for
// the shortest matches: trees of four bytes hold fewer positions that share only three, and a
// walk takes a quarter fewer steps. Finding the matches at a position also inserts it, so
// every position must pass through find() (or skip()) once, in order. Finds the nearest match
// of every useful length with far fewer comparisons than a hash chain. The tables are sized for
// the member the data belongs to.
class TreeMatchFinder {
public:
    TreeMatchFinder(Bytes data, int windowBits, int depth, std::uint64_t memberSize)
        : d_(data.data()), n_(data.size()), window_(std::size_t{1} << windowBits), depth_(depth),
          hashShift_(32 - hashBitsFor(memberSize)),
          ring_(static_cast<std::size_t>(std::min<std::uint64_t>(window_, std::bit_ceil(std::max<std::uint64_t>(memberSize, 1))))),
          head_(std::size_t{1} << (32 - hashShift_), kNone), head3_(head_.size(), kNone), son_(2 * ring_, kNone)
    {
    }

    // Matches at pos with increasing length, nearest first for each length; the tree orders
    // positions by their first kTreeLength bytes, and the longest match is extended beyond.
    int find(std::size_t pos, std::uint32_t* lens, std::uint32_t* dists)
    {
        const std::size_t full = std::min<std::size_t>(kMaxMatch, n_ - std::min(pos, n_));
        const int found = walk(pos, lens, dists);
        if (found > 0 && lens[found - 1] == kTreeLength && full > kTreeLength) {
            const std::uint8_t* cur = d_ + pos + kTreeLength;
            lens[found - 1] += static_cast<std::uint32_t>(commonLength(cur - dists[found - 1], cur, full - kTreeLength));
        }
        return found;
    }
    void skip(std::size_t pos) { walk(pos, nullptr, nullptr); }

    static constexpr std::size_t kTreeLength = 32;

private:
    static constexpr int kMaxHashBits = 16;

    static constexpr std::uint32_t kNone = UINT32_MAX;

    // A small input gets small tables: clearing them would cost more than its searches.
    static int hashBitsFor(std::uint64_t size)
    {
        int bits = 10;
        while (bits < kMaxHashBits && (std::uint64_t{1} << bits) < size)
            ++bits;
        return bits;
    }

    std::uint32_t hashOf(std::uint32_t v) const { return (v * 2654435761u) >> hashShift_; }
    static std::uint32_t load4(const std::uint8_t* p)
    {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    // Hashes of the 3 and the 4 bytes at p; hash3 reads the three as one word when a fourth
    // byte is there (wide).
    std::uint32_t hash3(const std::uint8_t* p, bool wide = true) const
    {
        return hashOf(wide ? load4(p) & 0xFFFFFF : p[0] | (p[1] << 8) | (p[2] << 16));
    }
    std::uint32_t hash4(const std::uint8_t* p) const { return hashOf(load4(p)); }

    int walk(std::size_t pos, std::uint32_t* lens, std::uint32_t* dists)
    {
        if (pos + kMinMatch > n_)
            return 0;
        const std::uint8_t* cur = d_ + pos;
        std::size_t best = kMinMatch - 1;
        int found = 0;
        // Matches of three bytes: the nearest position starting with them, unless it shares a
        // fourth byte too (then the tree has it, or one as near and longer).
        const std::uint32_t h3 = hash3(cur, pos + 4 <= n_);
        const std::uint32_t near = head3_[h3];
        head3_[h3] = static_cast<std::uint32_t>(pos);
        if (lens && pos - near < window_) {
            const std::uint8_t* c = d_ + near;
            if (c[0] == cur[0] && c[1] == cur[1] && c[2] == cur[2] && (pos + kMinMatch == n_ || c[3] != cur[3])) {
                lens[0] = kMinMatch;
                dists[0] = static_cast<std::uint32_t>(pos - near);
                best = kMinMatch;
                found = 1;
            }
        }
        if (pos + 4 > n_)
            return found;
        // The tree of the positions that start with the same four bytes (by hash).
        const std::size_t limit = std::min<std::size_t>(kTreeLength, n_ - pos);
        const std::uint32_t h = hash4(cur);
        std::uint32_t candidate = head_[h];
        head_[h] = static_cast<std::uint32_t>(pos);
        const std::size_t mask = ring_ - 1;
        // The next walks' first steps are needed soon: load the root of the next position (its
        // entries were loaded by this walk's start) and the entries of the one after.
        if (pos + 6 <= n_) {
            const std::uint32_t next = head_[hash4(cur + 1)];
            if (next != kNone) {
                __builtin_prefetch(d_ + next);
                __builtin_prefetch(&son_[2 * (next & mask)]);
            }
            __builtin_prefetch(&head_[hash4(cur + 2)]);
            __builtin_prefetch(&head3_[hash3(cur + 2)]);
        }
        std::uint32_t* smaller = &son_[2 * (pos & mask)];
        std::uint32_t* larger = &son_[2 * (pos & mask) + 1];
        std::size_t smallerLen = 0, largerLen = 0;
        for (int depth = depth_;; --depth) {
            if (depth == 0 || pos - candidate >= window_) { // kNone wraps to a distance past any window
                *smaller = *larger = kNone;
                return found;
            }
            const std::uint8_t* c = d_ + candidate;
            std::uint32_t* pair = &son_[2 * (candidate & mask)];
            std::size_t len = std::min(smallerLen, largerLen);
            len += commonLength(c + len, cur + len, limit - len);
            if (len > best && lens) {
                best = len;
                lens[found] = static_cast<std::uint32_t>(len);
                dists[found] = static_cast<std::uint32_t>(pos - candidate);
                ++found;
            }
            if (len == limit) {
                // Equal as far as we look: the candidate's subtrees become ours.
                *smaller = pair[0];
                *larger = pair[1];
                return found;
            }
            if (c[len] < cur[len]) {
                *smaller = candidate;
                smaller = &pair[1];
                candidate = *smaller;
                smallerLen = len;
            } else {
                *larger = candidate;
                larger = &pair[0];
                candidate = *larger;
                largerLen = len;
            }
        }
    }

    const std::uint8_t* d_;
    std::size_t n_;
    std::size_t window_;
    int depth_;
    int hashShift_;
    std::size_t ring_; // nodes kept: the window, or fewer when the whole input fits
    std::vector<std::uint32_t> head_;  // tree roots by 4-byte hash
    std::vector<std::uint32_t> head3_; // the latest position by 3-byte hash
    std::vector<std::uint32_t> son_;
};

} // namespace unlha
