#include "Add.h"

#include "Archive.h"
#include "Crc16.h"
#include "Encoder.h"
#include "Fd.h"
#include "NameCodec.h"
#include "Progress.h"
#include "unlha32.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace unlha {

namespace {

struct Entry {
    std::string base;              // the folder the sources were named in
    std::vector<std::string> path; // below base, and the stored path (UTF-8)
    bool folder = false;
    std::uint64_t size = 0; // as collected: the progress total counts it
};

std::string shown(const std::string& base, const std::vector<std::string>& path)
{
    return (fs::path(base.empty() ? "." : base) / joinPath(path)).string();
}

// Opens base/path without following a link anywhere below base (base itself is the caller's
// choice). Empty path: base itself.
Fd openBelow(const std::string& base, const std::vector<std::string>& path, int flags)
{
    Fd dir(::open(base.empty() ? "." : base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (std::size_t i = 0; dir.valid() && i + 1 < path.size(); ++i)
        dir = Fd(openat(dir.get(), path[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir.valid() || path.empty())
        return dir;
    // O_NONBLOCK: a FIFO put in place of a file must not hold the run.
    return Fd(openat(dir.get(), path.back().c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
}

// What lies at base/path, the last component not followed either.
bool statBelow(const std::string& base, const std::vector<std::string>& path, struct stat& st)
{
    const Fd parent = openBelow(base, {path.begin(), path.end() - 1}, O_RDONLY | O_DIRECTORY);
    return parent.valid() && fstatat(parent.get(), path.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

struct Child {
    std::string name;
    struct stat st;
};

// The entries of the folder base/path, sorted by name, each as it is (links not followed).
bool listFolder(const std::string& base, const std::vector<std::string>& path, std::vector<Child>& out)
{
    Fd folder = openBelow(base, path, O_RDONLY | O_DIRECTORY);
    DIR* d = folder.valid() ? fdopendir(folder.get()) : nullptr;
    if (!d)
        return false;
    folder.release();
    while (const dirent* e = readdir(d)) {
        Child c{e->d_name, {}};
        if (c.name != "." && c.name != ".." && fstatat(dirfd(d), e->d_name, &c.st, AT_SYMLINK_NOFOLLOW) == 0)
            out.push_back(std::move(c));
    }
    closedir(d);
    std::sort(out.begin(), out.end(), [](const Child& a, const Child& b) { return a.name < b.name; });
    return true;
}

std::vector<std::string> splitName(const std::string& name)
{
    std::vector<std::string> parts;
    std::size_t s = 0;
    while (s <= name.size()) {
        std::size_t e = name.find('/', s);
        if (e == std::string::npos)
            e = name.size();
        if (e > s)
            parts.push_back(name.substr(s, e - s));
        s = e + 1;
    }
    return parts;
}

// Collects files and folders below a base, leaving out links, special files and the archive
// being written.
struct Collector {
    const struct stat* archive = nullptr; // null when there is none yet
    std::vector<Entry>& out;
    std::string& message;

    bool isArchive(const struct stat& st) const
    {
        return archive && st.st_dev == archive->st_dev && st.st_ino == archive->st_ino;
    }

    // Adds the folder with everything below it.
    bool folder(const std::string& base, const std::vector<std::string>& path, int depth)
    {
        if (depth > 64) {
            message = "folders nested too deep: " + shown(base, path);
            return false;
        }
        out.push_back({base, path, true});
        std::vector<Child> children;
        if (!listFolder(base, path, children)) {
            message = "cannot read the folder " + shown(base, path);
            return false;
        }
        for (const Child& c : children) {
            auto p = path;
            p.push_back(c.name);
            if (S_ISDIR(c.st.st_mode)) {
                if (!folder(base, p, depth + 1))
                    return false;
            } else if (S_ISREG(c.st.st_mode) && !isArchive(c.st)) {
                out.push_back({base, p, false, static_cast<std::uint64_t>(c.st.st_size)});
            }
        }
        return true;
    }
};

// Links are never followed: a named source or a folder entry that is a link is left out, as
// are FIFOs, devices and sockets. What is missing is an error.
int collect(const AddOptions& options, const struct stat* archive, std::vector<Entry>& entries, std::string& message)
{
    Collector c{archive, entries, message};
    for (const AddSource& src : options.sources) {
        for (const std::string& name : src.names) {
            if (hasWildcard(name)) {
                std::vector<Child> children;
                if (!listFolder(src.base, {}, children)) {
                    message = "cannot read the folder " + shown(src.base, {});
                    return UNLHA_E_SOURCE;
                }
                for (const Child& child : children)
                    if (S_ISREG(child.st.st_mode) && !c.isArchive(child.st) && matchWildcard(name, child.name))
                        entries.push_back({src.base, {child.name}, false, static_cast<std::uint64_t>(child.st.st_size)});
                continue;
            }
            const std::vector<std::string> stored = splitName(name);
            if (stored.empty()) {
                message = "empty name";
                return UNLHA_E_COMMAND;
            }
            struct stat st {};
            if (!statBelow(src.base, stored, st)) {
                message = "no such file or folder: " + shown(src.base, stored);
                return UNLHA_E_SOURCE;
            }
            if (S_ISDIR(st.st_mode)) {
                if (!c.folder(src.base, stored, 0))
                    return UNLHA_E_SOURCE;
            } else if (S_ISREG(st.st_mode) && !c.isArchive(st)) {
                entries.push_back({src.base, stored, false, static_cast<std::uint64_t>(st.st_size)});
            }
        }
    }
    return 0;
}

// Reads exactly size bytes at offset; false when the file ends early or cannot be read.
bool readAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::pread(fd, out, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

const char* methodId(Method m)
{
    switch (m) {
    case Method::Lh5:
        return "-lh5-";
    case Method::Lh6:
        return "-lh6-";
    case Method::Lh7:
        return "-lh7-";
    case Method::Folder:
        return "-lhd-";
    default:
        return "-lh0-";
    }
}

// The archive being written: buffered, with room to patch a header in place once its member
// is complete and to cut back data that turned out larger than storing.
class OutFile {
public:
    explicit OutFile(int fd) : fd_(fd) {}
    ~OutFile() { ::close(fd_); }
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;

    std::uint64_t offset() const { return flushed_ + buffer_.size(); }
    bool write(const std::uint8_t* d, std::size_t n)
    {
        if (buffer_.size() + n > kBuffer && !flush())
            return false;
        if (n >= kBuffer)
            return writeDirect(d, n);
        buffer_.insert(buffer_.end(), d, d + n);
        return true;
    }
    bool write(const std::vector<std::uint8_t>& v) { return write(v.data(), v.size()); }
    bool patch(std::uint64_t at, const std::vector<std::uint8_t>& bytes)
    {
        if (at >= flushed_) {
            std::memcpy(buffer_.data() + (at - flushed_), bytes.data(), bytes.size());
            return true;
        }
        if (!flush())
            return false;
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(at + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    // Drops everything from at on.
    bool truncate(std::uint64_t at)
    {
        if (at >= flushed_) {
            buffer_.resize(static_cast<std::size_t>(at - flushed_));
            return true;
        }
        buffer_.clear();
        flushed_ = at;
        return ::ftruncate(fd_, static_cast<off_t>(at)) == 0 && ::lseek(fd_, static_cast<off_t>(at), SEEK_SET) >= 0;
    }
    bool flush()
    {
        const bool ok = writeDirect(buffer_.data(), buffer_.size());
        buffer_.clear();
        return ok;
    }

private:
    static constexpr std::size_t kBuffer = std::size_t{1} << 20;
    bool writeDirect(const std::uint8_t* d, std::size_t n)
    {
        while (n > 0) {
            const ssize_t k = ::write(fd_, d, n);
            if (k < 0 && errno == EINTR)
                continue;
            if (k <= 0)
                return false;
            d += k;
            n -= static_cast<std::size_t>(k);
            flushed_ += static_cast<std::uint64_t>(k);
        }
        return true;
    }
    int fd_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t flushed_ = 0;
};

constexpr std::size_t kMaxWorkers = 4;
// Pieces wait in memory for their turn to be written. Every worker may take a piece while one
// more waits, and further pieces (up to kMaxAhead) are taken while the waiting ones hold less
// than kHeldBudget, so that one slow piece does not leave the other workers idle. A piece
// holds at most one segment's packed bytes; a worker needs about 8 MiB besides.
constexpr std::size_t kHeldBudget = std::size_t{6} << 20;
constexpr std::size_t kMaxAhead = 64;

// A file or folder on its way into the archive; filled when its first piece is claimed.
struct MemberWork {
    const Entry* entry = nullptr;
    std::shared_ptr<Fd> file; // open until the member is written
    std::uint64_t size = 0;
    std::int64_t mtime = 0;
    std::size_t segments = 1;
    bool skip = false; // a folder while folder entries are not stored
    Method method = Method::Stored;
    int rc = 0;
    std::string message;
};

// One piece of work and its result: a segment of a member, read and encoded (or kept plain
// when the member is stored), or why it could not be.
struct Piece {
    bool ready = false;
    std::size_t member = 0, segment = 0;
    int rc = 0;
    std::string message;
    NewMember names;       // with the first segment: the member's names and time
    BitString bits;        // packed bytes, or plain ones for a stored member
    std::uint16_t crc = 0; // of the segment's plain bytes
    std::uint64_t length = 0;
    std::size_t held() const { return bits.bytes.size(); }
};

// Opens a member's file and splits it into segments (called with the pipeline locked: quick).
void openMember(MemberWork& w, const AddOptions& options)
{
    const Entry& e = *w.entry;
    if (e.folder) {
        w.skip = !options.folderEntries;
        w.method = Method::Folder;
        const Fd fd = openBelow(e.base, e.path, O_RDONLY | O_DIRECTORY);
        struct stat st {};
        w.mtime = fd.valid() && fstat(fd.get(), &st) == 0 ? st.st_mtime : 0;
        return;
    }
    auto fd = std::make_shared<Fd>(openBelow(e.base, e.path, O_RDONLY));
    struct stat st {};
    if (!fd->valid() || fstat(fd->get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        w.rc = UNLHA_E_SOURCE;
        w.message = "cannot read " + shown(e.base, e.path);
        return;
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxMemberSize) {
        w.rc = UNLHA_E_SOURCE;
        w.message = "larger than an LHA member may be (4 GiB): " + shown(e.base, e.path);
        return;
    }
    w.file = std::move(fd);
    w.size = static_cast<std::uint64_t>(st.st_size);
    w.mtime = st.st_mtime;
    w.segments = std::max<std::uint64_t>(1, (w.size + kSegment - 1) / kSegment);
    w.method = w.size == 0 || options.effort <= 0 ? Method::Stored : methodForSize(w.size);
}

// The names of a member in code page 932, checked.
bool encodeNames(const Entry& e, NewMember& nm, std::string& message)
{
    for (std::size_t i = 0; i < e.path.size(); ++i) {
        const auto enc = encodeCp932(e.path[i]);
        if (!enc || !isSafeComponent(e.path[i])) {
            message = "name cannot be stored in code page 932: " + joinPath(e.path);
            return false;
        }
        if (i + 1 < e.path.size() || e.folder)
            nm.folders.push_back(*enc);
        else
            nm.name = *enc;
    }
    return true;
}

// What a worker does with one piece: the member's names with its first segment, then the
// segment's bytes, read and encoded.
void makePiece(Piece& p, const MemberWork& w, const std::shared_ptr<Fd>& file, const AddOptions& options,
               std::vector<std::uint8_t>& buffer)
{
    if (w.rc != 0) {
        p.rc = w.rc;
        p.message = w.message;
        return;
    }
    if (p.segment == 0 && !w.skip) {
        p.names.writeCodePage = options.codePageMark;
        p.names.mtime = w.mtime;
        if (!encodeNames(*w.entry, p.names, p.message)) {
            p.rc = UNLHA_E_SOURCE;
            return;
        }
    }
    if (!file)
        return; // a folder
    const std::uint64_t at = std::uint64_t{p.segment} * kSegment;
    p.length = std::min<std::uint64_t>(kSegment, w.size - at);
    if (p.length == 0)
        return;
    const std::uint64_t from = at - std::min<std::uint64_t>(at, kSegmentBefore);
    const std::uint64_t to = std::min(w.size, at + p.length + kSegmentAfter);
    buffer.resize(static_cast<std::size_t>(to - from));
    if (!readAt(file->get(), from, buffer.data(), buffer.size())) {
        p.rc = UNLHA_E_SOURCE;
        p.message = "cannot read " + shown(w.entry->base, w.entry->path);
        return;
    }
    SegmentInput in;
    in.data = Bytes(buffer);
    in.before = static_cast<std::size_t>(at - from);
    in.length = static_cast<std::size_t>(p.length);
    in.memberSize = w.size;
    const Bytes plain = in.data.subspan(in.before, in.length);
    p.crc = crc16(plain.data(), plain.size());
    if (w.method == Method::Stored) {
        p.bits.bytes.assign(plain.begin(), plain.end());
        p.bits.bits = p.length * 8;
    } else {
        p.bits = encodeSegment(in, w.method, EncoderSettings{options.effort});
    }
}

// The members, their pieces in order, and the workers that make them.
class Pipeline {
public:
    Pipeline(const std::vector<Entry>& entries, const AddOptions& options) : options_(options)
    {
        members_.resize(entries.size());
        std::uint64_t segments = 0;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            members_[i].entry = &entries[i];
            segments += std::max<std::uint64_t>(1, (entries[i].size + kSegment - 1) / kSegment);
        }
        const std::size_t cores = options.threads > 0 ? static_cast<std::size_t>(options.threads)
                                                      : std::thread::hardware_concurrency();
        workers_ = std::clamp<std::size_t>(cores, 1, kMaxWorkers);
        for (std::size_t t = 0; t < std::min<std::uint64_t>(workers_, segments); ++t)
            pool_.emplace_back([this] { work(); });
    }
    ~Pipeline()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        for (auto& t : pool_)
            t.join();
    }

    // The next piece in archive order, once it is ready; false after the last one.
    bool next(Piece& out)
    {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] {
                return (!pieces_.empty() && pieces_.front().ready) || (pieces_.empty() && claimedAll());
            });
            if (pieces_.empty())
                return false;
            out = std::move(pieces_.front());
            pieces_.pop_front();
            held_ -= out.held();
        }
        changed_.notify_all();
        return true;
    }
    const MemberWork& member(std::size_t i) const { return members_[i]; }
    // The writer is done with a member: its file is closed once no worker reads it.
    void release(std::size_t i)
    {
        std::lock_guard lock(mutex_);
        members_[i].file.reset();
    }

private:
    bool claimedAll() const { return nextMember_ == members_.size(); }
    bool mayClaim() const
    {
        return pieces_.size() <= workers_ || (pieces_.size() < kMaxAhead && held_ < kHeldBudget);
    }

    void work()
    {
        std::vector<std::uint8_t> buffer;
        for (;;) {
            Piece* slot;
            std::size_t m, segment;
            std::shared_ptr<Fd> file;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stop_ || claimedAll() || mayClaim(); });
                if (stop_ || claimedAll())
                    return;
                m = nextMember_;
                segment = nextSegment_;
                if (segment == 0)
                    openMember(members_[m], options_);
                file = members_[m].file;
                if (++nextSegment_ == members_[m].segments) {
                    ++nextMember_;
                    nextSegment_ = 0;
                }
                slot = &pieces_.emplace_back(); // a deque keeps references to its elements
            }
            Piece p;
            p.member = m;
            p.segment = segment;
            try {
                makePiece(p, members_[m], file, options_, buffer);
            } catch (const std::exception& ex) { // out of memory, above all
                p.rc = UNLHA_E_WRITE;
                p.message = ex.what();
            }
            p.ready = true;
            {
                std::lock_guard lock(mutex_);
                held_ += p.held();
                *slot = std::move(p);
            }
            changed_.notify_all();
        }
    }

    const AddOptions& options_;
    std::vector<MemberWork> members_; // a member's fields are set once, under the lock
    std::size_t workers_ = 1;
    std::vector<std::thread> pool_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t nextMember_ = 0, nextSegment_ = 0;
    std::deque<Piece> pieces_; // claimed and not yet written, in archive order
    std::size_t held_ = 0;
    bool stop_ = false;
};

// Writes the members as their pieces arrive: the header first with its sizes open, the
// segments joined bit by bit, then the header patched. A member that does not shrink is
// stored instead, read once more from its file.
class MemberWriter {
public:
    MemberWriter(OutFile& out, Pipeline& pipeline, const std::string& archive)
        : out_(out), pipeline_(pipeline), archive_(archive)
    {
    }

    // 0, or an UNLHA_E_* code with message.
    int add(Piece& p, std::string& message)
    {
        const MemberWork& w = pipeline_.member(p.member);
        if (p.rc != 0) {
            message = p.message;
            return p.rc;
        }
        if (w.skip)
            return 0;
        if (p.segment == 0) {
            names_ = std::move(p.names);
            names_.methodId = methodId(w.method);
            names_.originalSize = static_cast<std::uint32_t>(w.size);
            const auto header = buildLevel2Header(names_);
            if (header.empty()) {
                message = "name too long: " + joinPath(w.entry->path);
                return UNLHA_E_SOURCE;
            }
            headerAt_ = out_.offset();
            if (!out_.write(header))
                return writeFailed(message);
            dataAt_ = out_.offset();
            joiner_ = BitJoiner();
            crc_ = 0;
        }
        crc_ = crc16Combine(crc_, p.crc, p.length);
        bool ok = true;
        if (w.method == Method::Stored || w.method == Method::Folder)
            ok = out_.write(p.bits.bytes);
        else
            joiner_.append(p.bits, [&](const std::uint8_t* d, std::size_t n) { ok = ok && out_.write(d, n); });
        if (!ok)
            return writeFailed(message);
        if (p.segment + 1 < w.segments)
            return 0;
        const int rc = finish(w, message);
        pipeline_.release(p.member);
        return rc;
    }

private:
    int writeFailed(std::string& message)
    {
        message = "cannot write " + archive_;
        return UNLHA_E_WRITE;
    }

    int finish(const MemberWork& w, std::string& message)
    {
        Method method = w.method;
        if (method != Method::Stored && method != Method::Folder) {
            if (!out_.write(joiner_.tail()))
                return writeFailed(message);
            if (out_.offset() - dataAt_ >= w.size) {
                method = Method::Stored;
                if (const int rc = storePlain(w, message); rc != 0)
                    return rc;
            }
        }
        names_.methodId = methodId(method);
        names_.packedSize = static_cast<std::uint32_t>(out_.offset() - dataAt_);
        names_.crc = crc_;
        if (method == Method::Folder)
            return 0; // its header is complete as written
        return out_.patch(headerAt_, buildLevel2Header(names_)) ? 0 : writeFailed(message);
    }

    // Replaces the packed data by the file's bytes, read again.
    int storePlain(const MemberWork& w, std::string& message)
    {
        if (!out_.truncate(dataAt_))
            return writeFailed(message);
        std::vector<std::uint8_t> piece;
        crc_ = 0;
        for (std::uint64_t at = 0; at < w.size; at += piece.size()) {
            piece.resize(static_cast<std::size_t>(std::min<std::uint64_t>(w.size - at, std::uint64_t{1} << 20)));
            if (!w.file || !readAt(w.file->get(), at, piece.data(), piece.size())) {
                message = "cannot read " + shown(w.entry->base, w.entry->path);
                return UNLHA_E_SOURCE;
            }
            crc_ = crc16Update(crc_, piece.data(), piece.size());
            if (!out_.write(piece))
                return writeFailed(message);
        }
        return 0;
    }

    OutFile& out_;
    Pipeline& pipeline_;
    const std::string& archive_;
    NewMember names_;
    std::uint64_t headerAt_ = 0, dataAt_ = 0;
    BitJoiner joiner_;
    std::uint16_t crc_ = 0;
};

} // namespace

int addToArchive(const AddOptions& options, std::string& message, const Progress& progress)
{
    // The archive itself (and an old copy of it) must not be packed into itself.
    struct stat archiveStat {};
    const bool archiveExists = ::stat(options.archive.c_str(), &archiveStat) == 0;
    std::vector<Entry> entries;
    if (const int rc = collect(options, archiveExists ? &archiveStat : nullptr, entries, message); rc != 0)
        return rc;

    // Later sources replace earlier ones with the same stored path (compared ignoring case).
    std::set<std::string> seen;
    std::vector<Entry> unique;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (seen.insert(foldCase(joinPath(it->path))).second)
            unique.push_back(*it);
    }
    std::reverse(unique.begin(), unique.end());
    if (unique.empty()) {
        message = "nothing to add";
        return UNLHA_E_SOURCE;
    }

    ArchiveFile old;
    Listing oldListing;
    if (archiveExists) {
        if (!old.open(options.archive)) {
            message = "cannot read the archive " + options.archive + " (or it is not a file)";
            return UNLHA_E_OPEN;
        }
        oldListing = listMembers(old);
        if (!oldListing.ok) {
            message = "the existing archive is damaged: " + oldListing.error;
            return UNLHA_E_BROKEN;
        }
    }

    const fs::path target(options.archive);
    std::string tmpl =
        (target.parent_path().empty() ? fs::path(".") : target.parent_path()).string() + "/.unlha-XXXXXX";
    const int fd = mkstemp(tmpl.data());
    if (fd < 0) {
        message = "cannot create " + options.archive;
        return UNLHA_E_WRITE;
    }
    int rc = 0;
    auto failWith = [&](int code, std::string why) {
        rc = code;
        message = std::move(why);
    };
    try {
        OutFile out(fd);
        // Members of the old archive that are not replaced go first, byte for byte.
        std::vector<std::uint8_t> piece;
        for (const Member& m : oldListing.members) {
            if (rc != 0 || seen.count(foldCase(joinPath(m.path))))
                continue;
            for (std::uint64_t at = m.headerOffset, end = m.dataOffset + m.packedSize; rc == 0 && at < end;
                 at += piece.size()) {
                piece.resize(static_cast<std::size_t>(std::min<std::uint64_t>(end - at, 1 << 20)));
                if (!old.read(at, piece.data(), piece.size()))
                    failWith(UNLHA_E_OPEN, "cannot read the archive " + options.archive);
                else if (!out.write(piece))
                    failWith(UNLHA_E_WRITE, "cannot write " + options.archive);
            }
        }

        // Members are read and packed, a segment at a time, on worker threads and written in
        // order by this one.
        std::uint64_t total = 0;
        for (const Entry& e : unique)
            total += e.size;
        ProgressCounter counter(progress, total);
        if (rc == 0 && !counter.add(0))
            failWith(UNLHA_E_CANCELLED, kCancelled);
        if (rc == 0) {
            Pipeline pipeline(unique, options);
            MemberWriter writer(out, pipeline, options.archive);
            Piece p;
            while (rc == 0 && pipeline.next(p)) {
                std::string why;
                if (const int code = writer.add(p, why); code != 0)
                    failWith(code, why);
                else if (!counter.add(p.length))
                    failWith(UNLHA_E_CANCELLED, kCancelled);
            }
        }
        const std::uint8_t endMark = 0;
        if (rc == 0 && (!out.write(&endMark, 1) || !out.flush()))
            failWith(UNLHA_E_WRITE, "cannot write " + options.archive);
    } catch (...) {
        ::unlink(tmpl.c_str());
        throw;
    }
    // The rename below makes the new archive appear whole or not at all; no fsync, which
    // would cost more than the compression of a typical backup.
    if (rc == 0) {
        ::chmod(tmpl.c_str(), archiveExists ? (archiveStat.st_mode & 0777) : 0644);
        if (std::rename(tmpl.c_str(), options.archive.c_str()) != 0)
            failWith(UNLHA_E_WRITE, "cannot create " + options.archive);
    }
    if (rc != 0)
        ::unlink(tmpl.c_str());
    return rc;
}

} // namespace unlha
