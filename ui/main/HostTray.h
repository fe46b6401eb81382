#pragma once

#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;
class HostLauncher;

// What stays of Kennel on screen while the host runs: the tray icon with its menu MnuTray
// ("ﾍﾟｯﾄを強制帰宅") where the desktop has a tray, else the window "Kennel 2001 - TaskTray"
// (IconForm) holding the same command, so that it can always be reached.
class HostTray : public QObject {
    Q_OBJECT
public:
    explicit HostTray(HostLauncher& launcher, QObject* parent = nullptr);
    ~HostTray() override;

    void TrayAdd();
    void TrayRemove();
    bool iconShown() const;

    QMenu* MnuTray = nullptr;
    QAction* MnuTrayReturn = nullptr;
    QWidget* IconForm = nullptr; // the TaskTray window, while shown

private:
    HostLauncher& launcher_;
    QSystemTrayIcon* icon_ = nullptr;
};

inline const QString kTrayTip = QStringLiteral("Kennel 2001");
inline const QString kTaskTrayCaption = QStringLiteral("Kennel 2001 - TaskTray");
