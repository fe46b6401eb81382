#pragma once

#include "app/Context.h"

#include <QList>
#include <QStringList>

#include <chrono>
#include <deque>
#include <thread>

// Records every message box and answers questions from a script (default: Yes / OK).
class ScriptedMessages : public MessagePort {
public:
    struct Shown {
        QString caption;
        QString text;
        MsgIcon icon;
        MsgButtons buttons;
    };
    MsgAnswer show(const QString& caption, const QString& text, MsgIcon icon, MsgButtons buttons) override;

    void answer(MsgAnswer a) { answers_.push_back(a); }
    // Each message's own text, without its cause lines (from the first line that starts with a
    // path, app/Causes.h).
    QStringList texts() const;
    QStringList fullTexts() const; // as shown
    QList<Shown> shown;

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

// A main window stand-in: selector entries, owner text, busy state, gauge positions.
class RecordingView : public MainView {
public:
    RecordingView() { selector << texts::kNewPetEntry; }
    void BusyOn() override { ++busyOnCount; }
    void BusyOff() override { ++busyOffCount; }
    void setGaugePosition(int pos) override
    {
        gauge = pos;
        gaugeTrail << pos;
    }
    void delayGauge(int) override {}
    void selectorInsert(int position, const QString& name) override { selector.insert(position, name); }
    void selectorRemove(int position) override { selector.removeAt(position); }
    int selectorCount() const override { return static_cast<int>(selector.size()); }
    void setSelectorText(const QString& text) override { current = text; }
    QString selectorText() const override { return current; }
    void setOwnerText(const QString& text) override { owner = text; }
    void setDeleteEnabled(bool enabled) override { deleteEnabled = enabled; }

    QStringList selector;
    QString current = texts::kNewPetEntry;
    QString owner;
    bool deleteEnabled = true;
    int busyOnCount = 0;
    int busyOffCount = 0;
    int gauge = 0;
    QList<int> gaugeTrail; // every position set, in order
};

// Counts the waits for work on another thread; each lasts a millisecond.
class CountingKeepAlive : public KeepAlivePort {
public:
    void keepAlive(int) override
    {
        ++waits;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    int waits = 0;
};

// A Context wired to the test ports above, on a given program folder.
struct TestContext {
    explicit TestContext(const QString& programFolder);
    Context ctx;
    ScriptedMessages messages;
    ThrowingExit exit;
    RecordingView view;
    CountingKeepAlive keepAlive;
};
