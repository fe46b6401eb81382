#pragma once

#include <QString>
#include <QStringList>

struct Context;

// The archiver calls the backup and restore steps make, over the library Kennel loads at run
// time (ctx.unlha). Without the library every call fails quietly, as with a broken archive.
namespace archive {

// Command strings: the letter, one blank, the switches, then every argument in double quotes.
// Add: the archive, the work folder, then for each entry the pair petFolder + "/" and entry.
QString addCommand(const QString& archive, const QString& workFolder, const QString& petFolder,
                   const QStringList& entries);
// Extract the information file of archive into folder (ending in "/").
QString extractInfoCommand(const QString& archive, const QString& folder);
// Extract every member of archive below folder (ending in "/"), keeping the stored paths.
QString extractAllCommand(const QString& archive, const QString& folder);

// True when the library is loaded and answers.
bool installed(const Context& ctx);
// Asks "Unlha32.dll が使用中です。" (Retry / Cancel) while the library is busy; false on Cancel.
bool WaitUnlhaIdle(Context& ctx);
// Runs one command; true on success.
bool RunUnlha(Context& ctx, const QString& command);
// True when path is an archive the library can read.
bool checkArchive(Context& ctx, const QString& path);
// True when the archive holds the information file (name without regard to letter case).
bool hasInfoMember(Context& ctx, const QString& path);

}  // namespace archive
