#include "tests/support/TestPorts.h"

MsgAnswer ScriptedMessages::ask(const QString& caption, const QString& text, MsgIcon icon, MsgButtons buttons)
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

static Context wired(TestContext& tc)
{
    Context ctx;
    ctx.messages = tc.messages;
    ctx.exit = tc.exit;
    ctx.view = tc.view;
    ctx.folderPicker = tc.picker;
    return ctx;
}

TestContext::TestContext(const QString& programFolder)
    : ctx(wired(*this)), session(ctx, HostLayout(programFolder))
{
}
