#include "Header.h"

#include "Crc16.h"
#include "NameCodec.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <string_view>

namespace unlha {

namespace {

constexpr int kMaxExtendedHeaders = 256;
constexpr std::size_t kMaxPathBytes = 4096;
constexpr std::uint32_t kCodePageUtf8 = 65001;
// Level 3 gives header sizes 32 bits; real headers stay far below this.
constexpr std::uint64_t kMaxLevel3Header = 1u << 20;
constexpr std::uint16_t kFolderAttribute = 0x10;
// Seconds from 1601 (Windows file times) to 1970.
constexpr std::uint64_t kWindowsEpoch = 11644473600ull;

std::uint16_t u16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t u32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t u64(const std::uint8_t* p)
{
    return u32(p) | (static_cast<std::uint64_t>(u32(p + 4)) << 32);
}

void put16(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x)
{
    v[at] = static_cast<std::uint8_t>(x);
    v[at + 1] = static_cast<std::uint8_t>(x >> 8);
}

void append(std::vector<std::uint8_t>& v, std::uint64_t x, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}

std::optional<Method> methodFromId(std::string_view id)
{
    if (id == "-lh0-")
        return Method::Stored;
    if (id == "-lh4-")
        return Method::Lh4;
    if (id == "-lh5-")
        return Method::Lh5;
    if (id == "-lh6-")
        return Method::Lh6;
    if (id == "-lh7-")
        return Method::Lh7;
    if (id == "-lhd-")
        return Method::Folder;
    return std::nullopt;
}

std::int64_t dosTimeToUnix(std::uint32_t dos)
{
    std::tm tm{};
    tm.tm_sec = static_cast<int>((dos & 0x1F) * 2);
    tm.tm_min = static_cast<int>((dos >> 5) & 0x3F);
    tm.tm_hour = static_cast<int>((dos >> 11) & 0x1F);
    tm.tm_mday = static_cast<int>((dos >> 16) & 0x1F);
    tm.tm_mon = static_cast<int>((dos >> 21) & 0x0F) - 1;
    tm.tm_year = static_cast<int>((dos >> 25) & 0x7F) + 80;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? 0 : static_cast<std::int64_t>(t);
}

// Reads size bytes at offset into out; false when the archive does not hold them.
bool fetch(const ArchiveSource& a, std::uint64_t offset, std::size_t size, std::vector<std::uint8_t>& out)
{
    if (offset > a.size() || a.size() - offset < size)
        return false;
    out.resize(size);
    return a.read(offset, out.data(), size);
}

// Fields collected from the extended headers.
struct Extended {
    std::string name;
    std::string folder;
    bool hasName = false;
    std::uint32_t codePage = 932;
    std::optional<std::uint16_t> attribute;
    std::optional<std::uint32_t> unixMode;
    std::optional<std::int64_t> unixTime;
    std::optional<std::int64_t> windowsTime;
    bool wideSize = false;
    std::optional<std::uint16_t> headerCrc;
    std::size_t headerCrcAt = 0; // offset of the CRC field from the header start
};

void takeExtended(std::uint8_t type, const std::uint8_t* data, std::size_t len, std::size_t at, Extended& ext)
{
    switch (type) {
    case 0x00:
        if (len >= 2) {
            ext.headerCrc = u16(data);
            ext.headerCrcAt = at;
        }
        break;
    case 0x01:
        ext.name.assign(reinterpret_cast<const char*>(data), len);
        ext.hasName = true;
        break;
    case 0x02:
        ext.folder.assign(reinterpret_cast<const char*>(data), len);
        break;
    case 0x40:
        if (len >= 2)
            ext.attribute = u16(data);
        break;
    case 0x41: // created, modified, accessed
        if (len >= 24 && u64(data + 8) / 10000000 >= kWindowsEpoch)
            ext.windowsTime = static_cast<std::int64_t>(u64(data + 8) / 10000000 - kWindowsEpoch);
        break;
    case 0x42:
        ext.wideSize = true;
        break;
    case 0x46:
        if (len >= 4)
            ext.codePage = u32(data);
        break;
    case 0x50:
        if (len >= 2)
            ext.unixMode = u16(data);
        break;
    case 0x54:
        if (len >= 4)
            ext.unixTime = u32(data);
        break;
    default: // comments, owners, OS/2 attributes, whatever else: skipped by their size
        break;
    }
}

// Walks a chain of extended headers that starts at pos with the given first size; each must
// end by limit. Level 3 gives the sizes 4 bytes, the others 2. get(pos, size, out) reads the
// bytes of one header. Returns the end of the chain, or nullopt when a header runs past the
// limit, is too short for its size field, or the chain is too long.
template <typename Get>
std::optional<std::uint64_t> readExtended(Get&& get, std::uint64_t pos, std::uint64_t limit, std::uint64_t size,
                                          int sizeBytes, std::uint64_t headerStart, Extended& ext)
{
    std::vector<std::uint8_t> e;
    for (int count = 0; size != 0; ++count) {
        if (count >= kMaxExtendedHeaders || size < 1u + sizeBytes || pos > limit || limit - pos < size ||
            !get(pos, static_cast<std::size_t>(size), e))
            return std::nullopt;
        takeExtended(e[0], e.data() + 1, e.size() - 1 - sizeBytes, static_cast<std::size_t>(pos + 1 - headerStart),
                     ext);
        pos += size;
        size = sizeBytes == 4 ? u32(e.data() + e.size() - 4) : u16(e.data() + e.size() - 2);
    }
    return pos;
}

std::optional<std::string> decodeName(std::string_view bytes, std::uint32_t codePage)
{
    if (codePage == kCodePageUtf8) {
        if (!isValidUtf8(bytes))
            return std::nullopt;
        return std::string(bytes);
    }
    return decodeCp932(bytes);
}

// Splits raw bytes on 0xFF, decodes each piece, splits the decoded text on "/" and "\" (DOS and
// OS/2 tools separate folders with "\" in names too). Decoding comes first: 0x5C is a valid
// second byte of CP932 characters.
bool splitPath(std::string_view raw, std::uint32_t codePage, std::vector<std::string>& out, std::string& why)
{
    std::size_t start = 0;
    while (start <= raw.size()) {
        std::size_t end = raw.find('\xFF', start);
        if (end == std::string_view::npos)
            end = raw.size();
        const auto decoded = decodeName(raw.substr(start, end - start), codePage);
        if (!decoded) {
            why = "name does not decode";
            return false;
        }
        std::size_t s = 0;
        while (s <= decoded->size()) {
            std::size_t e = decoded->find_first_of("/\\", s);
            if (e == std::string::npos)
                e = decoded->size();
            out.push_back(decoded->substr(s, e - s));
            s = e + 1;
        }
        start = end + 1;
    }
    return true;
}

// The stored path: the folder header, then the name (either may be empty or missing). A
// leading separator makes it absolute and refused; other empty and "." components (doubled or
// final separators, "./") are dropped.
void checkPath(Member& m, const Extended& ext, std::string_view name)
{
    std::vector<std::string> raw;
    std::string why;
    if ((!ext.folder.empty() && !splitPath(ext.folder, ext.codePage, raw, why)) ||
        (!name.empty() && !splitPath(name, ext.codePage, raw, why))) {
        m.unsafeReason = why;
        return;
    }
    if (!raw.empty() && raw.front().empty() && raw.size() > 1) {
        m.unsafeReason = "absolute path";
        return;
    }
    std::vector<std::string> parts;
    std::size_t total = 0;
    for (std::string& c : raw) {
        if (c.empty() || c == ".")
            continue;
        total += c.size() + 1;
        if (c == "..") {
            m.unsafeReason = "parent folder reference";
            return;
        }
        if (parts.empty() && c.size() >= 2 && c[1] == ':') {
            m.unsafeReason = "drive letter";
            return;
        }
        if (!isSafeComponent(c)) {
            m.unsafeReason = "unsafe path component";
            return;
        }
        parts.push_back(std::move(c));
    }
    if (parts.empty()) {
        m.unsafeReason = "empty name";
        return;
    }
    if (total > kMaxPathBytes) {
        m.unsafeReason = "path too long";
        return;
    }
    m.path = std::move(parts);
}

} // namespace

bool MemorySource::read(std::uint64_t offset, std::uint8_t* out, std::size_t size) const
{
    if (offset > bytes_.size() || bytes_.size() - offset < size)
        return false;
    std::copy_n(bytes_.data() + offset, size, out);
    return true;
}

HeaderRead readHeader(const ArchiveSource& archive, std::uint64_t offset)
{
    HeaderRead r;
    auto broken = [&r](const char* why) {
        r.status = HeaderRead::Status::Broken;
        r.error = why;
        return r;
    };
    std::vector<std::uint8_t> h;
    if (!fetch(archive, offset, 1, h))
        return broken("archive ends without its end mark");
    if (h[0] == 0) {
        r.status = HeaderRead::Status::End;
        r.next = offset + 1;
        return r;
    }
    const std::uint64_t avail = archive.size() - offset;
    if (!fetch(archive, offset, 22, h))
        return broken("truncated header");
    if (h[2] != '-' || h[6] != '-')
        return broken("not an LHA header");

    Member& m = r.member;
    m.methodId.assign(reinterpret_cast<const char*>(h.data() + 2), 5);
    m.level = h[20];
    m.headerOffset = offset;
    m.originalSize = u32(h.data() + 11);
    std::uint64_t packed = u32(h.data() + 7);
    Extended ext;
    std::string legacyName;
    std::uint64_t dataOffset = 0;
    std::optional<std::int64_t> areaTime; // level 0: the Unix time of the extended area
    std::uint16_t baseAttribute = 0;

    if (m.level == 0 || m.level == 1) {
        const std::size_t hsize = static_cast<std::size_t>(h[0]) + 2;
        if (hsize > avail || !fetch(archive, offset, hsize, h))
            return broken("truncated header");
        const std::size_t nameLen = h[21];
        if (hsize < 24 + nameLen + (m.level == 1 ? 3 : 0))
            return broken("malformed header");
        unsigned sum = 0;
        for (std::size_t i = 2; i < hsize; ++i)
            sum += h[i];
        if ((sum & 0xFF) != h[1])
            return broken("header checksum error");
        // Amiga tools keep a file comment after a NUL in the name.
        legacyName.assign(reinterpret_cast<const char*>(h.data() + 22), nameLen);
        legacyName.resize(std::min(legacyName.size(), legacyName.find('\0')));
        baseAttribute = h[19];
        m.crc = u16(h.data() + 22 + nameLen);
        m.mtime = dosTimeToUnix(u32(h.data() + 15));
        std::uint64_t extTotal = 0;
        if (m.level == 0) {
            // Extended area: OS id, then for Unix a minor version, time, mode, user and group.
            const std::size_t area = 24 + nameLen;
            if (hsize > area) {
                m.osId = h[area];
                if (m.osId == 'U' && hsize - area >= 8) {
                    areaTime = u32(h.data() + area + 2);
                    ext.unixMode = u16(h.data() + area + 6);
                }
            }
        } else {
            m.osId = h[24 + nameLen];
            const std::uint64_t limit = std::min(archive.size(), offset + hsize + packed);
            auto get = [&archive](std::uint64_t pos, std::size_t n, std::vector<std::uint8_t>& out) {
                return fetch(archive, pos, n, out);
            };
            const auto end = readExtended(get, offset + hsize, limit, u16(h.data() + hsize - 2), 2, offset, ext);
            if (!end)
                return broken("extended header runs past its bounds");
            extTotal = *end - (offset + hsize);
        }
        dataOffset = offset + hsize + extTotal;
        packed -= extTotal;
    } else if (m.level == 2 || m.level == 3) {
        const int sizeBytes = m.level == 3 ? 4 : 2;
        const std::size_t base = m.level == 3 ? 32 : 26;
        if (avail < base || !fetch(archive, offset, base, h))
            return broken("truncated header");
        if (m.level == 3 && u16(h.data()) != 4)
            return broken("malformed header");
        const std::uint64_t hsize = m.level == 3 ? u32(h.data() + 24) : u16(h.data());
        if (hsize < base || hsize > kMaxLevel3Header)
            return broken("malformed header");
        if (hsize > avail || !fetch(archive, offset, static_cast<std::size_t>(hsize), h))
            return broken("truncated header");
        m.crc = u16(h.data() + 21);
        m.osId = h[23];
        m.mtime = u32(h.data() + 15);
        const std::uint64_t first = m.level == 3 ? u32(h.data() + 28) : u16(h.data() + 24);
        auto get = [&h](std::uint64_t pos, std::size_t n, std::vector<std::uint8_t>& out) {
            out.assign(h.begin() + static_cast<std::ptrdiff_t>(pos), h.begin() + static_cast<std::ptrdiff_t>(pos + n));
            return true;
        };
        if (!readExtended(get, base, hsize, first, sizeBytes, 0, ext))
            return broken("extended header runs past its bounds");
        if (ext.headerCrc) {
            h[ext.headerCrcAt] = h[ext.headerCrcAt + 1] = 0;
            if (crc16(h.data(), h.size()) != *ext.headerCrc)
                return broken("header CRC error");
        }
        dataOffset = offset + hsize;
    } else {
        return broken("unknown header level");
    }
    if (ext.wideSize)
        return broken("member too large");
    if (dataOffset > archive.size() || archive.size() - dataOffset < packed)
        return broken("truncated member data");
    m.dataOffset = dataOffset;
    m.packedSize = packed;
    r.next = dataOffset + packed;
    r.status = HeaderRead::Status::Member;
    if (m.level <= 1)
        m.mtime = ext.unixTime.value_or(areaTime.value_or(ext.windowsTime.value_or(m.mtime)));

    const auto method = methodFromId(m.methodId);
    if (!method) {
        m.unsafeReason = "unsupported method " + m.methodId;
        return r;
    }
    m.method = *method;
    // MS-DOS attributes: byte 19 at levels 0 and 1, the attribute header at any level.
    m.folder = m.method == Method::Folder || (ext.attribute.value_or(baseAttribute) & kFolderAttribute);
    if (m.method == Method::Folder && (m.originalSize != 0 || m.packedSize != 0)) {
        m.unsafeReason = "folder entry with data";
        return r;
    }
    if (m.method == Method::Stored && m.packedSize != m.originalSize)
        return broken("stored member with mismatched sizes");
    if (m.originalSize > kRatioFloor && m.originalSize / std::max<std::uint64_t>(m.packedSize, 1) > kMaxRatio) {
        m.unsafeReason = "compression ratio beyond limit";
        return r;
    }
    if (ext.unixMode) {
        const std::uint32_t type = *ext.unixMode & 0170000;
        if (type != 0 && type != 0100000 && type != 0040000) {
            m.unsafeReason = "link or device entry";
            return r;
        }
        if (*ext.unixMode & 06000) {
            m.unsafeReason = "set-id mode";
            return r;
        }
    }
    checkPath(m, ext, m.level <= 1 && !ext.hasName ? std::string_view(legacyName) : std::string_view(ext.name));
    return r;
}

std::vector<std::uint8_t> buildLevel2Header(const NewMember& m)
{
    struct Ext {
        std::uint8_t type;
        std::vector<std::uint8_t> data;
    };
    std::vector<Ext> exts;
    exts.push_back({0x00, {0, 0}});
    if (m.writeCodePage) {
        Ext cp{0x46, {}};
        append(cp.data, 932, 4);
        exts.push_back(cp);
    }
    exts.push_back({0x01, std::vector<std::uint8_t>(m.name.begin(), m.name.end())});
    if (!m.folders.empty()) {
        Ext dir{0x02, {}};
        for (const auto& f : m.folders) {
            dir.data.insert(dir.data.end(), f.begin(), f.end());
            dir.data.push_back(0xFF);
        }
        exts.push_back(dir);
    }
    std::vector<std::uint8_t> h(24, 0);
    for (int i = 0; i < 5; ++i)
        h[2 + i] = static_cast<std::uint8_t>(m.methodId[i]);
    put16(h, 7, m.packedSize & 0xFFFF);
    put16(h, 9, m.packedSize >> 16);
    put16(h, 11, m.originalSize & 0xFFFF);
    put16(h, 13, m.originalSize >> 16);
    const auto t = static_cast<std::uint32_t>(m.mtime);
    put16(h, 15, t & 0xFFFF);
    put16(h, 17, t >> 16);
    h[19] = 0x20;
    h[20] = 2;
    put16(h, 21, m.crc);
    h[23] = 'W';
    std::size_t crcAt = 0;
    append(h, exts.front().data.size() + 3, 2);
    for (std::size_t i = 0; i < exts.size(); ++i) {
        h.push_back(exts[i].type);
        if (exts[i].type == 0x00)
            crcAt = h.size();
        h.insert(h.end(), exts[i].data.begin(), exts[i].data.end());
        append(h, i + 1 < exts.size() ? exts[i + 1].data.size() + 3 : 0, 2);
    }
    // A header whose size has a zero low byte would start with 0x00, the end mark.
    if ((h.size() & 0xFF) == 0)
        h.push_back(0);
    if (h.size() > 0xFFFF)
        return {};
    put16(h, 0, static_cast<std::uint32_t>(h.size()));
    const std::uint16_t headerCrc = crc16(h.data(), h.size());
    put16(h, crcAt, headerCrc);
    return h;
}

} // namespace unlha
