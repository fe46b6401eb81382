#pragma once

#include "ports/LaunchPorts.h"

#include <QString>

#include <functional>

struct Context;

// Starting the host, waiting in the tray while it runs, and the tray command that brings
// the pet home by moving the host's date one day forward for a few seconds.

// The clock and the process runner the launch uses. Null members mean the real ones.
struct LaunchServices {
    ClockPort* clock = nullptr;
    ProcessPort* process = nullptr;
    bool trayCommandRunning = false; // the bring-home command is under way
    bool hostWindowSeen = false;     // the host's window showed during this run

    ClockPort& clockPort();
    ProcessPort& processPort();
};

// The services of the main window's commands. main() leaves them at the real ones; tests
// put fakes in.
LaunchServices& launchServices();

// The program's windows: hidden while the host runs, shown again when it could not run.
struct LaunchWindows {
    std::function<void()> hide;
    std::function<void()> restore;
};

// LaunchHost: with the host's executable in place, hides the windows, shows the tray icon,
// runs the host and waits for its end, removes the icon, puts a shifted date back and ends
// the program. Returns when the executable is missing or the host could not be started
// (after the message, with the windows back), and nothing was stored or changed.
void LaunchHost(Context& ctx, LaunchServices& services, const LaunchWindows& windows);

// The bring-home command of the tray menu.
void MnuTrayReturn_Click(Context& ctx, LaunchServices& services);

inline const QString kMsgHostMissing = QStringLiteral("ミューメール本体がありません。");
inline const QString kMsgHostNotStarted = QStringLiteral("ミューメールを起動できませんでした。");
inline const QString kMsgHostEndedAtOnce =
    QStringLiteral("ミューメールがウィンドウを開く前に終了しました（終了コード %1）。");
inline const QString kMsgHostWindowMissing =
    QStringLiteral("ミューメールのウィンドウが見つからないため、ペットを強制帰宅させることができません。");
inline const QString kMsgDateNotShifted =
    QStringLiteral("日付を変更できないため、ペットを強制帰宅させることができません。");
inline const QString kMsgDateNotRestored = QStringLiteral("日付を元に戻せませんでした。");
