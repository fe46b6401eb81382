#include "storage/FileOps.h"

#include "app/FaultPoint.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {
fs::path native(const QString& path)
{
    return fs::path(path.toStdString());
}
}  // namespace

namespace fileops {

bool exists(const QString& path)
{
    std::error_code ec;
    return !path.isEmpty() && fs::exists(fs::symlink_status(native(path), ec)) && !ec;
}

bool isFolder(const QString& path)
{
    std::error_code ec;
    return !path.isEmpty() && fs::is_directory(native(path), ec) && !ec;
}

bool clearFiles(const QString& folder, const std::set<std::string>& keep)
{
    std::error_code ec;
    fs::directory_iterator it(native(folder), ec);
    if (ec)
        return !fs::exists(native(folder), ec);
    bool cleared = true;
    for (const auto& entry : it) {
        std::error_code ignored;
        // Files and links to files go; folders (and links to folders) and the files named in
        // keep stay.
        if (entry.is_directory(ignored) || keep.count(entry.path().filename().string()))
            continue;
        if (fault::fails("delete", QString::fromStdString(entry.path().string())) || !fs::remove(entry.path(), ignored))
            cleared = false;
    }
    return cleared;
}

bool deleteFile(const QString& path)
{
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(native(path), ec)))
        return false;
    if (!exists(path))
        return true;
    if (!fault::fails("delete", path))
        fs::remove(native(path), ec);
    return !exists(path);
}

bool makeFolder(const QString& path)
{
    std::error_code ec;
    if (!isFolder(path) && !fault::fails("mkdir", path))
        fs::create_directory(native(path), ec);
    return isFolder(path);
}

void removeFolder(const QString& path)
{
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(native(path), ec)) && fs::is_empty(native(path), ec)
        && !fault::fails("rmdir", path))
        fs::remove(native(path), ec);
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
    if (exists(to))
        return false;
    return std::rename(f.constData(), t.constData()) == 0;
}

bool removeTree(const QString& path)
{
    std::error_code ec;
    const fs::path root = native(path);
    const auto status = fs::symlink_status(root, ec);
    if (ec || !fs::exists(status))
        return true;
    if (fs::is_directory(status)) {
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
    QSaveFile file(path);
    // Unbuffered: a write that fails (no space left) is seen here, not lost in a final flush
    // whose error the commit would not report.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString withoutFinalSep(const QString& path)
{
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        return path.left(path.size() - 1);
    return path;
}

}  // namespace fileops
