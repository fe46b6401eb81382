#include "backup/ArchiveCalls.h"

#include "app/Context.h"
#include "backup/UnlhaLibrary.h"

#include <QFileInfo>

#include <algorithm>

namespace archive {

QString addCommand(const QString& archive, const QString& workFolder, const QString& petFolder,
                   bool withAttachments)
{
    return unlhaAddCommand(archive, workFolder, petFolder, withAttachments);
}

QString extractInfoCommand(const QString& archive, const QString& folder)
{
    return unlhaExtractOneCommand(archive, folder);
}

QString extractAllCommand(const QString& archive, const QString& folder)
{
    return unlhaExtractAllCommand(archive, folder);
}

bool WaitUnlhaIdle(Context& ctx)
{
    return ::WaitUnlhaIdle(ctx);
}

bool RunUnlha(Context& ctx, const QString& command, bool moveGauge)
{
    if (!ctx.unlha || !ctx.unlha->isLoaded())
        return false;
    UnlhaWait wait{ctx.keepAlive, {}};
    if (moveGauge && ctx.view) {
        const int from = std::clamp(ctx.GaugePos, 0, 100);
        wait.progress = [&ctx, from](qint64 done, qint64 total) {
            const double share = static_cast<double>(done) / static_cast<double>(total);
            const int pos = from + static_cast<int>((100 - from) * share);
            if (pos > ctx.GaugePos && pos <= 100) {
                ctx.GaugePos = pos;
                ctx.view->setGaugePosition(pos);
            }
        };
    }
    return ctx.unlha->RunUnlha(command, nullptr, wait);
}

bool isArchiveFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

bool checkArchive(Context& ctx, const QString& path)
{
    return isArchiveFile(path) && ctx.unlha && ctx.unlha->isLoaded()
           && ctx.unlha->checkArchive(path, UnlhaWait{ctx.keepAlive, {}});
}

bool hasInfoMember(Context& ctx, const QString& path)
{
    return isArchiveFile(path) && ctx.unlha && ctx.unlha->isLoaded()
           && ctx.unlha->hasMember(path, QStringLiteral("Backup.ini"), nullptr, UnlhaWait{ctx.keepAlive, {}});
}

}  // namespace archive
