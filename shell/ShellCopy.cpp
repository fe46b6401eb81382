#include "shell/ShellCopy.h"

#include "app/Context.h"
#include "app/FaultPoint.h"
#include "app/Texts.h"

#include <QCoreApplication>

#include <filesystem>
#include <system_error>
#include <vector>

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

// Copies one file through a temporary name beside the target, so a failed copy never
// leaves a half-written file in place of a good one.
bool copyOneFile(const fs::path& from, const fs::path& to)
{
    std::error_code ec;
    if (fs::exists(to, ec) && fs::equivalent(from, to, ec))
        return true;  // a file copied onto itself stays as it is
    fs::path temp = to;
    temp += ".kennel-copy";
    fs::remove(temp, ec);
    if (fault::fails("copy", QString::fromStdString(to.string())))
        return false;
    if (!fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec)) {
        fs::remove(temp, ec);
        return false;
    }
    if (fault::fails("rename", QString::fromStdString(to.string())))
        ec = std::make_error_code(std::errc::no_space_on_device);
    else
        fs::rename(temp, to, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

// Collects the copies of one request; false when the source cannot be read.
bool plan(const QString& source, const QString& target, bool withFolders,
          std::vector<CopyJob>& jobs, std::vector<fs::path>& folders)
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

bool runCopy(Context& ctx, const QString& source, const QString& target, bool withFolders)
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
            if (!copyOneFile(job.from, job.to))
                ok = false;  // go on with the rest, report once
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

}  // namespace

bool ShellCopy(Context& ctx, const QString& source, const QString& target)
{
    return runCopy(ctx, source, target, false);
}

bool ShellCopyAll(Context& ctx, const QString& source, const QString& target)
{
    return runCopy(ctx, source, target, true);
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
