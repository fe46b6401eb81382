#include "ports/Gauge.h"

#include "ports/Context.h"

namespace {
constexpr int kPointDelayMs = 5;

void showPoint(Context& ctx)
{
    ctx.view->setGaugePosition(ctx.gaugePos);
    ctx.view->delayGauge(kPointDelayMs);
}
} // namespace

void ProgressReset(Context& ctx)
{
    ctx.gaugePos = 0;
    ctx.view->setGaugePosition(0);
}

void ProgressStep(Context& ctx, int n)
{
    for (int i = 0; i < n; ++i) {
        if (++ctx.gaugePos > 100) {
            ctx.gaugePos = 100;
            return;
        }
        showPoint(ctx);
    }
}

void ProgressFill(Context& ctx)
{
    while (ctx.gaugePos < 100) {
        ++ctx.gaugePos;
        showPoint(ctx);
    }
}

void ProgressShare(Context& ctx, long long done, long long total)
{
    if (total <= 0)
        return;
    const int pos = static_cast<int>(100 * (static_cast<double>(done) / static_cast<double>(total)));
    if (pos > ctx.gaugePos && pos <= 100) {
        ctx.gaugePos = pos;
        ctx.view->setGaugePosition(pos);
    }
}

BusyScope::BusyScope(Context& ctx, bool fromZero) : ctx_(ctx)
{
    // Busy first: the gauge lets events through, and no command may start meanwhile.
    ctx_.view->BusyOn();
    if (fromZero)
        ProgressReset(ctx_);
}

BusyScope::~BusyScope()
{
    ProgressFill(ctx_);
    ctx_.view->BusyOff();
}
