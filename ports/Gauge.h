#pragma once

struct Context;

// The main window's gauge, 0 to 100. Each point is shown, paced by 5 ms and followed by a
// trip through the event loop, so that the windows stay responsive during long work.
void ProgressReset(Context& ctx);
// n points; nothing when n < 1; the gauge stops at 100.
void ProgressStep(Context& ctx, int n);
// Moves the gauge to 100 point by point.
void ProgressFill(Context& ctx);
// Moves the gauge forward, at once, to the share done of work measured in bytes (never back).
void ProgressShare(Context& ctx, long long done, long long total);

// The gauge points each step of a storage operation is worth. A long operation declares its
// step plan once (so many points for each of its parts) and hands every part its Steps;
// work outside the main window's long operations (recovery, checks) moves the gauge by none.
class Steps {
public:
    Steps(Context& ctx, int points) : ctx_(&ctx), points_(points) {}
    static Steps none(Context& ctx) { return Steps(ctx, 0); }

    // count steps' worth of points.
    void operator()(int count = 1) const { ProgressStep(*ctx_, count * points_); }
    int points() const { return points_; }

private:
    Context* ctx_;
    int points_;
};

// A long operation of the main window, from BusyOn to BusyOff: the window is busy (no command
// starts, it refuses to close) and the gauge starts from 0 unless asked to go on from where
// it stands; on every way out the gauge fills to 100 and the window becomes idle again.
class BusyScope {
public:
    explicit BusyScope(Context& ctx, bool fromZero = true);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Context& ctx_;
};
