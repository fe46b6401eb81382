#pragma once

#include "ports/Gauge.h"

#include <QDate>
#include <QString>

class Session;
class UnlhaLibrary;

// Backing a registered pet up from its stored folder (never from the host's live places).
// Both land beside each other under the same base name: pet name + "yymmdd".

inline const QString kMsgBackupFolderExists =
    QStringLiteral("指定の場所に同名のフォルダがすでに存在します。\r\n上書きしてもいいですか？");
inline const QString kMsgBackupArchiveExists =
    QStringLiteral("指定の場所に同名のファイルがすでに存在します。\r\n上書きしてもいいですか？");
inline const QString kMsgLhaFailed = QStringLiteral("LHA圧縮で失敗しました。");
inline const QString kMsgNoPetFolder =
    QStringLiteral("このペットのデータはまだ保存されていません。Kennel を起動し直してからバックアップしてください。");

// Pet name + date as "yymmdd": the base name of both kinds of backup. A "/" in the name
// becomes "_", so the backup always lands directly in the chosen folder.
QString backupBaseName(const QString& pet, const QDate& date);

// Copies the pet's folder into destination + base name (destination ends with "/"), sixteen
// steps. An existing backup folder is overwritten only after the user agrees; its old files
// go first. False when declined, when the pet has no stored folder, or when a copy failed
// (ShellCopy has told the user; the rest still ran).
bool BackupToFolder(Session& session, int index, const QString& destination, Steps steps,
                    const QDate& today = QDate::currentDate());

// Packs the pet's folder into destination + "/" + base name + ".lzh" (destination without
// final "/"). An existing archive is replaced only once the new one is complete.
bool BackupToArchive(Session& session, UnlhaLibrary& library, int index, const QString& destination,
                     const QDate& today = QDate::currentDate());
