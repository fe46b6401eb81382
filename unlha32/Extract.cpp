#include "Extract.h"

#include "Archive.h"
#include "Fd.h"
#include "NameCodec.h"
#include "unlha32.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <unordered_set>

namespace unlha {

namespace {

// Opens (creating when missing) the folder name inside parent without following a link.
Fd enterFolder(int parent, const std::string& name)
{
    if (mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST)
        return Fd();
    return Fd(openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string tempName()
{
    static std::atomic<unsigned> counter{0};
    return ".unlha-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

bool exists(int dir, const std::string& name)
{
    struct stat st {};
    return fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Decodes member into folder dir under name, through a temporary file.
int writeMember(const ArchiveSource& archive, const Member& m, int dir, const std::string& name, bool overwrite,
                ProgressCounter& counter, std::string& message)
{
    if (!overwrite && exists(dir, name))
        return 0;
    std::string tmp;
    Fd out;
    for (int attempt = 0; attempt < 16 && !out.valid(); ++attempt) {
        tmp = tempName();
        out = Fd(openat(dir, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!out.valid() && errno != EEXIST)
            break;
    }
    if (!out.valid()) {
        message = "cannot create a file for " + joinPath(m.path);
        return UNLHA_E_WRITE;
    }
    const int fd = out.get();
    const DecodeResult r = extractData(archive, m, [fd, &counter](const std::uint8_t* d, std::size_t n) {
        return writeAll(fd, d, n) && counter.add(n);
    });
    if (!r.ok) {
        unlinkat(dir, tmp.c_str(), 0);
        if (counter.cancelled()) {
            message = kCancelled;
            return UNLHA_E_CANCELLED;
        }
        message = joinPath(m.path) + ": " + r.error;
        return r.error == "write failed" ? UNLHA_E_WRITE : r.error == kReadFailed ? UNLHA_E_OPEN : UNLHA_E_BROKEN;
    }
    const struct timespec times[2] = {{static_cast<time_t>(m.mtime), 0}, {static_cast<time_t>(m.mtime), 0}};
    futimens(fd, times);
    out.reset();
    if (renameat(dir, tmp.c_str(), dir, name.c_str()) != 0) {
        unlinkat(dir, tmp.c_str(), 0);
        message = "cannot replace " + joinPath(m.path);
        return UNLHA_E_WRITE;
    }
    return 0;
}

bool selected(const Member& m, const std::vector<std::string>& patterns, std::string* givenName)
{
    if (patterns.empty())
        return true;
    const std::string full = joinPath(m.path);
    for (const auto& p : patterns) {
        if (matchWildcard(p, full)) {
            if (givenName && !hasWildcard(p)) {
                const auto slash = p.find_last_of('/');
                *givenName = slash == std::string::npos ? p : p.substr(slash + 1);
            }
            return true;
        }
    }
    return false;
}

struct Job {
    const Member* member;
    std::string name;
};

// Refuses, before anything is written, a run whose files would not fit on the target's disk,
// or that meets a file or link where it needs a folder, or a folder where a file goes.
int checkTarget(const std::string& target, const std::vector<Job>& jobs, const ExtractOptions& options,
                std::string& message)
{
    std::uint64_t need = 0;
    for (const Job& job : jobs)
        if (!job.member->isFolder())
            need += (job.member->originalSize + 4095) / 4096 * 4096;
    std::error_code ec;
    std::filesystem::path existing = std::filesystem::absolute(target, ec);
    while (!std::filesystem::exists(existing, ec) && existing.has_relative_path())
        existing = existing.parent_path();
    struct statvfs fs {};
    if (statvfs(existing.c_str(), &fs) == 0 && need > std::uint64_t{fs.f_bavail} * fs.f_frsize) {
        message = "not enough free space for " + std::to_string(need) + " bytes in " + target;
        return UNLHA_E_WRITE;
    }
    const Fd root(::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid())
        return 0; // created below: nothing in it can be in the way
    std::unordered_set<std::string> seen;
    struct stat st {};
    for (const Job& job : jobs) {
        const Member& m = *job.member;
        if (m.isFolder() && !options.createFolderEntries)
            continue;
        const std::size_t depth = options.keepPaths ? m.path.size() - (m.isFolder() ? 0 : 1) : 0;
        std::string path;
        for (std::size_t i = 0; i < depth; ++i) {
            path += (i ? "/" : "") + m.path[i];
            if (seen.insert(path).second && fstatat(root.get(), path.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                !S_ISDIR(st.st_mode)) {
                message = "cannot enter the folder " + path + ": a file or a link stands there";
                return UNLHA_E_WRITE;
            }
        }
        path += (path.empty() ? "" : "/") + job.name;
        if (!m.isFolder() && fstatat(root.get(), path.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
            message = "cannot replace " + path + ": a folder stands there";
            return UNLHA_E_WRITE;
        }
    }
    return 0;
}

} // namespace

int extractArchive(const std::string& archivePath, const ExtractOptions& options, std::string& message,
                   const Progress& progress)
{
    ArchiveFile file;
    if (!file.open(archivePath)) {
        message = "cannot open " + archivePath + " (or it is not a file)";
        return UNLHA_E_OPEN;
    }
    const Listing listing = listMembers(file);
    if (!listing.ok) {
        message = "damaged archive: " + listing.error;
        return UNLHA_E_BROKEN;
    }
    std::vector<Job> jobs;
    std::vector<const Member*> chosen;
    for (const Member& m : listing.members) {
        std::string given;
        if (!selected(m, options.patterns, options.keepPaths ? nullptr : &given))
            continue;
        if (!m.unsafeReason.empty()) {
            message = "member refused: " + m.unsafeReason;
            return UNLHA_E_UNSAFE;
        }
        if (!given.empty() && !isSafeComponent(given)) {
            message = "unsafe output name " + given;
            return UNLHA_E_UNSAFE;
        }
        if (!options.keepPaths && m.isFolder())
            continue;
        jobs.push_back({&m, given.empty() ? m.path.back() : given});
        chosen.push_back(&m);
    }
    if (jobs.empty()) {
        message = "no matching member";
        return UNLHA_E_NOMATCH;
    }
    if (const std::string why = refusalOfWhole(chosen, file.size(), options.keepPaths); !why.empty()) {
        message = "member refused: " + why;
        return UNLHA_E_UNSAFE;
    }
    const std::string target = options.target.empty() ? "." : options.target;
    if (const int rc = checkTarget(target, jobs, options, message); rc != 0)
        return rc;

    std::error_code ec;
    std::filesystem::create_directories(target, ec);
    const Fd root(::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid()) {
        message = "cannot open the folder " + options.target;
        return UNLHA_E_WRITE;
    }
    std::uint64_t total = 0;
    for (const Job& job : jobs)
        total += job.member->isFolder() ? 0 : job.member->originalSize;
    ProgressCounter counter(progress, total);
    if (!counter.add(0)) {
        message = kCancelled;
        return UNLHA_E_CANCELLED;
    }
    for (const Job& job : jobs) {
        const Member& m = *job.member;
        const std::size_t folderDepth = options.keepPaths ? m.path.size() - (m.isFolder() ? 0 : 1) : 0;
        if (m.isFolder() && !options.createFolderEntries)
            continue;
        Fd dir(dup(root.get()));
        for (std::size_t i = 0; i < folderDepth && dir.valid(); ++i)
            dir = enterFolder(dir.get(), m.path[i]);
        if (!dir.valid()) {
            message = "cannot enter the folder of " + joinPath(m.path) + " (or it is a link)";
            return UNLHA_E_WRITE;
        }
        if (m.isFolder())
            continue; // data a folder member carries (extended attributes) is not written
        const int rc = writeMember(file, m, dir.get(), job.name, options.overwrite, counter, message);
        if (rc != 0)
            return rc;
    }
    return 0;
}

} // namespace unlha
