#pragma once

#include <QString>
#include <QStringList>

// Small interfaces through which the widget-free code reaches the program's windows and the
// system. The real implementations live in platform/ and ui/, null objects in NullPorts.h,
// and the tests' doubles in tests/support.

// Ends the program at once, without saving or moving anything more. Never returns (the
// tests' implementation throws ProgramEnded instead).
class ExitPort {
public:
    virtual ~ExitPort() = default;
    [[noreturn]] virtual void endProgram(int code) = 0;
};

// Thrown by the tests' exit port, so that a test sees where the program would have ended.
struct ProgramEnded {
    int code;
};

// The main window's busy lamp and gauge bar, as the long operations drive them.
class MainView {
public:
    virtual ~MainView() = default;
    // The busy state: every command disabled, the window refuses to close.
    virtual void BusyOn() = 0;
    virtual void BusyOff() = 0;
    // Shows a gauge position, 0 to 100.
    virtual void setGaugePosition(int pos) = 0;
    // Waits ms milliseconds, keeping the windows answering.
    virtual void delayGauge(int ms) = 0;
};

// Progress window for long copies; shown by the real implementation after a moment.
class CopyProgressPort {
public:
    virtual ~CopyProgressPort() = default;
    virtual void copyStarted(qint64 totalBytes) = 0;
    virtual void copyAdvanced(qint64 doneBytes) = 0;
    virtual void copyFinished() = 0;
};

// Folder picker: the chosen folder, or an empty text when cancelled.
class FolderPickerPort {
public:
    virtual ~FolderPickerPort() = default;
    virtual QString pickFolder(const QString& title) = 0;
};

// Top-level windows of the desktop, found by their exact title. Without a display no
// window exists and nothing can be activated.
class WindowPort {
public:
    virtual ~WindowPort() = default;
    virtual bool windowExists(const QString& title) = 0;
    virtual bool activateWindow(const QString& title) = 0;
    // Sends Alt+F, then M, to the active window and waits until they are processed.
    virtual bool sendAltFThenM() = 0;
};

// The date the host sees. The tests' clock never touches the machine's.
class ClockPort {
public:
    virtual ~ClockPort() = default;
    // Moves the host's date by days (forward when positive), keeping the time of day.
    // False when it could not be moved; lastError() then says why, in Japanese.
    virtual bool shiftDate(int days) = 0;
    virtual QString lastError() const = 0;
    // Waits ms milliseconds while the event loop keeps running (the tray menu, repaints).
    virtual void wait(int ms) = 0;
    // Environment entries ("NAME=value") the host must be started with to see this date.
    virtual QStringList hostEnvironment() { return {}; }
    // The host has ended: what it was started with can go.
    virtual void hostEnded() {}
};

// What became of a host's run.
struct HostRun {
    bool started = false; // false: it could not be started, and error says why in Japanese
    int exitCode = 0;     // once it has ended; a crash counts as -1
    QString error;
};

// The host's process.
class ProcessPort {
public:
    virtual ~ProcessPort() = default;
    // Starts the host's file (a Windows program through Wine) with folder as its working
    // folder and environment added to ours, and returns once it has ended, keeping the
    // event loop alive meanwhile; at once when it could not be started.
    virtual HostRun runAndWait(const QString& program, const QString& folder, const QStringList& environment) = 0;
    // True while a process started by runAndWait is running.
    virtual bool isRunning() const = 0;
    // Why program could not be started (in Japanese), as far as can be told without starting it.
    virtual QString whyNotStartable(const QString& program) const = 0;
};

// The host folder's single-instance lock (platform/InstanceLock.h), as start-up finds it.
enum class InstanceLock { Held, HeldElsewhere, Failed };

// Keeps the windows alive while work runs on another thread: for about ms milliseconds the
// windows repaint and timers run, while the user's input (clicks, keys, close requests) waits
// until the work has ended, so no command can start in between.
class KeepAlivePort {
public:
    virtual ~KeepAlivePort() = default;
    virtual void keepAlive(int ms) = 0;
};
