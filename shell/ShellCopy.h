#pragma once

#include "ports/Messages.h"

#include <QString>

#include <string>

struct Context;

// Copies for every operation that moves pet data, within one program folder. The source is
// one file, or a folder followed by "/*.*" (every file directly in it). The target is a file
// path, or a folder (with or without a final "/") that is created when missing. Existing
// files are replaced without asking; a copy that fails tells the user "ファイルエラーが発生し
// ました。" once, with a line for each file that failed and why (MessagePort::fileError: inside
// a FileErrorGroup, one box for the whole operation). Each copy returns whether everything
// was copied, for callers that care; most carry on regardless. Long copies show the copy
// progress window.
//
// Links are copied as links (the same target text), never read through; a source folder or
// a target folder that is a link, or that lies below the program folder behind a link, is
// never entered: the copy fails. A file or link in the target's place is replaced, never
// written through.
class Shell {
public:
    Shell(Context& ctx, QString programFolder);

    bool ShellCopy(const QString& source, const QString& target);
    // As ShellCopy, but a "/*.*" source also copies the folder's sub-folders with their contents.
    bool ShellCopyAll(const QString& source, const QString& target);
    // As ShellCopy, for copies that bring a target up to date: a target file that holds the
    // source's bytes is left as it is. Which ones do is known without reading them only for
    // a file and its own copy (KnownCopies); any other pair of the same size and modification
    // time is compared byte by byte.
    bool ShellCopyChanged(const QString& source, const QString& target);

private:
    bool run(const QString& source, const QString& target, bool withFolders, bool keepUnchanged);

    Context& ctx_;
    QString programFolder_;
};

// True when the regular files at `a` and `b` are known to hold the same bytes without
// reading them: one was made as a copy of the other by ShellCopyChanged, or found equal by
// it, and neither has changed since. The copy carries a record naming the file it was made
// from (device, inode and status-change time, which any change to that file moves). Its own
// change is told by size and modification time (copies keep the source's time, to the
// nanosecond), the later copy made more than two seconds after that time. File times tick
// coarsely (a few milliseconds), so a file rewritten in the tick it was copied in could keep
// its size and time; the margin rules that out. A program that sets a file's time back to an
// older value and keeps its size goes unnoticed, as with any size and time check; files of
// different pets never pass for each other, whatever their times.
bool KnownCopies(const QString& a, const QString& b);

// True when a and b are regular files with the same bytes: KnownCopies, a clone whose blocks
// are its source's, or read and compared.
bool SameBytes(const QString& a, const QString& b);

// What a copy takes is the same at a and b: two links with the same target text, or two
// regular files with the same bytes (SameBytes). Each path is looked at once.
bool SameCopiedFile(const QString& a, const QString& b);

// A folder held open to look up its entries by name, never through a link: a folder that is
// a link, or cannot be opened, is not open.
class OpenFolder {
public:
    explicit OpenFolder(const QString& path);
    explicit OpenFolder(std::string path);
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

// SameCopiedFile for the entries called name in two open folders.
bool SameCopiedEntry(const OpenFolder& a, const OpenFolder& b, const std::string& name);
