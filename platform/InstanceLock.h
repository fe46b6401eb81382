#pragma once

#include "ports/Ports.h"

#include <QString>

// Single-instance lock for one host folder: an flock() on the folder itself, so no two
// Kennels ever work on one host folder, whatever name their program has and whoever started
// them (another session, another runtime folder). Where the file system does not lock
// folders (network file systems), an flock() on the file ".kennel-lock" in the folder takes
// its place. The system releases the lock when the process ends, however it ends, so a
// crashed run never blocks the next one.

// Takes the lock for programFolder and keeps it for the rest of the process. Failed when it
// can be taken neither way (the folder cannot be opened, for one): start-up tells the user.
InstanceLock acquireInstanceLock(const QString& programFolder);

// Why the last acquireInstanceLock failed (errno), or 0.
int instanceLockError();

// Releases a lock taken by this process (tests only; the program keeps its lock).
void releaseInstanceLock();
