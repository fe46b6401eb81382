#include "ui/main/InitializeForm.h"

#include "storage/Session.h"
#include "ui/main/FormParts.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

InitializeForm::InitializeForm(Session& session, Steps steps, QWidget* parent)
    : QDialog(parent), session_(session), steps_(steps)
{
    setObjectName(QStringLiteral("InitializeForm"));
    setWindowTitle(QStringLiteral("Kennel 2001 - 新規登録"));
    setModal(true);

    LblInit = formparts::note(this, "LblInit", QStringLiteral("Kennel に現在使用中のペット名と飼い主名を登録します。"));
    FrmNewPet = formparts::nameFrame(this, "FrmNewPet", QStringLiteral("ペット名"), "TxtNewPet",
                                     QStringLiteral("ペット名を入力してください。"), &TxtNewPet);
    FrmNewMaster = formparts::nameFrame(this, "FrmNewMaster", QStringLiteral("飼い主名"), "TxtNewMaster",
                                        QStringLiteral("飼い主名を入力してください。"), &TxtNewMaster);
    LblCaution = formparts::note(this, "LblCaution",
                                 QStringLiteral("ここでの登録は Kennel の上で扱われる名前になります。"
                                                "本体に登録されている名前と一致しなくても構いません。"));
    ImgCaution = formparts::cautionImage(this);
    BtnOK = new QPushButton(QStringLiteral("O K"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setToolTip(QStringLiteral("登録します。"));
    BtnOK->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LblInit);
    layout->addWidget(FrmNewPet);
    layout->addWidget(FrmNewMaster);
    auto* caution = new QHBoxLayout;
    caution->addWidget(ImgCaution);
    caution->addWidget(LblCaution, 1);
    layout->addLayout(caution);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtnOK);
    layout->addLayout(buttons);
    setMinimumWidth(360);

    connect(BtnOK, &QPushButton::clicked, this, &InitializeForm::BtnOK_Click);
}

void InitializeForm::BtnOK_Click()
{
    const QString pet = formparts::typedName(TxtNewPet);
    const QString master = formparts::typedName(TxtNewMaster);
    // The table holds no pet yet, so there is nothing to be a duplicate of.
    const QString problem = session_.registrationProblem(pet, master, false);
    if (!problem.isEmpty()) {
        session_.context().messages->critical(problem);
        return;
    }
    if (session_.registerFirstPet(pet, master, steps_))
        accept();
}
