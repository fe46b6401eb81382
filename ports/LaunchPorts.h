#pragma once

#include <QString>
#include <QStringList>

// Ports used while the host runs: the date the host sees and the host's process. The real
// ones live in platform/; tests use fakes and never touch the machine's clock.

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
