#include "ui/main/ConvertForm.h"

#include "ui/main/FormParts.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const QString kRowTitles[3] = {QStringLiteral("Ver.1.0 でのメールボックス１"),
                               QStringLiteral("Ver.1.0 でのメールボックス２"),
                               QStringLiteral("Ver.1.0 でのメールボックス３")};

QString indexed(const char* name, int k)
{
    return QLatin1String(name) + QLatin1Char('_') + QString::number(k);
}

QLabel* wrappedLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    return label;
}

} // namespace

ConvertForm::ConvertForm(Session& session, Steps steps, std::function<void()> sharingSettings, QWidget* parent)
    : QDialog(parent), session_(session), steps_(steps), sharingSettings_(std::move(sharingSettings))
{
    setObjectName(QStringLiteral("ConvertForm"));
    setWindowTitle(QStringLiteral("Kennel 2001 - 設定更新"));
    setModal(true);
    buildControls();
    Form_Load();
}

void ConvertForm::buildControls()
{
    auto* layout = new QVBoxLayout(this);
    LblConvert =
        wrappedLabel(this, "LblConvert", QStringLiteral("Kennel 2001 Ver.1.0 から Ver.2.0 に設定を更新します。"));
    LblCaution1 =
        wrappedLabel(this, "LblCaution1",
                     QStringLiteral("Ver.2.0ではペット名と飼い主名も登録できます。"
                                    "前バージョンの各メールボックスに該当するペット名と飼い主名を入力してください。"));
    layout->addWidget(LblConvert);
    layout->addWidget(LblCaution1);

    auto* picCaution = new QWidget(this);
    picCaution->setObjectName(QStringLiteral("PicCaution"));
    auto* caution = new QHBoxLayout(picCaution);
    ImgCaution = new QLabel(picCaution);
    ImgCaution->setObjectName(QStringLiteral("ImgCaution"));
    ImgCaution->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    LblCaution2 = wrappedLabel(picCaution, "LblCaution2",
                               QStringLiteral("ここで登録されるのは Kennel の上で登録される名前になります。"
                                              "本体に登録されている名前と一致しなくても構いません。"));
    caution->addWidget(ImgCaution);
    caution->addWidget(LblCaution2, 1);
    layout->addWidget(picCaution);

    for (int k = 0; k < 3; ++k) {
        FrmOld[k] = new QGroupBox(kRowTitles[k], this);
        FrmOld[k]->setObjectName(indexed("FrmOld", k));
        auto* row = new QHBoxLayout(FrmOld[k]);

        FrmNewPet[k] = new QGroupBox(QStringLiteral("ペット名"), FrmOld[k]);
        FrmNewPet[k]->setObjectName(indexed("FrmNewPet", k));
        TxtNewPet[k] = new QLineEdit(FrmNewPet[k]);
        TxtNewPet[k]->setObjectName(indexed("TxtNewPet", k));
        TxtNewPet[k]->setToolTip(QStringLiteral("ペット名を入力してください。"));
        (new QVBoxLayout(FrmNewPet[k]))->addWidget(TxtNewPet[k]);

        FrmNewMaster[k] = new QGroupBox(QStringLiteral("飼い主名"), FrmOld[k]);
        FrmNewMaster[k]->setObjectName(indexed("FrmNewMaster", k));
        TxtNewMaster[k] = new QLineEdit(FrmNewMaster[k]);
        TxtNewMaster[k]->setObjectName(indexed("TxtNewMaster", k));
        TxtNewMaster[k]->setToolTip(QStringLiteral("飼い主名を入力してください。"));
        (new QVBoxLayout(FrmNewMaster[k]))->addWidget(TxtNewMaster[k]);

        row->addWidget(FrmNewPet[k], 1);
        row->addWidget(FrmNewMaster[k], 1);
        layout->addWidget(FrmOld[k]);
        enableRow(k, k == 0);
    }

    BtnOK = new QPushButton(QStringLiteral("O K"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setToolTip(QStringLiteral("設定を更新します。"));
    BtnOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BtnOK);
    layout->addLayout(buttons);
    connect(BtnOK, &QPushButton::clicked, this, &ConvertForm::BtnOK_Click);
}

void ConvertForm::enableRow(int k, bool enabled)
{
    for (QWidget* w :
         std::initializer_list<QWidget*>{FrmOld[k], FrmNewPet[k], FrmNewMaster[k], TxtNewPet[k], TxtNewMaster[k]})
        w->setEnabled(enabled);
}

void ConvertForm::Form_Load()
{
    // ReadRegistry has put the version 1.0 file's last used mailbox into CurrentUser.
    plan_ = scanMailboxes(session_.layout(), session_.table().CurrentUser);
    for (int k = 0; k < 3; ++k)
        enableRow(k, plan_.inUse[k]);
}

void ConvertForm::BtnOK_Click()
{
    UpgradeNames names;
    for (int k = 0; k < 3; ++k) {
        names.pet[k] = formparts::typedName(TxtNewPet[k]);
        names.master[k] = formparts::typedName(TxtNewMaster[k]);
    }
    MessagePort& messages = *session_.context().messages;
    if (!checkUpgradeNames(messages, plan_, names) || !checkUpgradeFolders(messages, session_.layout(), plan_))
        return;

    // The sharing settings only set the five flags here; the file is written once, below.
    // They come before any folder is renamed, so nothing is half-converted while they show.
    session_.setRegistryLoaded(false);
    sharingSettings_();
    if (!session_.convertMailboxes(plan_, names, steps_, rename_))
        return; // nothing changed; the dialog stays for another try

    messages.information(kMsgUpgradeDone);
    session_.setRegistryLoaded(true);
    accept();
}

void ConvertForm::Form_Unload()
{
    if (!session_.registryLoaded())
        session_.context().endProgram(0);
}

void ConvertForm::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void ConvertForm::reject()
{
    close();
}
