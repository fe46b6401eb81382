#include "ui/backup/BackUpForm.h"

#include "backup/Backup.h"
#include "backup/UnlhaLibrary.h"
#include "registry/Texts.h"
#include "shell/FileOps.h"
#include "storage/Session.h"
#include "ui/backup/RestoreForm.h"
#include "ui/controls/cCommonDlg.h"
#include "ui/controls/cTabStrip.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Kennel 2001 - ペットのバックアップ＆リストア");
const QString kMsgNoPetToBackUp = QStringLiteral("バックアップするペットが存在しません。");
const QString kMsgBackupDone = QStringLiteral("バックアップが完了しました。");
const QString kMsgBackupFailed = QStringLiteral("バックアップに失敗しました。");
const QString kPickBackupFolder = QStringLiteral("バックアップ先のフォルダを選択してください");
const QString kPickRestoreFolder = QStringLiteral("リストアしたいペットのバックアップフォルダを指定してください。");
const QString kArchiveFilter = QStringLiteral("LHA Archive (*.lzh)|*.lzh|");

BackUpForm::RestoreRunner& runnerHook()
{
    static BackUpForm::RestoreRunner runner;
    return runner;
}

QString indexed(const char* name, int index)
{
    return QLatin1String(name) + QLatin1Char('_') + QString::number(index);
}

template <typename W>
W* named(W* w, const QString& name, const QString& tip = {})
{
    w->setObjectName(name);
    if (!tip.isEmpty())
        w->setToolTip(tip);
    return w;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, const QString& tip)
{
    return named(new QPushButton(caption, parent), name, tip);
}

QLabel* pathLabel(QWidget* parent, const QString& name)
{
    auto* l = named(new QLabel(parent), name);
    l->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    l->setMinimumWidth(220);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

// Picked folders always end with the separator here.
QString withFinalSep(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

}  // namespace

void BackUpForm::setRestoreRunner(RestoreRunner runner)
{
    runnerHook() = std::move(runner);
}

BackUpForm::BackUpForm(Session& session, UnlhaLibrary& library, int tab, QWidget* parent)
    : QDialog(parent), session_(session), library_(library), tab_(tab)
{
    setObjectName(QStringLiteral("BackUpForm"));
    setWindowTitle(kTitle);
    setModal(true);
    buildControls();
}

BackUpForm::~BackUpForm() = default;

void BackUpForm::buildControls()
{
    setFixedSize(480, 400);
    PicTab = named(new QWidget(this), QStringLiteral("PicTab"));
    PicTab->setGeometry(8, 8, 464, 384);
    clsTabStrip = new cTabStrip(this);
    connect(clsTabStrip, &cTabStrip::Click, this, &BackUpForm::clsTabStrip_Click);

    for (int i = 0; i < 2; ++i) {
        FrmTabSheet[i] = named(new QFrame(this), indexed("FrmTabSheet", i));
        FrmTabSheet[i]->setFrameStyle(QFrame::Box);
    }

    // ---- backup page
    {
        QWidget* page = FrmTabSheet[0];
        auto* v = new QVBoxLayout(page);

        auto* from = named(new QGroupBox(QStringLiteral("バックアップしたいペット"), page), QStringLiteral("FrmFrom"));
        auto* fromRow = new QHBoxLayout(from);
        fromRow->addWidget(named(new QLabel(QStringLiteral("ペット名"), from), QStringLiteral("LblPetSel")));
        CmbPetSel = named(new QComboBox(from), QStringLiteral("CmbPetSel"),
                          QStringLiteral("ここでバックアップしたいペットを選択します。"));
        CmbPetSel->setMinimumWidth(200);
        fromRow->addWidget(CmbPetSel, 1);
        v->addWidget(from);

        auto* to = named(new QGroupBox(QStringLiteral("バックアップ先"), page), QStringLiteral("FrmTo"));
        auto* toGrid = new QGridLayout(to);
        toGrid->addWidget(named(new QLabel(QStringLiteral("バックアップ先のフォルダ"), to), QStringLiteral("LblPathLabel")),
                          0, 0, 1, 2);
        LblPath[0] = pathLabel(to, indexed("LblPath", 0));
        toGrid->addWidget(LblPath[0], 1, 0);
        BtnRefer[0] = button(to, indexed("BtnRefer", 0), QStringLiteral("参照"),
                             QStringLiteral("このボタンでフォルダを選択します。"));
        toGrid->addWidget(BtnRefer[0], 1, 1);
        ChkLha = named(new QCheckBox(QStringLiteral("圧縮バックアップ"), to), QStringLiteral("ChkLha"),
                       QStringLiteral("ここをチェックすると、圧縮してバックアップします。"));
        ChkLha->setChecked(true);
        toGrid->addWidget(ChkLha, 2, 0, 1, 2);
        v->addWidget(to);

        auto* caution = named(new QFrame(page), QStringLiteral("PicCaution"));
        auto* cautionRow = new QHBoxLayout(caution);
        auto* icon = named(new QLabel(caution), QStringLiteral("ImgCaution"));
        icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
        cautionRow->addWidget(icon, 0, Qt::AlignTop);
        auto* lines = new QLabel(QStringLiteral("圧縮バックアップにするとLHA形式で圧縮保存します。\n"
                                                "圧縮するためには Unlha32.dll が別途必要です。\n"
                                                "圧縮しない場合はそのままフォルダを書き出します。"),
                                 caution);
        lines->setObjectName(QStringLiteral("LblCaution"));
        cautionRow->addWidget(lines, 1);
        v->addWidget(caution);
        v->addStretch(1);

        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        BtnBackup = button(page, QStringLiteral("BtnBackup"), QStringLiteral("ﾊﾞｯｸｱｯﾌﾟ"),
                           QStringLiteral("バックアップを開始します。"));
        BtnBackup->setEnabled(false);
        BtnCancel[0] = button(page, indexed("BtnCancel", 0), QStringLiteral("ｷｬﾝｾﾙ"), QStringLiteral("ウインドウを閉じます。"));
        buttons->addWidget(BtnBackup);
        buttons->addWidget(BtnCancel[0]);
        v->addLayout(buttons);
    }

    // ---- restore page
    {
        QWidget* page = FrmTabSheet[1];
        auto* v = new QVBoxLayout(page);

        auto* source = named(new QGroupBox(QStringLiteral("リストア元の設定"), page), QStringLiteral("FrmRestore"));
        auto* g = new QGridLayout(source);
        OptRestore[1] = named(new QRadioButton(QStringLiteral("バックアップフォルダからリストアする"), source),
                              indexed("OptRestore", 1), QStringLiteral("バックアップフォルダからリストアします。"));
        g->addWidget(OptRestore[1], 0, 0, 1, 2);
        LblPath[1] = pathLabel(source, indexed("LblPath", 1));
        g->addWidget(LblPath[1], 1, 0);
        BtnRefer[1] = button(source, indexed("BtnRefer", 1), QStringLiteral("参照"),
                             QStringLiteral("このボタンでバックアップフォルダを選択します。"));
        g->addWidget(BtnRefer[1], 1, 1);
        OptRestore[0] = named(new QRadioButton(QStringLiteral("圧縮バックアップファイルからリストアする"), source),
                              indexed("OptRestore", 0),
                              QStringLiteral("LHA形式で圧縮されたバックアップファイルからリストアします。"));
        g->addWidget(OptRestore[0], 2, 0, 1, 2);
        TxtRestoreFile = named(new QLineEdit(source), QStringLiteral("TxtRestoreFile"));
        g->addWidget(TxtRestoreFile, 3, 0);
        BtnReferFile = button(source, QStringLiteral("BtnReferFile"), QStringLiteral("参照"),
                              QStringLiteral("圧縮バックアップファイルを選択します。"));
        g->addWidget(BtnReferFile, 3, 1);
        v->addWidget(source);

        auto* info = named(new QFrame(page), QStringLiteral("PicRestore"));
        info->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        auto* ig = new QGridLayout(info);
        const QString captions[4] = {QStringLiteral("リストア情報"), QStringLiteral("ペット名"), QStringLiteral("飼い主名"),
                                     QStringLiteral("バックアップした日")};
        ig->addWidget(named(new QLabel(captions[0], info), indexed("LblRestore", 0)), 0, 0, 1, 2);
        for (int i = 0; i < 3; ++i) {
            ig->addWidget(named(new QLabel(captions[i + 1], info), indexed("LblRestore", i + 1)), i + 1, 0);
            LblRInfo[i] = named(new QLabel(info), indexed("LblRInfo", i));
            ig->addWidget(LblRInfo[i], i + 1, 1);
        }
        ig->setColumnStretch(1, 1);
        v->addWidget(info);
        v->addStretch(1);

        auto* buttons = new QHBoxLayout;
        BtnReload = button(page, QStringLiteral("BtnReload"), QStringLiteral("情報読込"), QStringLiteral("情報を更新します。"));
        buttons->addWidget(BtnReload);
        buttons->addStretch(1);
        BtnRestore = button(page, QStringLiteral("BtnRestore"), QStringLiteral("リストア"),
                            QStringLiteral("リストア設定に移ります。"));
        BtnRestore->setEnabled(false);
        BtnCancel[1] = button(page, indexed("BtnCancel", 1), QStringLiteral("ｷｬﾝｾﾙ"), QStringLiteral("ウインドウを閉じます。"));
        buttons->addWidget(BtnRestore);
        buttons->addWidget(BtnCancel[1]);
        v->addLayout(buttons);
    }

    // The archive source is selected at first.
    OptRestore[0]->setChecked(true);
    LblPath[1]->setEnabled(false);
    setBackground(LblPath[1], false);
    BtnRefer[1]->setEnabled(false);

    for (int i = 0; i < 2; ++i) {
        connect(BtnRefer[i], &QPushButton::clicked, this, [this, i] { BtnRefer_Click(i); });
        connect(BtnCancel[i], &QPushButton::clicked, this, [this, i] { BtnCancel_Click(i); });
        connect(OptRestore[i], &QRadioButton::clicked, this, [this, i] { OptRestore_Click(i); });
    }
    connect(BtnBackup, &QPushButton::clicked, this, &BackUpForm::BtnBackup_Click);
    connect(BtnReferFile, &QPushButton::clicked, this, &BackUpForm::BtnReferFile_Click);
    connect(TxtRestoreFile, &QLineEdit::textChanged, this, &BackUpForm::TxtRestoreFile_Change);
    connect(BtnReload, &QPushButton::clicked, this, &BackUpForm::BtnReload_Click);
    connect(BtnRestore, &QPushButton::clicked, this, &BackUpForm::BtnRestore_Click);
}

void BackUpForm::setBackground(QWidget* w, bool windowColour)
{
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, palette().color(windowColour ? QPalette::Base : QPalette::Button));
    w->setPalette(p);
}

void BackUpForm::Form_Load()
{
    clsTabStrip->setPictureBox(PicTab);
    clsTabStrip->TabsAdd(0, QStringLiteral("バックアップ"));
    clsTabStrip->TabsAdd(1, QStringLiteral("リストア"));
    clsTabStrip->setSelectedItem(tab_ == 2 ? 2 : 1);
    layoutPages();

    const PetTable& t = session_.table();
    if (t.MaxUser < 0) {
        session_.context().messages->critical(kMsgNoPetToBackUp);
        CmbPetSel->setEnabled(false);
        BtnRefer[0]->setEnabled(false);
        clsTabStrip->setSelectedItem(2);
        layoutPages();
    } else {
        for (int i = 0; i <= t.MaxUser && i < kMaxPets; ++i)
            CmbPetSel->addItem(t.Pet[i]);
        CmbPetSel->setCurrentIndex(0);
    }

    if (library_.version() <= 0) {
        ChkLha->setChecked(false);
        ChkLha->setEnabled(false);
        OptRestore[1]->setChecked(true);
        OptRestore_Click(1);
        OptRestore[0]->setEnabled(false);
    }
}

void BackUpForm::layoutPages()
{
    const QRect client(clsTabStrip->ClientLeft(), clsTabStrip->ClientTop(), clsTabStrip->ClientWidth(),
                       clsTabStrip->ClientHeight());
    for (int i = 0; i < clsTabStrip->TabsCount() && i < 2; ++i) {
        FrmTabSheet[i]->setFrameStyle(QFrame::NoFrame);
        FrmTabSheet[i]->setGeometry(client);
        FrmTabSheet[i]->raise();
        FrmTabSheet[i]->setVisible(clsTabStrip->SelectedItem() == i + 1);
    }
}

void BackUpForm::clsTabStrip_Click()
{
    for (int i = 0; i < clsTabStrip->TabsCount() && i < 2; ++i) {
        FrmTabSheet[i]->setFrameStyle(QFrame::NoFrame);
        FrmTabSheet[i]->setVisible(clsTabStrip->SelectedItem() == i + 1);
    }
}

void BackUpForm::BtnRefer_Click(int index)
{
    if (index != 0 && index != 1)
        return;
    const QString picked = session_.context().folderPicker->pickFolder(index == 0 ? kPickBackupFolder : kPickRestoreFolder);
    // A cancelled picker leaves everything as it was: no root folder in its place.
    if (picked.isEmpty())
        return;
    LblPath[index]->setText(withFinalSep(picked));
    if (index == 0)
        BtnBackup->setEnabled(true);
    else
        BtnReload_Click();
}

void BackUpForm::BtnBackup_Click()
{
    const QString destination = LblPath[0]->text();
    const int index = CmbPetSel->currentIndex();
    if (destination.isEmpty() || index < 0)
        return;  // the button stays disabled until a destination was chosen
    hide();
    Context& ctx = session_.context();
    bool ok;
    {
        // A folder backup from an empty gauge at 6 points a step; an archive has no steps.
        const bool toFolder = !ChkLha->isChecked();
        const BusyScope busy(ctx, toFolder);
        ok = toFolder ? BackupToFolder(session_, index, destination, Steps(ctx, 6))
                      : BackupToArchive(session_, library_, index, destination.left(destination.size() - 1));
    }
    if (ok)
        ctx.messages->information(kMsgBackupDone);
    else
        ctx.messages->critical(kMsgBackupFailed);
    accept();
}

void BackUpForm::BtnCancel_Click(int)
{
    reject();
}

void BackUpForm::OptRestore_Click(int index)
{
    const bool archive = index == 0;
    LblPath[1]->setEnabled(!archive);
    setBackground(LblPath[1], !archive);
    BtnRefer[1]->setEnabled(!archive);
    TxtRestoreFile->setEnabled(archive);
    QPalette p = TxtRestoreFile->palette();
    p.setColor(QPalette::Base, palette().color(archive ? QPalette::Base : QPalette::Button));
    TxtRestoreFile->setPalette(p);
    BtnReferFile->setEnabled(archive);
    BtnRestore->setEnabled(false);
    clearInfo();
}

void BackUpForm::BtnReferFile_Click()
{
    cCommonDlg dlg;
    dlg.setForm(this);
    dlg.setDialogTitle(QStringLiteral("ﾌｧｲﾙの選択"));
    dlg.setFilter(kArchiveFilter);
    dlg.setInitDir(QDir::currentPath());
    dlg.ShowOpen();
    if (dlg.CancelButton() || dlg.FileName().isEmpty())
        return;
    TxtRestoreFile->setText(dlg.FileName());
    BtnReload_Click();
}

void BackUpForm::TxtRestoreFile_Change()
{
    BtnRestore->setEnabled(false);
}

void BackUpForm::clearInfo()
{
    for (QLabel* l : LblRInfo)
        l->clear();
}

void BackUpForm::BtnReload_Click()
{
    MessagePort& messages = *session_.context().messages;
    std::optional<BackupInfo> info;
    if (OptRestore[0]->isChecked()) {
        const QString path = TxtRestoreFile->text();
        if (path.isEmpty()) {
            messages.critical(kMsgNoFileGiven);
            return;
        }
        if (!QFileInfo(path).isFile()) {
            messages.critical(kMsgNoSuchFile);
            return;
        }
        info = CheckArchiveSource(messages, library_, path);
    } else {
        const QString folder = LblPath[1]->text();
        if (folder.isEmpty()) {
            // Nothing chosen yet: say so rather than look at some other folder.
            messages.critical(kMsgNoFolderGiven);
            return;
        }
        info = CheckFolderSource(messages, folder);
    }
    if (!info) {
        clearInfo();
        BtnRestore->setEnabled(false);
        return;
    }
    LblRInfo[0]->setText(QLatin1Char(' ') + info->pet);
    LblRInfo[1]->setText(QLatin1Char(' ') + info->master);
    LblRInfo[2]->setText(formatBackupDate(info->date));
    BtnRestore->setEnabled(true);
}

RestoreSource BackUpForm::chosenSource() const
{
    RestoreSource s;
    s.kind = OptRestore[0]->isChecked() ? RestoreSource::Kind::Archive : RestoreSource::Kind::Folder;
    s.archive = TxtRestoreFile->text();
    s.folder = LblPath[1]->text();
    s.pet = LblRInfo[0]->text().mid(1);
    s.master = LblRInfo[1]->text().mid(1);
    return s;
}

void BackUpForm::BtnRestore_Click()
{
    // No room for another pet: refuse before anything is extracted or copied.
    if (session_.table().isFull()) {
        session_.context().messages->critical(texts::kMsgTooManyPets);
        return;
    }
    RestoreForm form(session_, library_, chosenSource(), this);
    if (form.Form_Load()) {
        if (runnerHook())
            runnerHook()(form);
        else
            form.exec();
    }
    if (form.restoring().registered())
        accept();
}
