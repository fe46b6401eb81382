#pragma once

#include <QString>

struct Context;

// Copies for every operation that moves pet data. The source is one file, or a folder
// followed by "/*.*" (every file directly in it). The target is a file path, or a folder
// (with or without a final "/") that is created when missing. Existing files are replaced
// without asking; a copy that fails tells the user "ファイルエラーが発生しました。" once.
// Returns whether everything was copied, for callers that care; most carry on regardless.
bool ShellCopy(Context& ctx, const QString& source, const QString& target);

// As ShellCopy, but a "/*.*" source also copies the folder's sub-folders with their contents.
bool ShellCopyAll(Context& ctx, const QString& source, const QString& target);

// The folder picker: the chosen folder, or the empty text when cancelled.
QString BrowseFolder(Context& ctx, const QString& title);

// Folder names keep the letter case they were chosen with: on a file system that tells
// cases apart, changing it would name another folder.
QString ProperCasePath(const QString& path);

// Removes NUL characters from the end of text.
QString TrimNulls(QString text);
