#include "Decoder.h"

#include "Crc16.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace unlha {

namespace {

constexpr int kCodeSymbols = 510; // 256 literals + match lengths 3..256
constexpr int kPreSymbols = 19;
constexpr int kMaxCodeLength = 16;
constexpr std::size_t kRingSize = 1u << 17; // twice the largest window
// Stored data is handed on in pieces of this size.
constexpr std::size_t kStoredPiece = std::size_t{1} << 20;
// Zero bits read past the end of the packed data that are tolerated as padding.
constexpr std::size_t kMaxOverrunBytes = 4;

// Reads the packed data from the archive a window at a time.
class BitReader {
public:
    BitReader(const ArchiveSource& source, std::uint64_t offset, std::uint64_t size)
        : source_(source), offset_(offset), left_(size)
    {
    }

    std::uint32_t peek(int k)
    {
        fill(k);
        return k == 0 ? 0 : static_cast<std::uint32_t>(buf_ >> (64 - k));
    }
    void skip(int k)
    {
        buf_ <<= k;
        bits_ -= k;
    }
    std::uint32_t get(int k)
    {
        const std::uint32_t v = peek(k);
        skip(k);
        return v;
    }
    bool overrun() const { return past_ > kMaxOverrunBytes; }
    // The archive could not be read (any more); every bit read since is zero.
    bool failed() const { return failed_; }

private:
    void fill(int k)
    {
        while (bits_ < k) {
            std::uint64_t byte = 0;
            if (at_ < window_.size() || refill())
                byte = window_[at_++];
            else
                ++past_;
            buf_ |= byte << (56 - bits_);
            bits_ += 8;
        }
    }
    bool refill()
    {
        if (left_ == 0 || failed_)
            return false;
        window_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kReadPiece, left_)));
        if (!source_.read(offset_, window_.data(), window_.size())) {
            failed_ = true;
            window_.clear();
            return false;
        }
        offset_ += window_.size();
        left_ -= window_.size();
        at_ = 0;
        return true;
    }

    static constexpr std::size_t kReadPiece = std::size_t{1} << 16;
    const ArchiveSource& source_;
    std::uint64_t offset_;
    std::uint64_t left_; // packed bytes not yet read into the window
    std::vector<std::uint8_t> window_;
    std::size_t at_ = 0;
    std::size_t past_ = 0; // bytes taken past the end of the packed data
    bool failed_ = false;
    std::uint64_t buf_ = 0;
    int bits_ = 0;
};

// Canonical Huffman decoding table indexed by the next maxLen bits.
class HuffTable {
public:
    void setSingle(int symbol)
    {
        single_ = true;
        symbol_ = static_cast<std::uint16_t>(symbol);
    }

    bool build(const std::uint8_t* lengths, int count)
    {
        single_ = false;
        std::array<int, kMaxCodeLength + 1> perLength{};
        for (int i = 0; i < count; ++i) {
            if (lengths[i] > kMaxCodeLength)
                return false;
            ++perLength[lengths[i]];
        }
        maxLen_ = 0;
        std::uint32_t kraft = 0;
        for (int l = 1; l <= kMaxCodeLength; ++l) {
            kraft += static_cast<std::uint32_t>(perLength[l]) << (kMaxCodeLength - l);
            if (perLength[l])
                maxLen_ = l;
        }
        if (maxLen_ == 0 || kraft > (1u << kMaxCodeLength))
            return false; // no codes, or more codes than bit patterns
        table_.assign(std::size_t{1} << maxLen_, 0);
        std::array<std::uint32_t, kMaxCodeLength + 2> next{};
        std::uint32_t code = 0;
        for (int l = 1; l <= maxLen_; ++l) {
            next[l] = code;
            code = (code + perLength[l]) << 1;
        }
        for (int s = 0; s < count; ++s) {
            const int l = lengths[s];
            if (l == 0)
                continue;
            const std::uint32_t first = next[l]++ << (maxLen_ - l);
            const std::uint32_t span = 1u << (maxLen_ - l);
            const std::uint32_t entry = static_cast<std::uint32_t>(s) | (static_cast<std::uint32_t>(l) << 16);
            for (std::uint32_t k = 0; k < span; ++k)
                table_[first + k] = entry;
        }
        return true;
    }

    // The next symbol, or -1 for a bit pattern that no code uses.
    int decode(BitReader& br) const
    {
        if (single_)
            return symbol_;
        const std::uint32_t e = table_[br.peek(maxLen_)];
        if (e == 0)
            return -1;
        br.skip(static_cast<int>(e >> 16));
        return static_cast<int>(e & 0xFFFF);
    }

private:
    bool single_ = false;
    std::uint16_t symbol_ = 0;
    int maxLen_ = 0;
    std::vector<std::uint32_t> table_;
};

struct Params {
    int distanceSymbols; // classes of the distance tree
    int distanceBits;    // width of its count field
};

Params paramsFor(Method m)
{
    switch (m) {
    case Method::Lh6:
        return {16, 5};
    case Method::Lh7:
        return {17, 5};
    default:
        return {14, 4}; // -lh4- and -lh5-
    }
}

// Pre-tree and distance-tree lengths: 3 bits each, 7 continues in unary.
bool readShortLengths(BitReader& br, int symbols, int countBits, int zeroRunAfter, HuffTable& t)
{
    const int n = static_cast<int>(br.get(countBits));
    if (n == 0) {
        const int s = static_cast<int>(br.get(countBits));
        if (s >= symbols)
            return false;
        t.setSingle(s);
        return true;
    }
    if (n > symbols)
        return false;
    std::array<std::uint8_t, 32> len{};
    int i = 0;
    while (i < n) {
        int c = static_cast<int>(br.get(3));
        if (c == 7) {
            while (br.get(1)) {
                if (++c > kMaxCodeLength || br.overrun())
                    return false;
            }
        }
        len[i++] = static_cast<std::uint8_t>(c);
        if (i == zeroRunAfter) {
            int zeros = static_cast<int>(br.get(2));
            while (zeros-- > 0 && i < n)
                len[i++] = 0;
        }
    }
    return t.build(len.data(), symbols);
}

bool readCodeLengths(BitReader& br, const HuffTable& pre, HuffTable& t)
{
    const int n = static_cast<int>(br.get(9));
    if (n == 0) {
        const int s = static_cast<int>(br.get(9));
        if (s >= kCodeSymbols)
            return false;
        t.setSingle(s);
        return true;
    }
    if (n > kCodeSymbols)
        return false;
    std::array<std::uint8_t, kCodeSymbols> len{};
    int i = 0;
    while (i < n) {
        const int c = pre.decode(br);
        if (c < 0 || br.overrun())
            return false;
        if (c <= 2) {
            const int run = c == 0 ? 1 : c == 1 ? static_cast<int>(br.get(4)) + 3 : static_cast<int>(br.get(9)) + 20;
            if (run > n - i)
                return false;
            i += run; // already zero
        } else {
            len[i++] = static_cast<std::uint8_t>(c - 2);
        }
    }
    return t.build(len.data(), kCodeSymbols);
}

class Output {
public:
    Output(const Sink& sink) : sink_(sink), ring_(kRingSize, 0x20) {}

    void put(std::uint8_t b)
    {
        ring_[pos_] = b;
        pos_ = (pos_ + 1) & (kRingSize - 1);
        if (pos_ == 0)
            flush(kRingSize);
    }
    void copy(std::size_t distance, std::size_t length)
    {
        std::size_t src = (pos_ - distance) & (kRingSize - 1);
        while (length--) {
            put(ring_[src]);
            src = (src + 1) & (kRingSize - 1);
        }
    }
    bool finish()
    {
        flush(pos_);
        return ok_;
    }
    bool ok() const { return ok_; }
    std::uint16_t crc() const { return crc_; }

private:
    void flush(std::size_t n)
    {
        if (n == 0 || !ok_)
            return;
        crc_ = crc16Update(crc_, ring_.data(), n);
        if (sink_ && !sink_(ring_.data(), n))
            ok_ = false;
    }
    const Sink& sink_;
    std::vector<std::uint8_t> ring_;
    std::size_t pos_ = 0;
    std::uint16_t crc_ = 0;
    bool ok_ = true;
};

DecodeResult fail(const char* why)
{
    DecodeResult r;
    r.error = why;
    return r;
}

DecodeResult decodeStored(const ArchiveSource& source, std::uint64_t offset, std::uint64_t size, const Sink& sink)
{
    DecodeResult r;
    std::vector<std::uint8_t> piece;
    for (std::uint64_t at = 0; at < size; at += piece.size()) {
        piece.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kStoredPiece, size - at)));
        if (!source.read(offset + at, piece.data(), piece.size()))
            return fail(kReadFailed);
        r.crc = crc16Update(r.crc, piece.data(), piece.size());
        if (sink && !sink(piece.data(), piece.size()))
            return fail("write failed");
    }
    r.ok = true;
    return r;
}

} // namespace

DecodeResult decodeMember(Method method, const ArchiveSource& source, std::uint64_t offset, std::uint64_t packedSize,
                          std::uint64_t originalSize, const Sink& sink)
{
    if (method == Method::Folder)
        return originalSize == 0 ? DecodeResult{true, {}, 0} : fail("folder entry with data");
    if (method == Method::Stored) {
        if (packedSize != originalSize)
            return fail("size mismatch");
        return decodeStored(source, offset, packedSize, sink);
    }
    const Params params = paramsFor(method);
    BitReader br(source, offset, packedSize);
    HuffTable pre, code, dist;
    Output out(sink);
    std::uint64_t produced = 0;
    std::uint32_t blockLeft = 0;
    while (produced < originalSize) {
        if (blockLeft == 0) {
            blockLeft = br.get(16);
            if (blockLeft == 0)
                return fail("empty block");
            if (!readShortLengths(br, kPreSymbols, 5, 3, pre) || !readCodeLengths(br, pre, code) ||
                !readShortLengths(br, params.distanceSymbols, params.distanceBits, -1, dist))
                return fail("damaged block header");
        }
        --blockLeft;
        const int c = code.decode(br);
        if (c < 0)
            return fail("damaged data");
        if (c < 256) {
            out.put(static_cast<std::uint8_t>(c));
            ++produced;
        } else {
            const std::size_t length = static_cast<std::size_t>(c) - 253;
            const int cls = dist.decode(br);
            if (cls < 0)
                return fail("damaged data");
            const std::size_t offset =
                cls <= 1 ? static_cast<std::size_t>(cls) : (std::size_t{1} << (cls - 1)) + br.get(cls - 1);
            if (length > originalSize - produced)
                return fail("data runs past the member size");
            out.copy(offset + 1, length);
            produced += length;
        }
        if (br.failed())
            return fail(kReadFailed);
        if (br.overrun())
            return fail("truncated data");
        if (!out.ok())
            return fail("write failed");
    }
    if (br.failed())
        return fail(kReadFailed);
    if (!out.finish())
        return fail("write failed");
    DecodeResult r;
    r.ok = true;
    r.crc = out.crc();
    return r;
}

DecodeResult decodeMember(Method method, Bytes packed, std::uint64_t originalSize, const Sink& sink)
{
    return decodeMember(method, MemorySource(packed), 0, packed.size(), originalSize, sink);
}

} // namespace unlha
