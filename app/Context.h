#pragma once

#include "app/PetTable.h"
#include "app/Ports.h"
#include "app/Texts.h"
#include "storage/HostLayout.h"

#include <optional>

class UnlhaLibrary;

// Process-wide state of one Kennel run: the pet table, the paths, the flags the windows
// share, and the ports to the user and the system. main() makes one; tests make their own.
struct Context {
    PetTable table;
    HostLayout paths;  // ProgramFolder, PathSep, UserFolder and the places built from them

    bool RegistryLoaded = false;   // Kennel.ini is in place (read, or written by a first registration)
    bool UnlhaInstalled = false;   // the archiver library answered its version call
    int StepSize = 0;              // gauge points per storage step; 0 outside long operations
    int GaugePos = 0;              // 0..100
    bool FileProcessing = false;   // set between BusyOn and BusyOff; the main window refuses to close
    bool SuppressPetSel = false;   // the program's own selector changes do not switch pets
    bool NewPetRegistered = false; // set by the new-pet and restore dialogs
    bool CurrentUnstored = false;  // a store of the current pet failed: its folder lags the host's places
    bool DateShifted = false;      // the system date stands one day ahead
    int BackupTab = 1;             // 1 backup, 2 restore

    MessagePort* messages = nullptr;
    ExitPort* exit = nullptr;
    MainView* view = nullptr;
    CopyProgressPort* copyProgress = nullptr;  // may stay null
    FolderPickerPort* folderPicker = nullptr;
    WindowPort* windows = nullptr;             // may stay null: no display
    StartupDialogs* dialogs = nullptr;
    UnlhaLibrary* unlha = nullptr;             // may stay null: library not installed
    KeepAlivePort* keepAlive = nullptr;        // may stay null: archive work then blocks the window

    // Message helpers: caption "Kennel 2001", the icon and buttons the name says.
    void critical(const QString& text) const;
    void exclamation(const QString& text) const;
    void information(const QString& text) const;
    bool askYesNo(const QString& text) const;  // question icon, Yes default; true for Yes
    MsgAnswer show(const QString& text, MsgIcon icon, MsgButtons buttons,
                   const QString& caption = texts::kProgramTitle) const;
    // Shows the critical message and ends the program.
    [[noreturn]] void fatal(const QString& text) const;
    [[noreturn]] void endProgram(int code = 0) const;

    // A file or folder operation failed: "ファイルエラーが発生しました。" with a line per cause
    // (app/Causes.h). Inside a FileErrorGroup the box waits for the group's end.
    void fileError(const QStringList& causes) const;
    void tellFileError() const;  // shows a waiting file error box, if any
    mutable int fileErrorGroups = 0;
    mutable std::optional<QStringList> pendingCauses;
};
