#pragma once

#include <QString>

// A seam before every change Kennel makes to the file system: deleting, making or removing
// a folder, copying, renaming, writing Kennel.ini. In the program nothing is installed and
// every change proceeds; the crash and disk-full harnesses install a handler that ends the
// process at a chosen change or makes it fail as a full disk would.
namespace fault {

enum class Action { Proceed, Fail };

// what: a short verb ("delete", "mkdir", "rmdir", "copy", "rename", "write"); path: the
// path being changed (the target for copies and renames).
using Handler = Action (*)(const char* what, const QString& path);

// Installs handler (nullptr removes it). Not thread-safe: install before any file work.
void setHandler(Handler handler);

// Called right before a change; Fail means the caller treats the change as failed and
// leaves the file system as it was.
Action point(const char* what, const QString& path);

inline bool fails(const char* what, const QString& path)
{
    return point(what, path) == Action::Fail;
}

}  // namespace fault
