// Kennel: keeps many pets for a host that keeps one.
#include "backup/UnlhaLibrary.h"
#include "platform/HostClock.h"
#include "platform/InstanceLock.h"
#include "platform/ProcessRunner.h"
#include "platform/QtPorts.h"
#include "platform/X11WindowPort.h"
#include "storage/Session.h"
#include "ui/main/MainForm.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Kennel"));
    app.setQuitOnLastWindowClosed(false);  // hidden while the host runs

    // Qt's own texts (file dialogs, standard buttons) in Japanese, like every text of Kennel's;
    // without the translation files they stay in English.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTexts);

    // Everything below works in the folder that holds this executable.
    const QString programFolder = QCoreApplication::applicationDirPath();

    QtMessagePort messages;
    QtExitPort exitPort;
    QtFolderPicker picker;
    QtCopyProgress copyProgress;
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
    Session session(ctx, HostLayout(programFolder));
    MainForm mainForm(session, unlha, acquireInstanceLock(programFolder));
    // The copy window holds the keyboard while it shows: Ctrl+Q there is the main window's.
    copyProgress.setCloseRequest([&ctx] { ctx.messages->critical(texts::kMsgFileProcessing); });
    mainForm.Form_Load();
    return app.exec();
}
