#pragma once

#include "app/LaunchPorts.h"

#include <QPointer>

class QProcess;

// Starts a program as a child process and waits for its end in a local event loop: the
// thread sleeps until the child ends or an event (tray menu, timer) needs handling.
class ProcessRunner : public ProcessPort {
public:
    bool runAndWait(const QString& program, const QString& folder) override;
    bool isRunning() const override;

private:
    QPointer<QProcess> process_;
};
