#pragma once

#include <QString>

struct Context;

// What a choice in the pet selector did.
enum class PetSwitchResult {
    Ignored,     // SuppressPetSel was raised: the program's own selection
    NewPetEntry, // "新規ペット": no pet current, nothing moved
    SamePet,     // the current pet again: nothing moved, nothing written
    Switched,    // the chosen pet's data is in the host's places and Kennel.ini names it
    Refused,     // nothing changed: the pet whose data is in the host's places stays current
    LoadFailed,  // the chosen pet's data did not arrive whole; no pet is current now
};

// The pet switch behind the main window's selector (CmbPetSel_Click). Reads the choice from
// ctx.view's selector and drives the view's busy state, owner box and delete command.
//
// The host's places are only replaced while every pet's data is safe in its pet folder:
// - A pet registered in this run has no pet folder yet; its data lives only in the host's
//   places. Before anything replaces them (another pet's data, or a new pet's template after
//   "新規ペット") it is stored into its folder. An incomplete copy refuses the switch and the
//   partial folder goes, so that the pet is stored again at the next attempt.
// - When the chosen pet's data does not arrive whole, no pet is left current (and Kennel.ini
//   says so): the next start would otherwise store the partial places over its folder.
// - When Kennel.ini cannot be written, the pet it still names is loaded back, since the next
//   start stores the host's places into that pet's folder.
// A chosen name that no pet has ends the program (internal error); a chosen pet whose folder
// is missing ends it in LoadPetData, before anything is touched.
PetSwitchResult SwitchPet(Context& ctx);

inline const QString kMsgInternalError = QStringLiteral("内部エラーが発生しました。強制終了します。");
// %1: the pet's name.
inline const QString kMsgOutgoingNotStored =
    QStringLiteral("ペット : %1 のデータをペットフォルダに保存できなかったため、ペットを切り替えませんでした。"
                   "ディスクの空きや書き込み権限を確認してから、もう一度選んでください。");
inline const QString kMsgPetNotLoaded =
    QStringLiteral("ペット : %1 のデータを読み込めませんでした。ペットフォルダのデータはそのまま残っています。"
                   "ディスクの空きや書き込み権限を確認してから、もう一度選んでください。");
