#pragma once

#include <QString>

// Small interfaces through which the widget-free core talks to the user and the system.
// The real implementations live in platform/ and ui/; tests script them.

enum class MsgIcon { Critical, Exclamation, Question, Information };
enum class MsgButtons { Ok, YesNo, OkCancel, RetryCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry };

// Message boxes. The caption is "Kennel 2001" unless a window names another.
class MessagePort {
public:
    virtual ~MessagePort() = default;
    virtual MsgAnswer show(const QString& caption, const QString& text, MsgIcon icon,
                           MsgButtons buttons) = 0;
};

// Ends the program at once, without saving or moving anything more. Never returns
// (test implementations throw ProgramEnded instead).
class ExitPort {
public:
    virtual ~ExitPort() = default;
    [[noreturn]] virtual void endProgram(int code) = 0;
};

// The main window as the core sees it: busy state, gauge bar, pet selector and owner box.
class MainView {
public:
    virtual ~MainView() = default;
    virtual void BusyOn() = 0;
    virtual void BusyOff() = 0;
    // Gauge bar: show a position 0..100; wait ms milliseconds keeping the window responsive.
    virtual void setGaugePosition(int pos) = 0;
    virtual void delayGauge(int ms) = 0;
    // Pet selector: entry 0 is "新規ペット", entry k is the pet of index k - 1.
    virtual void selectorInsert(int position, const QString& name) = 0;
    virtual void selectorRemove(int position) = 0;
    virtual int selectorCount() const = 0;
    // Select the entry with this text without starting a pet switch (SuppressPetSel is raised
    // by the caller where the program's own selection must not switch pets).
    virtual void setSelectorText(const QString& text) = 0;
    virtual QString selectorText() const = 0;
    virtual void setOwnerText(const QString& text) = 0;
    virtual void setDeleteEnabled(bool enabled) = 0;
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

// Thrown by test exit ports so that a test sees where the program would have ended.
struct ProgramEnded {
    int code;
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

// The modal dialogs start-up and the registry reader open, and the host start that follows
// a first registration. The main window implements it.
class StartupDialogs {
public:
    virtual ~StartupDialogs() = default;
    virtual void showConfigForm() = 0;
    virtual bool showNewForm() = 0;  // true when a pet was registered
    virtual void showInitializeForm() = 0;
    virtual void showConvertForm() = 0;
    virtual void launchHost() = 0;
};

// Keeps the windows alive while work runs on another thread: for about ms milliseconds the
// windows repaint and timers run, while the user's input (clicks, keys, close requests) waits
// until the work has ended, so no command can start in between.
class KeepAlivePort {
public:
    virtual ~KeepAlivePort() = default;
    virtual void keepAlive(int ms) = 0;
};
