#pragma once

#include <QProcess>
#include <QStandardPaths>

#include <X11/Xlib.h> // include this header after Qt's: Xlib's macros clash with Qt's names

// A private X server for one test program: Xvfb on a free display it picks itself
// (-displayfd), without TCP, with a connection for the test; ended with the object.
class XvfbServer {
public:
    ~XvfbServer()
    {
        if (connection)
            XCloseDisplay(connection);
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
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
        connection = XOpenDisplay(display_.constData());
        return connection;
    }
    QByteArray display() const { return display_; }
    Display* connection = nullptr;

private:
    QProcess process_;
    QByteArray display_;
};
