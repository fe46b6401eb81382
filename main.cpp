// Kennel: keeps many pets for a host that keeps one.
#include "app/BuildConfig.h"
#include "app/CommandLine.h"
#include "app/Context.h"
#include "app/HostSetup.h"
#include "backup/UnlhaLibrary.h"
#include "controls/JapaneseDialogs.h"
#include "platform/FrontRequest.h"
#include "platform/InstanceLock.h"
#include "platform/LogFile.h"
#include "platform/QtPorts.h"
#include "ui/main/MainForm.h"
#include "ui/main/ProgramIcon.h"
#include "ui/main/SetupPrompt.h"

#include <QApplication>
#include <QFileInfo>

#include <optional>

#if __has_include("platform/X11WindowPort.h")
#include "platform/X11WindowPort.h"
#define KENNEL_HAVE_X11_PORT 1
#endif

int main(int argc, char* argv[])
{
    // Help, version, a wrong option and a setup into a named folder need no window or display.
    const CommandLine line = parseCommandLine(argc, argv);
    if (const auto code = answerCommandLine(line))
        return *code;
    const SetupSources self{QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(), programIconFolder()};
    if (line.action == CommandLine::Action::Setup && !line.hostFolder.isEmpty())
        return printSetup(setupHostFolder(self, line.hostFolder, dataHomeFolder()));

    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Kennel"));
    app.setDesktopFileName(buildconfig::kAppId);
    app.setWindowIcon(programIcon());
    app.setQuitOnLastWindowClosed(false);  // hidden while the host runs

    useJapaneseQtTexts();
    logfile::start(logfile::defaultPath(), QCoreApplication::applicationDirPath());

    if (line.action == CommandLine::Action::Setup)
        return setupWithWindows(self);

    // Everything below works in the folder that holds this executable.
    const QString programFolder = QCoreApplication::applicationDirPath();

    QtMessagePort messages;
    QtExitPort exitPort;
    QtFolderPicker picker;
    QtCopyProgress copyProgress;
    QtKeepAlive keepAlive;
    UnlhaLibrary unlha(programFolder);

    Context ctx;
    ctx.paths = HostLayout(programFolder);
    ctx.messages = &messages;
    ctx.exit = &exitPort;
    ctx.folderPicker = &picker;
    ctx.copyProgress = &copyProgress;
    ctx.unlha = &unlha;
    ctx.keepAlive = &keepAlive;
#ifdef KENNEL_HAVE_X11_PORT
    X11WindowPort windows;
    ctx.windows = &windows;
#endif

    // A second start tells so, then brings the running Kennel to the front.
    const InstanceLock lock = acquireInstanceLock(programFolder);
    FrontThenExit frontThenExit(exitPort, programFolder);
    if (lock == InstanceLock::HeldElsewhere)
        ctx.exit = &frontThenExit;
    MainForm mainForm(ctx, lock);
    std::optional<FrontRequests> front;
    if (lock == InstanceLock::Held)
        front.emplace(programFolder, [&mainForm] { bringToFront(&mainForm); });
    // The copy window holds the keyboard while it shows: Ctrl+Q there is the main window's.
    copyProgress.setCloseRequest([&ctx] { ctx.critical(texts::kMsgFileProcessing); });
    mainForm.Form_Load();
    return app.exec();
}
