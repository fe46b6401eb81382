#include "shell/FileOps.h"

#include "shell/FaultPoint.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
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

bool listFolder(const std::string& folder, const std::function<void(int, const char*, fs::file_type)>& use)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (!e)
            return errno == 0;
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        unsigned char type = e->d_type;
        struct stat st {};
        if (type == DT_UNKNOWN && ::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
            type = S_ISLNK(st.st_mode)   ? DT_LNK
                   : S_ISREG(st.st_mode) ? DT_REG
                   : S_ISDIR(st.st_mode) ? DT_DIR
                                         : DT_UNKNOWN;
        use(fd, e->d_name,
            type == DT_LNK   ? fs::file_type::symlink
            : type == DT_REG ? fs::file_type::regular
            : type == DT_DIR ? fs::file_type::directory
                             : fs::file_type::unknown);
    }
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
    const std::string temp = kTempName.toStdString();
    const auto take = [&](int, const char* name, fs::file_type type) {
        if (name != temp && (type == fs::file_type::regular || type == fs::file_type::symlink))
            entries.push_back({name, type == fs::file_type::symlink});
    };
    const bool listed = isFolder(folder) && listFolder(folder.toStdString(), take);
    if (readable)
        *readable = listed;
    if (!listed)
        entries.clear();
    return entries;
}

bool clearFiles(const QString& folder, const std::set<std::string>& keep)
{
    const fs::file_status st = entryStatus(folder);
    if (!fs::exists(st))
        return true;
    if (!fs::is_directory(st))
        return false;
    const std::string base = folder.endsWith(QLatin1Char('/')) ? folder.toStdString() : folder.toStdString() + '/';
    bool cleared = true;
    const bool listed = listFolder(base, [&](int folderFd, const char* name, fs::file_type type) {
        // Folders stay, links to them go as links; so do the files named in keep.
        if (type == fs::file_type::directory || keep.count(name))
            return;
        if (fault::fails("delete", QString::fromStdString(base + name)) || ::unlinkat(folderFd, name, 0) != 0)
            cleared = false;
    });
    return listed && cleared;
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
