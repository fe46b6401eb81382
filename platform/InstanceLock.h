#pragma once

#include <QString>

// Single-instance lock for one installation. The lock is an flock() on a file named after a
// hash of the program's path, in the user's runtime folder (XDG_RUNTIME_DIR) or else the
// system's temporary folder. The system releases it when the process ends, however it ends,
// so a crashed run never blocks the next one.

// Takes the lock for programPath and keeps it for the rest of the process. Returns false when
// another running process holds it. When the lock file cannot be made at all, the answer is
// true: refusing to start because of a temporary folder we cannot write would be worse.
bool acquireInstanceLock(const QString& programPath);

// The lock file used for programPath (for tests and diagnostics).
QString instanceLockPath(const QString& programPath);

// Releases a lock taken by this process (tests only; the program keeps its lock).
void releaseInstanceLock();
