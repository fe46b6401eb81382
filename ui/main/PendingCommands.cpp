// Placeholders for commands that are not built yet: each tells the user plainly.
#include "ui/main/Commands.h"
#include "ui/main/MainForm.h"

namespace {
void notYet(MainForm& main)
{
    main.ctx().show(QStringLiteral("この機能はまだ用意されていません。"), MsgIcon::Information, MsgButtons::Ok);
}
}  // namespace

void BtnLaunch_Click(MainForm& main) { notYet(main); }
void launchHost(MainForm& main) { notYet(main); }
bool showNewForm(MainForm& main) { notYet(main); return false; }
void showInitializeForm(MainForm& main)
{
    // Without the registration dialog a first run cannot finish: Kennel.ini stays unwritten.
    notYet(main);
    main.ctx().endProgram(0);
}
void showConfigForm(MainForm& main) { notYet(main); }
void BtnDelete_Click(MainForm& main) { notYet(main); }
void showAboutForm(MainForm& main) { notYet(main); }
void showConvertForm(MainForm& main)
{
    notYet(main);
    main.ctx().endProgram(0);
}
void BtnOyatsu_Click(MainForm& main) { notYet(main); }
void showBackUpForm(MainForm& main) { notYet(main); }
void showUnlhaVerForm(MainForm& main) { notYet(main); }
