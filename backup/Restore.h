#pragma once

#include "backup/RestoreSource.h"

#include <QString>

#include <array>

struct Context;

// Restoring a backup as a new pet. The data goes straight into the folder the new pet will
// own (the pet folder of index MaxUser + 1); registering keeps it, anything else removes it.

inline const QString kMsgExtractFailed = QStringLiteral("ファイルの解凍に失敗しました。");
inline const QString kMsgSharedNotRestored =
    QStringLiteral("共有設定されている項目はリストアされませんが、よろしいですか？");
inline const QString kMsgRestoreDone = QStringLiteral("リストアが完了しました。");
inline const QString kMsgSourceInStaging =
    QStringLiteral("このフォルダからはリストアできません。別の場所にコピーしてから指定してください。");

// UserFolder + (MaxUser + 2) + "/": the folder of the next free pet index.
QString RestoreStagingFolder(const Context& ctx);

// Extracts every member of the archive below target (a final "/" is added when missing).
// False on a cancelled busy question (no message) or a failed run ("ファイルの解凍に失敗しました。").
bool ExtractArchive(Context& ctx, const QString& archivePath, QString target);

// The six rows of the restore dialog: settings, friends book, snacks, toys, mail drawers,
// treasures. A row is present when at least one ordinary, visible file matches inside folder.
enum PresenceRow { RowSettings, RowFriends, RowSnacks, RowToys, RowMail, RowTreasures, kPresenceRows };
std::array<bool, kPresenceRows> presenceRows(const QString& folder);

// One run of the restore dialog, from staging to registration or removal.
class RestoreSession {
public:
    RestoreSession(Context& ctx, RestoreSource source);
    ~RestoreSession();  // close()
    RestoreSession(const RestoreSession&) = delete;
    RestoreSession& operator=(const RestoreSession&) = delete;

    // Puts the backup's data into the staging folder (a folder left there earlier goes
    // first). Refuses with a message, staging nothing, when 100 pets are registered or when
    // a folder source lies inside the staging folder. Other failures have shown their message
    // and the staging folder holds what arrived; the result is true then.
    bool open();

    // Registers the names as a new pet owning the staging folder. Shows the refusal or the
    // caution and returns false when the names are refused, the user cancels, or Kennel.ini
    // could not be written (the table is then as before). True after "リストアが完了しました。".
    bool registerPet(const QString& pet, const QString& master);

    // Removes the staging folder unless it became a registered pet's folder. Idempotent.
    void close();

    const QString& stagingFolder() const { return staging_; }
    const RestoreSource& source() const { return source_; }
    bool isOpen() const { return opened_; }
    bool registered() const { return registered_; }

private:
    bool ownedByRegisteredPet() const;

    Context& ctx_;
    RestoreSource source_;
    QString staging_;
    bool opened_ = false;
    bool registered_ = false;
};
