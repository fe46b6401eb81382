#pragma once

#include <QString>

// The log of what Kennel told the user and why: every message box and every failure with its
// cause, one record each, appended to $XDG_STATE_HOME/kennel/kennel.log (~/.local/state when
// the variable is unset or not absolute). Past kMaxLogBytes the log becomes kennel.log.1
// (replacing the one before) and a new one starts, so both stay small. Several Kennels (for
// several host folders) may append at once: each record is one write to a file opened for
// appending.
namespace logfile {

inline constexpr qint64 kMaxLogBytes = 256 * 1024;

// Where the log lies for this user.
QString defaultPath();

// From now on records go to path, each naming programFolder. The program starts the log;
// nothing is written before (tests write no log unless they start one).
void start(const QString& path, const QString& programFolder);

// The log's path; empty before start().
QString path();

// Appends one record: the time, the process, the program folder, `kind`, then text (a record
// of several lines has them indented below the first).
void append(const QString& kind, const QString& text);

} // namespace logfile
