#pragma once

#include <QByteArray>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

// File-system primitives of the storage operations. Every one ignores its failures: a
// folder that exists already, a pattern that matches nothing, a missing source.
//
// Links are never followed: a link counts as an entry of its own (it exists, it is no
// folder), is removed as a link, and no primitive reads, writes or deletes through one.
namespace fileops {
// The temporary name beside a target under which copies and whole-file writes are made
// before they are renamed into place. Short and fixed, so that it fits wherever the target's
// name fits; Kennel works in one folder at a time, so one name serves every copy.
inline const QString kTempName = QStringLiteral(".kennel-copy");

// Calls use(folderFd, name, type) for each entry of folder but "." and "..": the type of the
// entry itself (a link is a link), from the listing where it tells, else asked without
// following; name relative to folderFd. A folder that is a link is never entered. False when
// the folder cannot be opened or read to its end.
bool listFolder(const std::string& folder,
                const std::function<void(int folderFd, const char* name, std::filesystem::file_type type)>& use);
// True when a file, folder or link exists at path (a failed query counts as absent).
bool exists(const QString& path);
// True when a real folder stands at path (a link to a folder is no folder).
bool isFolder(const QString& path);
bool isLink(const QString& path);
// The entries a copy of folder + "/*.*" takes: regular files and links (to anything), by
// name; never folders, other kinds of entry, or a leftover temporary file (kTempName). A
// folder that is a link, or cannot be read, has none (readable is then false).
struct Entry {
    std::string name;
    bool link = false;
};
std::vector<Entry> copiedEntries(const QString& folder, bool* readable = nullptr);
// Deletes the entries directly inside folder (never sub-folders or their contents; links
// as links) but those named in keep (file names, which the copy that follows replaces).
// True when no other is left (a missing folder holds none). A folder that is a link is
// never entered: false.
bool clearFiles(const QString& folder, const std::set<std::string>& keep = {});
// Deletes one file or link; true when it is gone. A folder stays.
bool deleteFile(const QString& path);
// Makes sure a real folder stands at path (its parent must exist): a link there is removed
// as a link first. True when the folder is there.
bool makeFolder(const QString& path);
// Removes an empty folder, or a link, at path; a folder that still holds something stays.
void removeFolder(const QString& path);
// Renames a file or folder within one file system, never replacing what is at `to`.
bool renameNoReplace(const QString& from, const QString& to);
// Removes a folder with everything below it (for Kennel's own working folders only);
// links inside are removed as links. True when it is gone.
bool removeTree(const QString& path);
// Replaces the file at path by bytes, whole or not at all: written under kTempName beside it
// and renamed into place, so a link or other entry at path is replaced, never written
// through. Every write is checked, a full disk included. Fault point "write".
bool writeWhole(const QString& path, const QByteArray& bytes);
// The first `limit` bytes of the regular file at path; nothing when it is missing,
// unreadable, a link, or not a regular file (a FIFO is never opened for waiting).
std::optional<QByteArray> readRegular(const QString& path, qint64 limit);
// Path without its final "/" (the root stays "/").
QString withoutFinalSep(const QString& path);
}  // namespace fileops
