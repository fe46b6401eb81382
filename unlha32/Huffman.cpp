#include "Huffman.h"

#include <algorithm>
#include <array>

namespace unlha {

void buildCodeLengths(const std::uint32_t* freq, int n, int limit, std::uint8_t* lengths)
{
    // Called thousands of times per file by the block splitter: no heap allocations.
    constexpr int kMaxSymbols = 512;
    // Used symbols as (frequency, symbol) keys: sorting plain integers is much cheaper than
    // sorting indices through a comparison of their frequencies.
    std::array<std::uint64_t, kMaxSymbols> keys;
    int usedCount = 0;
    for (int i = 0; i < n; ++i) {
        lengths[i] = 0;
        if (freq[i])
            keys[usedCount++] = (std::uint64_t{freq[i]} << 16) | static_cast<std::uint64_t>(i);
    }
    if (usedCount == 0)
        return;
    if (usedCount == 1) {
        lengths[keys[0] & 0xFFFF] = 1;
        return;
    }
    // Sort leaves by frequency (ties by symbol), then merge with two queues (leaves, internal
    // nodes).
    std::sort(keys.begin(), keys.begin() + usedCount);
    std::array<int, kMaxSymbols> used;
    for (int i = 0; i < usedCount; ++i)
        used[i] = static_cast<int>(keys[i] & 0xFFFF);
    const int leaves = usedCount;
    std::array<std::uint64_t, 2 * kMaxSymbols> weight;
    std::array<int, 2 * kMaxSymbols> parent;
    for (int i = 0; i < leaves; ++i)
        weight[i] = keys[i] >> 16;
    int nextLeaf = 0, nextNode = leaves, end = leaves;
    auto take = [&]() {
        if (nextLeaf < leaves && (nextNode >= end || weight[nextLeaf] <= weight[nextNode]))
            return nextLeaf++;
        return nextNode++;
    };
    while (end < 2 * leaves - 1) {
        const int a = take();
        const int b = take();
        weight[end] = weight[a] + weight[b];
        parent[a] = parent[b] = end;
        ++end;
    }
    // Depths from the root down (internal nodes are created in order, the root last).
    std::array<int, 2 * kMaxSymbols> depth;
    depth[2 * leaves - 2] = 0;
    for (int i = 2 * leaves - 3; i >= 0; --i)
        depth[i] = depth[parent[i]] + 1;

    // Count leaves per length, clamping the too-long ones, then restore the Kraft equality.
    std::array<int, 64> count{};
    for (int i = 0; i < leaves; ++i)
        ++count[std::min(depth[i], limit)];
    auto kraft = [&]() {
        std::uint64_t k = 0;
        for (int l = 1; l <= limit; ++l)
            k += static_cast<std::uint64_t>(count[l]) << (limit - l);
        return k;
    };
    const std::uint64_t full = std::uint64_t{1} << limit;
    std::uint64_t k = kraft();
    while (k > full) {
        // Lengthen the deepest leaf that is still shorter than the limit.
        int l = limit - 1;
        while (l > 0 && count[l] == 0)
            --l;
        --count[l];
        ++count[l + 1];
        k -= std::uint64_t{1} << (limit - l - 1);
    }
    while (k < full) {
        // Shorten a leaf where that keeps the code valid.
        int l = limit;
        while (l > 1 && (count[l] == 0 || k + (std::uint64_t{1} << (limit - l)) > full))
            --l;
        if (l <= 1)
            break;
        --count[l];
        ++count[l - 1];
        k += std::uint64_t{1} << (limit - l);
    }
    // Hand the shortest lengths to the most frequent symbols.
    int sym = leaves - 1;
    for (int l = 1; l <= limit; ++l)
        for (int c = 0; c < count[l]; ++c)
            lengths[used[sym--]] = static_cast<std::uint8_t>(l);
}

void buildCodes(const std::uint8_t* lengths, int n, std::uint16_t* codes)
{
    std::array<int, 18> count{};
    for (int i = 0; i < n; ++i)
        ++count[lengths[i]];
    count[0] = 0;
    std::array<std::uint32_t, 18> next{};
    std::uint32_t code = 0;
    for (int l = 1; l <= 16; ++l) {
        next[l] = code;
        code = (code + count[l]) << 1;
    }
    for (int i = 0; i < n; ++i)
        codes[i] = lengths[i] ? static_cast<std::uint16_t>(next[lengths[i]]++) : 0;
}

} // namespace unlha
