#include "ui/import/ImportForm.h"

#include "import/ImportOps.h"
#include "shell/FileOps.h"
#include "storage/Session.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kPickerTitle = QStringLiteral("おやつファイルのあるフォルダを選択してください");

template <typename W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

ImportForm::ImportForm(Session& session, QWidget* parent) : QDialog(parent), session_(session)
{
    setObjectName(QStringLiteral("ImportForm"));
    setWindowTitle(QStringLiteral("Kennel 2001 - おやつのインポート"));
    setModal(false);
    buildControls();
    Form_Load();
}

void ImportForm::buildControls()
{
    auto* layout = new QVBoxLayout(this);

    FrmFrom = named(new QGroupBox(QStringLiteral("インポートしたいおやつ"), this), "FrmFrom");
    auto* from = new QGridLayout(FrmFrom);
    Label1 = named(new QLabel(QStringLiteral("インポートしたいおやつを選択してください。"), FrmFrom), "Label1");
    LblPathLabel = named(new QLabel(QStringLiteral("おやつファイルのあるフォルダ"), FrmFrom), "LblPathLabel");
    LblPath = named(new QLabel(FrmFrom), "LblPath");
    LblPath->setFrameShape(QFrame::StyledPanel);
    LblPath->setMinimumWidth(260);
    LblPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    BtnRefer = named(new QPushButton(QStringLiteral("参照"), FrmFrom), "BtnRefer");
    BtnRefer->setToolTip(QStringLiteral("このボタンでフォルダを選択します。"));
    LblFile = named(new QLabel(QStringLiteral("おやつファイル一覧"), FrmFrom), "LblFile");
    FileOyatsu = named(new QListWidget(FrmFrom), "FileOyatsu");
    FileOyatsu->setSelectionMode(QAbstractItemView::ExtendedSelection);
    BtnAll = named(new QPushButton(QStringLiteral("すべて"), FrmFrom), "BtnAll");
    BtnAll->setToolTip(QStringLiteral("すべてのおやつファイルを選択します。"));
    BtnNoSel = named(new QPushButton(QStringLiteral("解　除"), FrmFrom), "BtnNoSel");
    BtnNoSel->setToolTip(QStringLiteral("選択中のおやつファイルを解除します。"));
    from->addWidget(Label1, 0, 0, 1, 3);
    from->addWidget(LblPathLabel, 1, 0, 1, 3);
    from->addWidget(LblPath, 2, 0, 1, 2);
    from->addWidget(BtnRefer, 2, 2);
    from->addWidget(LblFile, 3, 0, 1, 3);
    from->addWidget(FileOyatsu, 4, 0, 2, 2);
    from->addWidget(BtnAll, 4, 2);
    from->addWidget(BtnNoSel, 5, 2, Qt::AlignTop);
    layout->addWidget(FrmFrom);

    FrmTo = named(new QGroupBox(QStringLiteral("インポート先のペット"), this), "FrmTo");
    auto* to = new QGridLayout(FrmTo);
    ChkAll = named(new QCheckBox(QStringLiteral("登録済みのすべてのペットにインポートする"), FrmTo), "ChkAll");
    LblPetSel = named(new QLabel(QStringLiteral("ペット名"), FrmTo), "LblPetSel");
    CmbPetSel = named(new QComboBox(FrmTo), "CmbPetSel");
    CmbPetSel->setMinimumWidth(180);
    to->addWidget(ChkAll, 0, 0, 1, 2);
    to->addWidget(LblPetSel, 1, 0);
    to->addWidget(CmbPetSel, 1, 1);
    layout->addWidget(FrmTo);

    auto* buttons = new QHBoxLayout;
    BtnImport = named(new QPushButton(QStringLiteral("ｲﾝﾎﾟｰﾄ"), this), "BtnImport");
    BtnImport->setToolTip(QStringLiteral("インポートを開始します。"));
    BtnImport->setEnabled(false);
    BtnImport->setAutoDefault(false);
    BtnCancel = named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), "BtnCancel");
    BtnCancel->setToolTip(QStringLiteral("ウインドウを閉じます。"));
    BtnCancel->setAutoDefault(false);
    buttons->addStretch(1);
    buttons->addWidget(BtnImport);
    buttons->addWidget(BtnCancel);
    layout->addLayout(buttons);

    connect(BtnRefer, &QPushButton::clicked, this, &ImportForm::BtnRefer_Click);
    // The list's own notification: every change of the selection, by mouse or keyboard.
    connect(FileOyatsu, &QListWidget::itemSelectionChanged, this, &ImportForm::FileOyatsu_Click);
    connect(BtnAll, &QPushButton::clicked, this, &ImportForm::BtnAll_Click);
    connect(BtnNoSel, &QPushButton::clicked, this, &ImportForm::BtnNoSel_Click);
    connect(ChkAll, &QCheckBox::clicked, this, &ImportForm::ChkAll_Click);
    connect(BtnImport, &QPushButton::clicked, this, &ImportForm::BtnImport_Click);
    connect(BtnCancel, &QPushButton::clicked, this, &ImportForm::BtnCancel_Click);
}

void ImportForm::Form_Load()
{
    CmbPetSel->clear();
    for (int i = 0; i <= session_.table().MaxUser && i < kMaxPets; ++i)
        CmbPetSel->addItem(session_.table().Pet[i]);
    CmbPetSel->setCurrentIndex(CmbPetSel->count() > 0 ? 0 : -1);
    if (session_.table().Oyatsu) {
        ChkAll->setChecked(true);
        ChkAll->setEnabled(false);
        CmbPetSel->setEnabled(false);
    }
    // The list stays empty until a folder is chosen: files listed from some other folder
    // could not be imported, as the source is the chosen folder.
    FileOyatsu->clear();
}

QString ImportForm::sourceFolder() const
{
    return LblPath->text();
}

QStringList ImportForm::selectedFiles() const
{
    QStringList files;
    for (int i = 0; i < FileOyatsu->count(); ++i)
        if (FileOyatsu->item(i)->isSelected())
            files << FileOyatsu->item(i)->text();
    return files;
}

void ImportForm::fillFileList(const QString& folder)
{
    FileOyatsu->clear();
    FileOyatsu->addItems(importops::snackFiles(folder));
    FileOyatsu->setCurrentItem(nullptr);
    BtnImport->setEnabled(false);
}

void ImportForm::BtnRefer_Click()
{
    QString folder = session_.context().folderPicker->pickFolder(kPickerTitle);
    // A cancelled picker keeps the folder chosen before, and its list.
    if (folder.isEmpty())
        return;
    folder = fileops::withoutFinalSep(folder);
    LblPath->setText(folder);
    fillFileList(folder);
}

void ImportForm::FileOyatsu_Click()
{
    BtnImport->setEnabled(FileOyatsu->currentItem() != nullptr);
}

void ImportForm::BtnAll_Click()
{
    // Each file becomes the current one as it is selected, as a click would make it; the
    // list ends on its first file, and the selection notice enables BtnImport.
    for (int i = FileOyatsu->count() - 1; i >= 0; --i) {
        FileOyatsu->setCurrentItem(FileOyatsu->item(i), QItemSelectionModel::NoUpdate);
        FileOyatsu->item(i)->setSelected(true);
    }
}

void ImportForm::BtnNoSel_Click()
{
    for (int i = FileOyatsu->count() - 1; i >= 0; --i)
        FileOyatsu->item(i)->setSelected(false);
    BtnImport->setEnabled(false);
}

void ImportForm::ChkAll_Click()
{
    CmbPetSel->setEnabled(!ChkAll->isChecked());
}

void ImportForm::refreshTargets()
{
    const QString chosen = CmbPetSel->currentText();
    QStringList names;
    for (int i = 0; i <= session_.table().MaxUser && i < kMaxPets; ++i)
        names << session_.table().Pet[i];
    QStringList shown;
    for (int i = 0; i < CmbPetSel->count(); ++i)
        shown << CmbPetSel->itemText(i);
    if (names != shown) {
        CmbPetSel->clear();
        CmbPetSel->addItems(names);
        const int at = static_cast<int>(names.indexOf(chosen));
        CmbPetSel->setCurrentIndex(at >= 0 ? at : (names.isEmpty() ? -1 : 0));
    }
    if (session_.table().Oyatsu) {
        ChkAll->setChecked(true);
        ChkAll->setEnabled(false);
    } else {
        ChkAll->setEnabled(true);
    }
    CmbPetSel->setEnabled(!ChkAll->isChecked());
}

void ImportForm::BtnImport_Click()
{
    if (running_)
        return;
    if (session_.table().MaxUser < 0) {
        session_.context().messages->critical(importops::kMsgNoPets);
        return;
    }
    const bool allPets = session_.table().Oyatsu || ChkAll->isChecked();
    int pet = -1;
    if (!allPets) {
        // The list shows the pets by position; a pet deleted or renumbered meanwhile must not
        // receive another pet's import.
        pet = CmbPetSel->currentIndex();
        if (pet < 0 || pet > session_.table().MaxUser || session_.table().Pet[pet] != CmbPetSel->currentText()) {
            session_.context().messages->critical(importops::kMsgNoTargetPet);
            refreshTargets();
            return;
        }
    }
    if (!session_.context().messages->askYesNo(importops::importQuestion(session_.table(), allPets, pet)))
        return;

    // The dialog's controls rest while the import runs (the gauge lets events through).
    running_ = true;
    const QList<QWidget*> controls{FrmFrom, FrmTo, BtnImport, BtnCancel};
    for (QWidget* w : controls)
        w->setEnabled(false);
    const QString source = sourceFolder();
    const QStringList files = selectedFiles();
    if (allPets)
        ImportToAllPets(session_, source, files);
    else
        ImportToPet(session_, pet, source, files);
    for (QWidget* w : controls)
        w->setEnabled(true);
    running_ = false;
    FileOyatsu_Click();
    refreshTargets();
}

void ImportForm::BtnCancel_Click()
{
    close();
}

void ImportForm::closeEvent(QCloseEvent* event)
{
    // An import in progress finishes first; the main window's busy state shows it.
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ImportForm::reject()
{
    if (!running_)
        QDialog::reject();
}

void ImportForm::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !running_)
        refreshTargets();
    QDialog::changeEvent(event);
}
