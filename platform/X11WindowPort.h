#pragma once

#include "ports/Ports.h"

#include <QByteArray>
#include <QString>

#include <vector>

struct _XDisplay;

// Top-level windows of an X11 desktop, found by their exact title.
//
// The title is the EWMH _NET_WM_NAME (UTF-8), or WM_NAME where a window has none. Windows
// come from the window manager's _NET_CLIENT_LIST; without a window manager that keeps one,
// the mapped children of the root window (and the clients inside their frames) are searched.
// The display is opened at the first call; with no display, or one that cannot be opened, no
// window exists and nothing can be activated.
class X11WindowPort : public WindowPort {
public:
    // displayName: as for XOpenDisplay; empty means $DISPLAY.
    explicit X11WindowPort(QByteArray displayName = {});
    ~X11WindowPort() override;
    X11WindowPort(const X11WindowPort&) = delete;
    X11WindowPort& operator=(const X11WindowPort&) = delete;

    bool windowExists(const QString& title) override;
    // Asks the window manager to activate the window (or raises it and gives it the focus
    // when there is none), then waits a little for the focus to arrive.
    bool activateWindow(const QString& title) override;
    // Alt+F, then M, by XTest; returns once the server has delivered them.
    bool sendAltFThenM() override;

    // The first window with this exact title, or 0.
    unsigned long findWindow(const QString& title);
    // Titles of every window searched (diagnostics and tests).
    std::vector<QString> titles();
    bool hasDisplay();

private:
    bool open();
    std::vector<unsigned long> topLevelWindows();
    QString windowTitle(unsigned long window);
    bool focusIsOn(unsigned long window);
    bool sendKey(unsigned long keysym, unsigned long modifierKeysym);

    QByteArray displayName_;
    _XDisplay* display_ = nullptr;
    bool triedOpen_ = false;
};
