#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct Context;

// "Kennel 2001 - 新規ペット登録": registers a new pet. On a first run without a pet in the host,
// the host's data becomes the new pet's; otherwise the new pet starts from the template.
// ctx.NewPetRegistered tells the caller whether a pet was registered.
class NewForm : public QDialog {
    Q_OBJECT
public:
    explicit NewForm(Context& ctx, QWidget* parent = nullptr);

public slots:
    void BtnNewPet_Click();
    void BtnNewNO_Click();

private:
    Context& ctx_;
    QGroupBox* FrmNewPet = nullptr;
    QLineEdit* TxtNewPet = nullptr;
    QGroupBox* FrmNewMaster = nullptr;
    QLineEdit* TxtNewMaster = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* ImgCaution = nullptr;
    QPushButton* BtnNewPet = nullptr;
    QPushButton* BtnNewNO = nullptr;
};
