#pragma once

#include "ports/Gauge.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Session;

// "Kennel 2001 - 新規ペット登録": registers a new pet. On a first run without a pet in the host,
// the host's data becomes the new pet's; otherwise the new pet starts from the template.
// The dialog is accepted once a pet is registered.
class NewForm : public QDialog {
    Q_OBJECT
public:
    // steps: the gauge points of each step of the registration's storage work.
    NewForm(Session& session, Steps steps, QWidget* parent = nullptr);

public slots:
    void BtnNewPet_Click();
    void BtnNewNO_Click();

private:
    Session& session_;
    Steps steps_;
    QGroupBox* FrmNewPet = nullptr;
    QLineEdit* TxtNewPet = nullptr;
    QGroupBox* FrmNewMaster = nullptr;
    QLineEdit* TxtNewMaster = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* ImgCaution = nullptr;
    QPushButton* BtnNewPet = nullptr;
    QPushButton* BtnNewNO = nullptr;
};
