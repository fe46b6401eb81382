#include "Extract.h"

#include "Archive.h"
#include "NameCodec.h"
#include "unlha32.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace unlha {

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    Fd& operator=(Fd&& o) noexcept
    {
        if (this != &o) {
            reset();
            fd_ = o.fd_;
            o.fd_ = -1;
        }
        return *this;
    }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

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
int writeMember(Bytes archive, const Member& m, int dir, const std::string& name, bool overwrite, std::string& message)
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
    const DecodeResult r =
        extractData(archive, m, [fd](const std::uint8_t* d, std::size_t n) { return writeAll(fd, d, n); });
    if (!r.ok) {
        unlinkat(dir, tmp.c_str(), 0);
        message = joinPath(m.path) + ": " + r.error;
        return r.error == "write failed" ? UNLHA_E_WRITE : UNLHA_E_BROKEN;
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

} // namespace

int extractArchive(const std::string& archivePath, const ExtractOptions& options, std::string& message)
{
    MappedFile file;
    if (!file.open(archivePath)) {
        message = "cannot open " + archivePath;
        return UNLHA_E_OPEN;
    }
    const Bytes bytes = file.bytes();
    const Listing listing = listMembers(bytes);
    if (!listing.ok) {
        message = "damaged archive: " + listing.error;
        return UNLHA_E_BROKEN;
    }
    struct Job {
        const Member* member;
        std::string name;
    };
    std::vector<Job> jobs;
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
    }
    if (jobs.empty()) {
        message = "no matching member";
        return UNLHA_E_NOMATCH;
    }

    std::error_code ec;
    std::filesystem::create_directories(options.target.empty() ? "." : options.target, ec);
    const Fd root(::open(options.target.empty() ? "." : options.target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid()) {
        message = "cannot open the folder " + options.target;
        return UNLHA_E_WRITE;
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
            continue;
        const int rc = writeMember(bytes, m, dir.get(), job.name, options.overwrite, message);
        if (rc != 0)
            return rc;
    }
    return 0;
}

} // namespace unlha
