#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QString>

// A private X server for one test program: Xvfb on a display number it picks itself
// (-displayfd), without TCP, ended with the object.
class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer() { stop(); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    static bool available() { return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty(); }

    // Starts the server; false when Xvfb is missing or did not come up.
    bool start()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            return false;
        process_.setProgram(xvfb);
        process_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                               QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                               QStringLiteral("1024x768x24")});
        process_.setStandardInputFile(QProcess::nullDevice());
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start();
        if (!process_.waitForStarted(10000))
            return false;
        // The server writes its display number once it accepts connections.
        QByteArray number;
        while (!number.contains('\n')) {
            if (!process_.waitForReadyRead(20000))
                return false;
            number += process_.readAllStandardOutput();
        }
        display_ = ':' + number.trimmed();
        return true;
    }

    void stop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(5000);
            }
        }
    }

    QByteArray display() const { return display_; }

private:
    QProcess process_;
    QByteArray display_;
};
