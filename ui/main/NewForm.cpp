#include "ui/main/NewForm.h"

#include "storage/Session.h"
#include "ui/main/FormParts.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

NewForm::NewForm(Session& session, Steps steps, QWidget* parent) : QDialog(parent), session_(session), steps_(steps)
{
    setObjectName(QStringLiteral("NewForm"));
    setWindowTitle(QStringLiteral("Kennel 2001 - 新規ペット登録"));
    setModal(true);

    FrmNewPet = formparts::nameFrame(this, "FrmNewPet", QStringLiteral("新規ペット名"), "TxtNewPet",
                                     QStringLiteral("ペット名を入力してください。"), &TxtNewPet);
    FrmNewMaster = formparts::nameFrame(this, "FrmNewMaster", QStringLiteral("新規飼い主名"), "TxtNewMaster",
                                        QStringLiteral("飼い主名を入力してください。"), &TxtNewMaster);
    Label1 = formparts::note(this, "Label1",
                             QStringLiteral("ここでの登録は Kennel の上で扱われる名前になります。"
                                            "本体に登録する名前と一致しなくても構いません。"));
    ImgCaution = formparts::cautionImage(this);

    BtnNewPet = new QPushButton(QStringLiteral("登録"), this);
    BtnNewPet->setObjectName(QStringLiteral("BtnNewPet"));
    BtnNewPet->setToolTip(QStringLiteral("新規ペットで起動します。"));
    BtnNewPet->setDefault(true);
    BtnNewNO = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    BtnNewNO->setObjectName(QStringLiteral("BtnNewNO"));
    BtnNewNO->setToolTip(QStringLiteral("設定を破棄して登録を終了します。"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FrmNewPet);
    layout->addWidget(FrmNewMaster);
    auto* caution = new QHBoxLayout;
    caution->addWidget(ImgCaution);
    caution->addWidget(Label1, 1);
    layout->addLayout(caution);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtnNewPet);
    buttons->addWidget(BtnNewNO);
    layout->addLayout(buttons);
    setMinimumWidth(360);

    connect(BtnNewPet, &QPushButton::clicked, this, &NewForm::BtnNewPet_Click);
    connect(BtnNewNO, &QPushButton::clicked, this, &NewForm::BtnNewNO_Click);
}

void NewForm::BtnNewPet_Click()
{
    const QString pet = formparts::typedName(TxtNewPet);
    const QString master = formparts::typedName(TxtNewMaster);
    const QString problem = session_.registrationProblem(pet, master, true);
    if (!problem.isEmpty()) {
        session_.context().messages->critical(problem);
        return;
    }
    if (session_.registerNewPet(pet, master, steps_))
        accept();
}

void NewForm::BtnNewNO_Click()
{
    reject();
}
