#include "ui/backup/UnlhaVerForm.h"

#include "ui/main/MainForm.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

UnlhaVerForm::UnlhaVerForm(const QString& versionLine, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("UnlhaVerForm"));
    setWindowTitle(QStringLiteral("Kennel 2001 - Unlha32.dll 情報"));
    setModal(false);

    auto* heading = new QLabel(QStringLiteral("Unlha32.dll 情報"), this);
    heading->setObjectName(QStringLiteral("LblHeading"));
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    heading->setFont(bold);

    LblUnlhaVer = new QLabel(versionLine, this);
    LblUnlhaVer->setObjectName(QStringLiteral("LblUnlhaVer"));

    auto* rights = new QLabel(
        QStringLiteral("圧縮バックアップには Kennel 付属の LHA 書庫ライブラリ (libunlha32.so) を使用しています。\n"
                       "このライブラリは Kennel の開発者が作成したもので、Kennel と同じ条件で配布されます。"),
        this);
    rights->setObjectName(QStringLiteral("LblRights"));
    rights->setWordWrap(true);

    BtnClose = new QPushButton(QStringLiteral("閉じる"), this);
    BtnClose->setObjectName(QStringLiteral("BtnClose"));
    BtnClose->setDefault(true);
    connect(BtnClose, &QPushButton::clicked, this, &UnlhaVerForm::BtnClose_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(LblUnlhaVer);
    layout->addSpacing(8);
    layout->addWidget(rights);
    layout->addLayout(buttons);
}

void UnlhaVerForm::BtnClose_Click()
{
    hide();
}
