#include "tests/support/TestPorts.h"

MsgAnswer ScriptedMessages::show(const QString& caption, const QString& text, MsgIcon icon, MsgButtons buttons)
{
    shown.append({caption, text, icon, buttons});
    if (!answers_.empty()) {
        const MsgAnswer a = answers_.front();
        answers_.pop_front();
        return a;
    }
    switch (buttons) {
    case MsgButtons::YesNo: return MsgAnswer::Yes;
    case MsgButtons::RetryCancel: return MsgAnswer::Cancel;
    default: return MsgAnswer::Ok;
    }
}

QStringList ScriptedMessages::texts() const
{
    QStringList out;
    for (const auto& s : shown) {
        const qsizetype causes = s.text.indexOf(QLatin1String("\n/"));
        out << (causes < 0 ? s.text : s.text.left(causes));
    }
    return out;
}

QStringList ScriptedMessages::fullTexts() const
{
    QStringList out;
    for (const auto& s : shown)
        out << s.text;
    return out;
}

TestContext::TestContext(const QString& programFolder)
{
    ctx.paths = HostLayout(programFolder);
    ctx.messages = &messages;
    ctx.exit = &exit;
    ctx.view = &view;
    ctx.keepAlive = &keepAlive;
}
