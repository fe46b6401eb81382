#pragma once

#include <QString>

// File-system primitives of the storage operations. Every one ignores its failures: a
// folder that exists already, a pattern that matches nothing, a missing source.
namespace fileops {
// True when a file or folder exists at path (a failed query counts as absent).
bool exists(const QString& path);
bool isFolder(const QString& path);
// Deletes the files directly inside folder (never sub-folders or their contents).
void clearFiles(const QString& folder);
// Deletes one file.
void deleteFile(const QString& path);
// Creates one folder (its parent must exist).
void makeFolder(const QString& path);
// Removes an empty folder; a folder that still holds something stays.
void removeFolder(const QString& path);
// Path without its final "/" (the root stays "/").
QString withoutFinalSep(const QString& path);
}  // namespace fileops
