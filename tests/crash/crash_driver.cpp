// Runs one Kennel operation in a program folder and reports every file-system change it
// makes. With "kill N" the process ends without any clean-up right before change N; with
// "fail N" change N fails as on a full disk and the operation goes on. The operation
// "restart" is Kennel's start-up (main window load and start-up check), which finishes or
// undoes whatever an interrupted operation left behind, stores the host's data and upgrades
// a version 1.0 folder.
//
//   kennel_crash_driver <op> <program folder> [kill|fail|none N] [backup source]
//
// Output on stdout: "point <n> <what> <path>" per change, "message <text>" per message box.
#include "app/Startup.h"
#include "backup/Restore.h"
#include "backup/UnlhaLibrary.h"
#include "shell/FaultPoint.h"
#include "tests/support/TestPorts.h"
#include "ui/main/ConvertForm.h"
#include "ui/main/NewForm.h"

#include <QApplication>
#include <QLineEdit>

#include <cstdio>
#include <unistd.h>

namespace {

int g_count = 0;
int g_target = 0;
bool g_kill = false;

fault::Action onPoint(const char* what, const QString& path)
{
    ++g_count;
    const QByteArray line =
        QByteArray("point ") + QByteArray::number(g_count) + ' ' + what + ' ' + path.toUtf8() + '\n';
    if (g_count == g_target && g_kill) {
        // Nothing buffered may reach the disk after this: the report goes out unbuffered.
        (void)!write(STDOUT_FILENO, "killed ", 7);
        (void)!write(STDOUT_FILENO, line.constData(), static_cast<size_t>(line.size()));
        _exit(137);
    }
    std::fputs(line.constData(), stdout);
    return g_count == g_target ? fault::Action::Fail : fault::Action::Proceed;
}

// The dialogs start-up opens: sharing settings keep their values, the upgrade is confirmed
// with fixed names, as a user would type them again after an interrupted upgrade.
struct ScriptedDialogs : StartupWindow {
    Session& session;
    explicit ScriptedDialogs(Session& s) : session(s) {}
    void showPets() override {}
    void showConfigForm() override {}
    bool showNewForm(Steps) override { return false; }
    bool showInitializeForm(Steps) override { return true; }
    void showConvertForm(Steps steps) override
    {
        ConvertForm form(session, steps, [] {});
        form.Form_Load();
        for (int k = 0; k < 3; ++k) {
            form.findChild<QLineEdit*>(QStringLiteral("TxtNewPet_%1").arg(k))
                ->setText(QStringLiteral("旧%1").arg(k + 1));
            form.findChild<QLineEdit*>(QStringLiteral("TxtNewMaster_%1").arg(k))
                ->setText(QStringLiteral("主%1").arg(k));
        }
        form.BtnOK_Click();
        form.Form_Unload(); // a conversion that did not complete closes the dialog: the program ends
    }
};

// Runs the operation; false: no such operation.
bool run(TestContext& tc, const QString& op, const QString& source)
{
    if (op == QLatin1String("restart")) { // start-up, as the program runs it
        ScriptedDialogs dialogs(tc.session);
        StartupRefusals(tc.ctx, InstanceLock::Held);
        StartupCheck(tc.session, dialogs);
        return true;
    }
    // The others run in the program as it stands after start-up: Kennel.ini read.
    tc.session.ReadRegistry(Steps::none(tc.ctx));
    tc.session.setRegistryLoaded(true);
    if (op == QLatin1String("switch")) {
        tc.session.switchTo(tc.session.table().MaxUser);
    } else if (op == QLatin1String("newpet")) { // "新規ペット" in the selector, then the registration dialog
        if (tc.session.switchTo(-1) != SwitchResult::NewPetEntry)
            return true;
        NewForm form(tc.session, Steps::none(tc.ctx));
        form.findChild<QLineEdit*>(QStringLiteral("TxtNewPet"))->setText(QStringLiteral("新入り"));
        form.findChild<QLineEdit*>(QStringLiteral("TxtNewMaster"))->setText(QStringLiteral("主N"));
        form.BtnNewPet_Click();
    } else if (op == QLatin1String("delete")) {
        tc.session.deletePet(tc.session.table().CurrentUser);
    } else if (op == QLatin1String("restore")) {
        RestoreSource src;
        const bool archive = source.endsWith(QLatin1String(".lzh"));
        src.kind = archive ? RestoreSource::Kind::Archive : RestoreSource::Kind::Folder;
        (archive ? src.archive : src.folder) = archive ? source : source + QLatin1Char('/');
        UnlhaLibrary library(qEnvironmentVariable("KENNEL_BIN_DIR"));
        RestoreSession session(tc.session, library, src);
        if (session.open())
            session.registerPet(QStringLiteral("復元"), QStringLiteral("主R"));
        session.close();
    } else {
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2; // usage above
    g_kill = args.value(3) == QLatin1String("kill");
    g_target = args.value(3) == QLatin1String("none") ? 0 : args.value(4).toInt();
    TestContext tc(args[2]);
    fault::setHandler(onPoint);
    int code = 0;
    try {
        code = run(tc, args[1], args.value(5)) ? 0 : 2;
    } catch (const ProgramEnded& e) {
        code = e.code == 0 ? 3 : e.code; // the program ended itself (a fatal message)
    }
    fault::setHandler(nullptr);
    for (const QString& text : tc.messages.texts())
        std::printf("message %s\n", text.simplified().toUtf8().constData());
    std::fflush(stdout);
    return code;
}
