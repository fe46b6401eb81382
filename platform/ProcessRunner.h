#pragma once

#include "ports/Ports.h"

#include <QPointer>

class QProcess;

// Starts the host as a child process (a Windows program through Wine, see HostCommand.h) and
// waits for its end in a local event loop: the thread sleeps until the child ends or an event
// (tray menu, timer) needs handling.
class ProcessRunner : public ProcessPort {
public:
    HostRun runAndWait(const QString& program, const QString& folder, const QStringList& environment) override;
    bool isRunning() const override;
    QString whyNotStartable(const QString& program) const override;

private:
    QPointer<QProcess> process_;
};
