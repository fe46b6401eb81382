#include "ports/Gauge.h"

#include "ports/Context.h"

namespace {
constexpr int kPointDelayMs = 5;

void showPoint(Context& ctx)
{
    if (ctx.view) {
        ctx.view->setGaugePosition(ctx.GaugePos);
        ctx.view->delayGauge(kPointDelayMs);
    }
}
}  // namespace

void ProgressReset(Context& ctx)
{
    ctx.GaugePos = 0;
    if (ctx.view)
        ctx.view->setGaugePosition(0);
}

void ProgressStep(Context& ctx, int n)
{
    for (int i = 0; i < n; ++i) {
        ++ctx.GaugePos;
        if (ctx.GaugePos > 100) {
            ctx.GaugePos = 100;
            return;
        }
        showPoint(ctx);
    }
}

void ProgressFill(Context& ctx)
{
    while (ctx.GaugePos < 100) {
        ++ctx.GaugePos;
        showPoint(ctx);
    }
}

void Step(Context& ctx)
{
    ProgressStep(ctx, ctx.StepSize);
}
