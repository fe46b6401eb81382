#pragma once

#include "backup/RestoreSource.h"

#include <QDialog>

#include <functional>

class Session;
class UnlhaLibrary;
class cTabStrip;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class RestoreForm;

// "Kennel 2001 - ペットのバックアップ＆リストア": a backup page and a restore page on a tab
// strip. Controls carry their names as objectName ("LblPath_0", "BtnRefer_1", ...); the
// handlers are public slots so that tests can call them after show().
class BackUpForm : public QDialog {
    Q_OBJECT

public:
    // Runs the restore dialog modally; tests replace it to drive the dialog themselves.
    using RestoreRunner = std::function<void(RestoreForm& form)>;
    static void setRestoreRunner(RestoreRunner runner);

    // tab: 1 opens on the backup page, 2 on the restore page.
    BackUpForm(Session& session, UnlhaLibrary& library, int tab, QWidget* parent = nullptr);
    ~BackUpForm() override;

    // Form_Load: tabs and pages, the pet list, the library switch.
    void Form_Load();

    // What the restore dialog takes from the restore page.
    RestoreSource chosenSource() const;

    cTabStrip& tabStrip() { return *clsTabStrip; }

public slots:
    void clsTabStrip_Click();
    void BtnRefer_Click(int index);
    void BtnBackup_Click();
    void BtnCancel_Click(int index);
    void OptRestore_Click(int index);
    void BtnReferFile_Click();
    void TxtRestoreFile_Change();
    void BtnReload_Click();
    void BtnRestore_Click();

private:
    void buildControls();
    void layoutPages();
    void clearInfo();
    void setBackground(QWidget* w, bool windowColour);

    Session& session_;
    UnlhaLibrary& library_;
    int tab_;
    cTabStrip* clsTabStrip = nullptr;

    QWidget* PicTab = nullptr;
    QFrame* FrmTabSheet[2] = {nullptr, nullptr};
    // backup page
    QComboBox* CmbPetSel = nullptr;
    QLabel* LblPath[2] = {nullptr, nullptr};
    QPushButton* BtnRefer[2] = {nullptr, nullptr};
    QCheckBox* ChkLha = nullptr;
    QPushButton* BtnBackup = nullptr;
    QPushButton* BtnCancel[2] = {nullptr, nullptr};
    // restore page
    QRadioButton* OptRestore[2] = {nullptr, nullptr};
    QLineEdit* TxtRestoreFile = nullptr;
    QPushButton* BtnReferFile = nullptr;
    QLabel* LblRInfo[3] = {nullptr, nullptr, nullptr};
    QPushButton* BtnReload = nullptr;
    QPushButton* BtnRestore = nullptr;
};
