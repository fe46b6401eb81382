#pragma once

#include "ports/Context.h"
#include "app/Startup.h"
#include "ui/controls/CProgBar32.h"

#include <QMainWindow>
#include <QPointer>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;

// The main window: pet selector, owner box, command buttons, menus, busy lamp and gauge.
// Controls carry their names as objectName. It is the core's MainView and opens the
// dialogs start-up needs.
class MainForm : public QMainWindow, public MainView, public StartupDialogs {
    Q_OBJECT

public:
    // lock: the host folder's single-instance lock as main() found it.
    MainForm(Context& ctx, InstanceLock lock, QWidget* parent = nullptr);
    // instanceLockHeld: false when another Kennel runs from this folder.
    MainForm(Context& ctx, bool instanceLockHeld, QWidget* parent = nullptr)
        : MainForm(ctx, instanceLockHeld ? InstanceLock::Held : InstanceLock::HeldElsewhere, parent)
    {
    }
    ~MainForm() override;

    Context& ctx() { return ctx_; }

    // Form_Load: refusals, gauge, selector, library version, busy state, start-up timer.
    // Call once after construction; shows the window.
    void Form_Load();
    // Hides the main window and every other window of the program (host launch), and shows
    // them again when the host could not run.
    void hideAllWindows();
    void restoreWindows();

    // MainView
    void BusyOn() override;
    void BusyOff() override;
    void setGaugePosition(int pos) override;
    void delayGauge(int ms) override;
    void selectorInsert(int position, const QString& name) override;
    void selectorRemove(int position) override;
    int selectorCount() const override;
    void setSelectorText(const QString& text) override;
    QString selectorText() const override;
    void setOwnerText(const QString& text) override;
    void setDeleteEnabled(bool enabled) override;

    // StartupDialogs
    void showConfigForm() override;
    bool showNewForm() override;
    void showInitializeForm() override;
    void showConvertForm() override;
    void launchHost() override;

    // The version line shown by the library information box.
    QString unlhaVersionText() const { return unlhaVersionText_; }

public slots:
    void CmbPetSel_Click();
    void BtnLaunch_Click();
    void BtnDelete_Click();
    void BtnBackUp_Click();
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

    Context& ctx_;
    InstanceLock instanceLock_;
    CProgBar32 progBar_;
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
