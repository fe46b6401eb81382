// Kennel: keeps many pets for a host that keeps one.
#include "app/BuildConfig.h"
#include "app/CommandLine.h"
#include "app/HostSetup.h"
#include "backup/UnlhaLibrary.h"
#include "platform/FrontRequest.h"
#include "platform/HostClock.h"
#include "platform/JapaneseDialogs.h"
#include "platform/InstanceLock.h"
#include "platform/ProcessRunner.h"
#include "ports/LogFile.h"
#include "platform/QtPorts.h"
#include "platform/X11WindowPort.h"
#include "storage/Session.h"
#include "ui/main/MainForm.h"
#include "ui/main/ProgramIcon.h"
#include "ui/main/SetupPrompt.h"

#include <QApplication>
#include <QFileInfo>

#include <optional>

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
    X11WindowPort windows;
    HostClock clock;
    ProcessRunner process;
    Context ctx;
    ctx.messages = messages;
    ctx.exit = exitPort;
    ctx.folderPicker = picker;
    ctx.copyProgress = copyProgress;
    ctx.windows = windows;
    ctx.clock = clock;
    ctx.process = process;

    UnlhaLibrary unlha(programFolder);
    unlha.setKeepAlive(&keepAlive);
    Session session(ctx, HostLayout(programFolder));
    // A second start tells so, then brings the running Kennel to the front.
    const InstanceLock lock = acquireInstanceLock(programFolder);
    FrontThenExit frontThenExit(exitPort, programFolder);
    if (lock == InstanceLock::HeldElsewhere)
        ctx.exit = frontThenExit;
    MainForm mainForm(session, unlha, lock);
    std::optional<FrontRequests> front;
    if (lock == InstanceLock::Held)
        front.emplace(programFolder, [&mainForm] { bringToFront(&mainForm); });
    // The copy window holds the keyboard while it shows: Ctrl+Q there is the main window's.
    copyProgress.setCloseRequest([&ctx] { ctx.messages->critical(texts::kMsgFileProcessing); });
    mainForm.Form_Load();
    return app.exec();
}
