#pragma once

#include "ports/Gauge.h"
#include "storage/Session.h"
#include "storage/Upgrade.h"

#include <QDialog>

#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Kennel 2001 - 設定更新": names for the version 1.0 mailboxes, then the conversion.
// Modal; closing it before the conversion has completed ends the program, so that
// nothing half-done can follow and the next start offers the upgrade again. Handlers are
// public slots so that tests drive them directly.
class ConvertForm : public QDialog {
    Q_OBJECT

public:
    // steps: the gauge points of each step of the conversion; sharingSettings runs the
    // sharing settings dialog, which sets the five flags only.
    ConvertForm(Session& session, Steps steps, std::function<void()> sharingSettings, QWidget* parent = nullptr);

    const MailboxPlan& plan() const { return plan_; }
    // Tests put a failing rename here.
    void setFolderRename(FolderRename rename) { rename_ = std::move(rename); }

public slots:
    void Form_Load();
    void BtnOK_Click();
    void Form_Unload();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Esc: as the close box

private:
    void buildControls();
    void enableRow(int k, bool enabled);

    Session& session_;
    Steps steps_;
    std::function<void()> sharingSettings_;
    MailboxPlan plan_;
    FolderRename rename_ = renameFolderNoReplace;

    QLabel* LblConvert = nullptr;
    QLabel* LblCaution1 = nullptr;
    QLabel* LblCaution2 = nullptr;
    QLabel* ImgCaution = nullptr;
    QGroupBox* FrmOld[3] = {};
    QGroupBox* FrmNewPet[3] = {};
    QLineEdit* TxtNewPet[3] = {};
    QGroupBox* FrmNewMaster[3] = {};
    QLineEdit* TxtNewMaster[3] = {};
    QPushButton* BtnOK = nullptr;
};
