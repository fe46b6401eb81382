#include "ui/main/HostTray.h"

#include "app/HostLaunch.h"
#include "ui/main/ProgramIcon.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Closing the TaskTray window only minimises it: it is the one way to the command while
// the host runs, and the host's end is what ends Kennel.
class TaskTrayWindow : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        showMinimized();
    }
};

} // namespace

HostTray::HostTray(HostLauncher& launcher, QObject* parent) : QObject(parent), launcher_(launcher)
{
    MnuTray = new QMenu(QStringLiteral("ﾀｽｸﾄﾚｲﾒﾆｭｰ"));
    MnuTray->setObjectName(QStringLiteral("MnuTray"));
    MnuTray->setWindowTitle(MnuTray->title()); // lets scripts find the open menu
    MnuTrayReturn = MnuTray->addAction(QStringLiteral("ﾍﾟｯﾄを強制帰宅"));
    MnuTrayReturn->setObjectName(QStringLiteral("MnuTrayReturn"));
    connect(MnuTrayReturn, &QAction::triggered, this, [this] { launcher_.MnuTrayReturn_Click(); });
}

HostTray::~HostTray()
{
    TrayRemove();
    delete MnuTray;
}

void HostTray::TrayAdd()
{
    if (icon_ || IconForm)
        return;
    const QIcon picture = programIcon();
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        IconForm = new TaskTrayWindow;
        IconForm->setObjectName(QStringLiteral("IconForm"));
        IconForm->setWindowTitle(kTaskTrayCaption);
        IconForm->setWindowIcon(picture);
        auto* command = new QToolButton(IconForm);
        command->setObjectName(QStringLiteral("BtnTrayReturn"));
        command->setDefaultAction(MnuTrayReturn);
        command->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        command->setIcon(picture);
        command->setMinimumHeight(40);
        auto* layout = new QVBoxLayout(IconForm);
        layout->addWidget(command);
        IconForm->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
        IconForm->show();
        command->setFocus();
        return;
    }
    icon_ = new QSystemTrayIcon(picture, this);
    icon_->setObjectName(QStringLiteral("PicTrayIcon"));
    icon_->setToolTip(kTrayTip);
    // The right button opens the menu (once at a time: QMenu is modal while open); a left
    // click does nothing.
    icon_->setContextMenu(MnuTray);
    icon_->show();
}

void HostTray::TrayRemove()
{
    delete IconForm;
    IconForm = nullptr;
    if (!icon_)
        return;
    icon_->hide();
    icon_->setContextMenu(nullptr);
    delete icon_;
    icon_ = nullptr;
}

bool HostTray::iconShown() const
{
    return icon_ && icon_->isVisible();
}
