#include "Encoder.h"

#include "Huffman.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <span>

namespace unlha {

namespace {

constexpr int kCodeSymbols = 510;
constexpr int kPreSymbols = 19;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 256;
constexpr int kMaxCodeLength = 16;
constexpr std::size_t kMaxBlockTokens = 65535;

struct Token {
    std::uint16_t code;   // < 256 literal, else 256 + length - 3
    std::uint16_t offset; // distance - 1 for matches
};

int distanceClass(std::uint32_t offset)
{
    return offset == 0 ? 0 : 32 - __builtin_clz(offset);
}

struct MethodParams {
    int windowBits;
    int distanceSymbols;
    int distanceCountBits;
};

MethodParams paramsFor(Method m)
{
    switch (m) {
    case Method::Lh6:
        return {15, 16, 5};
    case Method::Lh7:
        return {16, 17, 5};
    default:
        return {13, 14, 4};
    }
}

// ---- Bit output, most significant bit first ----

class BitWriter {
public:
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
    std::vector<std::uint8_t> finish()
    {
        if (bits_ > 0)
            out_.push_back(static_cast<std::uint8_t>(acc_ << (8 - bits_)));
        bits_ = 0;
        return std::move(out_);
    }
    std::size_t size() const { return out_.size(); }

private:
    std::vector<std::uint8_t> out_;
    std::uint64_t acc_ = 0;
    int bits_ = 0;
};

// Counts bits instead of writing them; used to price a block exactly.
class BitCounter {
public:
    void put(int n, std::uint32_t) { bits += static_cast<std::uint64_t>(n); }
    std::uint64_t bits = 0;
};

// Length of the common prefix of a and b, at most limit; both must have limit bytes.
std::size_t commonLength(const std::uint8_t* a, const std::uint8_t* b, std::size_t limit)
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

// ---- Match finding: hash chains over the whole input ----

class MatchFinder {
public:
    MatchFinder(Bytes data, int windowBits, int maxChain)
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

// Binary trees of the window's positions ordered by the text that follows them, one tree per
// 3-byte hash. Finding the matches at a position also inserts it, so every position must pass
// through find() (or skip()) once, in order. Finds the nearest match of every useful length
// with far fewer comparisons than a hash chain.
class TreeMatchFinder {
public:
    TreeMatchFinder(Bytes data, int windowBits, int depth)
        : d_(data.data()), n_(data.size()), window_(std::size_t{1} << windowBits), depth_(depth),
          hashShift_(32 - hashBitsFor(data.size())), ring_(std::min(window_, std::bit_ceil(std::max<std::size_t>(n_, 1)))),
          head_(std::size_t{1} << (32 - hashShift_), kNone), son_(2 * ring_, kNone)
    {
    }

    int find(std::size_t pos, std::uint32_t* lens, std::uint32_t* dists) { return walk(pos, lens, dists); }
    void skip(std::size_t pos) { walk(pos, nullptr, nullptr); }

private:
    static constexpr int kMaxHashBits = 16;

    static constexpr std::uint32_t kNone = UINT32_MAX;

    // A small input gets small tables: clearing them would cost more than its searches.
    static int hashBitsFor(std::size_t size)
    {
        int bits = 10;
        while (bits < kMaxHashBits && (std::size_t{1} << bits) < size)
            ++bits;
        return bits;
    }

    int walk(std::size_t pos, std::uint32_t* lens, std::uint32_t* dists)
    {
        if (pos + kMinMatch > n_)
            return 0;
        const std::size_t limit = std::min<std::size_t>(kMaxMatch, n_ - pos);
        const std::uint8_t* cur = d_ + pos;
        const std::uint32_t h = ((cur[0] | (cur[1] << 8) | (cur[2] << 16)) * 2654435761u) >> hashShift_;
        std::uint32_t candidate = head_[h];
        head_[h] = static_cast<std::uint32_t>(pos);
        if (pos + kMinMatch < n_) // the next position's root is needed next: load it early
            __builtin_prefetch(&head_[((cur[1] | (cur[2] << 8) | (cur[3] << 16)) * 2654435761u) >> hashShift_]);
        const std::size_t mask = ring_ - 1;
        std::uint32_t* smaller = &son_[2 * (pos & mask)];
        std::uint32_t* larger = &son_[2 * (pos & mask) + 1];
        std::size_t smallerLen = 0, largerLen = 0, best = kMinMatch - 1;
        int found = 0;
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
    std::vector<std::uint32_t> head_;
    std::vector<std::uint32_t> son_;
};

Token literal(std::uint8_t b)
{
    return {b, 0};
}
Token match(std::uint32_t len, std::uint32_t dist)
{
    return {static_cast<std::uint16_t>(256 + len - kMinMatch), static_cast<std::uint16_t>(dist - 1)};
}

// ---- Parsing ----

std::vector<Token> lazyParse(Bytes data, int windowBits, int maxChain)
{
    MatchFinder mf(data, windowBits, maxChain);
    std::vector<Token> out;
    out.reserve(data.size() / 3 + 16);
    std::array<std::uint32_t, 64> lens{}, dists{};
    const std::size_t n = data.size();
    std::size_t pos = 0;
    std::uint32_t curLen = 0, curDist = 0;
    bool haveCur = false;
    auto best = [&](std::size_t p, std::uint32_t& len, std::uint32_t& dist) {
        const int k = mf.find(p, lens.data(), dists.data(), 64);
        len = k ? lens[k - 1] : 0;
        dist = k ? dists[k - 1] : 0;
        // A short match far away costs more than its literals.
        if (len == kMinMatch && dist > 4096)
            len = 0;
    };
    while (pos < n) {
        if (!haveCur)
            best(pos, curLen, curDist);
        mf.insert(pos);
        haveCur = false;
        if (curLen < kMinMatch) {
            out.push_back(literal(data[pos]));
            ++pos;
            continue;
        }
        if (curLen < 32 && pos + 1 < n) {
            std::uint32_t nextLen, nextDist;
            best(pos + 1, nextLen, nextDist);
            if (nextLen > curLen) {
                out.push_back(literal(data[pos]));
                ++pos;
                curLen = nextLen;
                curDist = nextDist;
                haveCur = true;
                continue;
            }
        }
        out.push_back(match(curLen, curDist));
        for (std::size_t k = 1; k < curLen; ++k)
            mf.insert(pos + k);
        pos += curLen;
    }
    return out;
}

constexpr std::uint32_t kPriceScale = 16;
constexpr int kTreeDepth = 24;

// Prices of each code and distance class (with its extra bits), from a previous parse.
struct Prices {
    std::array<std::uint32_t, kCodeSymbols> code{};
    std::array<std::uint32_t, 18> distance{}; // class length plus its extra bits
};

Prices pricesFrom(const Token* first, const Token* last, int distanceSymbols)
{
    std::array<std::uint32_t, kCodeSymbols> cf{};
    std::array<std::uint32_t, 18> pf{};
    for (const Token& t : std::span<const Token>(first, last)) {
        ++cf[t.code];
        if (t.code >= 256)
            ++pf[distanceClass(t.offset)];
    }
    // Prices in sixteenths of a bit from the symbol frequencies, unseen symbols priced as rare.
    std::uint64_t codeTotal = 0, distTotal = 0;
    for (auto f : cf)
        codeTotal += f;
    for (auto f : pf)
        distTotal += f;
    auto price = [](std::uint64_t f, std::uint64_t total) {
        const double bits = std::log2(double(total + 2) / (f ? double(f) : 0.5));
        return static_cast<std::uint32_t>(std::lround(std::min(bits, 18.0) * kPriceScale));
    };
    Prices p;
    for (int i = 0; i < kCodeSymbols; ++i)
        p.code[i] = price(cf[i], codeTotal);
    for (int c = 0; c < distanceSymbols; ++c)
        p.distance[c] = price(pf[c], distTotal) + (c > 1 ? (c - 1) * kPriceScale : 0);
    return p;
}

// A stretch of the input parsed with one set of prices.
struct Segment {
    std::size_t end; // relative to the chunk
    Prices prices;
};

constexpr std::size_t kChunk = std::size_t{1} << 18;
constexpr std::uint32_t kNiceLength = 128;
constexpr int kMaxKeptMatches = 16;

// The matches found at each position of a chunk, kept so that the chunk can be parsed twice
// with one walk of the match finder.
struct ChunkMatches {
    std::vector<std::uint32_t> first; // position i's matches are [first[i], first[i + 1])
    std::vector<std::uint32_t> lens, dists;
    std::vector<std::uint8_t> jump; // a match of kNiceLength or more, taken as it stands
};

void findChunkMatches(TreeMatchFinder& mf, std::size_t start, std::size_t len, ChunkMatches& cm)
{
    std::array<std::uint32_t, 300> lens{}, dists{};
    cm.first.assign(len + 1, 0);
    cm.jump.assign(len, 0);
    cm.lens.clear();
    cm.dists.clear();
    std::size_t i = 0;
    while (i < len) {
        cm.first[i] = static_cast<std::uint32_t>(cm.lens.size());
        const int k = mf.find(start + i, lens.data(), dists.data());
        for (int m = std::max(0, k - kMaxKeptMatches); m < k; ++m) {
            cm.lens.push_back(std::min<std::uint32_t>(lens[m], static_cast<std::uint32_t>(len - i)));
            cm.dists.push_back(dists[m]);
        }
        const std::uint32_t longest = k ? std::min<std::uint32_t>(lens[k - 1], static_cast<std::uint32_t>(len - i)) : 0;
        if (longest >= kNiceLength) {
            // Searching inside a long match gains little; its positions only enter the finder.
            cm.jump[i] = 1;
            for (std::uint32_t s = 1; s < longest; ++s) {
                mf.skip(start + i + s);
                cm.first[i + s] = static_cast<std::uint32_t>(cm.lens.size());
            }
            i += longest;
        } else {
            ++i;
        }
    }
    cm.first[len] = static_cast<std::uint32_t>(cm.lens.size());
}

// Prices from a greedy parse over the matches already found: the longest match wherever one
// pays, else a literal. Cheap, and close enough to start the cost-driven parse from.
Prices greedyPrices(const std::uint8_t* data, std::size_t len, const ChunkMatches& cm, int distanceSymbols,
                    std::vector<Token>& scratch)
{
    scratch.clear();
    for (std::size_t i = 0; i < len;) {
        const std::uint32_t e = cm.first[i + 1];
        if (e > cm.first[i]) {
            const std::uint32_t l = cm.lens[e - 1], d = cm.dists[e - 1];
            if (l > kMinMatch || d <= 4096) {
                scratch.push_back(match(l, d));
                i += l;
                continue;
            }
        }
        scratch.push_back(literal(data[i]));
        ++i;
    }
    return pricesFrom(scratch.data(), scratch.data() + scratch.size(), distanceSymbols);
}

// Packed form of a token for the parse tables: code in the low half, offset in the high half.
std::uint32_t packToken(Token t)
{
    return t.code | (std::uint32_t{t.offset} << 16);
}

// Four lanes of 32-bit integers (SSE2 on x86-64, plain code elsewhere).
typedef std::int32_t Lanes __attribute__((vector_size(16)));

Lanes loadLanes(const void* p)
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void storeLanes(void* p, Lanes v)
{
    std::memcpy(p, &v, sizeof v);
}

// Offers the lengths first..last (inclusive) of one match starting at the same position: each
// end position keeps the cheaper of its current way in and this match cut to that length.
// lengthPrice[l] prices the code of length l; tokenOf0 + l is the packed token of length l.
void relaxMatch(std::int32_t* cost, std::uint32_t* step, const std::int32_t* lengthPrice, std::int32_t base,
                std::uint32_t tokenOf0, std::uint32_t first, std::uint32_t last)
{
    std::uint32_t l = first;
    if (l + 3 <= last) { // most matches add fewer than four lengths: no lanes for those
        const Lanes baseLanes = Lanes{} + base;
        const Lanes four = Lanes{} + 4;
        const Lanes laneIndex = {0, 1, 2, 3};
        Lanes token = laneIndex + static_cast<std::int32_t>(tokenOf0 + l);
        for (; l + 3 <= last; l += 4) {
            const Lanes c = baseLanes + loadLanes(lengthPrice + l);
            const Lanes old = loadLanes(cost + l);
            const Lanes better = c < old;
            storeLanes(cost + l, (c & better) | (old & ~better));
            storeLanes(step + l, (token & better) | (loadLanes(step + l) & ~better));
            token += four;
        }
    }
    for (; l <= last; ++l) {
        const std::int32_t c = base + lengthPrice[l];
        if (c < cost[l]) {
            cost[l] = c;
            step[l] = tokenOf0 + l;
        }
    }
}

// Shortest path through the chunk's positions: every edge is a literal or a match, priced by
// the segment its start lies in. Appends the chosen tokens to out.
void parseChunk(const std::uint8_t* data, std::size_t len, const ChunkMatches& cm, const std::vector<Segment>& segments,
                std::vector<std::int32_t>& costStore, std::vector<std::uint32_t>& stepStore, std::vector<Token>& out)
{
    constexpr std::int32_t kUnreached = INT32_MAX; // prices of a chunk stay far below
    // Room past the end for the last lanes of a match that ends there.
    costStore.assign(len + kMaxMatch + 8, kUnreached);
    stepStore.assign(len + kMaxMatch + 8, 0);
    std::int32_t* cost = costStore.data();
    std::uint32_t* step = stepStore.data();
    cost[0] = 0;
    std::size_t segment = 0;
    std::array<std::int32_t, kMaxMatch + 1 + 4> lengthPrice{};
    std::array<std::int32_t, 18> distancePrice{};
    auto usePrices = [&](const Prices& prices) {
        for (int l = kMinMatch; l <= kMaxMatch; ++l)
            lengthPrice[l] = static_cast<std::int32_t>(prices.code[256 + l - kMinMatch]);
        for (std::size_t c = 0; c < distancePrice.size(); ++c)
            distancePrice[c] = static_cast<std::int32_t>(prices.distance[c]);
    };
    usePrices(segments[0].prices);
    std::size_t i = 0;
    while (i < len) {
        if (segments[segment].end <= i) {
            while (segments[segment].end <= i)
                ++segment;
            usePrices(segments[segment].prices);
        }
        const Prices& prices = segments[segment].prices;
        const std::int32_t base = cost[i];
        const std::int32_t lit = base + static_cast<std::int32_t>(prices.code[data[i]]);
        if (lit < cost[i + 1]) {
            cost[i + 1] = lit;
            step[i + 1] = data[i];
        }
        const std::uint32_t b = cm.first[i], e = cm.first[i + 1];
        if (cm.jump[i]) {
            const std::uint32_t l = cm.lens[e - 1], d = cm.dists[e - 1];
            const std::int32_t c = base + lengthPrice[l] + distancePrice[distanceClass(d - 1)];
            if (c < cost[i + l]) {
                cost[i + l] = c;
                step[i + l] = packToken(match(l, d));
            }
            i += l;
            continue;
        }
        std::uint32_t from = kMinMatch;
        for (std::uint32_t m = b; m < e; ++m) {
            const std::uint32_t top = cm.lens[m];
            if (top < from)
                continue;
            const std::uint32_t d = cm.dists[m];
            relaxMatch(cost + i, step + i, lengthPrice.data(), base + distancePrice[distanceClass(d - 1)],
                       packToken(match(kMinMatch, d)) - kMinMatch, from, top);
            from = top + 1;
        }
        ++i;
    }
    const std::size_t mark = out.size();
    for (std::size_t p = len; p > 0;) {
        const Token t{static_cast<std::uint16_t>(step[p] & 0xFFFF), static_cast<std::uint16_t>(step[p] >> 16)};
        out.push_back(t);
        p -= t.code < 256 ? 1 : t.code - 256 + kMinMatch;
    }
    std::reverse(out.begin() + static_cast<std::ptrdiff_t>(mark), out.end());
}

// ---- Blocks ----

struct BlockStats {
    std::array<std::uint32_t, kCodeSymbols> code{};
    std::array<std::uint32_t, 18> distance{};
    void add(const Token* t, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i) {
            ++code[t[i].code];
            if (t[i].code >= 256)
                ++distance[distanceClass(t[i].offset)];
        }
    }
    void add(const BlockStats& o)
    {
        for (int i = 0; i < kCodeSymbols; ++i)
            code[i] += o.code[i];
        for (int i = 0; i < 18; ++i)
            distance[i] += o.distance[i];
    }
};

// The trees of one block, ready to write.
struct BlockCodes {
    std::array<std::uint8_t, kCodeSymbols> codeLen{};
    std::array<std::uint16_t, kCodeSymbols> code{};
    int codeSingle = -1;
    std::array<std::uint8_t, 18> distLen{};
    std::array<std::uint16_t, 18> dist{};
    int distSingle = -1;
    std::array<std::uint8_t, kPreSymbols> preLen{};
    std::array<std::uint16_t, kPreSymbols> pre{};
    int preSingle = -1;
    std::array<std::uint32_t, kPreSymbols> preFreq{};
};

int countUsed(const std::uint32_t* f, int n, int* only)
{
    int used = 0;
    for (int i = 0; i < n; ++i)
        if (f[i]) {
            ++used;
            *only = i;
        }
    return used;
}

// Runs of code lengths as pre-tree symbols; calls emit(symbol, extraBits, extraValue).
template <typename F> void forEachLengthSymbol(const std::uint8_t* len, int n, F emit)
{
    int i = 0;
    while (i < n) {
        const int k = len[i++];
        if (k != 0) {
            emit(k + 2, 0, 0);
            continue;
        }
        int run = 1;
        while (i < n && len[i] == 0) {
            ++i;
            ++run;
        }
        if (run <= 2) {
            for (int r = 0; r < run; ++r)
                emit(0, 0, 0);
        } else if (run <= 18) {
            emit(1, 4, run - 3);
        } else if (run == 19) {
            emit(0, 0, 0);
            emit(1, 4, 15);
        } else {
            emit(2, 9, run - 20);
        }
    }
}

int lastUsed(const std::uint8_t* len, int n)
{
    while (n > 0 && len[n - 1] == 0)
        --n;
    return n;
}

// The trees for the block's statistics; the codes themselves only when the block is written
// (pricing a block needs the lengths alone).
BlockCodes makeCodes(const BlockStats& s, int distanceSymbols, bool withCodes)
{
    BlockCodes b;
    std::array<std::uint32_t, kCodeSymbols> cf = s.code;
    int only = 0;
    if (countUsed(cf.data(), kCodeSymbols, &only) == 1) {
        // Never send a lone code symbol: its zero-bit codes would let a block expand beyond
        // any sane ratio, which readers (ours included) refuse.
        cf[only == 0 ? 1 : 0] = 1;
    }
    buildCodeLengths(cf.data(), kCodeSymbols, kMaxCodeLength, b.codeLen.data());
    if (withCodes)
        buildCodes(b.codeLen.data(), kCodeSymbols, b.code.data());

    std::array<std::uint32_t, 18> pf = s.distance;
    const int distUsed = countUsed(pf.data(), distanceSymbols, &only);
    if (distUsed <= 1) {
        b.distSingle = distUsed == 1 ? only : 0;
    } else {
        buildCodeLengths(pf.data(), distanceSymbols, kMaxCodeLength, b.distLen.data());
        if (withCodes)
            buildCodes(b.distLen.data(), distanceSymbols, b.dist.data());
    }

    const int n = lastUsed(b.codeLen.data(), kCodeSymbols);
    forEachLengthSymbol(b.codeLen.data(), n, [&b](int sym, int, int) { ++b.preFreq[sym]; });
    const int preUsed = countUsed(b.preFreq.data(), kPreSymbols, &only);
    if (preUsed == 1) {
        b.preSingle = only;
    } else {
        buildCodeLengths(b.preFreq.data(), kPreSymbols, kMaxCodeLength, b.preLen.data());
        if (withCodes)
            buildCodes(b.preLen.data(), kPreSymbols, b.pre.data());
    }
    return b;
}

template <typename W>
void writeShortLengths(W& w, const std::uint8_t* len, int symbols, int countBits, int zeroRunAfter)
{
    const int n = lastUsed(len, symbols);
    w.put(countBits, static_cast<std::uint32_t>(n));
    int i = 0;
    while (i < n) {
        const int k = len[i++];
        if (k <= 6)
            w.put(3, static_cast<std::uint32_t>(k));
        else
            w.put(k - 3, (1u << (k - 3)) - 2);
        if (i == zeroRunAfter) {
            int j = i;
            while (j < 6 && j < n && len[j] == 0)
                ++j;
            w.put(2, static_cast<std::uint32_t>(j - i));
            i = j;
        }
    }
}

template <typename W> void writeBlockHeader(W& w, const BlockCodes& b, std::size_t tokens, const MethodParams& mp)
{
    w.put(16, static_cast<std::uint32_t>(tokens));
    if (b.preSingle >= 0) {
        w.put(5, 0);
        w.put(5, static_cast<std::uint32_t>(b.preSingle));
    } else {
        writeShortLengths(w, b.preLen.data(), kPreSymbols, 5, 3);
    }
    const int n = lastUsed(b.codeLen.data(), kCodeSymbols);
    w.put(9, static_cast<std::uint32_t>(n));
    forEachLengthSymbol(b.codeLen.data(), n, [&](int sym, int extraBits, int extra) {
        if (b.preSingle < 0)
            w.put(b.preLen[sym], b.pre[sym]);
        w.put(extraBits, static_cast<std::uint32_t>(extra));
    });
    if (b.distSingle >= 0) {
        w.put(mp.distanceCountBits, 0);
        w.put(mp.distanceCountBits, static_cast<std::uint32_t>(b.distSingle));
    } else {
        writeShortLengths(w, b.distLen.data(), mp.distanceSymbols, mp.distanceCountBits, -1);
    }
}

std::uint64_t blockBits(const BlockStats& s, const MethodParams& mp)
{
    const BlockCodes b = makeCodes(s, mp.distanceSymbols, false);
    BitCounter c;
    writeBlockHeader(c, b, 1, mp);
    std::uint64_t bits = c.bits;
    for (int i = 0; i < kCodeSymbols; ++i)
        bits += static_cast<std::uint64_t>(s.code[i]) * b.codeLen[i];
    for (int d = 0; d < mp.distanceSymbols; ++d)
        bits +=
            static_cast<std::uint64_t>(s.distance[d]) * ((b.distSingle >= 0 ? 0 : b.distLen[d]) + (d > 1 ? d - 1 : 0));
    return bits;
}

void writeBlock(BitWriter& w, const Token* t, std::size_t n, const MethodParams& mp)
{
    BlockStats s;
    s.add(t, n);
    const BlockCodes b = makeCodes(s, mp.distanceSymbols, true);
    writeBlockHeader(w, b, n, mp);
    for (std::size_t i = 0; i < n; ++i) {
        w.put(b.codeLen[t[i].code], b.code[t[i].code]);
        if (t[i].code >= 256) {
            const int cls = distanceClass(t[i].offset);
            if (b.distSingle < 0)
                w.put(b.distLen[cls], b.dist[cls]);
            if (cls > 1)
                w.put(cls - 1, t[i].offset & ((1u << (cls - 1)) - 1));
        }
    }
}

// Splits the tokens into blocks: pieces of a fixed size are merged into the running block while
// one block costs fewer bits than two.
std::vector<std::size_t> splitBlocks(const std::vector<Token>& tokens, const MethodParams& mp)
{
    constexpr std::size_t kPiece = 2048;
    std::vector<std::size_t> ends;
    std::size_t blockStart = 0;
    BlockStats block;
    std::uint64_t blockCost = 0;
    for (std::size_t at = 0; at < tokens.size(); at += kPiece) {
        const std::size_t n = std::min(kPiece, tokens.size() - at);
        BlockStats piece;
        piece.add(tokens.data() + at, n);
        if (at == blockStart) {
            block = piece;
            blockCost = blockBits(block, mp);
            continue;
        }
        BlockStats merged = block;
        merged.add(piece);
        const std::uint64_t mergedCost = blockBits(merged, mp);
        const std::uint64_t pieceCost = blockBits(piece, mp);
        if (at + n - blockStart <= kMaxBlockTokens && mergedCost <= blockCost + pieceCost) {
            block = merged;
            blockCost = mergedCost;
        } else {
            ends.push_back(at);
            blockStart = at;
            block = piece;
            blockCost = pieceCost;
        }
    }
    ends.push_back(tokens.size());
    return ends;
}

std::vector<std::uint8_t> writeTokens(const std::vector<Token>& tokens, const MethodParams& mp)
{
    BitWriter w;
    std::size_t start = 0;
    for (const std::size_t end : splitBlocks(tokens, mp)) {
        if (end > start)
            writeBlock(w, tokens.data() + start, end - start, mp);
        start = end;
    }
    return w.finish();
}

// Bytes the tokens would take as one block: a quick upper estimate.
std::size_t estimatedBytes(const std::vector<Token>& tokens, const MethodParams& mp)
{
    BlockStats s;
    s.add(tokens.data(), tokens.size());
    return static_cast<std::size_t>(blockBits(s, mp) / 8);
}

constexpr double kDenseEntropy = 7.9;

// Bits per byte of the input's byte frequencies: close to 8 for random or packed data.
double byteEntropy(Bytes input)
{
    std::array<std::uint32_t, 256> f{};
    for (const std::uint8_t b : input)
        ++f[b];
    double bits = 0;
    for (const std::uint32_t c : f)
        if (c)
            bits -= double(c) * std::log2(double(c) / double(input.size()));
    return bits / double(input.size());
}

} // namespace

std::vector<std::uint8_t> encodeLh(Bytes input, Method method, const EncoderSettings& settings)
{
    const MethodParams mp = paramsFor(method);
    std::vector<Token> tokens;
    const int effort = std::clamp(settings.effort, 1, 4);
    if (effort < 4) {
        static constexpr int kChains[] = {0, 8, 32, 128};
        tokens = lazyParse(input, mp.windowBits, kChains[effort]);
    } else {
        // A first cost-driven parse of each chunk is priced by a greedy parse over the chunk's
        // matches; the blocks that parse falls into then price a second parse, block by block,
        // so that each stretch is parsed for the codes it will be written with. Both parses of a
        // chunk share one walk of the match finder. Input that looks random (byte entropy near
        // 8 bits) gets a quick lazy parse first and is written from that when it barely shrinks.
        Prices global;
        const bool dense = byteEntropy(input) >= kDenseEntropy;
        if (dense) {
            tokens = lazyParse(input, mp.windowBits, 8);
            if (estimatedBytes(tokens, mp) >= input.size() - input.size() / 50)
                return writeTokens(tokens, mp); // random or packed data: it will be stored anyway
            global = pricesFrom(tokens.data(), tokens.data() + tokens.size(), mp.distanceSymbols);
            tokens.clear();
        }
        TreeMatchFinder mf(input, mp.windowBits, kTreeDepth);
        ChunkMatches cm;
        std::vector<std::int32_t> cost;
        std::vector<std::uint32_t> step;
        std::vector<Token> first;
        for (std::size_t start = 0; start < input.size(); start += kChunk) {
            const std::size_t len = std::min(kChunk, input.size() - start);
            findChunkMatches(mf, start, len, cm);
            if (!dense)
                global = greedyPrices(input.data() + start, len, cm, mp.distanceSymbols, first);
            first.clear();
            parseChunk(input.data() + start, len, cm, {{len, global}}, cost, step, first);
            // One re-pricing pass; more gain under 0.1 % for a fifth more time each.
            std::vector<Segment> segments;
            std::size_t pos = 0, from = 0;
            for (const std::size_t end : splitBlocks(first, mp)) {
                for (std::size_t t = from; t < end; ++t)
                    pos += first[t].code < 256 ? 1 : first[t].code - 256 + kMinMatch;
                segments.push_back({pos, pricesFrom(first.data() + from, first.data() + end, mp.distanceSymbols)});
                from = end;
            }
            parseChunk(input.data() + start, len, cm, segments, cost, step, tokens);
        }
    }
    return writeTokens(tokens, mp);
}

Method methodForSize(std::size_t size)
{
    if (size <= (std::size_t{1} << 13))
        return Method::Lh5;
    if (size <= (std::size_t{1} << 15))
        return Method::Lh6;
    return Method::Lh7;
}

Packed packMember(Bytes input, const EncoderSettings& settings)
{
    Packed p;
    if (input.empty() || settings.effort <= 0)
        return p;
    const Method m = methodForSize(input.size());
    std::vector<std::uint8_t> data = encodeLh(input, m, settings);
    if (data.size() < input.size()) {
        p.method = m;
        p.data = std::move(data);
    }
    return p;
}

} // namespace unlha
