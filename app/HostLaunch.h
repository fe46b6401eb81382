#pragma once

#include <QString>

class Session;
struct Context;

// Starting the host, waiting in the tray while it runs, and the tray command that brings the
// pet home by moving the host's date one day forward for a few seconds.

namespace texts {
inline const QString kHostTitle = QStringLiteral("Mewmail for Windows ver. 2.0");
inline const QString kReceivingTitle = QStringLiteral("メールを受信中");
} // namespace texts

// The program's windows while the host runs: hidden, with the tray icon (or the TaskTray
// window where the desktop has no tray) in their place; shown again when the host could not
// run.
class LaunchView {
public:
    virtual ~LaunchView() = default;
    virtual void hideAllWindows() = 0;
    virtual void TrayAdd() = 0;
    virtual void TrayRemove() = 0;
    virtual void restoreWindows() = 0;
};

// The host's runs, and the date it sees, for the life of the program.
class HostLauncher {
public:
    explicit HostLauncher(Session& session);

    // LaunchHost: with the host's executable in place, hides the windows, shows the tray,
    // runs the host and waits for its end, removes the tray, puts a shifted date back and ends
    // the program. Returns when the executable is missing or the host could not be started
    // (after the message, with the windows back), and nothing was stored or changed.
    void LaunchHost(LaunchView& view);

    // The bring-home command of the tray.
    void MnuTrayReturn_Click();

    // DateShifted: the host's date stands one day ahead.
    bool dateShifted() const { return dateShifted_; }

private:
    Session& session_;
    Context& ctx_;
    bool dateShifted_ = false;
    bool trayCommandRunning_ = false; // the bring-home command is under way
    bool hostWindowSeen_ = false;     // the host's window showed during this run
};

inline const QString kMsgHostMissing = QStringLiteral("ミューメール本体がありません。");
inline const QString kMsgHostNotStarted = QStringLiteral("ミューメールを起動できませんでした。");
inline const QString kMsgHostEndedAtOnce =
    QStringLiteral("ミューメールがウィンドウを開く前に終了しました（終了コード %1）。");
inline const QString kMsgHostWindowMissing =
    QStringLiteral("ミューメールのウィンドウが見つからないため、ペットを強制帰宅させることができません。");
inline const QString kMsgDateNotShifted =
    QStringLiteral("日付を変更できないため、ペットを強制帰宅させることができません。");
inline const QString kMsgDateNotRestored = QStringLiteral("日付を元に戻せませんでした。");
