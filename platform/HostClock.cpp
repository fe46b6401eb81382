#include "platform/HostClock.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

HostClock::HostClock(QString library, ClockPort* fallback)
    : library_(std::move(library)), fallback_(fallback ? *fallback : system_)
{
}

QString HostClock::findFakeTimeLibrary()
{
    QStringList candidates;
    for (const QString& lib : {QStringLiteral("/usr/lib"), QStringLiteral("/usr/local/lib")}) {
        for (const QString& arch : QDir(lib).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            candidates << lib + QLatin1Char('/') + arch + QStringLiteral("/faketime/libfaketime.so.1");
        candidates << lib + QStringLiteral("/faketime/libfaketime.so.1");
    }
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isFile())
            return candidate;
    return {};
}

QString HostClock::controlFile() const
{
    return dir_ ? dir_->filePath(QStringLiteral("faketime")) : QString();
}

QStringList HostClock::hostEnvironment()
{
    if (library_.isEmpty())
        return {};
    if (!dir_) {
        dir_ = std::make_unique<QTemporaryDir>(); // private to this user: 0700
        writeOffset(0);
    }
    const QByteArray preload = qgetenv("LD_PRELOAD");
    return {QStringLiteral("LD_PRELOAD=") + library_ +
                (preload.isEmpty() ? QString() : QLatin1Char(':') + QString::fromLocal8Bit(preload)),
            QStringLiteral("FAKETIME_TIMESTAMP_FILE=") + controlFile(), QStringLiteral("FAKETIME_NO_CACHE=1"),
            // Timers and timeouts run on the monotonic clock: a day's jump there would stall them.
            QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC=1")};
}

bool HostClock::writeOffset(int days)
{
    QSaveFile file(controlFile()); // replaced whole: the host never reads half an offset
    const QByteArray text = days == 0 ? QByteArray("+0") : QByteArray::number(days) + 'd';
    if (dir_->isValid() && file.open(QIODevice::WriteOnly) && file.write((days > 0 ? "+" : "") + text + '\n') > 0 &&
        file.commit()) {
        days_ = days;
        return true;
    }
    lastError_ = QStringLiteral("日付の設定ファイル「%1」を書き込めませんでした。").arg(controlFile());
    return false;
}

bool HostClock::shiftDate(int days)
{
    if (dir_)
        return writeOffset(days_ + days);
    if (fallback_.shiftDate(days))
        return true;
    lastError_ = fallback_.lastError() + QLatin1Char('\n') + kMsgInstallFakeTime;
    return false;
}
