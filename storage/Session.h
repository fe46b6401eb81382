#pragma once

#include "ports/Context.h"
#include "ports/Gauge.h"
#include "registry/PetTable.h"
#include "registry/RegistryFormat.h"
#include "shell/ShellCopy.h"
#include "storage/HostLayout.h"
#include "storage/Journal.h"

#include <QString>

#include <array>
#include <functional>

struct MailboxPlan;
struct UpgradeNames;

// What a choice in the pet selector did.
enum class SwitchResult {
    NewPetEntry, // "新規ペット": no pet current, nothing moved
    SamePet,     // the current pet again: nothing moved, nothing written
    Switched,    // the chosen pet's data is in the host's places and Kennel.ini names it
    Refused,     // nothing changed: the pet whose data is in the host's places stays current
    LoadFailed,  // the chosen pet's data did not arrive whole; no pet is current now
};

// What the delete command did.
enum class DeleteResult {
    NoPet,     // no pet is current ("新規ペット" is selected): nothing to delete, nothing asked
    Cancelled, // the user said Cancel
    Deleted,   // the pet is gone; later pets moved down one index with their folders
    Stopped,   // a step failed; every remaining pet keeps its data
};

// Renames a folder, failing (false) when the new name exists already.
using FolderRename = std::function<bool(const QString& from, const QString& to)>;
bool renameFolderNoReplace(const QString& from, const QString& to);

// The pets of one host folder as a run of Kennel keeps them: the pet table that Kennel.ini
// holds, the host folder's layout, the journal of interrupted work, and the operations that
// change them. An operation tells the user itself what went wrong and returns what it did;
// the windows show the table afterwards. Long operations make the main window busy and move
// its gauge by the step plan each declares.
class Session {
public:
    Session(Context& ctx, HostLayout layout);

    Context& context() const { return ctx_; }
    const HostLayout& layout() const { return layout_; }
    Shell& shell() { return shell_; }
    const Journal& journal() const { return journal_; }
    // The table as Kennel.ini holds it once an operation is over; only start-up and tests
    // set it up directly.
    PetTable& table() { return table_; }
    const PetTable& table() const { return table_; }
    // RegistryLoaded: Kennel.ini is in place (read, or written by a first registration).
    bool registryLoaded() const { return registryLoaded_; }
    void setRegistryLoaded(bool loaded) { registryLoaded_ = loaded; }
    // The current pet's folder may lag the host's places (a store failed, or the host ended
    // before its window showed): it is stored before anything replaces them.
    bool currentUnstored() const { return currentUnstored_; }
    void setCurrentUnstored(bool unstored) { currentUnstored_ = unstored; }

    // ---- Kennel.ini (Session.cpp) ----------------------------------------------------------
    // Writes the whole table, replacing the file only once the new content is complete; nine
    // steps (the file's line groups). A failure is told to the user; false then.
    bool WriteRegistry(Steps steps);
    // Reads Kennel.ini into the table (five steps). A version 1.0 file leaves the last used
    // mailbox as CurrentUser and the table otherwise empty (Version1); a broken one ends the
    // program (RegistryError).
    RegistryContent::Kind ReadRegistry(Steps steps);
    // Kennel.ini as it stands on disk; anything but a regular file reads as broken.
    RegistryContent registryOnDisk() const;
    // "INIファイルエラーが発生しました。強制終了します。", then the program ends.
    // cause: a line below the message (ports/Causes.h), when known.
    [[noreturn]] void RegistryError(const QString& cause = {});

    // Writes the journal; tells the user and returns false when it cannot be written, in
    // which case the caller changes nothing.
    bool beginJournal(const journal::Record& record);
    // Removes the journal; tells the user when it stays.
    void endJournal();

    // ---- the pet switch (PetSwitch.cpp) ----------------------------------------------------
    // CmbPetSel_Click: makes pet index current (-1: the "新規ペット" entry). The host's places
    // are only replaced while every pet's data is safe in its pet folder:
    // - A pet registered in this run has no pet folder yet, and a pet whose store failed has
    //   an incomplete one; its data lives only in the host's places. Before anything replaces
    //   them (another pet's data, or a new pet's template after "新規ペット") it is stored. An
    //   incomplete copy refuses the switch; a partial new folder goes, so that the pet is
    //   stored again at the next attempt.
    // - The load is journaled: a kill between the load and the Kennel.ini write is finished
    //   at the next start by loading the chosen pet again.
    // - When the chosen pet's data does not arrive whole, no pet is left current (and
    //   Kennel.ini says so): the next start would otherwise store the partial places over its
    //   folder.
    // - When Kennel.ini cannot be written, the pet it still names is loaded back, since the
    //   next start stores the host's places into that pet's folder.
    // An index of no pet ends the program (internal error); a chosen pet whose folder is
    // missing ends it in LoadPetData, before anything is touched.
    SwitchResult switchTo(int index);
    // True when the current pet's folder may not hold what the host's places hold: it has no
    // folder yet, or a store into it failed.
    bool currentNeedsStore() const;
    // Stores the current pet when currentNeedsStore, checking the copy; false (after telling
    // the user) when it is incomplete: nothing may replace the host's places then.
    bool storeOutgoingPet();
    // True when the host's places hold what LoadPetData puts there from pet index's folder:
    // every unshared kind and both settings files.
    bool loadedWhole(int index) const;

    // ---- deleting a pet (DeletePet.cpp) ----------------------------------------------------
    // BtnDelete_Click: deletes pet index, the current one, after an OK/Cancel confirmation:
    // its folder is renamed to a hidden trash name, the folders of the later pets are renamed
    // one number down (the gauge takes the steps a folder copy would), Kennel.ini is
    // rewritten, then the trash is removed. No pet is current after. The host's places are
    // not touched: they keep the deleted pet's unshared data until another pet is chosen.
    // Renaming carries each folder whole, files the user put beside a pet's data included.
    // The work is journaled: a kill part-way is finished at the next start. A rename that
    // fails undoes the ones made so far, so that every pet keeps its number, and the deleted
    // pet stays current. Kennel.ini is checked to be writable before anything moves. A later
    // pet that has no pet folder moves down without one.
    DeleteResult deletePet(int index);
    // The folder moves of deleting pet c of pets 0 to m, trash being where pet c's folder
    // goes; 16 steps for each pet that moves. Idempotent: done in order, each only when its
    // target is free and its source there, so a run cut short is finished by running it
    // again. False when a rename failed; *failedAt is then the index whose folder could not
    // be filled (c also when pet c's could not go away).
    bool renumberPetFolders(int c, int m, const QString& trash, Steps steps, int* failedAt = nullptr);

    // ---- registering pets (Registration.cpp) -----------------------------------------------
    // The message that refuses this pair of names, or an empty text when they can be
    // registered: both names given, the pet name not "新規ペット", both storable in
    // Kennel.ini, and, when checkDuplicate and Kennel.ini is loaded, no pet of exactly that
    // name yet. Names are taken as typed: blanks stay, letter case counts.
    QString registrationProblem(const QString& pet, const QString& master, bool checkDuplicate) const;
    // Registers the host's own pet as pet 0 on a first run: Kennel.ini is written (nine
    // steps) and the registry counts as loaded. False (the user told) when it cannot be
    // written; the table is then as before.
    bool registerFirstPet(const QString& pet, const QString& master, Steps steps);
    // Registers a new pet at index MaxUser + 1 (0 on a first run, whose host's places keep
    // their data and become the new pet's) and, unless first run, puts the template into the
    // host's places (InitNewPetData). The pet whose data the places hold is stored first when
    // it needs to be. The set-up is journaled, so a kill part-way is finished at the next
    // start. When the template does not arrive whole, the registration is taken back and the
    // user told; the answer is then false, as when Kennel.ini cannot be written. The names
    // must have passed registrationProblem.
    bool registerNewPet(const QString& pet, const QString& master, Steps steps);
    // Registers a restored pet whose data lies in the staging folder (no final "/"): the
    // folder is renamed to the next free pet folder before Kennel.ini lists the pet
    // (journaled). False after telling the user when the folder cannot take its place or
    // Kennel.ini cannot be written; the table and the staging folder are then as before.
    bool registerRestored(const QString& staging, const QString& pet, const QString& master);
    // The sharing settings: which of the five kinds all pets share (PetTable::sharing order).
    // Written to Kennel.ini once it is loaded (on a first run the registration that follows
    // writes them); false when that failed, the flags then as before.
    bool setSharing(const std::array<bool, 5>& shared);

    // ---- upgrade of version 1.0 settings (Upgrade.cpp) ---------------------------------------
    // The conversion after the checks: mailbox folders renamed to pet folders (a mailbox
    // without a folder gets an empty pet folder), the pet table filled with the names and the
    // last used mailbox as current pet, Kennel.ini written as version 2.0, then the folders of
    // the unused mailboxes removed. When a rename or the registry write fails, the renames
    // made so far are undone, the table is restored, the user is told, and false is returned:
    // the version 1.0 file stays, so the next start offers the upgrade again. The work is
    // journaled; the journal stays until start-up has taken the template snapshot.
    bool convertMailboxes(const MailboxPlan& plan, const UpgradeNames& names, Steps steps,
                          const FolderRename& rename = renameFolderNoReplace);

    // ---- recovery at start-up (Recovery.cpp) ---------------------------------------------------
    // Finishes or undoes an operation a kill interrupted (storage/Journal.h) and removes a
    // leftover staging folder or trash. False when Kennel.ini could not be brought into line
    // with the folders; start-up must then end without storing anything.
    bool recoverInterruptedWork();

private:
    struct Recovery;

    bool writeTable(const PetTable& table, Steps steps);
    bool commitRegistration(int index, const QString& pet, const QString& master, Steps steps);
    SwitchResult loadChosen(int index);
    void reloadPetNamedInFile(int chosen);

    Context& ctx_;
    HostLayout layout_;
    Shell shell_;
    Journal journal_;
    PetTable table_;
    bool registryLoaded_ = false;
    bool currentUnstored_ = false;
};

// Kennel.ini, the journal and the recovery at start-up.
inline const QString kMsgRegistryError = QStringLiteral("INIファイルエラーが発生しました。強制終了します。");
inline const QString kMsgRegistryWriteFailed =
    QStringLiteral("Kennel.ini を書き込めませんでした。ディスクの空きやフォルダの書き込み権限を確認してください。");
inline const QString kMsgJournalNotWritten =
    QStringLiteral("作業記録ファイル Kennel.journal を書き込めないため、処理を中止しました。"
                   "ディスクの空きやフォルダの書き込み権限を確認してください。");
inline const QString kMsgJournalNotRemoved =
    QStringLiteral("作業記録ファイル Kennel.journal を削除できませんでした。"
                   "Kennel を終了し、ディスクの空きやフォルダの書き込み権限を確認してください。");
inline const QString kMsgRecoveryFailed =
    QStringLiteral("前回中断した処理を完了できませんでした。強制終了します。"
                   "ディスクの空きやフォルダの書き込み権限を確認してから、もう一度起動してください。");
inline const QString kMsgRecoveredLoadFailed =
    QStringLiteral("前回中断したペットの切り替えを完了できませんでした。ペットフォルダのデータはそのまま残っています。"
                   "ディスクの空きや書き込み権限を確認してから、ペットを選び直してください。");

// The pet switch; %1: the pet's name.
inline const QString kMsgInternalError = QStringLiteral("内部エラーが発生しました。強制終了します。");
inline const QString kMsgOutgoingNotStored =
    QStringLiteral("ペット : %1 のデータをペットフォルダに保存できなかったため、ペットを切り替えませんでした。"
                   "ディスクの空きや書き込み権限を確認してから、もう一度選んでください。");
inline const QString kMsgPetNotLoaded =
    QStringLiteral("ペット : %1 のデータを読み込めませんでした。ペットフォルダのデータはそのまま残っています。"
                   "ディスクの空きや書き込み権限を確認してから、もう一度選んでください。");

// Deleting a pet; %1: the pet's name.
inline const QString kDeleteCaption = QStringLiteral("Kennel 2001 - 削除の確認");
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

// Registering: a new pet whose template did not arrive whole in the host's places, and a
// restored pet whose number holds a folder (%1) that cannot go.
inline const QString kMsgNewPetNotReady =
    QStringLiteral("新規ペットのデータを準備できなかったため、登録を取り消しました。"
                   "ディスクの空きや書き込み権限を確認してから、もう一度登録してください。");
inline const QString kMsgRestoreFolderInTheWay =
    QStringLiteral("フォルダ「%1」がすでに存在するため、ペットを登録できません。"
                   "このフォルダを移動するか名前を変えてから、もう一度登録してください。");
