#include "app/HostLaunch.h"

#include "ports/Context.h"
#include "ports/Gauge.h"
#include "platform/HostClock.h"
#include "platform/ProcessRunner.h"
#include "shell/FileOps.h"
#include "ui/main/Commands.h"
#include "ui/main/HostTray.h"
#include "ui/main/MainForm.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

constexpr int kLookIntervalMs = 50;      // between two looks for the receiving window
constexpr int kReceivingAppearMs = 2000; // how long the receiving window may take to show
constexpr int kWatchIntervalMs = 250;    // between two looks for the host's window

// Yields once to the event loop so that the windows and the tray keep answering.
void yieldOnce()
{
    QCoreApplication::processEvents();
}

} // namespace

ClockPort& LaunchServices::clockPort()
{
    static HostClock hostClock;
    return clock ? *clock : hostClock;
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

// ---- launch ----------------------------------------------------------------------------

void LaunchHost(Context& ctx, LaunchServices& services, const LaunchWindows& windows)
{
    const QString host = ctx.paths.hostExecutable();
    if (!fileops::exists(host)) {
        ctx.critical(kMsgHostMissing);
        return;
    }
    if (const QString why = services.processPort().whyNotStartable(host); !why.isEmpty()) {
        ctx.critical(kMsgHostNotStarted + QLatin1Char('\n') + why);
        return;
    }

    HostRun run;
    {
        if (windows.hide)
            windows.hide();
        HostTray tray(ctx, services);
        tray.TrayAdd();
        // Whether the host got as far as its window tells a host that ran from one that
        // could not (Wine refusing its prefix, a missing library): both just end.
        services.hostWindowSeen = false;
        QTimer watch;
        watch.setInterval(kWatchIntervalMs);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (ctx.windows && ctx.windows->windowExists(texts::kHostTitle)) {
                services.hostWindowSeen = true;
                watch.stop();
            }
        });
        watch.start();
        run = services.processPort().runAndWait(host, ctx.paths.ProgramFolder, services.clockPort().hostEnvironment());
        tray.TrayRemove();
    }

    if (ctx.DateShifted) {
        ClockPort& clock = services.clockPort();
        if (clock.shiftDate(-1))
            ctx.DateShifted = false;
        else
            ctx.critical(kMsgDateNotRestored + QLatin1Char('\n') + clock.lastError());
    }
    services.clockPort().hostEnded(); // the program may end without running destructors
    if (run.started && (run.exitCode == 0 || services.hostWindowSeen))
        ctx.endProgram(0);

    // Kennel stays: the main window comes back. A host that ended at once may still have
    // written its places, so they are stored before anything replaces them.
    if (windows.restore)
        windows.restore();
    if (run.started) {
        ctx.CurrentUnstored = ctx.CurrentUnstored || ctx.table.CurrentUser >= 0;
        ctx.critical(kMsgHostEndedAtOnce.arg(run.exitCode));
    } else {
        ctx.critical(kMsgHostNotStarted + QLatin1Char('\n') + run.error);
    }
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
    services.hostWindowSeen = true;
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
    LaunchHost(main.ctx(), launchServices(), {[&main] { main.hideAllWindows(); }, [&main] { main.restoreWindows(); }});
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
