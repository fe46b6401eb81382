#include "ui/main/ConfigForm.h"

#include "storage/Session.h"
#include "ui/main/FormParts.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

ConfigForm::ConfigForm(Session& session, QWidget* parent) : QDialog(parent), session_(session)
{
    setObjectName(QStringLiteral("ConfigForm"));
    setWindowTitle(QStringLiteral("Kennel 2001 環境設定"));
    setModal(true);

    OptOyatsu = makePair("FrmOyatsu", QStringLiteral("おやつの共有"), "OptOyatsu");
    OptTreasures = makePair("FrmTreasures", QStringLiteral("宝物の共有"), "OptTreasures");
    OptFriends = makePair("FrmFriends", QStringLiteral("おともだち帳の共有"), "OptFriends");
    OptToys = makePair("FrmToys", QStringLiteral("おもちゃの共有"), "OptToys");
    OptMails = makePair("FrmMails", QStringLiteral("引き出しの共有"), "OptMails");

    LblCaution = formparts::note(this, "LblCaution",
                                 QStringLiteral("新たに共有に変更する場合、現在のペットの各内容が共有され、"
                                                "他のペットの内容は上書きされることになります。"));
    ImgCaution = formparts::cautionImage(this);

    BtnConfigOK = new QPushButton(QStringLiteral("O K"), this);
    BtnConfigOK->setObjectName(QStringLiteral("BtnConfigOK"));
    BtnConfigOK->setToolTip(QStringLiteral("この設定で保存します。"));
    BtnConfigOK->setDefault(true);
    BtnConfigNO = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    BtnConfigNO->setObjectName(QStringLiteral("BtnConfigNO"));
    BtnConfigNO->setToolTip(QStringLiteral("設定内容を破棄して設定を終了します。"));

    auto* layout = new QVBoxLayout(this);
    auto* frames = new QGridLayout;
    const Pair* pairs[] = {&OptOyatsu, &OptTreasures, &OptFriends, &OptToys, &OptMails};
    for (int k = 0; k < 5; ++k)
        frames->addWidget(pairs[k]->frame, k / 2, k % 2);
    layout->addLayout(frames);
    auto* caution = new QHBoxLayout;
    caution->addWidget(ImgCaution);
    caution->addWidget(LblCaution, 1);
    layout->addLayout(caution);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtnConfigOK);
    buttons->addWidget(BtnConfigNO);
    layout->addLayout(buttons);
    setMinimumWidth(380);

    // Keyboard order: the pairs from top left, then the buttons.
    QWidget* previous = nullptr;
    for (const Pair* p : pairs) {
        for (QWidget* w : {static_cast<QWidget*>(p->shared), static_cast<QWidget*>(p->notShared)}) {
            if (previous)
                setTabOrder(previous, w);
            previous = w;
        }
    }
    setTabOrder(previous, BtnConfigOK);
    setTabOrder(BtnConfigOK, BtnConfigNO);

    connect(BtnConfigOK, &QPushButton::clicked, this, &ConfigForm::BtnConfigOK_Click);
    connect(BtnConfigNO, &QPushButton::clicked, this, &ConfigForm::BtnConfigNO_Click);

    Form_Load();
}

ConfigForm::Pair ConfigForm::makePair(const char* frameName, const QString& caption, const char* optName)
{
    Pair p{};
    p.frame = new QGroupBox(caption, this);
    p.frame->setObjectName(QLatin1String(frameName));
    auto* row = new QHBoxLayout(p.frame);
    p.shared = new QRadioButton(QStringLiteral("する"), p.frame);
    p.shared->setObjectName(QLatin1String(optName) + QStringLiteral("_0"));
    p.notShared = new QRadioButton(QStringLiteral("しない"), p.frame);
    p.notShared->setObjectName(QLatin1String(optName) + QStringLiteral("_1"));
    p.notShared->setChecked(true); // nothing is shared unless Kennel.ini says so
    row->addWidget(p.shared);
    row->addWidget(p.notShared);
    row->addStretch();
    return p;
}

void ConfigForm::Form_Load()
{
    if (!session_.registryLoaded()) {
        // First run: the dialog can only be left with "O K"; the pairs keep "しない".
        BtnConfigNO->setEnabled(false);
        return;
    }
    BtnConfigNO->setEnabled(true);
    const std::array<bool, 5> shared = session_.table().sharing();
    const Pair* pairs[] = {&OptOyatsu, &OptTreasures, &OptFriends, &OptToys, &OptMails};
    for (int k = 0; k < 5; ++k)
        (shared[k] ? pairs[k]->shared : pairs[k]->notShared)->setChecked(true);
}

void ConfigForm::BtnConfigOK_Click()
{
    // When Kennel.ini cannot take them, the dialog stays open for another try or "ｷｬﾝｾﾙ".
    if (session_.setSharing({OptOyatsu.shared->isChecked(), OptTreasures.shared->isChecked(),
                             OptFriends.shared->isChecked(), OptToys.shared->isChecked(), OptMails.shared->isChecked()}))
        accept();
}

void ConfigForm::BtnConfigNO_Click()
{
    reject();
}

void ConfigForm::keyPressEvent(QKeyEvent* event)
{
    // Escape does what "ｷｬﾝｾﾙ" does, and nothing while it is disabled.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (BtnConfigNO->isEnabled())
            BtnConfigNO_Click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
