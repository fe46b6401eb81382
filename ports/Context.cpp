#include "ports/Context.h"

#include "ports/MessageLog.h"

#include <cstdlib>

MsgAnswer Context::show(const QString& text, MsgIcon icon, MsgButtons buttons,
                        const QString& caption) const
{
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

void Context::endProgram(int code) const
{
    if (exit)
        exit->endProgram(code);
    std::_Exit(code);
}
