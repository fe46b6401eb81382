#pragma once

#include "app/LaunchPorts.h"
#include "app/Ports.h"

#include <QStringList>

#include <functional>

// Test doubles for the host launch. They write into one shared event log so that a test can
// check the order in which the clock, the windows and the process were used.

class FakeClock : public ClockPort {
public:
    explicit FakeClock(QStringList& log) : log_(log) {}
    bool shiftDate(int days) override
    {
        const bool fail = days > 0 ? failForward : failBack;
        log_ << QStringLiteral("shift %1%2").arg(days > 0 ? "+" : "").arg(days) +
                    (fail ? QStringLiteral(" refused") : QString());
        if (fail)
            return false;
        offsetDays += days;
        return true;
    }
    QString lastError() const override { return QStringLiteral("権限がありません。"); }
    void wait(int ms) override
    {
        log_ << QStringLiteral("wait %1").arg(ms);
        if (onWait)
            onWait(ms);
    }

    int offsetDays = 0;  // how far the fake date stands from the real one
    bool failForward = false;
    bool failBack = false;
    std::function<void(int)> onWait;

private:
    QStringList& log_;
};

class FakeWindows : public WindowPort {
public:
    explicit FakeWindows(QStringList& log) : log_(log) {}
    bool windowExists(const QString& title) override
    {
        if (title == QStringLiteral("メールを受信中")) {
            log_ << QStringLiteral("look");
            return receivingLooks-- > 0;
        }
        return hostWindow;
    }
    bool activateWindow(const QString& title) override
    {
        log_ << QStringLiteral("activate ") + title;
        return hostWindow;
    }
    bool sendAltFThenM() override
    {
        log_ << QStringLiteral("keys");
        if (onKeys)
            onKeys();
        return true;
    }

    bool hostWindow = true;
    int receivingLooks = 0;  // how many looks still find the receiving window
    std::function<void()> onKeys;

private:
    QStringList& log_;
};

class FakeProcess : public ProcessPort {
public:
    explicit FakeProcess(QStringList& log) : log_(log) {}
    bool runAndWait(const QString& program, const QString& folder) override
    {
        log_ << QStringLiteral("start");
        this->program = program;
        this->folder = folder;
        if (startFails)
            return false;
        running = true;
        if (whileRunning)
            whileRunning();
        running = false;
        log_ << QStringLiteral("ended");
        return true;
    }
    bool isRunning() const override { return running; }

    bool startFails = false;
    bool running = false;
    QString program;
    QString folder;
    std::function<void()> whileRunning;

private:
    QStringList& log_;
};
