#include "Blocks.h"

#include "Huffman.h"

#include <algorithm>

namespace unlha {

namespace {

constexpr int kPreSymbols = 19;
constexpr int kMaxCodeLength = 16;
constexpr std::size_t kMaxBlockTokens = 65535;

// Counts bits instead of writing them; used to price a block exactly.
class BitCounter {
public:
    void put(int n, std::uint32_t) { bits += static_cast<std::uint64_t>(n); }
    std::uint64_t bits = 0;
};

// The trees of one block, ready to write.
struct BlockCodes {
    std::array<std::uint8_t, kCodeSymbols> codeLen{};
    std::array<std::uint16_t, kCodeSymbols> code{};
    int codeSingle = -1;
    std::array<std::uint8_t, kMaxDistanceSymbols> distLen{};
    std::array<std::uint16_t, kMaxDistanceSymbols> dist{};
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

    std::array<std::uint32_t, kMaxDistanceSymbols> pf = s.distance;
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

} // namespace

MethodParams methodParams(Method m)
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

void BlockStats::add(const Token* t, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        ++code[t[i].code];
        if (t[i].code >= 256)
            ++distance[distanceClass(t[i].offset)];
    }
}

void BlockStats::add(const BlockStats& o)
{
    for (int i = 0; i < kCodeSymbols; ++i)
        code[i] += o.code[i];
    for (int i = 0; i < kMaxDistanceSymbols; ++i)
        distance[i] += o.distance[i];
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

bool BlockSplitter::endsBefore(const Token* t, std::size_t n)
{
    BlockStats piece;
    piece.add(t, n);
    if (blockTokens_ > 0 && blockTokens_ + n <= kMaxBlockTokens) {
        BlockStats merged = block_;
        merged.add(piece);
        const std::uint64_t mergedCost = blockBits(merged, mp_);
        const std::uint64_t pieceCost = blockBits(piece, mp_);
        if (mergedCost <= blockCost_ + pieceCost) {
            block_ = merged;
            blockCost_ = mergedCost;
            blockTokens_ += n;
            return false;
        }
        block_ = piece;
        blockCost_ = pieceCost;
        blockTokens_ = n;
        return true;
    }
    const bool ends = blockTokens_ > 0;
    block_ = piece;
    blockCost_ = blockBits(piece, mp_);
    blockTokens_ = n;
    return ends;
}

std::vector<std::size_t> splitBlocks(const Token* t, std::size_t n, const MethodParams& mp)
{
    BlockSplitter splitter(mp);
    std::vector<std::size_t> ends;
    for (std::size_t at = 0; at < n; at += BlockSplitter::kPiece)
        if (splitter.endsBefore(t + at, std::min(BlockSplitter::kPiece, n - at)))
            ends.push_back(at);
    ends.push_back(n);
    return ends;
}

void BlockWriter::add(const Token* t, std::size_t n)
{
    pending_.insert(pending_.end(), t, t + n);
    while (pending_.size() - offered_ >= BlockSplitter::kPiece)
        offer(BlockSplitter::kPiece);
}

void BlockWriter::offer(std::size_t n)
{
    if (splitter_.endsBefore(pending_.data() + offered_, n)) {
        writeBlock(out_, pending_.data(), offered_, mp_);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(offered_));
        offered_ = 0;
    }
    offered_ += n;
}

void BlockWriter::finish()
{
    if (pending_.size() > offered_)
        offer(pending_.size() - offered_);
    if (offered_ > 0)
        writeBlock(out_, pending_.data(), offered_, mp_);
    pending_.clear();
    offered_ = 0;
    splitter_ = BlockSplitter(mp_);
}

} // namespace unlha
