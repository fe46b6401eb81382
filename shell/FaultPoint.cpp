#include "shell/FaultPoint.h"

#include <cerrno>

namespace fault {

namespace {
Handler g_handler = nullptr;
}

void setHandler(Handler handler)
{
    g_handler = handler;
}

Action point(const char* what, const QString& path)
{
    if (!g_handler || g_handler(what, path) == Action::Proceed)
        return Action::Proceed;
    errno = ENOSPC; // as a full disk fails
    return Action::Fail;
}

}  // namespace fault
