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
// Members above the floor may not claim more than kMaxRatio times their packed size: our writer
// stays near 2000:1 even for a file of zeros, so a larger claim is a decompression bomb.
constexpr std::uint64_t kRatioFloor = 1u << 20;
constexpr std::uint64_t kMaxRatio = 8000;

std::uint16_t u16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t u32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
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

// Fields collected from the extended headers.
struct Extended {
    std::string name;
    std::string folder;
    bool hasName = false;
    std::uint32_t codePage = 932;
    std::optional<std::uint32_t> unixMode;
    std::optional<std::uint32_t> unixTime;
    bool wideSize = false;
    std::optional<std::uint16_t> headerCrc;
    std::size_t headerCrcAt = 0; // offset of the CRC field from the header start
};

// Walks a chain of extended headers in [pos, limit) of buf. Returns the end offset, or nullopt
// when a header runs past the limit or the chain is too long.
std::optional<std::size_t> readExtended(const std::uint8_t* buf, std::size_t pos, std::size_t limit, std::uint16_t size,
                                        Extended& ext, std::size_t headerStart)
{
    for (int count = 0; size != 0; ++count) {
        if (count >= kMaxExtendedHeaders || size < 3 || pos > limit || limit - pos < size)
            return std::nullopt;
        const std::uint8_t type = buf[pos];
        const std::uint8_t* data = buf + pos + 1;
        const std::size_t len = size - 3u;
        switch (type) {
        case 0x00:
            if (len >= 2) {
                ext.headerCrc = u16(data);
                ext.headerCrcAt = pos + 1 - headerStart;
            }
            break;
        case 0x01:
            ext.name.assign(reinterpret_cast<const char*>(data), len);
            ext.hasName = true;
            break;
        case 0x02:
            ext.folder.assign(reinterpret_cast<const char*>(data), len);
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
        default:
            break;
        }
        const std::size_t current = size;
        size = u16(buf + pos + current - 2);
        pos += current;
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

// Splits raw bytes on 0xFF, decodes each piece, splits the decoded text on "/" and "\".
// Decoding comes first: 0x5C is a valid second byte of CP932 characters.
bool splitPath(std::string_view raw, std::uint32_t codePage, bool allowSeparators, std::vector<std::string>& out,
               std::string& why)
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
        if (!allowSeparators && decoded->find_first_of("/\\") != std::string::npos) {
            why = "separator inside a name";
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

void checkPath(Member& m, const Extended& ext, std::string_view levelName, bool legacy)
{
    std::vector<std::string> parts;
    std::string why;
    if (!ext.folder.empty() && !splitPath(ext.folder, ext.codePage, true, parts, why)) {
        m.unsafeReason = why;
        return;
    }
    if (!parts.empty() && parts.back().empty())
        parts.pop_back(); // folder headers end with a separator
    std::vector<std::string> nameParts;
    if (!levelName.empty() && !splitPath(levelName, ext.codePage, legacy, nameParts, why)) {
        m.unsafeReason = why;
        return;
    }
    if (!nameParts.empty() && nameParts.back().empty() && (m.isFolder() || nameParts.size() > 1))
        nameParts.pop_back(); // "dir\" names a folder
    parts.insert(parts.end(), nameParts.begin(), nameParts.end());
    if (parts.empty()) {
        m.unsafeReason = "empty name";
        return;
    }
    std::size_t total = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& c = parts[i];
        total += c.size() + 1;
        if (c.empty()) {
            m.unsafeReason = i == 0 ? "absolute path" : "empty path component";
            return;
        }
        if (c == "..") {
            m.unsafeReason = "parent folder reference";
            return;
        }
        if (i == 0 && c.size() >= 2 && c[1] == ':') {
            m.unsafeReason = "drive letter";
            return;
        }
        if (!isSafeComponent(c)) {
            m.unsafeReason = "unsafe path component";
            return;
        }
    }
    if (total > kMaxPathBytes) {
        m.unsafeReason = "path too long";
        return;
    }
    m.path = std::move(parts);
}

} // namespace

HeaderRead readHeader(Bytes archive, std::uint64_t offset)
{
    HeaderRead r;
    auto broken = [&r](const char* why) {
        r.status = HeaderRead::Status::Broken;
        r.error = why;
        return r;
    };
    if (offset >= archive.size())
        return broken("archive ends without its end mark");
    const std::uint8_t* h = archive.data() + offset;
    const std::size_t avail = archive.size() - offset;
    if (h[0] == 0) {
        r.status = HeaderRead::Status::End;
        r.next = offset + 1;
        return r;
    }
    if (avail < 22)
        return broken("truncated header");
    if (h[2] != '-' || h[6] != '-')
        return broken("not an LHA header");

    Member& m = r.member;
    m.methodId.assign(reinterpret_cast<const char*>(h + 2), 5);
    m.level = h[20];
    m.headerOffset = offset;
    m.originalSize = u32(h + 11);
    std::uint64_t packed = u32(h + 7);
    Extended ext;
    std::string legacyName;
    std::uint64_t dataOffset = 0;

    if (m.level == 0 || m.level == 1) {
        const std::size_t hsize = static_cast<std::size_t>(h[0]) + 2;
        const std::size_t nameLen = h[21];
        const std::size_t minSize = 24 + nameLen + (m.level == 1 ? 3 : 0);
        if (hsize > avail)
            return broken("truncated header");
        if (hsize < minSize)
            return broken("malformed header");
        unsigned sum = 0;
        for (std::size_t i = 2; i < hsize; ++i)
            sum += h[i];
        if ((sum & 0xFF) != h[1])
            return broken("header checksum error");
        legacyName.assign(reinterpret_cast<const char*>(h + 22), nameLen);
        m.crc = u16(h + 22 + nameLen);
        m.mtime = dosTimeToUnix(u32(h + 15));
        std::uint64_t extTotal = 0;
        if (m.level == 0) {
            const std::size_t extStart = 24 + nameLen;
            if (hsize > extStart) {
                m.osId = h[extStart];
                if (m.osId == 'U' && hsize - extStart >= 7) {
                    m.mtime = u32(h + extStart + 1);
                    ext.unixMode = u16(h + extStart + 5);
                }
            }
        } else {
            m.osId = h[24 + nameLen];
            const std::uint64_t limit = std::min<std::uint64_t>(archive.size(), offset + hsize + packed);
            const auto end = readExtended(archive.data(), offset + hsize, limit, u16(h + hsize - 2), ext, offset);
            if (!end)
                return broken("extended header runs past its bounds");
            extTotal = *end - (offset + hsize);
            if (ext.unixTime)
                m.mtime = *ext.unixTime;
        }
        dataOffset = offset + hsize + extTotal;
        packed -= extTotal;
    } else if (m.level == 2) {
        const std::size_t hsize = u16(h);
        if (hsize < 26)
            return broken("malformed header");
        if (hsize > avail)
            return broken("truncated header");
        m.crc = u16(h + 21);
        m.osId = h[23];
        m.mtime = u32(h + 15);
        if (!readExtended(h, 26, hsize, u16(h + 24), ext, 0))
            return broken("extended header runs past its bounds");
        if (ext.headerCrc) {
            std::vector<std::uint8_t> copy(h, h + hsize);
            copy[ext.headerCrcAt] = copy[ext.headerCrcAt + 1] = 0;
            if (crc16(copy.data(), copy.size()) != *ext.headerCrc)
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

    const auto method = methodFromId(m.methodId);
    if (!method) {
        m.unsafeReason = "unsupported method " + m.methodId;
        return r;
    }
    m.method = *method;
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
    if (m.level == 2 && !ext.hasName && ext.folder.empty()) {
        m.unsafeReason = "empty name";
        return r;
    }
    const bool legacy = m.level != 2 && !ext.hasName;
    checkPath(m, ext, legacy ? std::string_view(legacyName) : std::string_view(ext.name), legacy);
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
