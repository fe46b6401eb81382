#include "shell/ShellCopy.h"

#include "ports/Causes.h"
#include "ports/Context.h"
#include "shell/FaultPoint.h"
#include "shell/FileOps.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <system_error>
#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const QString kWildcard = QStringLiteral("/*.*");
const QString kThroughLink = QStringLiteral("リンクを経由するため使えません");

struct CopyJob {
    std::string from;
    std::string to;
    std::uintmax_t size = 0;
    bool link = false;
    struct stat source {}; // as the listing found it (never through a link)
    // The target as the plan found it, looked up in its folder: known when looked is true,
    // and there when there is.
    bool looked = false;
    bool there = false;
    struct stat target {};
    // For a file listed in a folder: its name, and the index of the source and target folders
    // in the plan's list of folder pairs.
    std::string name{};
    std::size_t folders = SIZE_MAX;
};

// A source folder and its target folder, held open while their files are copied.
struct OpenPair {
    std::size_t index = SIZE_MAX;
    std::unique_ptr<OpenFolder> from, to;
    void open(std::size_t i, const std::pair<std::string, std::string>& paths)
    {
        index = i;
        from = std::make_unique<OpenFolder>(paths.first);
        to = std::make_unique<OpenFolder>(paths.second);
    }
    bool holds(std::size_t i) const { return from && index == i && from->isOpen() && to->isOpen(); }
};

fs::path native(const QString& p)
{
    return fs::path(p.toStdString());
}

// folder + "/" + name, with one separator whether folder ends in one or not.
std::string joined(const std::string& folder, const char* name)
{
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + '/' + name;
}

std::string joined(const std::string& folder, const std::string& name)
{
    return joined(folder, name.c_str());
}

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Opens a regular file for reading, never through a link and never waiting on a FIFO; path
// is relative to the folder open as folderFd, or to the working folder.
int openRegular(const char* path, struct stat& st, int folderFd = AT_FDCWD)
{
    const int fd = ::openat(folderFd, path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// ---- which copies are known ------------------------------------------------------------

// The record a copy carries: the file it was made from (or found equal to) as that file stood
// then, by device, inode and status-change time. Any later change to that file (its bytes,
// its permissions, its record, a link to it) moves its status-change time, so the record no
// longer names it.
constexpr const char* kCopyAttribute = "user.kennel.copy";

struct CopyRecord {
    unsigned long long dev = 0;
    unsigned long long ino = 0;
    long long sec = 0;
    long long nsec = 0;
};

// The record of the file at path (never through a link).
std::optional<CopyRecord> readRecord(const char* path)
{
    char text[96] = {};
    const ssize_t n = ::lgetxattr(path, kCopyAttribute, text, sizeof text - 1);
    CopyRecord r;
    if (n <= 0 || std::sscanf(text, "%llu %llu %lld.%lld", &r.dev, &r.ino, &r.sec, &r.nsec) != 4)
        return std::nullopt;
    return r;
}

// Where the file system keeps no such records, no copy is ever known: the files are compared.
void writeRecord(int fd, const struct stat& original)
{
    char text[96];
    const int n = std::snprintf(text, sizeof text, "%llu %llu %lld.%09lld",
                                static_cast<unsigned long long>(original.st_dev),
                                static_cast<unsigned long long>(original.st_ino),
                                static_cast<long long>(original.st_ctim.tv_sec),
                                static_cast<long long>(original.st_ctim.tv_nsec));
    ::fsetxattr(fd, kCopyAttribute, text, static_cast<size_t>(n), 0);
}

bool recordNames(const std::optional<CopyRecord>& r, const struct stat& st)
{
    return r && r->dev == static_cast<unsigned long long>(st.st_dev)
           && r->ino == static_cast<unsigned long long>(st.st_ino) && r->sec == st.st_ctim.tv_sec
           && r->nsec == st.st_ctim.tv_nsec;
}

// Either file's record names the other as it stands now; a's is read first.
bool recorded(const char* a, const struct stat& sa, const char* b, const struct stat& sb)
{
    return recordNames(readRecord(a), sb) || recordNames(readRecord(b), sa);
}

bool sameSizeAndTime(const struct stat& a, const struct stat& b)
{
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Neither file changed in the tick of the later copy (see KnownCopies).
bool settled(const struct stat& a, const struct stat& b)
{
    constexpr time_t kMargin = 2; // seconds
    return std::max(a.st_ctim.tv_sec, b.st_ctim.tv_sec) - a.st_mtim.tv_sec > kMargin;
}

// A file and its own copy, neither changed since (see KnownCopies): equal without a read.
bool knownPair(const char* a, const struct stat& sa, const char* b, const struct stat& sb)
{
    return sameSizeAndTime(sa, sb) && settled(sa, sb) && recorded(a, sa, b, sb);
}

bool sameContent(int a, int b, off_t size)
{
    std::vector<char> ba(1 << 16), bb(1 << 16);
    for (off_t at = 0; at < size;) {
        const auto want = static_cast<size_t>(std::min<off_t>(size - at, static_cast<off_t>(ba.size())));
        const ssize_t na = ::pread(a, ba.data(), want, at);
        const ssize_t nb = ::pread(b, bb.data(), want, at);
        if (na <= 0 || na != nb || std::memcmp(ba.data(), bb.data(), static_cast<size_t>(na)) != 0)
            return false;
        at += na;
    }
    return true;
}

// True when the file system maps both files, [0, size) whole, onto the same blocks: a clone
// and its source, neither written to since (a write to a shared block moves it elsewhere).
// The file system then guarantees equal bytes without a read. Dirty pages are written out
// first, so the mapping is the files' content; a mapping of unknown, pending, inline,
// encoded or unwritten extents proves nothing, nor does one too long for one look.
bool sameBlocks(int a, int b, off_t size)
{
    constexpr unsigned kMost = 64;
    struct Map {
        alignas(fiemap) unsigned char bytes[sizeof(fiemap) + kMost * sizeof(fiemap_extent)];
        fiemap& head() { return *reinterpret_cast<fiemap*>(bytes); }
        const fiemap_extent& extent(unsigned i) { return head().fm_extents[i]; }
    };
    auto map = [size](int fd, Map& m) {
        std::memset(m.bytes, 0, sizeof m.bytes);
        fiemap& h = m.head();
        h.fm_length = static_cast<__u64>(size);
        h.fm_flags = FIEMAP_FLAG_SYNC;
        h.fm_extent_count = kMost;
        if (::ioctl(fd, FS_IOC_FIEMAP, &h) != 0 || h.fm_mapped_extents == 0)
            return false;
        constexpr __u32 kProvesNothing = FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DELALLOC | FIEMAP_EXTENT_ENCODED
                                         | FIEMAP_EXTENT_DATA_ENCRYPTED | FIEMAP_EXTENT_NOT_ALIGNED
                                         | FIEMAP_EXTENT_DATA_INLINE | FIEMAP_EXTENT_DATA_TAIL
                                         | FIEMAP_EXTENT_UNWRITTEN;
        const fiemap_extent& last = m.extent(h.fm_mapped_extents - 1);
        if (!(last.fe_flags & FIEMAP_EXTENT_LAST) && last.fe_logical + last.fe_length < static_cast<__u64>(size))
            return false; // more extents than one look takes
        for (unsigned i = 0; i < h.fm_mapped_extents; ++i)
            if (m.extent(i).fe_flags & kProvesNothing)
                return false;
        return true;
    };
    if (size <= 0)
        return false;
    const auto ma = std::make_unique<Map>();
    const auto mb = std::make_unique<Map>();
    if (!map(a, *ma) || !map(b, *mb) || ma->head().fm_mapped_extents != mb->head().fm_mapped_extents)
        return false;
    for (unsigned i = 0; i < ma->head().fm_mapped_extents; ++i) {
        const fiemap_extent& x = ma->extent(i);
        const fiemap_extent& y = mb->extent(i);
        if (x.fe_logical != y.fe_logical || x.fe_physical != y.fe_physical || x.fe_length != y.fe_length)
            return false;
    }
    return true;
}

// Two open regular files of size bytes hold the same bytes: on the same blocks, or read and
// compared.
bool equalBytes(int a, int b, off_t size)
{
    return sameBlocks(a, b, size) || sameContent(a, b, size);
}

// ---- one copy --------------------------------------------------------------------------

// File systems, by device, found not to share blocks between files (a clone was refused).
std::set<dev_t>& withoutClones()
{
    static std::set<dev_t> devices;
    return devices;
}

// The bytes of in (size bytes, from its start) into out: a clone where the file system shares
// blocks between files, else a copy inside the kernel, else through a buffer.
bool copyBytes(int in, int out, off_t size)
{
    if (size > 0) {
        if (::ioctl(out, FICLONE, in) == 0)
            return true;
        struct stat st {};
        if ((errno == EOPNOTSUPP || errno == ENOTTY || errno == EINVAL) && ::fstat(out, &st) == 0)
            withoutClones().insert(st.st_dev);
    }
    off_t left = size;
    while (left > 0) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<size_t>(left), 0);
        if (n > 0) {
            left -= n;
            continue;
        }
        if (n == 0)
            return false; // the file shrank while it was copied
        if (errno == EINTR)
            continue;
        if (left != size || (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP))
            return false;
        break; // not supported between these files: copy through a buffer
    }
    if (left == 0)
        return true;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            done += w;
        }
    }
}

// Writes the source's bytes, permissions and modification time into fd; closes fd. With
// record, fd's record names the source (before the permissions may make it read-only).
// With was, fd is an existing file rewritten in place, as it stands (its size) and stood
// (its permissions): its bytes are overwritten from the start, what lies past the source's
// size is cut off afterwards, and permissions it already has are not set again.
bool writeCopy(int in, const struct stat& source, int fd, bool record = false, const struct stat* was = nullptr)
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
    bool ok = copyBytes(in, fd, source.st_size);
    if (ok && was && was->st_size > source.st_size)
        ok = ::ftruncate(fd, source.st_size) == 0;
    if (ok && record)
        writeRecord(fd, source);
    if (ok && (!was || (was->st_mode & 07777) != (source.st_mode & 07777)))
        ok = ::fchmod(fd, source.st_mode & 07777) == 0;
    ok = ok && ::futimens(fd, times) == 0;
    return ::close(fd) == 0 && ok;
}

std::string tempBeside(const std::string& to)
{
    return to.substr(0, to.rfind('/') + 1) + fileops::kTempName.toStdString();
}

// A link is copied as a link with the same target text; one already there stays.
bool copyLink(const fs::path& from, const fs::path& to)
{
    std::error_code ec;
    const fs::path text = fs::read_symlink(from, ec);
    if (ec)
        return false;
    std::error_code old;
    if (fs::read_symlink(to, old) == text && !old)
        return true;
    if (fault::fails("copy", QString::fromStdString(to.string())))
        return false;
    const std::string temp = tempBeside(to.string());
    ::unlink(temp.c_str());
    if (::symlink(text.c_str(), temp.c_str()) != 0)
        return false;
    if (fault::fails("rename", QString::fromStdString(to.string())) || ::rename(temp.c_str(), to.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

// Copies one file through the temporary name beside the target, so a failed copy never
// leaves a half-written file in place of a good one. The copy keeps the source's permissions
// and modification time.
//
// With keepUnchanged (the storage operations, which redo an interrupted copy from a source
// that stays whole), a regular target that holds the source's bytes stays (KnownCopies, or
// compared when size and time agree), and a changed one with no other name is rewritten in
// place, as clearing it and copying anew would leave it: making a new file for every
// replaced one is what makes a pet switch slow on ext4, whose search for a free inode crawls
// past the ones just freed. A target rewritten in place names its source before its bytes
// change; its new time is the source's only once they are complete. A hard link to the
// source or to any other file is replaced by a copy of its own.
bool copyOneFile(const CopyJob& job, bool keepUnchanged, const OpenPair& folders)
{
    const std::string& from = job.from;
    const std::string& to = job.to;
    const struct stat& listed = job.source;
    // The files by name in their open folders where they were listed, else by path.
    const bool inFolders = folders.holds(job.folders);
    const char* fromName = inFolders ? job.name.c_str() : from.c_str();
    const char* toName = inFolders ? job.name.c_str() : to.c_str();
    const int fromFolder = inFolders ? folders.from->fd() : AT_FDCWD;
    const int toFolder = inFolders ? folders.to->fd() : AT_FDCWD;
    struct stat target = job.target;
    const bool regularTarget =
        (job.looked ? job.there : ::fstatat(toFolder, toName, &target, AT_SYMLINK_NOFOLLOW) == 0)
        && S_ISREG(target.st_mode);
    // The common case of a store: a file and its own settled copy, told apart from the
    // listing's status and the target's without opening either.
    if (keepUnchanged && S_ISREG(listed.st_mode) && regularTarget
        && (target.st_dev != listed.st_dev || target.st_ino != listed.st_ino)
        && knownPair(to.c_str(), target, from.c_str(), listed))
        return true;
    struct stat source {};
    const Fd in(openRegular(fromName, source, fromFolder));
    if (in.fd < 0)
        return false;
    const bool sameFile = regularTarget && target.st_dev == source.st_dev && target.st_ino == source.st_ino;
    if (!keepUnchanged && sameFile)
        return true; // a file copied onto itself stays as it is
    bool inPlace = false;
    if (keepUnchanged && regularTarget && !sameFile) {
        if (sameSizeAndTime(source, target)) {
            // A store follows a load, which left the record on the host's file: its source.
            if (knownPair(from.c_str(), source, to.c_str(), target))
                return true;
            const Fd out(openRegular(toName, target, toFolder));
            if (out.fd >= 0 && equalBytes(in.fd, out.fd, source.st_size)) {
                writeRecord(out.fd, source);
                return true;
            }
        }
        inPlace = target.st_nlink == 1;
    }
    if (fault::fails("copy", QString::fromStdString(to)))
        return false;
    if (inPlace) {
        // A target that cannot be opened for writing (read-only) is replaced as below.
        const int fd = ::openat(toFolder, toName, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            writeRecord(fd, source); // no longer the copy of anything else
            // A clone takes an emptied file fastest; without clones, blocks rewritten where they
            // lie spare the file system freeing and finding them again.
            struct stat was = target;
            if (!withoutClones().count(target.st_dev)) {
                if (::ftruncate(fd, 0) != 0)
                    return ::close(fd), false;
                was.st_size = 0;
            }
            return writeCopy(in.fd, source, fd, false, &was);
        }
    }
    const std::string temp = tempBeside(to);
    // A temporary file left by an earlier run goes first; a link there as a link.
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = writeCopy(in.fd, source, fd, keepUnchanged);
    if (ok && fault::fails("rename", QString::fromStdString(to)))
        ok = false;
    else if (ok)
        ok = ::rename(temp.c_str(), to.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

// ---- planning --------------------------------------------------------------------------

// True when no folder on the way from the program folder down to path (path included) is a
// link. Paths outside the program folder are the user's to choose; parts that do not exist
// yet are made by the copy.
bool noLinkOnTheWay(const fs::path& root, const fs::path& path)
{
    fs::path at = path.lexically_normal();
    if (!at.has_filename())
        at = at.parent_path();
    const auto mismatch = std::mismatch(root.begin(), root.end(), at.begin(), at.end());
    if (root.empty() || mismatch.first != root.end())
        return true;
    std::error_code ec;
    for (; at != root && at.has_relative_path(); at = at.parent_path())
        if (fs::is_symlink(fs::symlink_status(at, ec)))
            return false;
    return true;
}

using FolderPairs = std::vector<std::pair<std::string, std::string>>;

// Collects the copies of one request, and the folder pairs they are listed in; false when the
// source cannot be read.
bool plan(const fs::path& root, const QString& source, const QString& target, bool withFolders,
          std::vector<CopyJob>& jobs, std::vector<fs::path>& folders, FolderPairs& pairs)
{
    std::error_code ec;
    if (source.endsWith(kWildcard)) {
        const fs::path from = native(source.left(source.size() - kWildcard.size()));
        const fs::path to = native(target);
        if (!fs::is_directory(fs::symlink_status(from, ec)) || !noLinkOnTheWay(root, from))
            return false;
        folders.push_back(to);
        const std::string tempName = fileops::kTempName.toStdString();
        auto addFolder = [&](auto&& self, const std::string& src, const std::string& dst) -> bool {
            std::vector<std::string> subfolders;
            const std::size_t pair = pairs.size();
            pairs.emplace_back(src, dst);
            // Targets are looked up in their folder when it is there (and no link).
            const OpenFolder dstFolder(dst);
            const bool listed = fileops::listFolder(src, [&](int srcFd, const char* name, fs::file_type type) {
                if (name == tempName)
                    return; // what an interrupted copy left
                if (type == fs::file_type::directory) {
                    if (withFolders)
                        subfolders.push_back(name);
                } else if (type == fs::file_type::symlink) {
                    jobs.push_back({joined(src, name), joined(dst, name), 0, true});
                } else if (type == fs::file_type::regular) {
                    CopyJob job{joined(src, name), joined(dst, name)};
                    job.name = name;
                    job.folders = pair;
                    if (::fstatat(srcFd, name, &job.source, AT_SYMLINK_NOFOLLOW) == 0)
                        job.size = static_cast<std::uintmax_t>(job.source.st_size);
                    if (dstFolder.isOpen()) {
                        job.there = ::fstatat(dstFolder.fd(), name, &job.target, AT_SYMLINK_NOFOLLOW) == 0;
                        job.looked = job.there || errno == ENOENT;
                    }
                    jobs.push_back(std::move(job));
                }
            });
            if (!listed)
                return false;
            for (const std::string& name : subfolders) {
                folders.push_back(joined(dst, name));
                if (!self(self, joined(src, name), joined(dst, name)))
                    return false;
            }
            return true;
        };
        return addFolder(addFolder, from.string(), to.string());
    }
    const fs::path from = native(source);
    const fs::file_status st = fs::symlink_status(from, ec);
    if ((!fs::is_regular_file(st) && !fs::is_symlink(st)) || !noLinkOnTheWay(root, from.parent_path()))
        return false;
    fs::path to = native(target);
    if (target.endsWith(QLatin1Char('/')) || fs::is_directory(fs::symlink_status(to, ec))) {
        folders.push_back(to);
        to /= from.filename();
    } else if (to.has_parent_path()) {
        folders.push_back(to.parent_path());
    }
    jobs.push_back({from.string(), to.string(), fs::is_symlink(st) ? 0 : fs::file_size(from, ec), fs::is_symlink(st)});
    return true;
}

} // namespace

Shell::Shell(Context& ctx, QString programFolder) : ctx_(ctx), programFolder_(std::move(programFolder)) {}

bool Shell::run(const QString& source, const QString& target, bool withFolders, bool keepUnchanged)
{
    const fs::path root = native(programFolder_);
    std::vector<CopyJob> jobs;
    std::vector<fs::path> folders;
    QStringList why; // a line per failure: the path and the reason
    errno = 0;
    FolderPairs pairs;
    bool ok = plan(root, source, target, withFolders, jobs, folders, pairs);
    if (!ok) {
        const QString from = source.endsWith(kWildcard) ? source.left(source.size() - kWildcard.size()) : source;
        // Not there, not a folder, unreadable, or reached through a link.
        const int error = errno;
        why << (error ? causes::ofPath(from, error)
                      : fileops::isFolder(from) ? causes::line(from, kThroughLink)
                                                : causes::ofPath(from, ENOTDIR));
    }
    if (ok) {
        std::error_code ec;
        for (const auto& folder : folders) {
            // Never written through a link: a folder that is one, or lies behind one, fails.
            const fs::path f = folder.has_filename() ? folder : folder.parent_path();
            errno = 0;
            if (!fs::is_directory(fs::symlink_status(f, ec)) && !fs::is_symlink(fs::symlink_status(f, ec))
                && noLinkOnTheWay(root, f) && !fault::fails("mkdir", QString::fromStdString(f.string())))
                fs::create_directories(f, ec);
            const int error = ec ? ec.value() : errno;
            if (!fs::is_directory(fs::symlink_status(f, ec)) || !noLinkOnTheWay(root, f)) {
                ok = false;
                const QString path = QString::fromStdString(f.string());
                why << (noLinkOnTheWay(root, f) ? causes::ofPath(path, error ? error : ENOTDIR)
                                               : causes::line(path, kThroughLink));
            }
        }
    }
    if (ok) {
        std::uintmax_t total = 0;
        for (const auto& job : jobs)
            total += job.size;
        ctx_.copyProgress->copyStarted(static_cast<qint64>(total));
        std::uintmax_t done = 0;
        OpenPair open; // the folders of the files being copied
        for (const auto& job : jobs) {
            if (job.folders != SIZE_MAX && job.folders != open.index)
                open.open(job.folders, pairs[job.folders]);
            errno = 0;
            if (!(job.link ? copyLink(job.from, job.to) : copyOneFile(job, keepUnchanged, open))) {
                ok = false; // go on with the rest, report once
                const int error = errno ? errno : EIO;
                // The source when it cannot be read, else the target.
                const bool readable = ::access(job.from.c_str(), R_OK) == 0 || job.link;
                why << (readable ? causes::line(QString::fromStdString(job.to), error)
                                 : causes::ofPath(QString::fromStdString(job.from), error));
            }
            done += job.size;
            ctx_.copyProgress->copyAdvanced(static_cast<qint64>(done));
        }
        ctx_.copyProgress->copyFinished();
    }
    QCoreApplication::processEvents();
    if (!ok)
        ctx_.messages->fileError(why);
    return ok;
}

bool Shell::ShellCopy(const QString& source, const QString& target)
{
    return run(source, target, false, false);
}

bool Shell::ShellCopyAll(const QString& source, const QString& target)
{
    return run(source, target, true, false);
}

bool Shell::ShellCopyChanged(const QString& source, const QString& target)
{
    return run(source, target, false, true);
}

namespace {

// Regular files a and b, as lstat found them, hold the same bytes: a known copy, a clone, or
// read and compared.
bool sameRegular(const char* a, const struct stat& sa, const char* b, const struct stat& sb)
{
    if (sa.st_size != sb.st_size)
        return false;
    if (knownPair(b, sb, a, sa))
        return true;
    struct stat oa {};
    struct stat ob {};
    const Fd fa(openRegular(a, oa));
    const Fd fb(openRegular(b, ob));
    return fa.fd >= 0 && fb.fd >= 0 && oa.st_size == ob.st_size && equalBytes(fa.fd, fb.fd, oa.st_size);
}

// Two paths and their status, links not followed; `found` is false when either cannot be had.
struct PathPair {
    std::string a, b;
    struct stat sa {}, sb {};
    bool found;
    PathPair(const QString& pathA, const QString& pathB) : a(pathA.toStdString()), b(pathB.toStdString())
    {
        found = ::lstat(a.c_str(), &sa) == 0 && ::lstat(b.c_str(), &sb) == 0;
    }
    // The entries called name of two open folders, looked up from the folders.
    PathPair(const OpenFolder& folderA, const OpenFolder& folderB, const std::string& name)
        : a(joined(folderA.path(), name)), b(joined(folderB.path(), name))
    {
        found = folderA.isOpen() && folderB.isOpen()
                && ::fstatat(folderA.fd(), name.c_str(), &sa, AT_SYMLINK_NOFOLLOW) == 0
                && ::fstatat(folderB.fd(), name.c_str(), &sb, AT_SYMLINK_NOFOLLOW) == 0;
    }
    bool regular() const { return found && S_ISREG(sa.st_mode) && S_ISREG(sb.st_mode); }
};

} // namespace

bool KnownCopies(const QString& a, const QString& b)
{
    const PathPair p(a, b);
    return p.regular() && knownPair(p.b.c_str(), p.sb, p.a.c_str(), p.sa);
}

bool SameBytes(const QString& a, const QString& b)
{
    const PathPair p(a, b);
    return p.regular() && sameRegular(p.a.c_str(), p.sa, p.b.c_str(), p.sb);
}

namespace {

bool sameCopied(const PathPair& p)
{
    if (!p.found)
        return false;
    if (S_ISLNK(p.sa.st_mode) || S_ISLNK(p.sb.st_mode)) {
        std::error_code ea;
        std::error_code eb;
        const fs::path text = fs::read_symlink(p.a, ea);
        return !ea && text == fs::read_symlink(p.b, eb) && !eb;
    }
    return p.regular() && sameRegular(p.a.c_str(), p.sa, p.b.c_str(), p.sb);
}

} // namespace

bool SameCopiedFile(const QString& a, const QString& b)
{
    return sameCopied(PathPair(a, b));
}

OpenFolder::OpenFolder(std::string path)
    : fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)), path_(std::move(path))
{
}

OpenFolder::OpenFolder(const QString& path) : OpenFolder(path.toStdString()) {}

OpenFolder::~OpenFolder()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool SameCopiedEntry(const OpenFolder& a, const OpenFolder& b, const std::string& name)
{
    return sameCopied(PathPair(a, b, name));
}
