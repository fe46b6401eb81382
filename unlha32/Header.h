#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace unlha {

using Bytes = std::span<const std::uint8_t>;

// Compression methods this library reads. Anything else is refused.
enum class Method { Stored, Lh4, Lh5, Lh6, Lh7, Folder };

// Largest original size a member may claim; larger claims are refused before decoding.
inline constexpr std::uint64_t kMaxMemberSize = 0xFFFFFFFFull;
// Data above the floor may not claim more than kMaxRatio times the bytes it is packed in, for
// one member and for an archive as a whole: our writer stays near 2000:1 even for zeros, so a
// larger claim is a decompression bomb.
inline constexpr std::uint64_t kRatioFloor = 1u << 20;
inline constexpr std::uint64_t kMaxRatio = 8000;

// Where an archive's bytes come from: a file read piece by piece, or bytes in memory.
class ArchiveSource {
public:
    virtual ~ArchiveSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads exactly size bytes at offset; false when they cannot all be read (any more).
    virtual bool read(std::uint64_t offset, std::uint8_t* out, std::size_t size) const = 0;
};

class MemorySource final : public ArchiveSource {
public:
    explicit MemorySource(Bytes bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool read(std::uint64_t offset, std::uint8_t* out, std::size_t size) const override;

private:
    Bytes bytes_;
};

// One member as found in an archive, its name decoded and checked.
struct Member {
    Method method = Method::Stored;
    std::string methodId; // "-lh5-"
    int level = 0;
    std::uint8_t osId = 0;
    bool folder = false;            // a folder entry: "-lhd-", or marked by the folder attribute
    std::uint64_t headerOffset = 0; // where the header starts in the archive
    std::uint64_t dataOffset = 0;   // where the packed data starts
    std::uint64_t packedSize = 0;   // packed data only
    std::uint64_t originalSize = 0;
    std::uint16_t crc = 0;
    std::int64_t mtime = 0;        // Unix time
    std::vector<std::string> path; // UTF-8 components, folders first; safe to create
    std::string unsafeReason;      // non-empty: the member must not be extracted
    // A folder member may carry data (OS/2 keeps a folder's extended attributes there): it is
    // checked, never written.
    bool isFolder() const { return folder; }
};

// Result of reading one header at an offset.
struct HeaderRead {
    enum class Status { Member, End, Broken } status = Status::Broken;
    Member member;
    std::uint64_t next = 0; // offset of the following header
    std::string error;      // for Broken
};

// Reads the header at offset. Levels 0 to 3 are accepted; every length is checked against the
// archive, the header checksum or CRC is verified, and the packed data must lie inside the
// archive. A single 0x00 byte is the end of the archive; running out of bytes is Broken.
HeaderRead readHeader(const ArchiveSource& archive, std::uint64_t offset);

// What the writer needs to describe a member.
struct NewMember {
    std::string methodId; // "-lh5-", "-lh0-", "-lhd-"
    std::uint32_t packedSize = 0;
    std::uint32_t originalSize = 0;
    std::uint16_t crc = 0;
    std::int64_t mtime = 0;
    std::vector<std::string> folders; // CP932 bytes of each folder component
    std::string name;                 // CP932 bytes of the file name; empty for a folder entry
    bool writeCodePage = true;
};

// Builds a level-2 header with its CRC, the Unix time stamp of the base header and, when
// asked, the code page 932 mark. Nothing more: every byte is paid once per member. Empty result when the names do not
// fit in a header.
std::vector<std::uint8_t> buildLevel2Header(const NewMember& m);

} // namespace unlha
