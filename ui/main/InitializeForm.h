#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct Context;

// "Kennel 2001 - 新規登録": registers the pet the host already holds as pet 0 on a first run.
// It has no cancel button; closing it without a registration ends the program (done by
// showInitializeForm once the dialog has closed).
class InitializeForm : public QDialog {
    Q_OBJECT
public:
    explicit InitializeForm(Context& ctx, QWidget* parent = nullptr);

public slots:
    void BtnOK_Click();

private:
    Context& ctx_;
    QLabel* LblInit = nullptr;
    QGroupBox* FrmNewPet = nullptr;
    QLineEdit* TxtNewPet = nullptr;
    QGroupBox* FrmNewMaster = nullptr;
    QLineEdit* TxtNewMaster = nullptr;
    QLabel* LblCaution = nullptr;
    QLabel* ImgCaution = nullptr;
    QPushButton* BtnOK = nullptr;
};
