#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The archiver library information box: the version line found at start-up, a rights notice,
// and BtnClose, which hides the box. The main window shows it modeless.
class UnlhaVerForm : public QDialog {
    Q_OBJECT
public:
    explicit UnlhaVerForm(const QString& versionLine, QWidget* parent = nullptr);

    QLabel* LblUnlhaVer = nullptr;
    QPushButton* BtnClose = nullptr;

private:
    void BtnClose_Click();
};
