#pragma once

#include "backup/Restore.h"

#include <QDialog>
#include <QPixmap>

class Session;
class UnlhaLibrary;
class QLabel;
class QLineEdit;
class QPushButton;

// "Kennel 2001 - リストアするペットの登録": the backup's data lies in the new pet's folder
// while this dialog is open; registering keeps it, every other way of closing removes it.
class RestoreForm : public QDialog {
    Q_OBJECT

public:
    RestoreForm(Session& session, UnlhaLibrary& library, RestoreSource source, QWidget* parent = nullptr);
    ~RestoreForm() override;

    // Form_Load: proposes the names and puts the data in place. False when the restore was
    // refused (its message shown, nothing staged): the dialog is not to be shown then.
    bool Form_Load();

    // The marks of the six rows (true: "ファイルあり"); for the dialog's own use and tests.
    bool rowPresent(int row) const;
    const RestoreSession& restoring() const { return restore_; }

    static QPixmap presentMark();
    static QPixmap absentMark();

public slots:
    void BtnNewPet_Click();
    void BtnNewNO_Click();
    void done(int result) override;  // Form_Unload runs on every close

private:
    void buildControls();

    RestoreSession restore_;
    QLabel* ImgExist[kPresenceRows] = {};
    QLabel* LblExist[kPresenceRows] = {};
    QLineEdit* TxtNewPet = nullptr;
    QLineEdit* TxtNewMaster = nullptr;
    QPushButton* BtnNewPet = nullptr;
    QPushButton* BtnNewNO = nullptr;
};
