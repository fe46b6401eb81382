#pragma once

#include "app/BuildConfig.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class MessagePort;

// "Kennel 2001 - バージョン情報": name, version, licence, where to report problems, and a
// disclaimer that folds out below the buttons. Modeless; changes no program state. The contact
// labels copy their address to the clipboard (board and mail on a double-click, the home page
// on a single click) and say so; a contact the build was configured without has no row, and
// with none the frame and its heading go too.
class AboutForm : public QDialog {
    Q_OBJECT
public:
    AboutForm(MessagePort& messages, const buildconfig::Contacts& contacts, QWidget* parent = nullptr);

    static constexpr int kWidth = 400;
    // What unfolding adds to the height (6645 - 4440 twips at 15 twips a pixel).
    static constexpr int kMoreInfoHeight = 147;

public slots:
    void BtnClose_Click();
    void BtnMoreInfo_Click();
    void LblBBS_DblClick();
    void LblHome_Click();
    void LblMail_DblClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* label(const char* name, const QString& text, const QRect& geometry, QWidget* parent = nullptr);
    void placeRows();
    void copyAndTell(const QString& text, const QString& message);

    MessagePort& messages_;
    buildconfig::Contacts contacts_;
    bool homeDoubleClicked_ = false;
    int foldedHeight_ = 0;

    QLabel* LblAbout1 = nullptr;
    QLabel* LblAbout2 = nullptr;
    QLabel* LblLicense = nullptr;
    QLabel* LblAbout4 = nullptr;
    QLabel* LblAbout5 = nullptr;
    QLabel* LblBBS = nullptr;
    QLabel* LblHome = nullptr;
    QLabel* LblMail = nullptr;
    QLabel* LblLog = nullptr;  // where the log lies, when there is one
    QLabel* LblFrame = nullptr;
    QPushButton* BtnMoreInfo = nullptr;
    QPushButton* BtnClose = nullptr;
    QGroupBox* FrmMoreInfo = nullptr;
    QLabel* LblSorry = nullptr;
    QLabel* LblMore2 = nullptr;
    QLabel* LblMore3 = nullptr;
};
