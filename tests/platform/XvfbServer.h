#pragma once

#include <QProcess>
#include <QStandardPaths>

// A private X server for one test program: Xvfb on a free display it picks itself
// (-displayfd), without TCP, ended with the object.
class XvfbServer {
public:
    ~XvfbServer() { stop(); }
    static bool available() { return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty(); }

    bool start()
    {
        process_.start(QStandardPaths::findExecutable(QStringLiteral("Xvfb")),
                       {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
        // The display number comes once the server accepts connections.
        while (!display_.endsWith('\n'))
            if (!process_.waitForReadyRead(20000))
                return false;
            else
                display_ += process_.readAllStandardOutput();
        display_ = ':' + display_.trimmed();
        return true;
    }
    void stop()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
    QByteArray display() const { return display_; }

private:
    QProcess process_;
    QByteArray display_;
};
