#include "shell/FaultPoint.h"

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
    return g_handler ? g_handler(what, path) : Action::Proceed;
}

}  // namespace fault
