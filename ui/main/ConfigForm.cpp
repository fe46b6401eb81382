#include "ui/main/ConfigForm.h"

#include "ports/Context.h"
#include "app/Registry.h"
#include "ui/main/Commands.h"
#include "ui/main/FormParts.h"
#include "ui/main/MainForm.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

ConfigForm::ConfigForm(Context& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx)
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
    if (!ctx_.RegistryLoaded) {
        // First run: the dialog can only be left with "O K"; the pairs keep "しない".
        BtnConfigNO->setEnabled(false);
        return;
    }
    BtnConfigNO->setEnabled(true);
    const PetTable& t = ctx_.table;
    const std::pair<const Pair*, bool> flags[] = {{&OptOyatsu, t.Oyatsu},
                                                  {&OptTreasures, t.Treasures},
                                                  {&OptFriends, t.Friends},
                                                  {&OptToys, t.Toys},
                                                  {&OptMails, t.Mails}};
    for (const auto& [pair, shared] : flags)
        (shared ? pair->shared : pair->notShared)->setChecked(true);
}

void ConfigForm::BtnConfigOK_Click()
{
    PetTable& t = ctx_.table;
    const PetTable before = t;
    t.Oyatsu = OptOyatsu.shared->isChecked();
    t.Treasures = OptTreasures.shared->isChecked();
    t.Friends = OptFriends.shared->isChecked();
    t.Toys = OptToys.shared->isChecked();
    t.Mails = OptMails.shared->isChecked();
    // On a first run the registration that follows writes the file with these flags.
    if (ctx_.RegistryLoaded && !WriteRegistry(ctx_)) {
        // The file keeps the old flags, and so does the table: the dialog stays open for
        // another try or "ｷｬﾝｾﾙ".
        t.Oyatsu = before.Oyatsu;
        t.Treasures = before.Treasures;
        t.Friends = before.Friends;
        t.Toys = before.Toys;
        t.Mails = before.Mails;
        return;
    }
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

void showConfigForm(MainForm& main)
{
    ConfigForm form(main.ctx(), &main);
    form.exec();
}
