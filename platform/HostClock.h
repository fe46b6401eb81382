#pragma once

#include "ports/Ports.h"
#include "platform/SystemClock.h"

#include <QTemporaryDir>

#include <memory>

// The date the host sees. Where libfaketime is installed, the host runs with it preloaded and
// reads its offset from a control file of Kennel's own at every time call: only the host's
// date moves, no right is needed, and time synchronisation cannot undo it. Where it is
// missing, the machine's clock is moved instead, which only a process allowed to set the
// clock may do.
class HostClock : public ClockPort {
public:
    // library: libfaketime's path, empty when it is missing; fallback: the machine's clock
    // (null: the real one).
    explicit HostClock(QString library = findFakeTimeLibrary(), ClockPort* fallback = nullptr);

    bool shiftDate(int days) override;
    QString lastError() const override { return lastError_; }
    void wait(int ms) override { waitWithEvents(ms); }
    // Makes the control file (offset zero) on first use; hostEnded() removes it.
    QStringList hostEnvironment() override;
    void hostEnded() override { dir_.reset(); }

    // The installed libfaketime, or empty.
    static QString findFakeTimeLibrary();
    QString controlFile() const;

private:
    bool writeOffset(int days);

    QString library_;
    ClockPort& fallback_;
    SystemClock system_;
    std::unique_ptr<QTemporaryDir> dir_;
    int days_ = 0;
    QString lastError_;
};

inline const QString kMsgInstallFakeTime =
    QStringLiteral("ミューメールの日付だけを変えるには libfaketime が必要です。libfaketime をインストールしてください"
                   "（Debian: apt install libfaketime）。");
