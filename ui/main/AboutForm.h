#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class MessagePort;

// "Kennel 2001 - バージョン情報": name, version, where to report problems, and a disclaimer
// that folds out below the buttons. Modeless; changes no program state. The contact labels
// copy their address to the clipboard (board and mail on a double-click, the home page on
// a single click) and say so.
class AboutForm : public QDialog {
    Q_OBJECT
public:
    explicit AboutForm(MessagePort& messages, QWidget* parent = nullptr);

    // Heights of the box folded and unfolded (4440 and 6645 twips at 15 twips a pixel).
    static constexpr int kFoldedHeight = 296;
    static constexpr int kUnfoldedHeight = 443;
    static constexpr int kWidth = 400;

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
    void copyAndTell(const QString& text, const QString& message);

    MessagePort& messages_;
    bool homeDoubleClicked_ = false;

    QLabel* LblAbout1 = nullptr;
    QLabel* LblAbout2 = nullptr;
    QLabel* LblAbout4 = nullptr;
    QLabel* LblAbout5 = nullptr;
    QLabel* LblBBS = nullptr;
    QLabel* LblHome = nullptr;
    QLabel* LblMail = nullptr;
    QLabel* LblFrame = nullptr;
    QPushButton* BtnMoreInfo = nullptr;
    QPushButton* BtnClose = nullptr;
    QGroupBox* FrmMoreInfo = nullptr;
    QLabel* LblSorry = nullptr;
    QLabel* LblMore2 = nullptr;
    QLabel* LblMore3 = nullptr;
};
