#pragma once

#include "registry/PetTable.h"

#include <QString>

struct Context;

// What the delete command did.
enum class DeleteResult {
    NoPet,     // "新規ペット" is selected: nothing to delete, nothing asked
    Cancelled, // the user said Cancel
    Deleted,   // the pet is gone; later pets moved down one index with their folders
    Stopped,   // a step failed; every remaining pet keeps its data (see below)
};

// Deletes the current pet (the core of BtnDelete_Click) after an OK/Cancel confirmation:
// the pet's folder is renamed to a hidden trash name, the folders of the later pets are
// renamed one number down (the gauge takes the steps a folder copy would), Kennel.ini is
// rewritten, then the trash is removed. No pet is current after. Drives ctx.view: busy
// state, selector entry, owner box, delete command. The host's places are not touched:
// they keep the deleted pet's unshared data until another pet is chosen. Renaming carries
// each folder whole, files the user put beside a pet's data included.
//
// The work is journaled (storage/Journal.h): a kill part-way is finished at the next start.
// A rename that fails undoes the ones made so far, so that every pet keeps its number, and
// the deleted pet stays current. Kennel.ini is checked to be writable before anything moves.
// A later pet that has no pet folder moves down without one.
DeleteResult DeletePet(Context& ctx);

// The folder moves of deleting pet c of pets 0 to m, trash being where pet c's folder goes.
// Idempotent: done in order, each only when its target is free and its source there, so a
// run cut short is finished by running it again. False when a rename failed; *failedAt is
// then the index whose folder could not be filled (c also when pet c's could not go away).
bool RenumberPetFolders(Context& ctx, int c, int m, const QString& trash, int* failedAt = nullptr);
// The table after pet c is deleted: later pets one index down, no pet current.
PetTable TableAfterDeletion(const PetTable& before, int c);

inline const QString kDeleteCaption = QStringLiteral("Kennel 2001 - 削除の確認");
// %1: the pet's name.
inline const QString kMsgConfirmDelete =
    QStringLiteral("ペット : %1 を削除します。共有していないすべての情報が消去されますが、よろしいですか？");
inline const QString kMsgDeleteStopped =
    QStringLiteral("ペットフォルダの名前を変更できなかったため、ペット : %1 を削除しませんでした。"
                   "ほかのペットのデータはそのまま残っています。"
                   "フォルダを開いているほかのプログラムを終了してから、もう一度削除してください。");
inline const QString kMsgDeleteUndoFailed =
    QStringLiteral("ペットフォルダの名前を変更できませんでした。強制終了します。"
                   "次回の起動時にペットの削除を完了します。");
inline const QString kMsgDeleteNotStarted =
    QStringLiteral("Kennel.ini を書き込めないため、ペット : %1 は削除しませんでした。");
inline const QString kMsgDeleteRegistryRetry =
    QStringLiteral("ペットの削除を Kennel.ini に書き込めませんでした。"
                   "このままではペットとペットフォルダの対応がずれます。"
                   "ディスクの空きや書き込み権限を確認してから［再試行］を押してください。");
