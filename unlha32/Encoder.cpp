#include "Encoder.h"

#include "Blocks.h"
#include "MatchFinder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>

namespace unlha {

namespace {

// Tokens are handed on in batches of this many.
constexpr std::size_t kBatch = 4096;

// Greedy matching with one step of lookahead over the positions [from, to) of data; the
// positions before from only enter the finder. emit(tokens, n) receives the tokens in order.
template <typename Emit>
void lazyParse(Bytes data, std::size_t from, std::size_t to, int windowBits, int maxChain, Emit&& emit)
{
    HashChainFinder mf(data, windowBits, maxChain);
    for (std::size_t p = 0; p < from; ++p)
        mf.insert(p);
    std::vector<Token> out;
    out.reserve(kBatch);
    auto push = [&](Token t) {
        out.push_back(t);
        if (out.size() == kBatch) {
            emit(out.data(), out.size());
            out.clear();
        }
    };
    std::array<std::uint32_t, 64> lens{}, dists{};
    std::size_t pos = from;
    std::uint32_t curLen = 0, curDist = 0;
    bool haveCur = false;
    auto best = [&](std::size_t p, std::uint32_t& len, std::uint32_t& dist) {
        const int k = mf.find(p, lens.data(), dists.data(), 64);
        len = k ? std::min<std::uint32_t>(lens[k - 1], static_cast<std::uint32_t>(to - p)) : 0;
        dist = k ? dists[k - 1] : 0;
        // A short match far away costs more than its literals.
        if (len < kMinMatch || (len == kMinMatch && dist > 4096))
            len = 0;
    };
    while (pos < to) {
        if (!haveCur)
            best(pos, curLen, curDist);
        mf.insert(pos);
        haveCur = false;
        if (curLen < kMinMatch) {
            push(literalToken(data[pos]));
            ++pos;
            continue;
        }
        if (curLen < 32 && pos + 1 < to) {
            std::uint32_t nextLen, nextDist;
            best(pos + 1, nextLen, nextDist);
            if (nextLen > curLen) {
                push(literalToken(data[pos]));
                ++pos;
                curLen = nextLen;
                curDist = nextDist;
                haveCur = true;
                continue;
            }
        }
        push(matchToken(curLen, curDist));
        for (std::size_t k = 1; k < curLen; ++k)
            mf.insert(pos + k);
        pos += curLen;
    }
    if (!out.empty())
        emit(out.data(), out.size());
}

constexpr std::uint32_t kPriceScale = 16;
constexpr int kTreeDepth = 24;

// Prices of each code and distance class (with its extra bits), from a previous parse.
struct Prices {
    std::array<std::uint32_t, kCodeSymbols> code{};
    std::array<std::uint32_t, kMaxDistanceSymbols> distance{}; // class length plus its extra bits
};

Prices pricesFrom(const BlockStats& s, int distanceSymbols)
{
    // Prices in sixteenths of a bit from the symbol frequencies, unseen symbols priced as rare.
    std::uint64_t codeTotal = 0, distTotal = 0;
    for (auto f : s.code)
        codeTotal += f;
    for (auto f : s.distance)
        distTotal += f;
    auto price = [](std::uint64_t f, std::uint64_t total) {
        const double bits = std::log2(double(total + 2) / (f ? double(f) : 0.5));
        return static_cast<std::uint32_t>(std::lround(std::min(bits, 18.0) * kPriceScale));
    };
    Prices p;
    for (int i = 0; i < kCodeSymbols; ++i)
        p.code[i] = price(s.code[i], codeTotal);
    for (int c = 0; c < distanceSymbols; ++c)
        p.distance[c] = price(s.distance[c], distTotal) + (c > 1 ? (c - 1) * kPriceScale : 0);
    return p;
}

Prices pricesFrom(const Token* first, const Token* last, int distanceSymbols)
{
    BlockStats s;
    s.add(first, static_cast<std::size_t>(last - first));
    return pricesFrom(s, distanceSymbols);
}

// A stretch of a chunk parsed with one set of prices.
struct PriceSpan {
    std::size_t end; // relative to the chunk
    Prices prices;
};

constexpr std::size_t kChunk = std::size_t{1} << 17;
constexpr std::uint32_t kNiceLength = TreeMatchFinder::kTreeLength;
constexpr std::uint32_t kEnteredOfLong = 64;
constexpr int kMaxKeptMatches = 4; // keeping more made no archive measurably smaller

// The matches found at each position of a chunk, kept so that the chunk can be parsed twice
// with one walk of the match finder. A match is packed as length << 16 | (distance - 1).
struct ChunkMatches {
    std::vector<std::uint32_t> first; // position i's matches are [first[i], first[i + 1])
    std::unique_ptr<std::uint32_t[]> matches; // room for kMaxKeptMatches a position
    std::size_t room = 0;
    std::vector<std::uint8_t> jump; // a match of kNiceLength or more, taken as it stands
};

std::uint32_t lengthOf(std::uint32_t m)
{
    return m >> 16;
}
std::uint32_t offsetOf(std::uint32_t m)
{
    return m & 0xFFFF;
}

void findChunkMatches(TreeMatchFinder& mf, std::size_t start, std::size_t len, ChunkMatches& cm)
{
    std::array<std::uint32_t, 300> lens{}, dists{};
    cm.first.resize(len + 1); // every entry is written below
    cm.jump.assign(len, 0);
    if (cm.room < len * kMaxKeptMatches) {
        cm.room = len * kMaxKeptMatches;
        cm.matches = std::make_unique_for_overwrite<std::uint32_t[]>(cm.room);
    }
    std::uint32_t* const matches = cm.matches.get();
    std::uint32_t n = 0;
    std::size_t i = 0;
    while (i < len) {
        cm.first[i] = n;
        const int k = mf.find(start + i, lens.data(), dists.data());
        const auto left = static_cast<std::uint32_t>(len - i);
        for (int m = std::max(0, k - kMaxKeptMatches); m < k; ++m)
            matches[n++] = std::min(lens[m], left) << 16 | (dists[m] - 1);
        const std::uint32_t longest = k ? std::min(lens[k - 1], left) : 0;
        if (longest >= kNiceLength) {
            // Searching inside a long match gains little, and so does finding its positions
            // later (the text they start is found where the match came from): only the last
            // few enter the finder.
            cm.jump[i] = 1;
            for (std::uint32_t s = 1; s < longest; ++s) {
                if (s + kEnteredOfLong > longest)
                    mf.skip(start + i + s);
                cm.first[i + s] = n;
            }
            i += longest;
        } else {
            ++i;
        }
    }
    cm.first[len] = n;
}

// Prices from a greedy parse over the matches already found: the longest match wherever one
// pays, else a literal. Cheap, and close enough to price the cost-driven parse.
Prices greedyPrices(const std::uint8_t* data, std::size_t len, const ChunkMatches& cm, int distanceSymbols)
{
    BlockStats s;
    for (std::size_t i = 0; i < len;) {
        const std::uint32_t e = cm.first[i + 1];
        Token t = literalToken(data[i]);
        std::size_t step = 1;
        if (e > cm.first[i]) {
            const std::uint32_t l = lengthOf(cm.matches[e - 1]), o = offsetOf(cm.matches[e - 1]);
            if (l > kMinMatch || o < 4096) {
                // A match cut short by the chunk's end counts as the code below length 3.
                t = {static_cast<std::uint16_t>(256 + l - kMinMatch), static_cast<std::uint16_t>(o)};
                step = l;
            }
        }
        s.add(&t, 1);
        i += step;
    }
    return pricesFrom(s, distanceSymbols);
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
    // Four lengths at a time, the lanes past last masked off: the tables have room past the
    // longest match for the last lanes.
    const Lanes baseLanes = Lanes{} + base;
    const Lanes laneIndex = {0, 1, 2, 3};
    const Lanes lastLanes = Lanes{} + static_cast<std::int32_t>(last);
    for (std::uint32_t l = first; l <= last; l += 4) {
        const Lanes lengths = laneIndex + static_cast<std::int32_t>(l);
        const Lanes c = baseLanes + loadLanes(lengthPrice + l);
        const Lanes old = loadLanes(cost + l);
        const Lanes better = (c < old) & (lengths <= lastLanes);
        storeLanes(cost + l, (c & better) | (old & ~better));
        const Lanes token = lengths + static_cast<std::int32_t>(tokenOf0);
        storeLanes(step + l, (token & better) | (loadLanes(step + l) & ~better));
    }
}

// Room for the parse of one chunk, kept from chunk to chunk.
struct ParseTables {
    std::vector<std::int32_t> cost;
    std::vector<std::uint32_t> step;
};

// Shortest path through the chunk's positions: every edge is a literal or a match, priced by
// the span its start lies in. Appends the chosen tokens to out.
void parseChunk(const std::uint8_t* data, std::size_t len, const ChunkMatches& cm, const std::vector<PriceSpan>& spans,
                ParseTables& tables, std::vector<Token>& out)
{
    constexpr std::int32_t kUnreached = INT32_MAX; // prices of a chunk stay far below
    // Room past the end for the last lanes of a match that ends there. A step is read only
    // where its cost was set, so old steps may stay.
    tables.cost.assign(len + kMaxMatch + 8, kUnreached);
    if (tables.step.size() < len + kMaxMatch + 8)
        tables.step.resize(len + kMaxMatch + 8);
    std::int32_t* cost = tables.cost.data();
    std::uint32_t* step = tables.step.data();
    cost[0] = 0;
    std::size_t span = 0;
    std::array<std::int32_t, kMaxMatch + 1 + 4> lengthPrice{};
    std::array<std::int32_t, kMaxDistanceSymbols> distancePrice{};
    auto usePrices = [&](const Prices& prices) {
        for (int l = kMinMatch; l <= kMaxMatch; ++l)
            lengthPrice[l] = static_cast<std::int32_t>(prices.code[256 + l - kMinMatch]);
        for (std::size_t c = 0; c < distancePrice.size(); ++c)
            distancePrice[c] = static_cast<std::int32_t>(prices.distance[c]);
    };
    usePrices(spans[0].prices);
    std::size_t i = 0;
    while (i < len) {
        if (spans[span].end <= i) {
            while (spans[span].end <= i)
                ++span;
            usePrices(spans[span].prices);
        }
        const Prices& prices = spans[span].prices;
        const std::int32_t base = cost[i];
        const std::int32_t lit = base + static_cast<std::int32_t>(prices.code[data[i]]);
        if (lit < cost[i + 1]) {
            cost[i + 1] = lit;
            step[i + 1] = data[i];
        }
        const std::uint32_t b = cm.first[i], e = cm.first[i + 1];
        if (cm.jump[i]) {
            const std::uint32_t l = lengthOf(cm.matches[e - 1]), o = offsetOf(cm.matches[e - 1]);
            const std::int32_t c = base + lengthPrice[l] + distancePrice[distanceClass(o)];
            if (c < cost[i + l]) {
                cost[i + l] = c;
                step[i + l] = packToken(matchToken(l, o + 1));
            }
            i += l;
            continue;
        }
        std::uint32_t from = kMinMatch;
        for (std::uint32_t m = b; m < e; ++m) {
            const std::uint32_t top = lengthOf(cm.matches[m]);
            if (top < from)
                continue;
            const std::uint32_t o = offsetOf(cm.matches[m]);
            relaxMatch(cost + i, step + i, lengthPrice.data(), base + distancePrice[distanceClass(o)],
                       packToken(matchToken(kMinMatch, o + 1)) - kMinMatch, from, top);
            from = top + 1;
        }
        ++i;
    }
    const std::size_t mark = out.size();
    for (std::size_t p = len; p > 0;) {
        const Token t{static_cast<std::uint16_t>(step[p] & 0xFFFF), static_cast<std::uint16_t>(step[p] >> 16)};
        out.push_back(t);
        p -= tokenLength(t);
    }
    std::reverse(out.begin() + static_cast<std::ptrdiff_t>(mark), out.end());
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

// The blocks the tokens would be written in, each with the prices of its own tokens.
std::vector<PriceSpan> blockPrices(const std::vector<Token>& tokens, const MethodParams& mp)
{
    std::vector<PriceSpan> spans;
    std::size_t pos = 0, from = 0;
    for (const std::size_t blockEnd : splitBlocks(tokens.data(), tokens.size(), mp)) {
        for (std::size_t t = from; t < blockEnd; ++t)
            pos += tokenLength(tokens[t]);
        spans.push_back({pos, pricesFrom(tokens.data() + from, tokens.data() + blockEnd, mp.distanceSymbols)});
        from = blockEnd;
    }
    return spans;
}

// Prices of a token.
std::int64_t priceOf(const Prices& p, Token t)
{
    return p.code[t.code] + (t.code >= 256 ? p.distance[distanceClass(t.offset)] : 0);
}

// True when the tokens, chosen under `used`, would cost notably less under the prices of the
// blocks they fall into: the prices were off, and a parse with the blocks' prices pays.
bool mispriced(const std::vector<Token>& tokens, const Prices& used, const std::vector<PriceSpan>& spans)
{
    constexpr std::int64_t kPermille = 10;
    std::int64_t before = 0, after = 0;
    std::size_t span = 0, at = 0;
    for (const Token t : tokens) {
        while (spans[span].end <= at)
            ++span;
        before += priceOf(used, t);
        after += priceOf(spans[span].prices, t);
        at += tokenLength(t);
    }
    return (before - after) * 1000 >= after * kPermille;
}

// The cost-driven parse of a segment, a chunk at a time. The first chunk of a segment is
// parsed once, with the prices of a greedy parse over its matches. Any other chunk, and the
// first of dense input, is parsed first with the prices of the chunk before it or the given
// ones; where the blocks that parse falls into price its tokens notably lower, their prices
// parse the chunk again, so that each stretch is parsed for the codes it will be written with.
// All parses of a chunk share one walk of the match finder.
void optimalParse(const SegmentInput& in, const MethodParams& mp, const Prices* dense, BlockWriter& blocks)
{
    TreeMatchFinder mf(in.data, mp.windowBits, kTreeDepth, in.memberSize);
    for (std::size_t p = 0; p < in.before; ++p)
        mf.skip(p);
    ChunkMatches cm;
    ParseTables tables;
    std::vector<Token> first, second;
    BlockStats previous;
    const std::size_t end = in.before + in.length;
    for (std::size_t start = in.before; start < end; start += kChunk) {
        const std::size_t len = std::min(kChunk, end - start);
        const std::uint8_t* data = in.data.data() + start;
        findChunkMatches(mf, start, len, cm);
        first.clear();
        const std::vector<Token>* chosen = &first;
        if (start == in.before && !dense) {
            // Nothing parsed before: a greedy parse prices the one cost-driven parse.
            parseChunk(data, len, cm, {{len, greedyPrices(data, len, cm, mp.distanceSymbols)}}, tables, first);
        } else {
            const Prices chunkPrices = start > in.before ? pricesFrom(previous, mp.distanceSymbols) : *dense;
            parseChunk(data, len, cm, {{len, chunkPrices}}, tables, first);
            const std::vector<PriceSpan> spans = blockPrices(first, mp);
            if (mispriced(first, chunkPrices, spans)) {
                second.clear();
                parseChunk(data, len, cm, spans, tables, second);
                chosen = &second;
            }
        }
        blocks.add(chosen->data(), chosen->size());
        previous = BlockStats();
        previous.add(chosen->data(), chosen->size());
    }
}

} // namespace

BitString encodeSegment(const SegmentInput& in, Method method, const EncoderSettings& settings)
{
    const MethodParams mp = methodParams(method);
    BitWriter bits(in.length + in.length / 16 + 64); // room enough: no copies as it grows
    BlockWriter blocks(mp, bits);
    auto result = [&bits] {
        BitString s;
        s.bits = bits.bitCount();
        s.bytes = bits.take();
        return s;
    };
    const std::size_t end = in.before + in.length;
    const int effort = std::clamp(settings.effort, 1, 4);
    if (effort < 4) {
        static constexpr int kChains[] = {0, 8, 32, 128};
        lazyParse(in.data, in.before, end, mp.windowBits, kChains[effort],
                  [&](const Token* t, std::size_t n) { blocks.add(t, n); });
        blocks.finish();
        return result();
    }
    // Input that looks random (byte entropy near 8 bits) gets a quick lazy parse first, written
    // as it goes; that is the result when it barely shrinks (the member will most likely be
    // stored), else its statistics price the cost-driven parse.
    if (byteEntropy(in.data.subspan(in.before, in.length)) >= kDenseEntropy) {
        BlockStats all;
        lazyParse(in.data, in.before, end, mp.windowBits, 8, [&](const Token* t, std::size_t n) {
            all.add(t, n);
            blocks.add(t, n);
        });
        blocks.finish();
        if (blockBits(all, mp) / 8 >= in.length - in.length / 50)
            return result();
        bits.take();
        const Prices prices = pricesFrom(all, mp.distanceSymbols);
        optimalParse(in, mp, &prices, blocks);
    } else {
        optimalParse(in, mp, nullptr, blocks);
    }
    blocks.finish();
    return result();
}

std::vector<std::uint8_t> BitJoiner::tail() const
{
    if (bits_ % 8 == 0)
        return {};
    return {partial_};
}

std::vector<std::uint8_t> encodeLh(Bytes input, Method method, const EncoderSettings& settings)
{
    std::vector<std::uint8_t> out;
    BitJoiner joiner;
    for (std::size_t at = 0; at < input.size() || at == 0; at += kSegment) {
        SegmentInput in;
        const std::size_t from = at - std::min(at, kSegmentBefore);
        const std::size_t length = std::min(kSegment, input.size() - at);
        in.data = input.subspan(from, std::min(input.size(), at + length + kSegmentAfter) - from);
        in.before = at - from;
        in.length = length;
        in.memberSize = input.size();
        joiner.append(encodeSegment(in, method, settings),
                      [&out](const std::uint8_t* d, std::size_t n) { out.insert(out.end(), d, d + n); });
    }
    const auto tail = joiner.tail();
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

Method methodForSize(std::uint64_t size)
{
    if (size <= (std::uint64_t{1} << 13))
        return Method::Lh5;
    if (size <= (std::uint64_t{1} << 15))
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
