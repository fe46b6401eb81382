#include "Archive.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace unlha {

MappedFile::~MappedFile()
{
    if (mapped_)
        munmap(const_cast<std::uint8_t*>(data_), size_);
}

bool MappedFile::open(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ > 0) {
        void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            ::close(fd);
            size_ = 0;
            return false;
        }
        data_ = static_cast<const std::uint8_t*>(p);
        mapped_ = true;
    }
    ::close(fd);
    return true;
}

Listing listMembers(Bytes archive)
{
    Listing out;
    std::uint64_t offset = 0;
    if (archive.empty()) {
        out.error = "empty file";
        return out;
    }
    for (;;) {
        HeaderRead h = readHeader(archive, offset);
        if (h.status == HeaderRead::Status::End)
            break;
        if (h.status == HeaderRead::Status::Broken) {
            out.error = h.error;
            return out;
        }
        if (out.members.size() >= kMaxMembers) {
            out.error = "too many members";
            return out;
        }
        out.members.push_back(std::move(h.member));
        offset = h.next; // always beyond the header just read
    }
    if (out.members.empty()) {
        out.error = "no members";
        return out;
    }
    out.ok = true;
    return out;
}

DecodeResult extractData(Bytes archive, const Member& member, const Sink& sink)
{
    const Bytes packed = archive.subspan(member.dataOffset, member.packedSize);
    DecodeResult r = decodeMember(member.method, packed, member.originalSize, sink);
    if (r.ok && r.crc != member.crc && !member.isFolder()) {
        r.ok = false;
        r.error = "CRC error";
    }
    return r;
}

bool checkArchive(Bytes archive, bool decodeData, std::string* error)
{
    const Listing listing = listMembers(archive);
    auto failWith = [error](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!listing.ok)
        return failWith(listing.error);
    for (const Member& m : listing.members) {
        if (!m.unsafeReason.empty())
            return failWith(m.unsafeReason);
        if (decodeData) {
            const DecodeResult r = extractData(archive, m, {});
            if (!r.ok)
                return failWith(r.error);
        }
    }
    return true;
}

} // namespace unlha
