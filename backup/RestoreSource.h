#pragma once

#include "backup/BackupInfo.h"

#include <QString>

#include <optional>

class MessagePort;
class UnlhaLibrary;

// Checking what the user points the restore at: a backup archive or a backup folder.

inline const QString kMsgNotLhaArchive = QStringLiteral("指定されたファイルはLHA書庫ではないか、破損しています。");
inline const QString kMsgNotBackupFile = QStringLiteral("このファイルは Kennel Backup File ではありません。");
inline const QString kMsgBrokenFolderInfo = QStringLiteral("このフォルダの Kennel Backup File は破損しています。");
inline const QString kMsgNoBackupInFolder =
    QStringLiteral("このフォルダにはミューメールのバックアップ情報がありません。");
inline const QString kMsgNoFileGiven = QStringLiteral("ファイルが指定されていません。");
inline const QString kMsgNoSuchFile = QStringLiteral("ファイルが存在しません。");
inline const QString kMsgNoFolderGiven = QStringLiteral("フォルダが指定されていません。");
inline const QString kNotSet = QStringLiteral("未設定");
inline const QString kUnknownDate = QStringLiteral("不明");

// What the restore dialog takes from the restore page.
struct RestoreSource {
    enum class Kind { Archive, Folder };
    Kind kind = Kind::Archive;
    QString archive;  // the archive's path
    QString folder;   // the backup folder, ending with "/"
    QString pet;
    QString master;
};

// Reads the information file of an archive through the library: it is extracted into a
// private temporary folder that is removed again on every path. Shows one refusal message
// when the archive is not a backup; nothing when the user cancels the busy question.
std::optional<BackupInfo> CheckArchiveSource(MessagePort& messages, UnlhaLibrary& library, const QString& archivePath);

// A folder with an information file (any letter case) is read by it; a folder with only a
// settings file is a plain copy of a pet ("未設定", "未設定", "不明"). An empty folder text
// is refused with "フォルダが指定されていません。" and nothing is looked at.
std::optional<BackupInfo> CheckFolderSource(MessagePort& messages, const QString& folder);

// " " + date cut by position: four characters, "年", two, "月", the last two, "日";
// " 不明" for the unknown date. Short texts are cut all the same, never read past their end.
QString formatBackupDate(const QString& date);
