#pragma once

#include "ports/Gauge.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Session;

// "Kennel 2001 - 新規登録": registers the pet the host already holds as pet 0 on a first run.
// It has no cancel button; closing it without a registration ends the program (start-up
// does that once the dialog has closed).
class InitializeForm : public QDialog {
    Q_OBJECT
public:
    // steps: the gauge points of each step of writing Kennel.ini.
    InitializeForm(Session& session, Steps steps, QWidget* parent = nullptr);

public slots:
    void BtnOK_Click();

private:
    Session& session_;
    Steps steps_;
    QLabel* LblInit = nullptr;
    QGroupBox* FrmNewPet = nullptr;
    QLineEdit* TxtNewPet = nullptr;
    QGroupBox* FrmNewMaster = nullptr;
    QLineEdit* TxtNewMaster = nullptr;
    QLabel* LblCaution = nullptr;
    QLabel* ImgCaution = nullptr;
    QPushButton* BtnOK = nullptr;
};
