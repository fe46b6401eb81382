#pragma once

#include "app/Startup.h"
#include "ports/Context.h"
#include "storage/Session.h"

#include <QList>
#include <QStringList>

#include <chrono>
#include <deque>
#include <thread>

// Records every message box and answers questions from a script (default: Yes / OK, and
// Cancel to Retry / Cancel).
class ScriptedMessages : public MessagePort {
public:
    struct Shown {
        QString caption, text;
        MsgIcon icon;
        MsgButtons buttons;
    };
    void answer(MsgAnswer a) { answers_.push_back(a); }
    // Each message's own text, without its cause lines (from the first line that starts with a
    // path, app/Causes.h).
    QStringList texts() const;
    QStringList fullTexts() const; // as shown
    QList<Shown> shown;

protected:
    MsgAnswer ask(const QString& caption, const QString& text, MsgIcon icon, MsgButtons buttons) override;

private:
    std::deque<MsgAnswer> answers_;
};

// Throws ProgramEnded where the program would end.
class ThrowingExit : public ExitPort {
public:
    [[noreturn]] void endProgram(int code) override { throw ProgramEnded{code}; }
};

// Answers folder pickers from a script; an empty or missing answer is a cancel.
class ScriptedFolderPicker : public FolderPickerPort {
public:
    QString pickFolder(const QString&) override { return answers.isEmpty() ? QString() : answers.takeFirst(); }
    QStringList answers;
};

// A main window stand-in: busy state and the gauge's last position.
class RecordingView : public MainView {
public:
    void BusyOn() override { ++busyOnCount; }
    void BusyOff() override { ++busyOffCount; }
    void setGaugePosition(int pos) override { gauge = pos, gaugeTrail << pos; }
    void delayGauge(int) override {}
    int busyOnCount = 0, busyOffCount = 0, gauge = 0;
    QList<int> gaugeTrail; // every position set, in order
};

// Counts the waits for work on another thread; each lasts a millisecond.
class CountingKeepAlive : public KeepAlivePort {
public:
    void keepAlive(int) override { ++waits, std::this_thread::sleep_for(std::chrono::milliseconds(1)); }
    int waits = 0;
};

// The main window as start-up sees it, with dialogs that register nothing.
struct QuietStartupWindow : StartupWindow {
    void showPets() override {}
    void showConfigForm() override {}
    bool showNewForm(Steps) override { return false; }
    bool showInitializeForm(Steps) override { return false; }
    void showConvertForm(Steps) override {}
};

// A Context wired to the doubles above, and a session on a given program folder.
struct TestContext {
    explicit TestContext(const QString& programFolder);
    ScriptedMessages messages;
    ThrowingExit exit;
    RecordingView view;
    ScriptedFolderPicker picker;
    CountingKeepAlive keepAlive;
    Context ctx;
    Session session;
};
