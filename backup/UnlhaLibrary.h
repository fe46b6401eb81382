#pragma once

#include <QString>

#include <functional>
#include <memory>

class KeepAlivePort;
class MessagePort;

// How a call waits for the library. With a port, the library runs on a worker thread while
// the calling thread keeps its windows alive through the port until the call has ended, and
// progress is told there the bytes done and in all (a library without the progress entry
// tells nothing). Without a port, the library's own (setKeepAlive) is used; without either the
// call runs on the calling thread.
struct UnlhaWait {
    KeepAlivePort* keepAlive = nullptr;
    std::function<void(qint64 done, qint64 total)> progress;
};

// The LHA archiver library, loaded at run time from the program folder ("libunlha32.so").
// A missing file, a file that does not load, or a missing entry behaves as not installed:
// every call then fails quietly (version 0, commands and checks false).
class UnlhaLibrary {
public:
    // The seven entries of unlha32/unlha32.h. Tests may hand in their own.
    struct Entries {
        int (*getVersion)() = nullptr;
        int (*getRunning)() = nullptr;
        int (*run)(void* owner, const char* command, char* output, unsigned long outputSize) = nullptr;
        int (*checkArchive)(const char* path, int mode) = nullptr;
        void* (*openArchive)(void* owner, const char* path, unsigned long mode) = nullptr;
        int (*findFirst)(void* archive, const char* pattern, void* info) = nullptr;
        int (*closeArchive)(void* archive) = nullptr;
        // Optional, not one of the seven: UnlhaSetProgress.
        void (*setProgress)(int (*fn)(void*, unsigned long long, unsigned long long), void* context) = nullptr;
    };

    // Loads programFolder/libunlha32.so (RTLD_NOW | RTLD_LOCAL); never fails, see isLoaded().
    explicit UnlhaLibrary(const QString& programFolder);
    // Uses the given entries (all seven must be set to count as loaded).
    explicit UnlhaLibrary(const Entries& entries);
    ~UnlhaLibrary();
    UnlhaLibrary(const UnlhaLibrary&) = delete;
    UnlhaLibrary& operator=(const UnlhaLibrary&) = delete;

    bool isLoaded() const;
    // The port every call keeps the windows alive through unless it names its own (the
    // program's windows; null: calls run on the calling thread).
    void setKeepAlive(KeepAlivePort* port);
    // Why loading failed (file missing, dlopen message, missing entry); empty when loaded.
    QString loadError() const;
    // UnlhaGetVersion: version x 100, or 0 when not loaded.
    int version() const;
    // UnlhaGetRunning returned -1: another command is running.
    bool isBusy() const;
    // Unlha(owner, command): true exactly when it returns 0. The library's one-line report is
    // kept for lastOutput().
    bool RunUnlha(const QString& command, void* owner = nullptr, const UnlhaWait& wait = {});
    QString lastOutput() const;
    // UnlhaCheckArchive(path, 1) != 0: the archive's headers and data are sound.
    bool checkArchive(const QString& path, const UnlhaWait& wait = {}) const;
    // Opens the archive (mode 4194306), looks for member (letter case ignored), closes it.
    // False when the archive cannot be opened or has no such member.
    bool hasMember(const QString& archive, const QString& member = QStringLiteral("Backup.ini"), void* owner = nullptr,
                   const UnlhaWait& wait = {}) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Before every command: while the library is busy, asks "Unlha32.dll が使用中です。" with the
// exclamation icon and Retry / Cancel. Retry asks the library again; Cancel returns false
// without a further message. True when the library is free (or not installed: nothing runs).
bool WaitUnlhaIdle(MessagePort& messages, const UnlhaLibrary& library);

// True when path is a regular file (or a link to one): what the user gives as an archive is
// never handed to the library otherwise, since a FIFO or a device would keep it waiting.
bool isArchiveFile(const QString& path);

// The three command strings Kennel sends. Folder arguments get exactly one trailing "/".
// Add: the pet folder's own files, the item folders and, with withAttachmentFolder, the
// attachment folder, under paths relative to the pet folder.
QString unlhaAddCommand(const QString& archive, const QString& tempFolder, const QString& petFolder,
                        bool withAttachmentFolder);
// Extract "BackUp.ini" (any letter case in the archive) into tempFolder as "BackUp.ini".
QString unlhaExtractOneCommand(const QString& archive, const QString& tempFolder);
// Extract every member below target, recreating the stored folders, overwriting files.
QString unlhaExtractAllCommand(const QString& archive, const QString& target);

// "Ver.1.52 がインストールされています。" for 152; "未インストールです。" for v <= 0.
QString unlhaVersionLine(int version);
