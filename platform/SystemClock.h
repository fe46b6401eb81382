#pragma once

#include "ports/Ports.h"

// The machine's real-time clock, where libfaketime is missing (HostClock.h). Setting it needs
// the right to set the clock (CAP_SYS_TIME); without it shiftDate fails and says so. Never
// used by tests.
class SystemClock : public ClockPort {
public:
    bool shiftDate(int days) override;
    QString lastError() const override { return lastError_; }
    void wait(int ms) override;

private:
    QString lastError_;
};

// Waits ms milliseconds in a local event loop: no busy waiting, timers and menus keep working.
void waitWithEvents(int ms);
