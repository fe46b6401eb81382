#pragma once

#include "Decoder.h"
#include "Header.h"
#include "Progress.h"

#include <string>
#include <vector>

namespace unlha {

// An archive file read with pread, never mapped: a file that shrinks while it is read (a
// stick pulled out, a share gone) gives a read error instead of a bus error.
class ArchiveFile final : public ArchiveSource {
public:
    ArchiveFile() = default;
    ~ArchiveFile() override;
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    // False when the path is not a readable regular file. Opening never blocks: a FIFO or a
    // device named as the archive is refused at once.
    bool open(const std::string& path);
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, std::uint8_t* out, std::size_t size) const override;

private:
    bool readDirect(std::uint64_t offset, std::uint8_t* out, std::size_t size) const;

    int fd_ = -1;
    std::uint64_t size_ = 0;
    // The headers are read in small pieces; they come from a window read ahead.
    mutable std::vector<std::uint8_t> window_;
    mutable std::uint64_t windowAt_ = 0;
};

// Most members an archive may list; beyond it the archive is refused as hostile.
inline constexpr std::size_t kMaxMembers = 200000;

struct Listing {
    bool ok = false;
    std::string error;
    std::vector<Member> members;
};

// Reads every header up to the end mark. Structural damage (bad header, truncation, missing end
// mark) fails the whole listing; members that may not be extracted are listed with a reason.
Listing listMembers(const ArchiveSource& archive);

// Why these members may not be extracted together, or empty when they may: together they
// claim more than kMaxRatio times the archive's size, or (withFolders, as extraction with
// folders creates them) one member's file stands where another needs a folder. Both are known
// from the headers alone, before anything is decoded or written.
std::string refusalOfWhole(const std::vector<const Member*>& members, std::uint64_t archiveSize, bool withFolders);

// Decodes one member into the sink (which may be empty), streaming, and compares the data CRC.
// The error kReadFailed says that the archive could not be read (any more), not that it is
// damaged.
DecodeResult extractData(const ArchiveSource& archive, const Member& member, const Sink& sink);

// True when the archive lists cleanly, no member carries an unsafe reason, refusalOfWhole has
// nothing against the members, and (when decodeData) every member decodes to its size and CRC.
// progress counts the bytes decoded; a cancelled check is false with the error kCancelled.
bool checkArchive(const ArchiveSource& archive, bool decodeData, std::string* error = nullptr,
                  const Progress& progress = {});

} // namespace unlha
