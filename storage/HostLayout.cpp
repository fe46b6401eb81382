#include "storage/HostLayout.h"

HostLayout::HostLayout(const QString& programFolder)
    : ProgramFolder(programFolder)
{
    PathSep = ProgramFolder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    UserFolder = ProgramFolder + PathSep + items::kUserPrefix;
}

QString HostLayout::registryFile() const
{
    return place(texts::kRegistryFile);
}

QString HostLayout::hostExecutable() const
{
    return place(texts::kHostExe);
}
