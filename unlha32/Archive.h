#pragma once

#include "Decoder.h"
#include "Header.h"

#include <string>
#include <vector>

namespace unlha {

// An archive file mapped read-only into memory.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // False when the path is not a readable regular file.
    bool open(const std::string& path);
    Bytes bytes() const { return {data_, size_}; }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
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
Listing listMembers(Bytes archive);

// Decodes one member into the sink (which may be empty) and compares the data CRC.
DecodeResult extractData(Bytes archive, const Member& member, const Sink& sink);

// True when the archive lists cleanly, no member carries an unsafe reason, and (when
// decodeData) every member decodes to its size and CRC.
bool checkArchive(Bytes archive, bool decodeData, std::string* error = nullptr);

} // namespace unlha
