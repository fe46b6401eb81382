#pragma once

#include "ports/Ports.h"

#include <QLoggingCategory>

// "kennel.messages": one line per message box (caption, icon, text). Off by default;
// switch it on with QT_LOGGING_RULES="kennel.messages.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcMessages)

void logMessage(const QString& caption, const QString& text, MsgIcon icon);
