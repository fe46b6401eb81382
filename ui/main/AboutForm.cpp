#include "ui/main/AboutForm.h"

#include "ports/LogFile.h"
#include "ports/Messages.h"

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

AboutForm::AboutForm(MessagePort& messages, const buildconfig::Contacts& contacts, QWidget* parent)
    : QDialog(parent), messages_(messages), contacts_(contacts)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("Kennel 2001 - バージョン情報"));
    setModal(false);

    // The frame is made first so that the labels inside it lie above it.
    LblFrame = label("LblFrame", QString(), {});
    LblFrame->setFrameStyle(QFrame::Box | QFrame::Sunken);

    LblAbout1 = label("LblAbout1", QStringLiteral("Mew Mail 2001 対応 ペットセレクター"), {});
    LblAbout2 = label("LblAbout2", QStringLiteral("Kennel 2001 Ver.") + buildconfig::kVersion, {});
    QFont big = LblAbout2->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    LblAbout2->setFont(big);
    LblLicense = label("LblLicense", QStringLiteral("このプログラムは MIT ライセンスで配布されています。"), {});
    LblAbout4 = label("LblAbout4", QString(), {});
    LblAbout5 = label("LblAbout5", QStringLiteral("バグ報告・感想は下記までお願いします。"), {});
    LblBBS = label("LblBBS", QStringLiteral("サポート掲示板 : ") + contacts_.boardAddress, {});
    LblBBS->setToolTip(kCopyTip);
    LblHome = label("LblHome", contacts_.homePageUrl, {});
    LblHome->setCursor(Qt::PointingHandCursor);
    LblMail = label("LblMail",
                    contacts_.authorName.isEmpty() ? contacts_.authorAddress
                                                   : contacts_.authorName + QStringLiteral(" : ") +
                                                         contacts_.authorAddress,
                    {});
    LblMail->setToolTip(kCopyTip);
    for (QLabel* l : {LblBBS, LblHome, LblMail})
        l->installEventFilter(this);
    LblLog = label("LblLog", QStringLiteral("ログ : ") + logfile::path(), {});
    LblLog->setToolTip(logfile::path());
    LblLog->setTextInteractionFlags(Qt::TextSelectableByMouse);

    BtnMoreInfo = new QPushButton(kFoldedCaption, this);
    BtnMoreInfo->setObjectName(QStringLiteral("BtnMoreInfo"));
    BtnMoreInfo->setToolTip(QStringLiteral("More Information"));
    BtnClose = new QPushButton(QStringLiteral("閉　じ　る"), this);
    BtnClose->setObjectName(QStringLiteral("BtnClose"));
    BtnClose->setDefault(true);

    FrmMoreInfo = new QGroupBox(this);
    FrmMoreInfo->setObjectName(QStringLiteral("FrmMoreInfo"));
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

    placeRows();
    BtnClose->setFocus();
}

// Rows from the top; a contact without a value has no row, and without any contact the
// frame and its heading go as well. A further row is one more line here.
void AboutForm::placeRows()
{
    int y = 16;
    const auto row = [&y](QWidget* w, int height, int left = 16) {
        w->setGeometry(left, y, kWidth - 2 * left, height);
        y += height + 2;
    };
    row(LblAbout1, 22);
    row(LblAbout2, 30);
    row(LblLicense, 20);
    LblLog->setVisible(!logfile::path().isEmpty());
    if (!logfile::path().isEmpty()) {
        row(LblLog, 20);
        LblLog->setText(LblLog->fontMetrics().elidedText(LblLog->text(), Qt::ElideMiddle, LblLog->width()));
    }
    LblAbout4->setGeometry(16, y, kWidth - 32, 0);

    const bool shown[] = {!contacts_.boardAddress.isEmpty(), !contacts_.homePageUrl.isEmpty(),
                          !contacts_.authorAddress.isEmpty()};
    QLabel* const rows[] = {LblBBS, LblHome, LblMail};
    const bool anyContact = shown[0] || shown[1] || shown[2];
    for (QWidget* w : {static_cast<QWidget*>(LblFrame), static_cast<QWidget*>(LblAbout5)})
        w->setVisible(anyContact);
    if (anyContact) {
        const int top = y + 4;
        y = top + 6;
        row(LblAbout5, 22, 20);
        for (int i = 0; i < 3; ++i) {
            rows[i]->setVisible(shown[i]);
            if (shown[i])
                row(rows[i], 24, 28);
        }
        LblFrame->setGeometry(12, top, kWidth - 24, y + 6 - top);
        y += 6;
    } else {
        for (QLabel* l : rows)
            l->hide();
    }
    y += 24;
    BtnMoreInfo->setGeometry(16, y, 44, 30);
    BtnClose->setGeometry(kWidth - 124, y, 108, 30);
    y += 30 + 24;
    FrmMoreInfo->setGeometry(12, y, kWidth - 24, 140);
    foldedHeight_ = y + 6;
    setFixedSize(kWidth, foldedHeight_);
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
    setFixedSize(kWidth, unfold ? foldedHeight_ + kMoreInfoHeight : foldedHeight_);
    BtnMoreInfo->setText(unfold ? kUnfoldedCaption : kFoldedCaption);
}

void AboutForm::copyAndTell(const QString& text, const QString& message)
{
    QGuiApplication::clipboard()->setText(text);
    messages_.information(message);
}

void AboutForm::LblBBS_DblClick()
{
    copyAndTell(contacts_.boardAddress, QStringLiteral("掲示板投稿用メールアドレスをクリップボードにコピーしました。"));
}

void AboutForm::LblHome_Click()
{
    copyAndTell(contacts_.homePageUrl, QStringLiteral("サポートホームページＵＲＬをクリップボードにコピーしました。"));
}

void AboutForm::LblMail_DblClick()
{
    copyAndTell(contacts_.authorAddress, QStringLiteral("メールアドレスをクリップボードにコピーしました。"));
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
