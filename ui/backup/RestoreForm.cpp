#include "ui/backup/RestoreForm.h"

#include "ui/main/FormParts.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Kennel 2001 - リストアするペットの登録");
const QString kPresentTip = QStringLiteral("ファイルあり");
const QString kAbsentTip = QStringLiteral("ファイルなし");
const QString kRowCaptions[kPresenceRows] = {
    QStringLiteral("ミューメール設定ファイル "), QStringLiteral("おともだち帳ファイル "), QStringLiteral("おやつファイル "),
    QStringLiteral("おもちゃファイル"),          QStringLiteral("引き出し（送受信済ファイル）"), QStringLiteral("宝物ファイル"),
};

QString indexed(const char* name, int index)
{
    return QLatin1String(name) + QLatin1Char('_') + QString::number(index);
}

}  // namespace

// A filled green disc with a white tick: data present.
QPixmap RestoreForm::presentMark()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2e, 0x9e, 0x44));
    p.drawEllipse(1, 1, 14, 14);
    p.setPen(QPen(Qt::white, 2));
    p.drawPolyline(QPolygon({QPoint(4, 8), QPoint(7, 11), QPoint(12, 5)}));
    return pm;
}

// A grey ring with a dash: no data.
QPixmap RestoreForm::absentMark()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(2, 2, 12, 12);
    p.drawLine(5, 8, 11, 8);
    return pm;
}

RestoreForm::RestoreForm(Session& session, UnlhaLibrary& library, RestoreSource source, QWidget* parent)
    : QDialog(parent), restore_(session, library, std::move(source))
{
    setObjectName(QStringLiteral("RestoreForm"));
    setWindowTitle(kTitle);
    setModal(true);
    buildControls();
}

RestoreForm::~RestoreForm() = default;

void RestoreForm::buildControls()
{
    setMinimumWidth(400);
    auto* v = new QVBoxLayout(this);

    auto* info = new QGroupBox(QStringLiteral("リストア情報"), this);
    info->setObjectName(QStringLiteral("FrmRestoreInfo"));
    auto* grid = new QGridLayout(info);
    for (int i = 0; i < kPresenceRows; ++i) {
        ImgExist[i] = new QLabel(info);
        ImgExist[i]->setObjectName(indexed("ImgExist", i));
        LblExist[i] = new QLabel(kRowCaptions[i], info);
        LblExist[i]->setObjectName(indexed("LblExist", i));
        grid->addWidget(ImgExist[i], i, 0);
        grid->addWidget(LblExist[i], i, 1);
    }
    // The legend: the two marks that the rows take their pictures from.
    auto* legend = new QHBoxLayout;
    const QPixmap marks[2] = {presentMark(), absentMark()};
    const QString tips[2] = {kPresentTip, kAbsentTip};
    for (int i = 0; i < 2; ++i) {
        auto* pic = new QLabel(info);
        pic->setObjectName(indexed("PicExist", i));
        pic->setPixmap(marks[i]);
        pic->setToolTip(tips[i]);
        legend->addWidget(pic);
        auto* text = new QLabel(tips[i], info);
        text->setObjectName(indexed("LblExample", i));
        legend->addWidget(text);
    }
    legend->addStretch(1);
    grid->addLayout(legend, kPresenceRows, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    v->addWidget(info);

    auto* petFrame = new QGroupBox(QStringLiteral("ペット名"), this);
    petFrame->setObjectName(QStringLiteral("FrmNewPet"));
    auto* petRow = new QHBoxLayout(petFrame);
    TxtNewPet = new QLineEdit(petFrame);
    TxtNewPet->setObjectName(QStringLiteral("TxtNewPet"));
    TxtNewPet->setToolTip(QStringLiteral("ペット名を入力してください。"));
    petRow->addWidget(TxtNewPet);
    v->addWidget(petFrame);

    auto* masterFrame = new QGroupBox(QStringLiteral("飼い主名"), this);
    masterFrame->setObjectName(QStringLiteral("FrmNewMaster"));
    auto* masterRow = new QHBoxLayout(masterFrame);
    TxtNewMaster = new QLineEdit(masterFrame);
    TxtNewMaster->setObjectName(QStringLiteral("TxtNewMaster"));
    TxtNewMaster->setToolTip(QStringLiteral("飼い主名を入力してください。"));
    masterRow->addWidget(TxtNewMaster);
    v->addWidget(masterFrame);

    auto* caution = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("ImgCaution"));
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    caution->addWidget(icon, 0, Qt::AlignTop);
    auto* label1 = new QLabel(
        QStringLiteral("ここでの登録は Kennel の上で扱われる名前になります。本体の名前と一致しなくても構いません。"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setWordWrap(true);
    caution->addWidget(label1, 1);
    v->addLayout(caution);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    BtnNewPet = new QPushButton(QStringLiteral("登録"), this);
    BtnNewPet->setObjectName(QStringLiteral("BtnNewPet"));
    BtnNewPet->setToolTip(QStringLiteral("この設定でペットを登録します。"));
    BtnNewPet->setDefault(true);
    BtnNewNO = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    BtnNewNO->setObjectName(QStringLiteral("BtnNewNO"));
    BtnNewNO->setToolTip(QStringLiteral("設定を破棄して登録を終了します。"));
    buttons->addWidget(BtnNewPet);
    buttons->addWidget(BtnNewNO);
    v->addLayout(buttons);

    connect(BtnNewPet, &QPushButton::clicked, this, &RestoreForm::BtnNewPet_Click);
    connect(BtnNewNO, &QPushButton::clicked, this, &RestoreForm::BtnNewNO_Click);
}

bool RestoreForm::Form_Load()
{
    TxtNewPet->setText(restore_.source().pet);
    TxtNewMaster->setText(restore_.source().master);
    if (!restore_.open())
        return false;
    const auto rows = presenceRows(restore_.stagingFolder());
    for (int i = 0; i < kPresenceRows; ++i) {
        ImgExist[i]->setPixmap(rows[i] ? presentMark() : absentMark());
        ImgExist[i]->setToolTip(rows[i] ? kPresentTip : kAbsentTip);
        ImgExist[i]->setProperty("present", rows[i]);
    }
    return true;
}

bool RestoreForm::rowPresent(int row) const
{
    return row >= 0 && row < kPresenceRows && ImgExist[row]->property("present").toBool();
}

void RestoreForm::BtnNewPet_Click()
{
    if (restore_.registerPet(formparts::typedName(TxtNewPet), formparts::typedName(TxtNewMaster)))
        accept();
}

void RestoreForm::BtnNewNO_Click()
{
    reject();
}

void RestoreForm::done(int result)
{
    restore_.close();
    QDialog::done(result);
}
