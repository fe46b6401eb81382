#include "Add.h"

#include "Archive.h"
#include "Crc16.h"
#include "Encoder.h"
#include "Fd.h"
#include "NameCodec.h"
#include "unlha32.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <filesystem>
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
                out.push_back({base, p, false});
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
                        entries.push_back({src.base, {child.name}, false});
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
                entries.push_back({src.base, stored, false});
            }
        }
    }
    return 0;
}

bool readFile(const Entry& e, std::vector<std::uint8_t>& data, std::int64_t& mtime)
{
    const Fd fd = openBelow(e.base, e.path, O_RDONLY);
    struct stat st {};
    bool ok = fd.valid() && fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<std::uint64_t>(st.st_size) <= kMaxMemberSize;
    if (ok) {
        mtime = st.st_mtime;
        data.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (ok && done < data.size()) {
            const ssize_t n = ::read(fd.get(), data.data() + done, data.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                ok = false;
            else
                done += static_cast<std::size_t>(n);
        }
    }
    return ok;
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

class ArchiveOut {
public:
    explicit ArchiveOut(std::FILE* f) : f_(f) {}
    bool write(const std::uint8_t* d, std::size_t n) { return n == 0 || std::fwrite(d, 1, n, f_) == n; }
    bool write(const std::vector<std::uint8_t>& v) { return write(v.data(), v.size()); }

private:
    std::FILE* f_;
};

constexpr std::size_t kMaxWorkers = 4;
// Packed members wait in memory for their turn to be written. Workers run ahead of the writer by
// two members each, and further while the waiting members hold less than this, so that one
// large member does not leave the other workers idle.
constexpr std::size_t kHeldBudget = std::size_t{32} << 20;

// One member ready to be written: its header and packed data, or why it cannot be.
struct Prepared {
    int rc = 0;
    std::string message;
    bool skip = false;
    std::vector<std::uint8_t> header;
    std::vector<std::uint8_t> body;
};

Prepared prepareMember(const Entry& e, const AddOptions& options)
{
    Prepared out;
    if (e.folder && !options.folderEntries) {
        out.skip = true;
        return out;
    }
    NewMember nm;
    nm.writeCodePage = options.codePageMark;
    for (std::size_t i = 0; i < e.path.size(); ++i) {
        const auto enc = encodeCp932(e.path[i]);
        if (!enc || !isSafeComponent(e.path[i])) {
            out.rc = UNLHA_E_SOURCE;
            out.message = "name cannot be stored in code page 932: " + joinPath(e.path);
            return out;
        }
        if (i + 1 < e.path.size() || e.folder)
            nm.folders.push_back(*enc);
        else
            nm.name = *enc;
    }
    Packed packed;
    std::vector<std::uint8_t> data;
    if (e.folder) {
        const Fd fd = openBelow(e.base, e.path, O_RDONLY | O_DIRECTORY);
        struct stat st {};
        nm.mtime = fd.valid() && fstat(fd.get(), &st) == 0 ? st.st_mtime : 0;
        packed.method = Method::Folder;
    } else {
        if (!readFile(e, data, nm.mtime)) {
            out.rc = UNLHA_E_SOURCE;
            out.message = "cannot read " + shown(e.base, e.path);
            return out;
        }
        packed = packMember(Bytes(data), EncoderSettings{options.effort});
        nm.originalSize = static_cast<std::uint32_t>(data.size());
        nm.crc = crc16(data.data(), data.size());
    }
    nm.methodId = methodId(packed.method);
    out.body = packed.method == Method::Stored ? std::move(data) : std::move(packed.data);
    nm.packedSize = static_cast<std::uint32_t>(out.body.size());
    out.header = buildLevel2Header(nm);
    if (out.header.empty()) {
        out.rc = UNLHA_E_SOURCE;
        out.message = "name too long: " + joinPath(e.path);
    }
    return out;
}

Prepared prepare(const Entry& e, const AddOptions& options)
{
    try {
        return prepareMember(e, options);
    } catch (const std::exception& ex) { // out of memory, above all
        Prepared out;
        out.rc = UNLHA_E_WRITE;
        out.message = ex.what();
        return out;
    }
}

} // namespace

int addToArchive(const AddOptions& options, std::string& message)
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
    std::FILE* f = fdopen(fd, "wb");
    ArchiveOut out(f);
    int rc = 0;
    auto failWith = [&](int code, std::string why) {
        rc = code;
        message = std::move(why);
    };

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
            else if (!out.write(piece.data(), piece.size()))
                failWith(UNLHA_E_WRITE, "cannot write " + options.archive);
        }
    }

    // Members are packed on worker threads and written in order by this one.
    const std::size_t count = unique.size();
    std::vector<Prepared> slots(count);
    std::vector<char> ready(count, 0);
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t next = 0, written = 0, held = 0;
    bool stop = false;
    const std::size_t cores = options.threads > 0 ? static_cast<std::size_t>(options.threads)
                                                  : std::thread::hardware_concurrency();
    const std::size_t workers = std::clamp<std::size_t>(cores, 1, kMaxWorkers);
    const std::size_t inFlight = 2 * workers;
    auto work = [&] {
        for (;;) {
            std::size_t i;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] {
                    return stop || next >= count || next < written + inFlight || held < kHeldBudget;
                });
                if (stop || next >= count)
                    return;
                i = next++;
            }
            Prepared p = prepare(unique[i], options);
            {
                std::lock_guard lock(mutex);
                held += p.header.size() + p.body.size();
                slots[i] = std::move(p);
                ready[i] = 1;
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> pool;
    for (std::size_t t = 0; t < std::min(workers, count); ++t)
        pool.emplace_back(work);
    for (std::size_t i = 0; i < count && rc == 0; ++i) {
        Prepared p;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return ready[i] != 0; });
            p = std::move(slots[i]);
            held -= p.header.size() + p.body.size();
            written = i + 1;
        }
        changed.notify_all();
        if (p.rc != 0)
            failWith(p.rc, p.message);
        else if (!p.skip && (!out.write(p.header) || !out.write(p.body)))
            failWith(UNLHA_E_WRITE, "cannot write " + options.archive);
    }
    {
        std::lock_guard lock(mutex);
        stop = true;
    }
    changed.notify_all();
    for (auto& t : pool)
        t.join();
    const std::uint8_t endMark = 0;
    if (rc == 0 && !out.write(&endMark, 1))
        failWith(UNLHA_E_WRITE, "cannot write " + options.archive);
    // The rename below makes the new archive appear whole or not at all; no fsync, which
    // would cost more than the compression of a typical backup.
    if (std::fflush(f) != 0 && rc == 0)
        failWith(UNLHA_E_WRITE, "cannot write " + options.archive);
    std::fclose(f);
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
