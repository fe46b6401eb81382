// Placeholders for commands that are not built yet: each tells the user plainly.
#include "ui/main/Commands.h"
#include "ui/main/MainForm.h"

namespace {
void notYet(MainForm& main)
{
    main.ctx().show(QStringLiteral("この機能はまだ用意されていません。"), MsgIcon::Information, MsgButtons::Ok);
}
}  // namespace

void showUnlhaVerForm(MainForm& main) { notYet(main); }
