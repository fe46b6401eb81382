#pragma once

#include "app/LaunchPorts.h"

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QSystemTrayIcon;
struct Context;

// Starting the host, waiting in the tray while it runs, and the tray command that brings
// the pet home by moving the system date one day forward for a few seconds.

// The clock and the process runner the launch uses. Null members mean the real ones.
struct LaunchServices {
    ClockPort* clock = nullptr;
    ProcessPort* process = nullptr;
    bool trayCommandRunning = false; // the bring-home command is under way

    ClockPort& clockPort();
    ProcessPort& processPort();
};

// The services of the main window's commands. main() leaves them at the real ones; tests
// put fakes in.
LaunchServices& launchServices();

// The tray icon with its menu MnuTray ("ﾍﾟｯﾄを強制帰宅"). The icon shows only where the
// desktop has a tray; the menu exists either way.
class HostTray : public QObject {
    Q_OBJECT
public:
    HostTray(Context& ctx, LaunchServices& services, QObject* parent = nullptr);
    ~HostTray() override;

    void TrayAdd();
    void TrayRemove();
    bool iconShown() const;

    QMenu* MnuTray = nullptr;
    QAction* MnuTrayReturn = nullptr;

private:
    Context& ctx_;
    LaunchServices& services_;
    QSystemTrayIcon* icon_ = nullptr;
};

// LaunchHost: with the host's executable in place, shows the tray icon, hides the windows
// (hideWindows), runs the host and waits for its end, removes the icon, puts a shifted date
// back and ends the program. Returns only when the executable is missing (after the message).
void LaunchHost(Context& ctx, LaunchServices& services, const std::function<void()>& hideWindows);

// The bring-home command of the tray menu.
void MnuTrayReturn_Click(Context& ctx, LaunchServices& services);

inline const QString kMsgHostMissing = QStringLiteral("ミューメール本体がありません。");
inline const QString kMsgHostWindowMissing =
    QStringLiteral("ミューメールのウィンドウが見つからないため、ペットを強制帰宅させることができません。");
inline const QString kMsgDateNotShifted =
    QStringLiteral("システムの日付を変更できないため、ペットを強制帰宅させることができません。");
inline const QString kMsgDateNotRestored =
    QStringLiteral("システムの日付を元に戻せませんでした。お手数ですが、日付を手動で1日戻してください。");
inline const QString kTrayTip = QStringLiteral("Kennel 2001");
