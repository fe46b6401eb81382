#include "app/MessageLog.h"

#include "platform/LogFile.h"

Q_LOGGING_CATEGORY(lcMessages, "kennel.messages", QtWarningMsg)

void logMessage(const QString& caption, const QString& text, MsgIcon icon)
{
    static const char* const names[] = {"critical", "exclamation", "question", "information"};
    qCDebug(lcMessages).noquote() << caption << "|" << names[static_cast<int>(icon)] << "|" << text;
    logfile::append(QLatin1String(names[static_cast<int>(icon)]), text);
}
