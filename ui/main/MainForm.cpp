#include "ui/main/MainForm.h"

#include "platform/InstanceLock.h"
#include "ports/Causes.h"

#include "backup/UnlhaLibrary.h"
#include "import/ImportOps.h"
#include "registry/Texts.h"
#include "storage/Session.h"
#include "ui/backup/BackUpForm.h"
#include "ui/backup/UnlhaVerForm.h"
#include "ui/import/ImportForm.h"
#include "ui/main/AboutForm.h"
#include "ui/main/ConfigForm.h"
#include "ui/main/ConvertForm.h"
#include "ui/main/HostTray.h"
#include "ui/main/InitializeForm.h"
#include "ui/main/NewForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

// The pictures are linked into a static library: their registration must be pulled in.
static void initMainFormResources()
{
    Q_INIT_RESOURCE(mainform);
}

namespace {

QToolButton* pictureButton(QWidget* parent, const char* name, const QString& text, const QString& tip,
                           const QString& picture)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(text);
    b->setToolTip(tip);
    // The pictures come at 1x and 2x (name@2x.png), so they stay sharp on high-density screens.
    b->setIcon(QIcon(QStringLiteral(":/kennel/") + picture + QStringLiteral(".png")));
    b->setIconSize(QSize(32, 32));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(false);
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

QPixmap picture(const QString& name)
{
    return QIcon(QStringLiteral(":/kennel/") + name + QStringLiteral(".png")).pixmap(QSize(20, 20));
}

QAction* menuAction(QMenu* menu, const char* name, const QString& caption, const QKeySequence& key = {})
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    if (!key.isEmpty())
        a->setShortcut(key);
    return a;
}

} // namespace

MainForm::MainForm(Session& session, UnlhaLibrary& library, InstanceLock lock, QWidget* parent)
    : QMainWindow(parent), ctx_(session.context()), session_(session), library_(library), instanceLock_(lock),
      launcher_(session)
{
    initMainFormResources();
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(texts::kProgramTitle);
    buildControls();
    buildMenus();
    ctx_.view = *this;
}

MainForm::~MainForm()
{
    ctx_.releaseView(*this);
}

void MainForm::buildControls()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    ImgLogo = new QLabel(central);
    ImgLogo->setObjectName(QStringLiteral("ImgLogo"));
    ImgLogo->setPixmap(QIcon(QStringLiteral(":/kennel/logo.png")).pixmap(QSize(320, 64)));
    ImgLogo->setAlignment(Qt::AlignCenter);
    ImgLogo->installEventFilter(this);
    layout->addWidget(ImgLogo);

    FrmPetSel = new QGroupBox(QStringLiteral("起動したいペットを選択してください。"), central);
    FrmPetSel->setObjectName(QStringLiteral("FrmPetSel"));
    auto* petLayout = new QHBoxLayout(FrmPetSel);
    CmbPetSel = new QComboBox(FrmPetSel);
    CmbPetSel->setObjectName(QStringLiteral("CmbPetSel"));
    CmbPetSel->setToolTip(QStringLiteral("起動したいペットを選んでください。"));
    CmbPetSel->setMinimumWidth(180);
    LblMaster = new QLabel(QStringLiteral("飼い主の名前"), FrmPetSel);
    LblMaster->setObjectName(QStringLiteral("LblMaster"));
    TxtMaster = new QLineEdit(FrmPetSel);
    TxtMaster->setObjectName(QStringLiteral("TxtMaster"));
    TxtMaster->setToolTip(QStringLiteral("飼い主の名前"));
    TxtMaster->setReadOnly(true);
    LblMaster->setBuddy(TxtMaster);
    petLayout->addWidget(CmbPetSel, 1);
    petLayout->addWidget(LblMaster);
    petLayout->addWidget(TxtMaster, 1);
    layout->addWidget(FrmPetSel);

    auto* buttons = new QHBoxLayout;
    BtnLaunch = pictureButton(central, "BtnLaunch", QStringLiteral("起動"),
                              QStringLiteral("ミューメールを起動します。"), QStringLiteral("launch"));
    BtnDelete = pictureButton(central, "BtnDelete", QStringLiteral("削除"),
                              QStringLiteral("現在選択中のペットを削除します。"), QStringLiteral("delete"));
    BtnBackUp = pictureButton(central, "BtnBackUp", QStringLiteral("バックアップ"),
                              QStringLiteral("ペットをバックアップ・リストアします。"), QStringLiteral("backup"));
    BtnConfig = pictureButton(central, "BtnConfig", QStringLiteral("設定"), QStringLiteral("環境設定を行います。"),
                              QStringLiteral("config"));
    BtnOyatsu = pictureButton(central, "BtnOyatsu", QStringLiteral("おやつ"),
                              QStringLiteral("おやつをインポートします。"), QStringLiteral("oyatsu"));
    BtnExit = pictureButton(central, "BtnExit", QStringLiteral("終了"), QStringLiteral("終了します。"),
                            QStringLiteral("exit"));
    // One width for the whole row: that of the widest caption.
    const std::initializer_list<QToolButton*> row = {BtnLaunch, BtnDelete, BtnBackUp, BtnConfig, BtnOyatsu, BtnExit};
    int width = 0;
    for (QToolButton* b : row)
        width = std::max(width, b->sizeHint().width());
    for (QToolButton* b : row) {
        b->setMinimumWidth(width);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        buttons->addWidget(b, 1);
    }
    layout->addLayout(buttons);

    auto* status = new QHBoxLayout;
    // The two lamp pictures live in hidden images, as the lamp takes them from there.
    for (int k = 0; k < 2; ++k) {
        PicBusy[k] = new QLabel(central);
        PicBusy[k]->setObjectName(QStringLiteral("PicBusy_%1").arg(k));
        PicBusy[k]->setPixmap(picture(k == 0 ? QStringLiteral("busy") : QStringLiteral("idle")));
        PicBusy[k]->hide();
    }
    ImgBusy = new QLabel(central);
    ImgBusy->setObjectName(QStringLiteral("ImgBusy"));
    ImgBusy->setToolTip(QStringLiteral("ビジーランプ"));
    ImgBusy->setFixedSize(20, 20);
    ImgBusy->setPixmap(PicBusy[1]->pixmap());
    PicProgress = new QWidget(central);
    PicProgress->setObjectName(QStringLiteral("PicProgress"));
    PicProgress->setToolTip(QStringLiteral("処理状況ゲージ"));
    PicProgress->setMinimumHeight(20);
    status->addWidget(ImgBusy);
    status->addWidget(PicProgress, 1);
    layout->addLayout(status);

    setCentralWidget(central);

    // Keyboard order: the selector and owner box, then the buttons from left to right.
    QWidget::setTabOrder(CmbPetSel, TxtMaster);
    QWidget::setTabOrder(TxtMaster, BtnLaunch);
    QWidget* previous = BtnLaunch;
    for (QWidget* w : {BtnDelete, BtnBackUp, BtnConfig, BtnOyatsu, BtnExit}) {
        QWidget::setTabOrder(previous, w);
        previous = w;
    }

    OpenTimer = new QTimer(this);
    OpenTimer->setObjectName(QStringLiteral("OpenTimer"));
    OpenTimer->setInterval(100);
    OpenTimer->setSingleShot(true);
    connect(OpenTimer, &QTimer::timeout, this, &MainForm::OpenTimer_Timer);

    connect(CmbPetSel, &QComboBox::activated, this, &MainForm::CmbPetSel_Click);
    connect(BtnLaunch, &QToolButton::clicked, this, &MainForm::BtnLaunch_Click);
    connect(BtnDelete, &QToolButton::clicked, this, &MainForm::BtnDelete_Click);
    connect(BtnBackUp, &QToolButton::clicked, this, &MainForm::BtnBackup_Click);
    connect(BtnConfig, &QToolButton::clicked, this, &MainForm::BtnConfig_Click);
    connect(BtnOyatsu, &QToolButton::clicked, this, &MainForm::BtnOyatsu_Click);
    connect(BtnExit, &QToolButton::clicked, this, &MainForm::BtnExit_Click);
}

void MainForm::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    file->setObjectName(QStringLiteral("MnuFile"));
    MnuFileLaunch =
        menuAction(file, "MnuFileLaunch", QStringLiteral("Mewmailを起動(&P)"), QKeySequence(Qt::CTRL | Qt::Key_P));
    MnuFileImport =
        menuAction(file, "MnuFileImport", QStringLiteral("おやつのｲﾝﾎﾟｰﾄ(&I)"), QKeySequence(Qt::CTRL | Qt::Key_I));
    file->addSeparator();
    MnuFileExit = menuAction(file, "MnuFileExit", QStringLiteral("閉じる(&X)"), QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* pet = menuBar()->addMenu(QStringLiteral("ﾍﾟｯﾄ(&P)"));
    pet->setObjectName(QStringLiteral("MnuPet"));
    MnuPetNew = menuAction(pet, "MnuPetNew", QStringLiteral("新規ﾍﾟｯﾄ(&N)"), QKeySequence(Qt::CTRL | Qt::Key_N));
    MnuPetDel = menuAction(pet, "MnuPetDel", QStringLiteral("ﾍﾟｯﾄ削除(&D)"), QKeySequence(Qt::CTRL | Qt::Key_D));
    pet->addSeparator();
    MnuPetBackUp[0] =
        menuAction(pet, "MnuPetBackUp_0", QStringLiteral("ﾍﾟｯﾄのﾊﾞｯｸｱｯﾌﾟ"), QKeySequence(Qt::CTRL | Qt::Key_B));
    MnuPetBackUp[1] =
        menuAction(pet, "MnuPetBackUp_1", QStringLiteral("ﾍﾟｯﾄのﾘｽﾄｱ"), QKeySequence(Qt::CTRL | Qt::Key_R));

    QMenu* set = menuBar()->addMenu(QStringLiteral("設定(&S)"));
    set->setObjectName(QStringLiteral("MnuSet"));
    MnuSetConfig = menuAction(set, "MnuSetConfig", QStringLiteral("環境設定(&C)"), QKeySequence(Qt::CTRL | Qt::Key_S));

    QMenu* help = menuBar()->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    help->setObjectName(QStringLiteral("MnuHelp"));
    MnuHelpAbout = menuAction(help, "MnuHelpAbout", QStringLiteral("Kennel 2001 について"));
    MnuHelpUnlha = menuAction(help, "MnuHelpUnlha", QStringLiteral("Unlha32.dll について"));

    connect(MnuFileLaunch, &QAction::triggered, this, &MainForm::BtnLaunch_Click);
    connect(MnuFileImport, &QAction::triggered, this, &MainForm::BtnOyatsu_Click);
    connect(MnuFileExit, &QAction::triggered, this, &MainForm::BtnExit_Click);
    connect(MnuPetNew, &QAction::triggered, this, &MainForm::MnuPetNew_Click);
    connect(MnuPetDel, &QAction::triggered, this, &MainForm::BtnDelete_Click);
    connect(MnuPetBackUp[0], &QAction::triggered, this, [this] { MnuPetBackUp_Click(0); });
    connect(MnuPetBackUp[1], &QAction::triggered, this, [this] { MnuPetBackUp_Click(1); });
    connect(MnuSetConfig, &QAction::triggered, this, &MainForm::BtnConfig_Click);
    connect(MnuHelpAbout, &QAction::triggered, this, &MainForm::MnuHelpAbout_Click);
    connect(MnuHelpUnlha, &QAction::triggered, this, &MainForm::MnuHelpUnlha_Click);
}

void MainForm::Form_Load()
{
    const int lockError = instanceLock_ == InstanceLock::Failed ? instanceLockError() : 0;
    StartupRefusals(ctx_, instanceLock_,
                    lockError ? causes::line(session_.layout().ProgramFolder, lockError) : QString());

    progBar_.setParent(PicProgress);
    progBar_.Create();

    show();
    CmbPetSel->addItem(texts::kNewPetEntry);
    CmbPetSel->setCurrentIndex(0);
    TxtMaster->clear();
    unlhaVersionText_ = unlhaVersionLine(library_.version());

    startup_.emplace(ctx_, false); // busy until the start-up check is over; the gauge stands at 0
    OpenTimer->start();
}

void MainForm::OpenTimer_Timer()
{
    OpenTimer->stop();
    const StartupOutcome outcome = StartupCheck(session_, *this);
    startup_.reset();
    if (outcome == StartupOutcome::LaunchHost)
        launcher_.LaunchHost(*this);
    if (CmbPetSel->isEnabled())
        CmbPetSel->setFocus();
}

// ---- the host's run ---------------------------------------------------------------------

void MainForm::hideAllWindows()
{
    hidden_.clear();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) {
            hidden_ << w;
            w->hide();
        }
}

void MainForm::TrayAdd()
{
    tray_ = std::make_unique<HostTray>(launcher_);
    tray_->TrayAdd();
}

void MainForm::TrayRemove()
{
    tray_.reset();
}

void MainForm::restoreWindows()
{
    for (const QPointer<QWidget>& w : std::as_const(hidden_))
        if (w)
            w->show();
    hidden_.clear();
    activateWindow();
}

// ---- busy state and gauge -------------------------------------------------------------

void MainForm::setCommandsEnabled(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{CmbPetSel, TxtMaster, BtnLaunch, BtnOyatsu, BtnBackUp, BtnConfig,
                                                      BtnDelete, BtnExit})
        w->setEnabled(enabled);
    for (QAction* a :
         {MnuFileLaunch, MnuFileImport, MnuPetNew, MnuPetDel, MnuPetBackUp[0], MnuPetBackUp[1], MnuSetConfig})
        a->setEnabled(enabled);
}

void MainForm::BusyOn()
{
    ImgBusy->setPixmap(PicBusy[0]->pixmap());
    ImgBusy->setProperty("busy", true);
    busy_ = true;
    setCommandsEnabled(false);
    setCursor(Qt::WaitCursor);
}

void MainForm::BusyOff()
{
    ImgBusy->setPixmap(PicBusy[1]->pixmap());
    ImgBusy->setProperty("busy", false);
    busy_ = false;
    setCommandsEnabled(true);
    unsetCursor();
    if (CmbPetSel->currentText() == texts::kNewPetEntry)
        setDeleteEnabled(false);
    // An idle window is driven from the pet selector.
    CmbPetSel->setFocus();
    QApplication::beep();
}

void MainForm::setGaugePosition(int pos)
{
    progBar_.SetProgBarPos(pos);
}

void MainForm::delayGauge(int ms)
{
    progBar_.DelayProgBar(ms);
}

// ---- selector --------------------------------------------------------------------------

void MainForm::showPets()
{
    const PetTable& t = session_.table();
    CmbPetSel->clear();
    CmbPetSel->addItem(texts::kNewPetEntry);
    for (int i = 0; i <= t.MaxUser && i < kMaxPets; ++i)
        CmbPetSel->addItem(t.Pet[i]);
    const bool current = t.CurrentUser >= 0 && t.CurrentUser <= t.MaxUser;
    CmbPetSel->setCurrentIndex(current ? t.CurrentUser + 1 : 0);
    TxtMaster->setText(current ? t.Master[t.CurrentUser] : QString());
    if (!current)
        setDeleteEnabled(false);
}

void MainForm::setDeleteEnabled(bool enabled)
{
    BtnDelete->setEnabled(enabled);
    MnuPetDel->setEnabled(enabled);
}

// ---- commands --------------------------------------------------------------------------

void MainForm::CmbPetSel_Click()
{
    // Entry 0 is "新規ペット"; the chosen pet's owner shows at once, as its data loads.
    const int index = CmbPetSel->currentIndex() - 1;
    const PetTable& t = session_.table();
    if (index >= 0 && index <= t.MaxUser && index != t.CurrentUser)
        TxtMaster->setText(t.Master[index]);
    session_.switchTo(index);
    showPets();
}

void MainForm::BtnLaunch_Click()
{
    // A pet chosen in the selector is the current one already.
    if (CmbPetSel->currentText() != texts::kNewPetEntry) {
        launcher_.LaunchHost(*this);
        return;
    }
    if (session_.table().isFull()) {
        ctx_.messages->critical(texts::kMsgTooManyPets);
        return;
    }
    bool registered = false;
    {
        // The new pet's Kennel.ini and template at 6 points a step.
        const BusyScope busy(ctx_);
        registered = showNewForm(Steps(ctx_, 6));
    }
    if (registered)
        launcher_.LaunchHost(*this);
}

void MainForm::BtnDelete_Click()
{
    session_.deletePet(CmbPetSel->currentIndex() - 1);
    showPets();
}

void MainForm::BtnBackup_Click()
{
    showBackUpForm(1);
}

void MainForm::MnuPetBackUp_Click(int index)
{
    showBackUpForm(index + 1);
}

void MainForm::showBackUpForm(int tab)
{
    BackUpForm form(session_, library_, tab, this);
    form.Form_Load();
    form.exec();
    showPets(); // a restored pet joins the selector
}

void MainForm::BtnConfig_Click()
{
    showConfigForm();
}

void MainForm::BtnOyatsu_Click()
{
    if (session_.table().MaxUser == -1) {
        ctx_.messages->critical(importops::kMsgNoPets);
        return;
    }
    // One dialog at a time: a second click brings the open one forward.
    ImportForm* form = findChild<ImportForm*>(QString(), Qt::FindDirectChildrenOnly);
    if (!form) {
        form = new ImportForm(session_, this);
        form->setAttribute(Qt::WA_DeleteOnClose);
    }
    form->show();
    form->raise();
    form->activateWindow();
}

void MainForm::BtnExit_Click()
{
    close();
}

void MainForm::MnuPetNew_Click()
{
    CmbPetSel->setCurrentIndex(0);
    CmbPetSel_Click();
    // The pet before could not be stored: it stays selected, and no new pet is set up.
    if (CmbPetSel->currentText() != texts::kNewPetEntry)
        return;
    BtnLaunch_Click();
}

void MainForm::MnuHelpAbout_Click()
{
    // One box at a time; asking again brings it to the front.
    AboutForm* box = findChild<AboutForm*>(QString(), Qt::FindDirectChildrenOnly);
    if (!box) {
        box = new AboutForm(*ctx_.messages, buildconfig::configuredContacts(), this);
        // Closed by its button, Escape or the title bar, the box goes; it opens folded again.
        connect(box, &QDialog::finished, box, &QObject::deleteLater);
    }
    box->show();
    box->raise();
    box->activateWindow();
}

void MainForm::MnuHelpUnlha_Click()
{
    // One box, kept while the program runs: closing it only hides it.
    UnlhaVerForm* box = findChild<UnlhaVerForm*>(QString(), Qt::FindDirectChildrenOnly);
    if (!box)
        box = new UnlhaVerForm(unlhaVersionText_, this);
    box->show();
    box->raise();
    box->activateWindow();
}

void MainForm::ImgLogo_DblClick()
{
    MnuHelpAbout_Click();
}

void MainForm::closeEvent(QCloseEvent* event)
{
    if (busy_) {
        event->ignore();
        ctx_.messages->critical(texts::kMsgFileProcessing);
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

bool MainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ImgLogo && event->type() == QEvent::MouseButtonDblClick) {
        ImgLogo_DblClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- the dialogs of start-up -------------------------------------------------------------

void MainForm::showConfigForm()
{
    ConfigForm form(session_, this);
    form.exec();
}

bool MainForm::showNewForm(Steps steps)
{
    NewForm form(session_, steps, this);
    const bool registered = form.exec() == QDialog::Accepted;
    showPets();
    return registered;
}

bool MainForm::showInitializeForm(Steps steps)
{
    InitializeForm form(session_, steps, this);
    form.exec();
    showPets();
    return session_.registryLoaded();
}

void MainForm::showConvertForm(Steps steps)
{
    ConvertForm form(session_, steps, [this] { showConfigForm(); }, this);
    form.exec();
    showPets();
}
