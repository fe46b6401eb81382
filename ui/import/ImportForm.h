#pragma once

#include <QDialog>

class Session;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;

// The snack import dialog, modeless beside the main window. Controls carry their names as
// objectName; the handlers are public slots so that tests drive them directly.
class ImportForm : public QDialog {
    Q_OBJECT

public:
    explicit ImportForm(Session& session, QWidget* parent = nullptr);

    // The chosen source folder (LblPath), and the selected file names in list order.
    QString sourceFolder() const;
    QStringList selectedFiles() const;

public slots:
    void Form_Load();
    void BtnRefer_Click();
    void FileOyatsu_Click();
    void BtnAll_Click();
    void BtnNoSel_Click();
    void ChkAll_Click();
    void BtnImport_Click();
    void BtnCancel_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void reject() override; // Esc: as the close box

private:
    void buildControls();
    void fillFileList(const QString& folder);
    // Brings the pet list and the sharing rule up to date with the pet table, which the
    // main window may have changed while this dialog stayed open.
    void refreshTargets();

    Session& session_;
    bool running_ = false;

    QGroupBox* FrmFrom = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LblPathLabel = nullptr;
    QLabel* LblPath = nullptr;
    QPushButton* BtnRefer = nullptr;
    QLabel* LblFile = nullptr;
    QListWidget* FileOyatsu = nullptr;
    QPushButton* BtnAll = nullptr;
    QPushButton* BtnNoSel = nullptr;
    QGroupBox* FrmTo = nullptr;
    QCheckBox* ChkAll = nullptr;
    QLabel* LblPetSel = nullptr;
    QComboBox* CmbPetSel = nullptr;
    QPushButton* BtnImport = nullptr;
    QPushButton* BtnCancel = nullptr;
};
