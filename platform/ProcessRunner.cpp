#include "platform/ProcessRunner.h"

#include "platform/HostCommand.h"

#include <QEventLoop>
#include <QProcess>

HostRun ProcessRunner::runAndWait(const QString& program, const QString& folder, const QStringList& environment)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    const HostCommand command = commandForHost(program, env);
    if (!command.error.isEmpty())
        return {false, 0, command.error};

    QProcess process;
    process.setProgram(command.program);
    process.setArguments(command.arguments);
    process.setProcessEnvironment(command.environment);
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
    if (!process.waitForStarted(-1)) {
        // The file was found executable (or Wine was): the system refused its format.
        return {false, 0,
                command.throughWine ? hosttexts::kWineNotStarted.arg(command.program)
                                    : hosttexts::kNotRunnable.arg(program)};
    }
    process_ = &process;
    if (process.state() != QProcess::NotRunning)
        loop.exec();
    process_ = nullptr;
    return {true, process.exitStatus() == QProcess::CrashExit ? -1 : process.exitCode(), {}};
}

bool ProcessRunner::isRunning() const
{
    return process_ && process_->state() != QProcess::NotRunning;
}

QString ProcessRunner::whyNotStartable(const QString& program) const
{
    return commandForHost(program, QProcessEnvironment::systemEnvironment()).error;
}
