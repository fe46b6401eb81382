#include "platform/ProcessRunner.h"

#include <QEventLoop>
#include <QProcess>

bool ProcessRunner::runAndWait(const QString& program, const QString& folder)
{
    QProcess process;
    process.setProgram(program);
    process.setWorkingDirectory(folder);
    // The host's output goes where ours goes; it reads nothing from us.
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());

    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart || process.state() == QProcess::NotRunning)
            loop.quit();
    });

    process.start();
    if (!process.waitForStarted(-1))
        return false;
    process_ = &process;
    if (process.state() != QProcess::NotRunning)
        loop.exec();
    process_ = nullptr;
    return true;
}

bool ProcessRunner::isRunning() const
{
    return process_ && process_->state() != QProcess::NotRunning;
}
