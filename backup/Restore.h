#pragma once

#include "backup/RestoreSource.h"

#include <QString>

#include <array>

class Session;
class UnlhaLibrary;

// Restoring a backup as a new pet. The data goes into Kennel's hidden staging folder;
// registering renames it to the new pet's folder (index MaxUser + 1) before Kennel.ini lists
// the pet (journaled, storage/Journal.h); anything else removes it.

inline const QString kMsgExtractFailed = QStringLiteral("ファイルの解凍に失敗しました。");
inline const QString kMsgSharedNotRestored =
    QStringLiteral("共有設定されている項目はリストアされませんが、よろしいですか？");
inline const QString kMsgRestoreDone = QStringLiteral("リストアが完了しました。");
inline const QString kMsgRestoreIncomplete =
    QStringLiteral("バックアップのデータをすべて取り出せなかったため、ペットを登録できません。"
                   "ディスクの空きや書き込み権限を確認してから、もう一度リストアしてください。");
inline const QString kMsgSourceInStaging =
    QStringLiteral("このフォルダからはリストアできません。別の場所にコピーしてから指定してください。");

// The staging folder, with a final "/": ".kennel-restore" in the program folder.
QString RestoreStagingFolder(const Session& session);

// The six rows of the restore dialog: settings, friends book, snacks, toys, mail drawers,
// treasures. A row is present when at least one ordinary, visible file matches inside folder.
enum PresenceRow { RowSettings, RowFriends, RowSnacks, RowToys, RowMail, RowTreasures, kPresenceRows };
std::array<bool, kPresenceRows> presenceRows(const QString& folder);

// One run of the restore dialog, from staging to registration or removal.
class RestoreSession {
public:
    RestoreSession(Session& session, UnlhaLibrary& library, RestoreSource source);
    ~RestoreSession();  // close()
    RestoreSession(const RestoreSession&) = delete;
    RestoreSession& operator=(const RestoreSession&) = delete;

    // Puts the backup's data into the staging folder (a folder left there earlier goes
    // first). Refuses with a message, staging nothing, when 100 pets are registered or when
    // a folder source lies inside the staging folder. Other failures have shown their message
    // and the staging folder holds what arrived, for the rows to show; the result is true
    // then, but registerPet refuses (kMsgRestoreIncomplete).
    bool open();

    // Registers the names as a new pet whose folder the staging folder becomes
    // (Session::registerRestored). Shows the refusal or the caution and returns false when the names
    // are refused, the user cancels, the folder cannot take its place, or Kennel.ini could
    // not be written (the table and the staging folder are then as before). True after
    // "リストアが完了しました。".
    bool registerPet(const QString& pet, const QString& master);

    // Removes the staging folder with everything in it unless it became a registered pet's
    // folder. Idempotent.
    void close();

    const QString& stagingFolder() const { return staging_; }
    const RestoreSource& source() const { return source_; }
    bool isOpen() const { return opened_; }
    bool registered() const { return registered_; }

private:
    // Extracts every member of the archive into the staging folder. False on a cancelled
    // busy question (no message) or a failed run ("ファイルの解凍に失敗しました。").
    bool unpackArchive();

    Session& session_;
    UnlhaLibrary& library_;
    RestoreSource source_;
    QString staging_;
    bool opened_ = false;
    bool complete_ = false;  // everything of the backup arrived in the staging folder
    bool registered_ = false;
};
