#include "storage/FileOps.h"

#include "app/FaultPoint.h"

#include <QFile>

#include <filesystem>
#include <system_error>

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

void clearFiles(const QString& folder)
{
    std::error_code ec;
    fs::directory_iterator it(native(folder), ec);
    if (ec)
        return;
    for (const auto& entry : it) {
        std::error_code ignored;
        // Files and links to files go; folders (and links to folders) stay.
        if (!entry.is_directory(ignored) && !fault::fails("delete", QString::fromStdString(entry.path().string())))
            fs::remove(entry.path(), ignored);
    }
}

void deleteFile(const QString& path)
{
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(native(path), ec)) && exists(path) && !fault::fails("delete", path))
        fs::remove(native(path), ec);
}

void makeFolder(const QString& path)
{
    std::error_code ec;
    if (!isFolder(path) && !fault::fails("mkdir", path))
        fs::create_directory(native(path), ec);
}

void removeFolder(const QString& path)
{
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(native(path), ec)) && fs::is_empty(native(path), ec)
        && !fault::fails("rmdir", path))
        fs::remove(native(path), ec);
}

QString withoutFinalSep(const QString& path)
{
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        return path.left(path.size() - 1);
    return path;
}

}  // namespace fileops
