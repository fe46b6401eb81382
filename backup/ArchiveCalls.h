#pragma once

#include <QString>

struct Context;

// The archiver calls the backup and restore steps make, over the library Kennel loads at run
// time (ctx.unlha, see UnlhaLibrary.h). Without the library every call fails quietly, as
// with a broken archive. With ctx.keepAlive the library works on another thread while the
// windows stay alive.
namespace archive {

// Add the pet folder's files and item folders (the attachments folder when asked) to archive,
// working in workFolder.
QString addCommand(const QString& archive, const QString& workFolder, const QString& petFolder,
                   bool withAttachments);
// Extract the information file of archive into folder.
QString extractInfoCommand(const QString& archive, const QString& folder);
// Extract every member of archive below folder, keeping the stored paths.
QString extractAllCommand(const QString& archive, const QString& folder);

// Asks "Unlha32.dll が使用中です。" (Retry / Cancel) while the library is busy; false on Cancel.
bool WaitUnlhaIdle(Context& ctx);
// Runs one command; true on success. With moveGauge the gauge goes from where it stands to 100
// in proportion to the bytes done; only a busy window's gauge may move (setting it lets the
// window take the user's input).
bool RunUnlha(Context& ctx, const QString& command, bool moveGauge = false);
// True when path is a regular file (or a link to one): what the user gives as an archive is
// never handed to the library otherwise, since a FIFO or a device would keep it waiting.
bool isArchiveFile(const QString& path);
// True when path is an archive the library can read.
bool checkArchive(Context& ctx, const QString& path);
// True when the archive holds the information file (name without regard to letter case).
bool hasInfoMember(Context& ctx, const QString& path);

}  // namespace archive
