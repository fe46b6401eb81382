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
// - A pet registered in this run has no pet folder yet, and a pet whose store failed
//   (CurrentUnstored) has an incomplete one; its data lives only in the host's places.
//   Before anything replaces them (another pet's data, or a new pet's template after
//   "新規ペット") it is stored into its folder. An incomplete copy refuses the switch; a
//   partial new folder goes, so that the pet is stored again at the next attempt.
// - The load is journaled (storage/Journal.h): a kill between the load and the Kennel.ini
//   write is finished at the next start by loading the chosen pet again.
// - When the chosen pet's data does not arrive whole, no pet is left current (and Kennel.ini
//   says so): the next start would otherwise store the partial places over its folder.
// - When Kennel.ini cannot be written, the pet it still names is loaded back, since the next
//   start stores the host's places into that pet's folder.
// A chosen name that no pet has ends the program (internal error); a chosen pet whose folder
// is missing ends it in LoadPetData, before anything is touched.
PetSwitchResult SwitchPet(Context& ctx);

// True when the current pet's folder may not hold what the host's places hold: it has no
// folder yet, or a store into it failed in this run.
bool CurrentPetNeedsStore(const Context& ctx);
// Stores the current pet when CurrentPetNeedsStore, checking the copy; false (after telling
// the user) when it is incomplete: nothing may replace the host's places then.
bool StoreOutgoingPet(Context& ctx);
// True when the host's places hold what LoadPetData puts there from folder: every unshared
// kind and both settings files.
bool LoadedWhole(const Context& ctx, const QString& folder);

inline const QString kMsgInternalError = QStringLiteral("内部エラーが発生しました。強制終了します。");
// %1: the pet's name.
inline const QString kMsgOutgoingNotStored =
    QStringLiteral("ペット : %1 のデータをペットフォルダに保存できなかったため、ペットを切り替えませんでした。"
                   "ディスクの空きや書き込み権限を確認してから、もう一度選んでください。");
inline const QString kMsgPetNotLoaded =
    QStringLiteral("ペット : %1 のデータを読み込めませんでした。ペットフォルダのデータはそのまま残っています。"
                   "ディスクの空きや書き込み権限を確認してから、もう一度選んでください。");
