#include "ports/Messages.h"

#include "ports/Causes.h"
#include "ports/LogFile.h"

#include <QLoggingCategory>

#include <utility>

namespace {
Q_LOGGING_CATEGORY(lcMessages, "kennel.messages", QtWarningMsg)

void logMessage(const QString& caption, const QString& text, MsgIcon icon)
{
    static const char* const names[] = {"critical", "exclamation", "question", "information"};
    qCDebug(lcMessages).noquote() << caption << "|" << names[static_cast<int>(icon)] << "|" << text;
    logfile::append(QLatin1String(names[static_cast<int>(icon)]), text);
}
} // namespace

MsgAnswer MessagePort::show(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& caption)
{
    tellFileError(); // what an operation met before comes first
    logMessage(caption, text, icon);
    return ask(caption, text, icon, buttons);
}

void MessagePort::fileError(const QStringList& causes)
{
    if (!pendingCauses_)
        pendingCauses_.emplace();
    *pendingCauses_ += causes;
    if (fileErrorGroups_ == 0)
        tellFileError();
}

void MessagePort::tellFileError()
{
    if (!pendingCauses_)
        return;
    const QStringList lines = *std::exchange(pendingCauses_, std::nullopt);
    // The log keeps every cause; the box shows the first few.
    logMessage(texts::kProgramTitle, causes::below(texts::kMsgFileError, lines, int(lines.size())), MsgIcon::Critical);
    ask(texts::kProgramTitle, causes::below(texts::kMsgFileError, lines), MsgIcon::Critical, MsgButtons::Ok);
}
