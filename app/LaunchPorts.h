#pragma once

#include <QString>

// Ports used while the host runs: the system clock and the host's process. The real ones
// live in platform/; tests use fakes and never touch the machine's clock.

class ClockPort {
public:
    virtual ~ClockPort() = default;
    // Moves the system date by days (forward when positive), keeping the time of day.
    // False when the clock could not be set; lastError() then says why, in Japanese.
    virtual bool shiftDate(int days) = 0;
    virtual QString lastError() const = 0;
    // Waits ms milliseconds while the event loop keeps running (the tray menu, repaints).
    virtual void wait(int ms) = 0;
};

class ProcessPort {
public:
    virtual ~ProcessPort() = default;
    // Starts program with folder as its working folder and returns once it has ended,
    // keeping the event loop alive meanwhile. False at once when it could not be started.
    virtual bool runAndWait(const QString& program, const QString& folder) = 0;
    // True while a process started by runAndWait is running.
    virtual bool isRunning() const = 0;
};
