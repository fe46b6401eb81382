#pragma once

#include "ports/Messages.h"
#include "ports/Ports.h"

// A port that is always there: made from a reference, so it is never null.
template <class T>
class Port {
public:
    Port(T& port) : port_(&port) {}
    T* operator->() const { return port_; }
    T& operator*() const { return *port_; }

private:
    T* port_;
};

// What one run of Kennel shares: the ports to the user and the system, and the gauge's
// position. main() puts the real ports in, tests their doubles. A Context starts with null
// objects (no answers, no display, no window, the host never starts), which stay where a
// platform has none, so no caller checks for a port.
struct Context {
    Context();

    Port<MessagePort> messages;
    Port<ExitPort> exit;
    Port<MainView> view;
    Port<CopyProgressPort> copyProgress;
    Port<FolderPickerPort> folderPicker;
    Port<WindowPort> windows;
    Port<ClockPort> clock;
    Port<ProcessPort> process;

    int gaugePos = 0; // GaugePos, 0 to 100

    // Shows the critical message and ends the program.
    [[noreturn]] void fatal(const QString& text);
    // Ends the program at once, after a file error box that is still waiting.
    [[noreturn]] void endProgram(int code);
    // Puts the null view back when view is the one in place (a main window that goes).
    void releaseView(const MainView& view);
};
