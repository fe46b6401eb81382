#include "ui/main/HostLaunch.h"

#include "app/Context.h"
#include "app/Gauge.h"
#include "platform/ProcessRunner.h"
#include "platform/SystemClock.h"
#include "storage/FileOps.h"
#include "ui/main/Commands.h"
#include "ui/main/MainForm.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QSystemTrayIcon>

namespace {

constexpr int kLookIntervalMs = 50;      // between two looks for the receiving window
constexpr int kReceivingAppearMs = 2000; // how long the receiving window may take to show

// The tray picture: a small red-roofed kennel, drawn here so that no image file is needed.
QIcon kennelIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 40, 20), 1.5));
    p.setBrush(QColor(222, 184, 135));
    p.drawRect(QRectF(6, 14, 20, 15));
    QPainterPath roof;
    roof.moveTo(2, 15);
    roof.lineTo(16, 3);
    roof.lineTo(30, 15);
    roof.closeSubpath();
    p.setBrush(QColor(200, 40, 40));
    p.drawPath(roof);
    QPainterPath door;
    door.moveTo(12, 29);
    door.lineTo(12, 22);
    door.arcTo(QRectF(12, 18, 8, 8), 180, -180);
    door.lineTo(20, 29);
    door.closeSubpath();
    p.setBrush(QColor(70, 45, 25));
    p.drawPath(door);
    return QIcon(pixmap);
}

// Yields once to the event loop so that the windows and the tray keep answering.
void yieldOnce()
{
    QCoreApplication::processEvents();
}

} // namespace

ClockPort& LaunchServices::clockPort()
{
    static SystemClock systemClock;
    return clock ? *clock : systemClock;
}

ProcessPort& LaunchServices::processPort()
{
    static ProcessRunner runner;
    return process ? *process : runner;
}

LaunchServices& launchServices()
{
    static LaunchServices services;
    return services;
}

// ---- tray ------------------------------------------------------------------------------

HostTray::HostTray(Context& ctx, LaunchServices& services, QObject* parent)
    : QObject(parent), ctx_(ctx), services_(services)
{
    MnuTray = new QMenu(QStringLiteral("ﾀｽｸﾄﾚｲﾒﾆｭｰ"));
    MnuTray->setObjectName(QStringLiteral("MnuTray"));
    MnuTrayReturn = MnuTray->addAction(QStringLiteral("ﾍﾟｯﾄを強制帰宅"));
    MnuTrayReturn->setObjectName(QStringLiteral("MnuTrayReturn"));
    connect(MnuTrayReturn, &QAction::triggered, this, [this] { MnuTrayReturn_Click(ctx_, services_); });
}

HostTray::~HostTray()
{
    TrayRemove();
    delete MnuTray;
}

void HostTray::TrayAdd()
{
    if (icon_ || !QSystemTrayIcon::isSystemTrayAvailable())
        return; // without a tray the wait goes on all the same
    icon_ = new QSystemTrayIcon(kennelIcon(), this);
    icon_->setObjectName(QStringLiteral("PicTrayIcon"));
    icon_->setToolTip(kTrayTip);
    // The right button opens the menu (once at a time: QMenu is modal while open); a left
    // click does nothing.
    icon_->setContextMenu(MnuTray);
    icon_->show();
}

void HostTray::TrayRemove()
{
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

// ---- launch ----------------------------------------------------------------------------

void LaunchHost(Context& ctx, LaunchServices& services, const std::function<void()>& hideWindows)
{
    const QString host = ctx.paths.hostExecutable();
    if (!fileops::exists(host)) {
        ctx.critical(kMsgHostMissing);
        return;
    }

    {
        HostTray tray(ctx, services);
        tray.TrayAdd();
        if (hideWindows)
            hideWindows();
        // A host that cannot be started is not reported: the program simply ends.
        services.processPort().runAndWait(host, ctx.paths.ProgramFolder);
        tray.TrayRemove();
    }

    if (ctx.DateShifted) {
        ClockPort& clock = services.clockPort();
        if (clock.shiftDate(-1))
            ctx.DateShifted = false;
        else
            ctx.critical(kMsgDateNotRestored + QLatin1Char('\n') + clock.lastError());
    }
    ctx.endProgram(0);
}

void MnuTrayReturn_Click(Context& ctx, LaunchServices& services)
{
    // The menu can be reopened while the command waits; a second run would move the date twice.
    if (services.trayCommandRunning)
        return;
    // A date left a day ahead by an earlier run must not be moved further.
    if (ctx.DateShifted) {
        ctx.critical(kMsgDateNotRestored);
        return;
    }
    services.trayCommandRunning = true;
    ClockPort& clock = services.clockPort();
    ProcessPort& process = services.processPort();

    // Keys sent without the host's window in front would land in some other program.
    if (!ctx.windows || !ctx.windows->activateWindow(texts::kHostTitle)) {
        services.trayCommandRunning = false;
        ctx.critical(kMsgHostWindowMissing);
        return;
    }
    yieldOnce();

    ctx.DateShifted = false;
    if (!clock.shiftDate(+1)) {
        services.trayCommandRunning = false;
        ctx.critical(kMsgDateNotShifted + QLatin1Char('\n') + clock.lastError());
        return;
    }
    // From here on the date stands a day ahead: whoever ends first puts it back.
    ctx.DateShifted = true;

    ctx.windows->sendAltFThenM();

    // The keys are delivered, but the host opens its receiving window only once it has
    // handled them: give it a moment to appear, then wait while it is open.
    for (int waited = 0;
         waited < kReceivingAppearMs && process.isRunning() && !ctx.windows->windowExists(texts::kReceivingTitle);
         waited += kLookIntervalMs)
        clock.wait(kLookIntervalMs);
    while (process.isRunning() && ctx.windows->windowExists(texts::kReceivingTitle))
        clock.wait(kLookIntervalMs);
    if (process.isRunning())
        clock.wait(3000);

    if (clock.shiftDate(-1)) {
        ctx.DateShifted = false;
    } else {
        // Left true: the end of the host's run tries once more.
        ctx.critical(kMsgDateNotRestored + QLatin1Char('\n') + clock.lastError());
    }
    services.trayCommandRunning = false;
}

// ---- the main window's commands ----------------------------------------------------------

void launchHost(MainForm& main)
{
    LaunchHost(main.ctx(), launchServices(), [&main] { main.hideAllWindows(); });
}

void BtnLaunch_Click(MainForm& main)
{
    Context& ctx = main.ctx();
    if (main.selectorText() != texts::kNewPetEntry) {
        launchHost(main); // the selected pet is already the current one
        return;
    }
    if (ctx.table.isFull()) {
        ctx.critical(texts::kMsgTooManyPets);
        return;
    }
    main.BusyOn();
    ProgressReset(ctx);
    ctx.StepSize = 6;
    const bool registered = showNewForm(main);
    ProgressFill(ctx);
    main.BusyOff();
    ctx.StepSize = 0;
    if (registered)
        launchHost(main);
}
