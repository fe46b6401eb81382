#include "tests/support/TestPorts.h"

MsgAnswer ScriptedMessages::ask(const QString& caption, const QString& text, MsgIcon icon, MsgButtons buttons)
{
    shown.append({caption, text, icon, buttons});
    if (!answers_.empty()) {
        const MsgAnswer a = answers_.front();
        answers_.pop_front();
        return a;
    }
    return buttons == MsgButtons::YesNo         ? MsgAnswer::Yes
           : buttons == MsgButtons::RetryCancel ? MsgAnswer::Cancel
                                                : MsgAnswer::Ok;
}

QStringList ScriptedMessages::texts() const
{
    QStringList out;
    for (const auto& s : shown)
        out << s.text.left(s.text.indexOf(QLatin1String("\n/"))); // no cause lines: all of it
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

TestContext::TestContext(const QString& programFolder) : ctx(wired(*this)), session(ctx, HostLayout(programFolder)) {}
