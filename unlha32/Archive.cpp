#include "Archive.h"

#include "Crc16.h"
#include "NameCodec.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace unlha {

namespace {

constexpr std::size_t kWindow = 64 * 1024;

} // namespace

ArchiveFile::~ArchiveFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool ArchiveFile::open(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool ArchiveFile::readDirect(std::uint64_t offset, std::uint8_t* out, std::size_t size) const
{
    while (size > 0) {
        const ssize_t n = ::pread(fd_, out, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false; // a read error, or the file is shorter than it was
        out += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ArchiveFile::read(std::uint64_t offset, std::uint8_t* out, std::size_t size) const
{
    if (fd_ < 0 || offset > size_ || size_ - offset < size)
        return false;
    if (size == 0)
        return true;
    if (size > kWindow / 2)
        return readDirect(offset, out, size);
    if (offset < windowAt_ || offset + size > windowAt_ + window_.size()) {
        window_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, size_ - offset)));
        windowAt_ = offset;
        if (!readDirect(offset, window_.data(), window_.size())) {
            window_.clear();
            return false;
        }
    }
    std::memcpy(out, window_.data() + (offset - windowAt_), size);
    return true;
}

Listing listMembers(const ArchiveSource& archive)
{
    Listing out;
    std::uint64_t offset = 0;
    if (archive.size() == 0) {
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

std::string refusalOfWhole(const std::vector<const Member*>& members, std::uint64_t archiveSize, bool withFolders)
{
    std::uint64_t claimed = 0;
    for (const Member* m : members)
        claimed += m->originalSize; // at most kMaxMembers times 4 GiB: no overflow
    if (claimed > kRatioFloor && claimed / std::max<std::uint64_t>(archiveSize, 1) > kMaxRatio)
        return "compression ratio of the archive beyond limit";
    if (!withFolders)
        return {};
    std::unordered_set<std::string> folders;
    for (const Member* m : members) {
        std::string p;
        const std::size_t depth = m->path.size() - (m->isFolder() ? 0 : 1);
        for (std::size_t i = 0; i < depth; ++i) {
            p += (i ? "/" : "") + m->path[i];
            folders.insert(p);
        }
    }
    for (const Member* m : members) {
        if (!m->isFolder() && folders.count(joinPath(m->path)))
            return "a file and a folder share the name " + joinPath(m->path);
    }
    return {};
}

DecodeResult extractData(const ArchiveSource& archive, const Member& member, const Sink& sink)
{
    DecodeResult r =
        decodeMember(member.method, archive, member.dataOffset, member.packedSize, member.originalSize, sink);
    if (r.ok && r.crc != member.crc && member.method != Method::Folder) {
        r.ok = false;
        r.error = "CRC error";
    }
    return r;
}

bool checkArchive(const ArchiveSource& archive, bool decodeData, std::string* error, const Progress& progress)
{
    const Listing listing = listMembers(archive);
    auto failWith = [error](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!listing.ok)
        return failWith(listing.error);
    std::vector<const Member*> all;
    for (const Member& m : listing.members) {
        if (!m.unsafeReason.empty())
            return failWith(m.unsafeReason);
        all.push_back(&m);
    }
    if (const std::string why = refusalOfWhole(all, archive.size(), true); !why.empty())
        return failWith(why);
    if (!decodeData)
        return true;
    std::uint64_t total = 0;
    for (const Member& m : listing.members)
        total += m.originalSize;
    ProgressCounter counter(progress, total);
    if (!counter.add(0))
        return failWith(kCancelled);
    for (const Member& m : listing.members) {
        const DecodeResult r =
            extractData(archive, m, [&counter](const std::uint8_t*, std::size_t n) { return counter.add(n); });
        if (!r.ok)
            return failWith(counter.cancelled() ? kCancelled : r.error);
    }
    return true;
}

} // namespace unlha
