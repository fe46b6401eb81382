#include "platform/SystemClock.h"

#include <QEventLoop>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <ctime>

bool SystemClock::shiftDate(int days)
{
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) {
        lastError_ = QStringLiteral("システムの時刻を読めませんでした（%1）。")
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    now.tv_sec += time_t(days) * 24 * 60 * 60;
    if (clock_settime(CLOCK_REALTIME, &now) != 0) {
        const int error = errno;
        if (error == EPERM)
            lastError_ = QStringLiteral("システムの日付を変更する権限がありません。");
        else
            lastError_ = QStringLiteral("システムの日付を変更できませんでした（%1）。")
                             .arg(QString::fromLocal8Bit(std::strerror(error)));
        if (days < 0)
            lastError_ += QStringLiteral("お手数ですが、日付を手動で1日戻してください。");
        return false;
    }
    lastError_.clear();
    return true;
}

void SystemClock::wait(int ms)
{
    waitWithEvents(ms);
}

void waitWithEvents(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
