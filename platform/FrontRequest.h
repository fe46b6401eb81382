#pragma once

#include "ports/Ports.h"

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QWidget;

// A second start of Kennel in a host folder asks the Kennel running there to bring its window
// to the front. The channel is a local socket in the abstract namespace, named after the user
// and the host folder's device and inode (the folder the instance lock is taken on), so it
// leaves no file behind and a crash needs no clean-up. A connection is the whole request.
class FrontRequests : public QObject {
public:
    // Listens for the later starts in programFolder; each calls onRequest.
    FrontRequests(const QString& programFolder, std::function<void()> onRequest);

private:
    QLocalServer* server_;
};

// Asks the Kennel running in programFolder to come to the front; false when none listens.
bool askToComeToFront(const QString& programFolder);

// Raises and activates window, or the modal dialog above it. A hidden window (the host runs;
// the tray or the TaskTray window stands for Kennel then) stays hidden.
void bringToFront(QWidget* window);

// The exit of a second start: first the running Kennel is asked to come to the front, so that
// it is what the user sees once the message is answered.
class FrontThenExit : public ExitPort {
public:
    FrontThenExit(ExitPort& next, QString programFolder) : next_(next), folder_(std::move(programFolder)) {}
    [[noreturn]] void endProgram(int code) override;

private:
    ExitPort& next_;
    QString folder_;
};
