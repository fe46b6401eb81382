#include "app/HostLaunch.h"

#include "shell/FileOps.h"
#include "storage/Session.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

constexpr int kLookIntervalMs = 50;      // between two looks for the receiving window
constexpr int kReceivingAppearMs = 2000; // how long the receiving window may take to show
constexpr int kWatchIntervalMs = 250;    // between two looks for the host's window

} // namespace

HostLauncher::HostLauncher(Session& session) : session_(session), ctx_(session.context()) {}

void HostLauncher::LaunchHost(LaunchView& view)
{
    const QString host = session_.layout().hostExecutable();
    if (!fileops::exists(host)) {
        ctx_.messages->critical(kMsgHostMissing);
        return;
    }
    if (const QString why = ctx_.process->whyNotStartable(host); !why.isEmpty()) {
        ctx_.messages->critical(kMsgHostNotStarted + QLatin1Char('\n') + why);
        return;
    }

    HostRun run;
    {
        view.hideAllWindows();
        view.TrayAdd();
        // Whether the host got as far as its window tells a host that ran from one that
        // could not (Wine refusing its prefix, a missing library): both just end.
        hostWindowSeen_ = false;
        QTimer watch;
        watch.setInterval(kWatchIntervalMs);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (ctx_.windows->windowExists(texts::kHostTitle)) {
                hostWindowSeen_ = true;
                watch.stop();
            }
        });
        watch.start();
        run = ctx_.process->runAndWait(host, session_.layout().ProgramFolder, ctx_.clock->hostEnvironment());
        view.TrayRemove();
    }

    if (dateShifted_) {
        if (ctx_.clock->shiftDate(-1))
            dateShifted_ = false;
        else
            ctx_.messages->critical(kMsgDateNotRestored + QLatin1Char('\n') + ctx_.clock->lastError());
    }
    ctx_.clock->hostEnded(); // the program may end without running destructors
    if (run.started && (run.exitCode == 0 || hostWindowSeen_))
        ctx_.endProgram(0);

    // Kennel stays: the main window comes back. A host that ended at once may still have
    // written its places, so they are stored before anything replaces them.
    view.restoreWindows();
    if (run.started) {
        session_.setCurrentUnstored(session_.currentUnstored() || session_.table().CurrentUser >= 0);
        ctx_.messages->critical(kMsgHostEndedAtOnce.arg(run.exitCode));
    } else {
        ctx_.messages->critical(kMsgHostNotStarted + QLatin1Char('\n') + run.error);
    }
}

void HostLauncher::MnuTrayReturn_Click()
{
    // The menu can be reopened while the command waits; a second run would move the date twice.
    if (trayCommandRunning_)
        return;
    // A date left a day ahead by an earlier run must not be moved further.
    if (dateShifted_) {
        ctx_.messages->critical(kMsgDateNotRestored);
        return;
    }
    trayCommandRunning_ = true;
    ClockPort& clock = *ctx_.clock;
    ProcessPort& process = *ctx_.process;
    WindowPort& windows = *ctx_.windows;

    // Keys sent without the host's window in front would land in some other program.
    if (!windows.activateWindow(texts::kHostTitle)) {
        trayCommandRunning_ = false;
        ctx_.messages->critical(kMsgHostWindowMissing);
        return;
    }
    hostWindowSeen_ = true;
    QCoreApplication::processEvents(); // the windows and the tray keep answering

    if (!clock.shiftDate(+1)) {
        trayCommandRunning_ = false;
        ctx_.messages->critical(kMsgDateNotShifted + QLatin1Char('\n') + clock.lastError());
        return;
    }
    // From here on the date stands a day ahead: whoever ends first puts it back.
    dateShifted_ = true;

    windows.sendAltFThenM();

    // The keys are delivered, but the host opens its receiving window only once it has
    // handled them: give it a moment to appear, then wait while it is open.
    for (int waited = 0; waited < kReceivingAppearMs && process.isRunning() && !windows.windowExists(texts::kReceivingTitle);
         waited += kLookIntervalMs)
        clock.wait(kLookIntervalMs);
    while (process.isRunning() && windows.windowExists(texts::kReceivingTitle))
        clock.wait(kLookIntervalMs);
    if (process.isRunning())
        clock.wait(3000);

    if (clock.shiftDate(-1)) {
        dateShifted_ = false;
    } else {
        // Left set: the end of the host's run tries once more.
        ctx_.messages->critical(kMsgDateNotRestored + QLatin1Char('\n') + clock.lastError());
    }
    trayCommandRunning_ = false;
}
