#include "backup/ArchiveCalls.h"

#include "app/Context.h"
#include "backup/UnlhaLibrary.h"

namespace archive {

namespace {
QString quoted(const QString& arg)
{
    return QStringLiteral(" \"") + arg + QLatin1Char('"');
}
}  // namespace

QString addCommand(const QString& archive, const QString& workFolder, const QString& petFolder,
                   const QStringList& entries)
{
    QString cmd = QStringLiteral("a -+ -d1 -n0 -jm4 -gn1") + quoted(archive) + quoted(workFolder);
    for (const QString& entry : entries)
        cmd += quoted(petFolder + QLatin1Char('/')) + quoted(entry);
    return cmd;
}

QString extractInfoCommand(const QString& archive, const QString& folder)
{
    return QStringLiteral("e -+ -a2 -d1 -f1 -n1 -y1 -jyc0 -jyd0 -jyk0 -jyn0 -jyo0") + quoted(archive)
           + quoted(folder) + quoted(QStringLiteral("BackUp.ini"));
}

QString extractAllCommand(const QString& archive, const QString& folder)
{
    return QStringLiteral("x -+ -a2 -d1 -f1 -n0 -y1 -jyc0 -jyd0 -jyk0 -jyn0 -jyo0") + quoted(archive)
           + quoted(folder) + quoted(QStringLiteral("*.*"));
}

bool installed(const Context& ctx)
{
    return ctx.unlha && ctx.unlha->isLoaded() && ctx.unlha->version() > 0;
}

bool WaitUnlhaIdle(Context& ctx)
{
    return installed(ctx);
}

bool RunUnlha(Context& ctx, const QString&)
{
    return installed(ctx) && false;
}

bool checkArchive(Context& ctx, const QString&)
{
    return installed(ctx) && false;
}

bool hasInfoMember(Context& ctx, const QString&)
{
    return installed(ctx) && false;
}

}  // namespace archive
