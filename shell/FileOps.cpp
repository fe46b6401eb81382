#include "shell/FileOps.h"

#include "shell/FaultPoint.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
fs::path native(const QString& path)
{
    return fs::path(path.toStdString());
}

fs::file_status entryStatus(const QString& path)
{
    std::error_code ec;
    return path.isEmpty() ? fs::file_status{} : fs::symlink_status(native(path), ec);
}

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}
}  // namespace

namespace fileops {

fs::file_type entryType(const fs::directory_entry& entry)
{
    // These read the type the listing gave; status() would ask the file system again.
    std::error_code ec;
    if (entry.is_symlink(ec))
        return fs::file_type::symlink;
    if (entry.is_regular_file(ec))
        return fs::file_type::regular;
    return entry.is_directory(ec) ? fs::file_type::directory : fs::file_type::unknown;
}

bool exists(const QString& path)
{
    return fs::exists(entryStatus(path));
}

bool isFolder(const QString& path)
{
    return fs::is_directory(entryStatus(path));
}

bool isLink(const QString& path)
{
    return fs::is_symlink(entryStatus(path));
}

std::vector<Entry> copiedEntries(const QString& folder, bool* readable)
{
    std::vector<Entry> entries;
    std::error_code ec;
    const bool folderThere = isFolder(folder);
    fs::directory_iterator it;
    if (folderThere)
        it = fs::directory_iterator(native(folder), ec);
    if (readable)
        *readable = folderThere && !ec;
    if (!folderThere || ec)
        return entries;
    const std::string temp = kTempName.toStdString();
    for (const auto& entry : it) {
        const fs::file_type type = entryType(entry);
        const std::string name = entry.path().filename().string();
        if (name != temp && (type == fs::file_type::regular || type == fs::file_type::symlink))
            entries.push_back({name, type == fs::file_type::symlink});
    }
    return entries;
}

bool clearFiles(const QString& folder, const std::set<std::string>& keep)
{
    const fs::file_status st = entryStatus(folder);
    if (!fs::exists(st))
        return true;
    if (!fs::is_directory(st))
        return false;
    std::error_code ec;
    fs::directory_iterator it(native(folder), ec);
    if (ec)
        return false;
    bool cleared = true;
    for (const auto& entry : it) {
        std::error_code ignored;
        // Folders stay, links to them go as links; so do the files named in keep.
        if (entryType(entry) == fs::file_type::directory || keep.count(entry.path().filename().string()))
            continue;
        if (fault::fails("delete", QString::fromStdString(entry.path().string())) || !fs::remove(entry.path(), ignored))
            cleared = false;
    }
    return cleared;
}

bool deleteFile(const QString& path)
{
    if (isFolder(path)) {
        errno = EISDIR;
        return false;
    }
    if (!exists(path))
        return true;
    std::error_code ec;
    if (!fault::fails("delete", path))
        fs::remove(native(path), ec);
    return !exists(path);
}

bool makeFolder(const QString& path)
{
    std::error_code ec;
    if (isLink(path) && !fault::fails("delete", path))
        fs::remove(native(path), ec);
    if (!exists(path) && !fault::fails("mkdir", path))
        fs::create_directory(native(path), ec);
    return isFolder(path);
}

void removeFolder(const QString& path)
{
    std::error_code ec;
    if (isLink(path)) {
        if (!fault::fails("delete", path))
            fs::remove(native(path), ec);
    } else if (isFolder(path) && fs::is_empty(native(path), ec) && !fault::fails("rmdir", path)) {
        fs::remove(native(path), ec);
    }
}

bool renameNoReplace(const QString& from, const QString& to)
{
    if (fault::fails("rename", to))
        return false;
    const QByteArray f = from.toUtf8();
    const QByteArray t = to.toUtf8();
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the no-replace rename: test first (a name that appears in
    // between is the one risk left, and rename() still refuses a non-empty folder).
    if (exists(to)) {
        errno = EEXIST;
        return false;
    }
    return std::rename(f.constData(), t.constData()) == 0;
}

bool removeTree(const QString& path)
{
    std::error_code ec;
    const fs::path root = native(path);
    if (!exists(path))
        return true;
    if (isFolder(path)) {
        std::vector<fs::path> children;
        for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
            children.push_back(it->path());
        for (const fs::path& child : children)
            removeTree(QString::fromStdString(child.string()));
        if (!fault::fails("rmdir", path))
            fs::remove(root, ec);
    } else if (!fault::fails("delete", path)) {
        fs::remove(root, ec);
    }
    return !exists(path);
}

bool writeWhole(const QString& path, const QByteArray& bytes)
{
    if (fault::fails("write", path))
        return false;
    const fs::path target = native(path);
    const fs::path temp = target.parent_path() / native(kTempName);
    // A temporary file left by an earlier run goes first (a link there as a link).
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    // Unbuffered and synced: a write that fails (no space left) is seen here.
    bool ok = writeAll(fd, bytes.constData(), bytes.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = std::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

std::optional<QByteArray> readRegular(const QString& path, qint64 limit)
{
    const QByteArray name = path.toUtf8();
    const Fd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (fd.fd < 0 || ::fstat(fd.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(std::min<qint64>(limit, st.st_size)), '\0');
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

QString withoutFinalSep(const QString& path)
{
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        return path.left(path.size() - 1);
    return path;
}

}  // namespace fileops
