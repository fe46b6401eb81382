#include "backup/ArchiveCalls.h"

#include "ports/Context.h"
#include "backup/UnlhaLibrary.h"

#include <QFileInfo>

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

bool RunUnlha(Context& ctx, const QString& command)
{
    return ctx.unlha && ctx.unlha->isLoaded() && ctx.unlha->RunUnlha(command);
}

bool isArchiveFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

bool checkArchive(Context& ctx, const QString& path)
{
    return isArchiveFile(path) && ctx.unlha && ctx.unlha->isLoaded() && ctx.unlha->checkArchive(path);
}

bool hasInfoMember(Context& ctx, const QString& path)
{
    return isArchiveFile(path) && ctx.unlha && ctx.unlha->isLoaded()
           && ctx.unlha->hasMember(path, QStringLiteral("Backup.ini"));
}

}  // namespace archive
