#include "shell/ShellCopy.h"

#include "app/Context.h"
#include "app/FaultPoint.h"
#include "app/Texts.h"

#include <QCoreApplication>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const QString kWildcard = QStringLiteral("/*.*");

struct CopyJob {
    fs::path from;
    fs::path to;
    std::uintmax_t size = 0;
};

fs::path native(const QString& p)
{
    return fs::path(p.toStdString());
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

// The bytes of in (size bytes, from its start) into out: a clone where the file system shares
// blocks between files, else a copy inside the kernel, else through a buffer.
bool copyBytes(int in, int out, off_t size)
{
    if (size > 0 && ::ioctl(out, FICLONE, in) == 0)
        return true;
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

bool unchangedCopy(const struct stat& original, const struct stat& copy)
{
    constexpr time_t kMargin = 2; // seconds, see UnchangedCopy
    const time_t changed = std::max(original.st_ctim.tv_sec, copy.st_ctim.tv_sec);
    return original.st_size == copy.st_size && original.st_mtim.tv_sec == copy.st_mtim.tv_sec
        && original.st_mtim.tv_nsec == copy.st_mtim.tv_nsec && changed - copy.st_mtim.tv_sec > kMargin;
}

// Writes the source's bytes, permissions and modification time into fd; closes fd.
bool writeCopy(int in, const struct stat& source, int fd)
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
    bool ok = copyBytes(in, fd, source.st_size) && ::fchmod(fd, source.st_mode & 07777) == 0
        && ::futimens(fd, times) == 0;
    return ::close(fd) == 0 && ok;
}

// Copies one file through a temporary name beside the target, so a failed copy never
// leaves a half-written file in place of a good one. The copy keeps the source's permissions
// and modification time.
//
// With keepUnchanged (the storage operations, which redo an interrupted copy from a source
// that stays whole), a regular target that is an unchanged copy of the source stays, and a
// changed one with no other name is rewritten in place, as clearing it and copying anew would
// leave it: making a new file for every replaced one is what makes a pet switch slow on ext4,
// whose search for a free inode crawls past the ones just freed. A half-written target has a
// fresh modification time, so the next copy replaces it. A hard link to the source or to any
// other file is replaced by a copy of its own.
bool copyOneFile(const fs::path& from, const fs::path& to, bool keepUnchanged)
{
    const Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat source {};
    if (in.fd < 0 || ::fstat(in.fd, &source) != 0 || !S_ISREG(source.st_mode))
        return false;
    struct stat target {};
    bool inPlace = false;
    if (keepUnchanged) {
        if (::lstat(to.c_str(), &target) == 0 && S_ISREG(target.st_mode)
            && (target.st_dev != source.st_dev || target.st_ino != source.st_ino)) {
            if (unchangedCopy(source, target))
                return true;
            inPlace = target.st_nlink == 1;
        }
    } else if (::stat(to.c_str(), &target) == 0 && target.st_dev == source.st_dev && target.st_ino == source.st_ino) {
        return true; // a file copied onto itself stays as it is
    }
    if (fault::fails("copy", QString::fromStdString(to.string())))
        return false;
    if (inPlace) {
        // A target that cannot be opened for writing (read-only) is replaced as below.
        const int fd = ::open(to.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0)
            return writeCopy(in.fd, source, fd);
    }
    fs::path temp = to;
    temp += ".kennel-copy";
    // A temporary file left by an earlier run is truncated; never followed when it is a link.
    constexpr int kCreate = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(temp.c_str(), kCreate, 0600);
    if (fd < 0 && errno != ENOENT && ::unlink(temp.c_str()) == 0)
        fd = ::open(temp.c_str(), kCreate, 0600);
    if (fd < 0)
        return false;
    bool ok = writeCopy(in.fd, source, fd);
    std::error_code ec;
    if (ok && fault::fails("rename", QString::fromStdString(to.string())))
        ok = false;
    else if (ok)
        fs::rename(temp, to, ec);
    if (!ok || ec) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

// Collects the copies of one request; false when the source cannot be read.
bool plan(const QString& source, const QString& target, bool withFolders, std::vector<CopyJob>& jobs,
          std::vector<fs::path>& folders)
{
    std::error_code ec;
    if (source.endsWith(kWildcard)) {
        const fs::path from = native(source.left(source.size() - kWildcard.size() + 1));
        const fs::path to = native(target);
        if (!fs::is_directory(from, ec))
            return false;
        folders.push_back(to);
        auto addFolder = [&](auto&& self, const fs::path& src, const fs::path& dst) -> bool {
            std::error_code e;
            fs::directory_iterator it(src, e);
            if (e)
                return false;
            for (const auto& entry : it) {
                std::error_code e2;
                const fs::path name = entry.path().filename();
                if (entry.is_directory(e2)) {
                    if (!withFolders || entry.is_symlink(e2))
                        continue;
                    folders.push_back(dst / name);
                    if (!self(self, entry.path(), dst / name))
                        return false;
                } else if (entry.is_regular_file(e2)) {
                    jobs.push_back({entry.path(), dst / name, entry.file_size(e2)});
                }
            }
            return true;
        };
        return addFolder(addFolder, from, to);
    }
    const fs::path from = native(source);
    if (!fs::is_regular_file(from, ec))
        return false;
    fs::path to = native(target);
    if (target.endsWith(QLatin1Char('/')) || fs::is_directory(to, ec)) {
        folders.push_back(to);
        to /= from.filename();
    } else if (to.has_parent_path()) {
        folders.push_back(to.parent_path());
    }
    jobs.push_back({from, to, fs::file_size(from, ec)});
    return true;
}

bool runCopy(Context& ctx, const QString& source, const QString& target, bool withFolders, bool keepUnchanged = false)
{
    std::vector<CopyJob> jobs;
    std::vector<fs::path> folders;
    bool ok = plan(source, target, withFolders, jobs, folders);
    if (ok) {
        std::error_code ec;
        for (const auto& folder : folders) {
            if (!fs::is_directory(folder, ec) && !fault::fails("mkdir", QString::fromStdString(folder.string())))
                fs::create_directories(folder, ec);
            if (!fs::is_directory(folder, ec))
                ok = false;
        }
    }
    if (ok) {
        std::uintmax_t total = 0;
        for (const auto& job : jobs)
            total += job.size;
        if (ctx.copyProgress)
            ctx.copyProgress->copyStarted(static_cast<qint64>(total));
        std::uintmax_t done = 0;
        for (const auto& job : jobs) {
            if (!copyOneFile(job.from, job.to, keepUnchanged))
                ok = false; // go on with the rest, report once
            done += job.size;
            if (ctx.copyProgress)
                ctx.copyProgress->copyAdvanced(static_cast<qint64>(done));
        }
        if (ctx.copyProgress)
            ctx.copyProgress->copyFinished();
    }
    QCoreApplication::processEvents();
    if (!ok)
        ctx.critical(texts::kMsgFileError);
    return ok;
}

} // namespace

bool ShellCopy(Context& ctx, const QString& source, const QString& target)
{
    return runCopy(ctx, source, target, false);
}

bool ShellCopyAll(Context& ctx, const QString& source, const QString& target)
{
    return runCopy(ctx, source, target, true);
}

bool ShellCopyChanged(Context& ctx, const QString& source, const QString& target)
{
    return runCopy(ctx, source, target, false, true);
}

bool UnchangedCopy(const QString& original, const QString& copy)
{
    struct stat o {};
    struct stat c {};
    return ::stat(native(original).c_str(), &o) == 0 && ::stat(native(copy).c_str(), &c) == 0 && S_ISREG(o.st_mode)
        && S_ISREG(c.st_mode) && unchangedCopy(o, c);
}

QString BrowseFolder(Context& ctx, const QString& title)
{
    return ctx.folderPicker ? ctx.folderPicker->pickFolder(title) : QString();
}

QString ProperCasePath(const QString& path)
{
    return path;
}

QString TrimNulls(QString text)
{
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}
