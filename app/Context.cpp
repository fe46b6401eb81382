#include "app/Context.h"

#include "app/Causes.h"
#include "app/MessageLog.h"

#include <cstdlib>
#include <utility>

MsgAnswer Context::show(const QString& text, MsgIcon icon, MsgButtons buttons,
                        const QString& caption) const
{
    tellFileError();  // what an operation met before comes first
    logMessage(caption, text, icon);
    if (!messages)
        return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel;
    return messages->show(caption, text, icon, buttons);
}

void Context::critical(const QString& text) const
{
    show(text, MsgIcon::Critical, MsgButtons::Ok);
}

void Context::exclamation(const QString& text) const
{
    show(text, MsgIcon::Exclamation, MsgButtons::Ok);
}

void Context::information(const QString& text) const
{
    show(text, MsgIcon::Information, MsgButtons::Ok);
}

bool Context::askYesNo(const QString& text) const
{
    return show(text, MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes;
}

void Context::fatal(const QString& text) const
{
    critical(text);
    endProgram(0);
}

void Context::fileError(const QStringList& causes) const
{
    if (!pendingCauses)
        pendingCauses.emplace();
    *pendingCauses += causes;
    if (fileErrorGroups == 0)
        tellFileError();
}

void Context::tellFileError() const
{
    if (!pendingCauses)
        return;
    const QStringList lines = *std::exchange(pendingCauses, std::nullopt);
    // The log keeps every cause; the box shows the first few.
    logMessage(texts::kProgramTitle, causes::below(texts::kMsgFileError, lines, int(lines.size())), MsgIcon::Critical);
    if (messages)
        messages->show(texts::kProgramTitle, causes::below(texts::kMsgFileError, lines), MsgIcon::Critical,
                       MsgButtons::Ok);
}

void Context::endProgram(int code) const
{
    tellFileError();
    if (exit)
        exit->endProgram(code);
    std::_Exit(code);
}
