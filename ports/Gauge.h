#pragma once

struct Context;

// The main window's progress gauge (0..100). Each point is shown, paced by 5 ms and
// followed by a trip through the event loop so the windows stay responsive.
void ProgressReset(Context& ctx);
// n points; nothing when n < 1; the gauge stops at 100.
void ProgressStep(Context& ctx, int n);
// Moves the gauge to 100 point by point.
void ProgressFill(Context& ctx);
// ProgressStep with the current StepSize: what the storage operations call a "step".
void Step(Context& ctx);
