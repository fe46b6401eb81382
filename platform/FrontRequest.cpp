#include "platform/FrontRequest.h"

#include <QApplication>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

#include <cstdlib>

#include <X11/Xlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString channelName(const QString& programFolder)
{
    struct stat st {};
    if (::stat(QFile::encodeName(programFolder).constData(), &st) != 0)
        return {};
    return QStringLiteral("kennel-%1-%2-%3")
        .arg(::getuid())
        .arg(static_cast<qulonglong>(st.st_dev))
        .arg(static_cast<qulonglong>(st.st_ino));
}

// A window manager may refuse an activation the application asks for itself, as it was not
// the user's last action: the request goes out as a pager's, made for the user (who started
// Kennel again). Without a window manager the focus is set at the current time (Qt sets it at
// the time of the last event it saw, which the server refuses when the focus moved since).
void askWindowManager(QWidget* window)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    const auto id = static_cast<Window>(window->winId());
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, DefaultRootWindow(display), XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False), 0,
                       1, False, AnyPropertyType, &type, &format, &count, &after, &data);
    if (data)
        XFree(data);
    if (count == 0) { // no window manager: the focus is given directly, as of now
        XRaiseWindow(display, id);
        XSetInputFocus(display, id, RevertToParent, CurrentTime);
        XCloseDisplay(display);
        return;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // source: a pager-like tool acting for the user
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XCloseDisplay(display);
}

} // namespace

FrontRequests::FrontRequests(const QString& programFolder, std::function<void()> onRequest)
    : server_(new QLocalServer(this))
{
    server_->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    connect(server_, &QLocalServer::newConnection, this, [this, onRequest = std::move(onRequest)] {
        while (QLocalSocket* peer = server_->nextPendingConnection()) {
            peer->disconnectFromServer();
            peer->deleteLater();
            onRequest();
        }
    });
    const QString name = channelName(programFolder);
    if (!name.isEmpty())
        server_->listen(name);
}

bool askToComeToFront(const QString& programFolder)
{
    const QString name = channelName(programFolder);
    if (name.isEmpty())
        return false;
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(name);
    return socket.waitForConnected(2000);
}

void bringToFront(QWidget* window)
{
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* target = modal ? modal : window;
    if (!window->isVisible() || !target->isVisible())
        return;
    if (target->isMinimized())
        target->setWindowState(target->windowState() & ~Qt::WindowMinimized);
    target->raise();
    target->activateWindow();
    askWindowManager(target);
}

void FrontThenExit::endProgram(int code)
{
    askToComeToFront(folder_);
    next_.endProgram(code);
    std::_Exit(code); // not reached
}
