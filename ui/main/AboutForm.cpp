#include "ui/main/AboutForm.h"

#include "ports/Messages.h"
#include "ui/main/ContactInfo.h"

#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace {
const QString kFoldedCaption = QStringLiteral("▼");
const QString kUnfoldedCaption = QStringLiteral("▲");
const QString kCopyTip = QStringLiteral("ダブルクリックでメールアドレスをクリップボードにコピーします。");
} // namespace

AboutForm::AboutForm(MessagePort& messages, QWidget* parent) : QDialog(parent), messages_(messages)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("Kennel 2001 - バージョン情報"));
    setModal(false);

    // The frame is made first so that the labels inside it lie above it.
    LblFrame = label("LblFrame", QString(), QRect(12, 92, 376, 112));
    LblFrame->setFrameStyle(QFrame::Box | QFrame::Sunken);

    LblAbout1 = label("LblAbout1", QStringLiteral("Mew Mail 2001 対応 ペットセレクター"), QRect(16, 16, 368, 22));
    LblAbout2 = label("LblAbout2", QStringLiteral("Kennel 2001 Ver.2.31"), QRect(16, 40, 368, 30));
    QFont big = LblAbout2->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    LblAbout2->setFont(big);
    LblAbout4 = label("LblAbout4", QString(), QRect(16, 72, 368, 16));
    LblAbout5 = label("LblAbout5", QStringLiteral("バグ報告・感想は下記までお願いします。"), QRect(20, 98, 360, 22));
    LblBBS = label("LblBBS", QStringLiteral("サポート掲示板 : ") + contact::kBoardAddress, QRect(28, 124, 352, 22));
    LblBBS->setToolTip(kCopyTip);
    LblHome = label("LblHome", contact::kHomePageUrl, QRect(28, 150, 352, 22));
    LblHome->setCursor(Qt::PointingHandCursor);
    LblMail = label("LblMail", contact::kAuthorName + QStringLiteral(" : ") + contact::kAuthorAddress,
                    QRect(28, 176, 352, 22));
    LblMail->setToolTip(kCopyTip);
    for (QLabel* l : {LblBBS, LblHome, LblMail})
        l->installEventFilter(this);

    BtnMoreInfo = new QPushButton(kFoldedCaption, this);
    BtnMoreInfo->setObjectName(QStringLiteral("BtnMoreInfo"));
    BtnMoreInfo->setToolTip(QStringLiteral("More Information"));
    BtnMoreInfo->setGeometry(16, 236, 44, 30);
    BtnClose = new QPushButton(QStringLiteral("閉　じ　る"), this);
    BtnClose->setObjectName(QStringLiteral("BtnClose"));
    BtnClose->setGeometry(276, 236, 108, 30);
    BtnClose->setDefault(true);

    FrmMoreInfo = new QGroupBox(this);
    FrmMoreInfo->setObjectName(QStringLiteral("FrmMoreInfo"));
    FrmMoreInfo->setGeometry(12, 290, 376, 140);
    LblSorry = label("LblSorry", QStringLiteral("免責事項"), QRect(12, 10, 352, 22), FrmMoreInfo);
    QFont bold = LblSorry->font();
    bold.setBold(true);
    LblSorry->setFont(bold);
    LblMore2 =
        label("LblMore2",
              QStringLiteral("本プログラムを使用して生じた不具合に対する責任の一切は、利用者にあるのものとします。"),
              QRect(12, 36, 352, 44), FrmMoreInfo);
    LblMore3 =
        label("LblMore3", QStringLiteral("また、本プログラムのヘルプファイルを作成していただける方を募集しています。"),
              QRect(12, 84, 352, 44), FrmMoreInfo);
    for (QLabel* l : {LblMore2, LblMore3})
        l->setWordWrap(true);
    FrmMoreInfo->hide();

    setTabOrder(BtnClose, BtnMoreInfo);
    connect(BtnClose, &QPushButton::clicked, this, &AboutForm::BtnClose_Click);
    connect(BtnMoreInfo, &QPushButton::clicked, this, &AboutForm::BtnMoreInfo_Click);

    setFixedSize(kWidth, kFoldedHeight);
    BtnClose->setFocus();
}

QLabel* AboutForm::label(const char* name, const QString& text, const QRect& geometry, QWidget* parent)
{
    auto* l = new QLabel(text, parent ? parent : this);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(geometry);
    l->setTextFormat(Qt::PlainText);
    return l;
}

void AboutForm::BtnClose_Click()
{
    close();
}

void AboutForm::BtnMoreInfo_Click()
{
    const bool unfold = BtnMoreInfo->text() == kFoldedCaption;
    FrmMoreInfo->setVisible(unfold);
    setFixedSize(kWidth, unfold ? kUnfoldedHeight : kFoldedHeight);
    BtnMoreInfo->setText(unfold ? kUnfoldedCaption : kFoldedCaption);
}

void AboutForm::copyAndTell(const QString& text, const QString& message)
{
    QGuiApplication::clipboard()->setText(text);
    messages_.information(message);
}

void AboutForm::LblBBS_DblClick()
{
    copyAndTell(contact::kBoardAddress, QStringLiteral("掲示板投稿用メールアドレスをクリップボードにコピーしました。"));
}

void AboutForm::LblHome_Click()
{
    copyAndTell(contact::kHomePageUrl, QStringLiteral("サポートホームページＵＲＬをクリップボードにコピーしました。"));
}

void AboutForm::LblMail_DblClick()
{
    copyAndTell(contact::kAuthorAddress, QStringLiteral("メールアドレスをクリップボードにコピーしました。"));
}

bool AboutForm::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    const bool left = (type == QEvent::MouseButtonDblClick || type == QEvent::MouseButtonRelease) &&
                      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    if (!left)
        return QDialog::eventFilter(watched, event);
    if (watched == LblHome) {
        // A double-click on the home page copies once, like a single click.
        if (type == QEvent::MouseButtonDblClick) {
            homeDoubleClicked_ = true;
        } else if (homeDoubleClicked_) {
            homeDoubleClicked_ = false;
        } else if (LblHome->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
            LblHome_Click();
        }
        return true;
    }
    if (type == QEvent::MouseButtonDblClick) {
        if (watched == LblBBS)
            LblBBS_DblClick();
        else if (watched == LblMail)
            LblMail_DblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
