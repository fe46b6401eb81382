#pragma once

#include <QByteArray>
#include <QString>

#include <set>
#include <string>

// File-system primitives of the storage operations. Every one ignores its failures: a
// folder that exists already, a pattern that matches nothing, a missing source.
namespace fileops {
// True when a file or folder exists at path (a failed query counts as absent).
bool exists(const QString& path);
bool isFolder(const QString& path);
// Deletes the files directly inside folder (never sub-folders or their contents) but those
// named in keep (file names, which the copy that follows replaces). True when
// no other is left (a missing folder holds none).
bool clearFiles(const QString& folder, const std::set<std::string>& keep = {});
// Deletes one file; true when it is gone.
bool deleteFile(const QString& path);
// Creates one folder (its parent must exist); true when the folder is there.
bool makeFolder(const QString& path);
// Removes an empty folder; a folder that still holds something stays.
void removeFolder(const QString& path);
// Renames a file or folder within one file system, never replacing what is at `to`.
bool renameNoReplace(const QString& from, const QString& to);
// Removes a folder with everything below it (for Kennel's own working folders only).
// True when it is gone.
bool removeTree(const QString& path);
// Replaces the file at path by bytes, whole or not at all (a temporary file renamed into
// place; every write checked, a full disk included). Fault point "write".
bool writeWhole(const QString& path, const QByteArray& bytes);
// Path without its final "/" (the root stays "/").
QString withoutFinalSep(const QString& path);
}  // namespace fileops
