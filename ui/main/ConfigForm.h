#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class Session;

// "Kennel 2001 環境設定": which of the five kinds all pets share. Changes only the five flags
// of the pet table and Kennel.ini; moves no pet data. On a first run (registry not loaded)
// "ｷｬﾝｾﾙ" is disabled and the file is left to the registration that follows.
class ConfigForm : public QDialog {
    Q_OBJECT
public:
    explicit ConfigForm(Session& session, QWidget* parent = nullptr);

public slots:
    void BtnConfigOK_Click();
    void BtnConfigNO_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Pair {
        QGroupBox* frame;
        QRadioButton* shared;    // item 0, "する"
        QRadioButton* notShared; // item 1, "しない"
    };
    Pair makePair(const char* frameName, const QString& caption, const char* optName);
    void Form_Load();

    Session& session_;
    Pair OptOyatsu{};
    Pair OptTreasures{};
    Pair OptFriends{};
    Pair OptToys{};
    Pair OptMails{};
    QLabel* LblCaution = nullptr;
    QLabel* ImgCaution = nullptr;
    QPushButton* BtnConfigOK = nullptr;
    QPushButton* BtnConfigNO = nullptr;
};
