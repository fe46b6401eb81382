#include "ports/Messages.h"

#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(lcMessages, "kennel.messages", QtWarningMsg)
} // namespace

MsgAnswer MessagePort::show(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& caption)
{
    static const char* const names[] = {"critical", "exclamation", "question", "information"};
    qCDebug(lcMessages).noquote() << caption << "|" << names[static_cast<int>(icon)] << "|" << text;
    return ask(caption, text, icon, buttons);
}
