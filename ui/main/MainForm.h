#pragma once

#include "app/HostLaunch.h"
#include "app/Startup.h"
#include "ports/Context.h"
#include "ui/controls/CProgBar32.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <optional>

class HostTray;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;
class Session;
class UnlhaLibrary;

namespace texts {
// The answer to closing the program while files are being processed.
inline const QString kMsgFileProcessing = QStringLiteral("ファイル処理中です。しばらくしてから終了してください。");
} // namespace texts

// The main window: pet selector, owner box, command buttons, menus, busy lamp and gauge.
// Controls carry their names as objectName. It is the core's MainView while it exists, the
// start-up's window, and what the host's launch hides and brings back; it opens every dialog.
class MainForm : public QMainWindow, public MainView, public StartupWindow, public LaunchView {
    Q_OBJECT

public:
    // lock: the host folder's single-instance lock as main() found it.
    MainForm(Session& session, UnlhaLibrary& library, InstanceLock lock, QWidget* parent = nullptr);
    ~MainForm() override;

    // Form_Load: refusals, gauge, selector, library version, busy state, start-up timer.
    // Call once after construction; shows the window.
    void Form_Load();

    // True between BusyOn and BusyOff (the file-processing flag): the window refuses to close.
    bool isBusy() const { return busy_; }
    HostLauncher& launcher() { return launcher_; }
    // The version line shown by the library information box.
    QString unlhaVersionText() const { return unlhaVersionText_; }

    // MainView
    void BusyOn() override;
    void BusyOff() override;
    void setGaugePosition(int pos) override;
    void delayGauge(int ms) override;

    // StartupWindow
    void showPets() override;
    void showConfigForm() override;
    bool showNewForm(Steps steps) override;
    bool showInitializeForm(Steps steps) override;
    void showConvertForm(Steps steps) override;

    // LaunchView: the main window and every other window of the program.
    void hideAllWindows() override;
    void TrayAdd() override;
    void TrayRemove() override;
    void restoreWindows() override;

public slots:
    void CmbPetSel_Click();
    void BtnLaunch_Click();
    void BtnDelete_Click();
    void BtnBackup_Click();
    void BtnConfig_Click();
    void BtnOyatsu_Click();
    void BtnExit_Click();
    void MnuPetNew_Click();
    void MnuPetBackUp_Click(int index);
    void MnuHelpAbout_Click();
    void MnuHelpUnlha_Click();
    void ImgLogo_DblClick();
    void OpenTimer_Timer();

protected:
    void closeEvent(QCloseEvent* event) override; // Form_Unload: the close guard
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void setCommandsEnabled(bool enabled);
    void setDeleteEnabled(bool enabled);
    void showBackUpForm(int tab);

    Context& ctx_;
    Session& session_;
    UnlhaLibrary& library_;
    InstanceLock instanceLock_;
    HostLauncher launcher_;
    CProgBar32 progBar_;
    bool busy_ = false;
    std::optional<BusyScope> startup_; // from Form_Load to the end of the start-up check
    std::unique_ptr<HostTray> tray_;   // while the host runs
    QString unlhaVersionText_;
    QList<QPointer<QWidget>> hidden_; // by hideAllWindows

    QGroupBox* FrmPetSel = nullptr;
    QComboBox* CmbPetSel = nullptr;
    QLabel* LblMaster = nullptr;
    QLineEdit* TxtMaster = nullptr;
    QToolButton* BtnLaunch = nullptr;
    QToolButton* BtnDelete = nullptr;
    QToolButton* BtnBackUp = nullptr;
    QToolButton* BtnConfig = nullptr;
    QToolButton* BtnOyatsu = nullptr;
    QToolButton* BtnExit = nullptr;
    QLabel* ImgBusy = nullptr;
    QLabel* PicBusy[2] = {nullptr, nullptr}; // 0 busy, 1 idle
    QWidget* PicProgress = nullptr;
    QLabel* ImgLogo = nullptr;
    QTimer* OpenTimer = nullptr;

    QAction* MnuFileLaunch = nullptr;
    QAction* MnuFileImport = nullptr;
    QAction* MnuFileExit = nullptr;
    QAction* MnuPetNew = nullptr;
    QAction* MnuPetDel = nullptr;
    QAction* MnuPetBackUp[2] = {nullptr, nullptr};
    QAction* MnuSetConfig = nullptr;
    QAction* MnuHelpAbout = nullptr;
    QAction* MnuHelpUnlha = nullptr;
};
