#pragma once

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
// the folders of the later pets are copied down one number (CopyPetFolder), the last pet
// folder is removed, the table shrinks and Kennel.ini is rewritten. No pet is current after.
// Drives ctx.view: busy state, selector entry, owner box, delete command. The host's places
// are not touched: they keep the deleted pet's unshared data until another pet is chosen.
//
// Each renumbering copy is checked against its source before the next one starts. When one
// is incomplete the deletion stops there: the pets moved so far keep their new numbers, the
// rest keep their old ones, and the pet being deleted takes the place in between with no
// pet folder (its data is still in the host's places) and stays current, so that table,
// folders and Kennel.ini agree and the deletion can be tried again. Kennel.ini is written
// before the last folder is removed, and checked to be writable before anything is copied.
// A later pet that has no pet folder moves down without one.
DeleteResult DeletePet(Context& ctx);

inline const QString kDeleteCaption = QStringLiteral("Kennel 2001 - 削除の確認");
// %1: the pet's name.
inline const QString kMsgConfirmDelete =
    QStringLiteral("ペット : %1 を削除します。共有していないすべての情報が消去されますが、よろしいですか？");
inline const QString kMsgDeleteStopped =
    QStringLiteral("ファイルのコピーに失敗したため、ペット : %1 の削除を途中で中止しました。"
                   "ほかのペットのデータはそのまま残っています。"
                   "ディスクの空きや書き込み権限を確認してから、もう一度削除してください。");
inline const QString kMsgDeleteNotStarted =
    QStringLiteral("Kennel.ini を書き込めないため、ペット : %1 は削除しませんでした。");
inline const QString kMsgDeleteRegistryRetry =
    QStringLiteral("ペットの削除を Kennel.ini に書き込めませんでした。"
                   "このままではペットとペットフォルダの対応がずれます。"
                   "ディスクの空きや書き込み権限を確認してから［再試行］を押してください。");
