// Window search, activation and keystrokes on a private Xvfb server, with windows made by
// the test itself through Xlib.
#include "platform/X11WindowPort.h"
#include "tests/platform/XvfbServer.h"

#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// The test's own connection: makes windows with given titles and watches them.
class Desk {
public:
    explicit Desk(const QByteArray& display) : d(XOpenDisplay(display.constData())) {}
    ~Desk()
    {
        if (d)
            XCloseDisplay(d);
    }
    Atom atom(const char* name) { return XInternAtom(d, name, False); }
    Window root() { return DefaultRootWindow(d); }

    Window make(Window parent = 0, bool map = true)
    {
        const Window w = XCreateSimpleWindow(d, parent ? parent : root(), 0, 0, 100, 100, 0, 0, 0);
        if (map)
            XMapWindow(d, w);
        XSync(d, False);
        return w;
    }
    void netName(Window w, const QString& title)
    {
        const QByteArray utf8 = title.toUtf8();
        XChangeProperty(d, w, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(utf8.constData()), int(utf8.size()));
        XSync(d, False);
    }
    void wmName(Window w, const QByteArray& latin1)
    {
        XChangeProperty(d, w, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(latin1.constData()), int(latin1.size()));
        XSync(d, False);
    }
    void windowList(const char* property, std::vector<Window> windows)
    {
        std::vector<long> values(windows.begin(), windows.end());
        XChangeProperty(d, root(), atom(property), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(values.data()), int(values.size()));
        XSync(d, False);
    }
    void removeProperty(const char* property)
    {
        XDeleteProperty(d, root(), atom(property));
        XSync(d, False);
    }

    Display* d;
};

}  // namespace

class TestX11WindowPort : public QObject {
    Q_OBJECT

    XvfbServer server;
    std::unique_ptr<Desk> desk;

private slots:
    void withoutDisplay_noWindowAndNoAction()
    {
        const QByteArray saved = qgetenv("DISPLAY");
        qunsetenv("DISPLAY");
        X11WindowPort port;
        QVERIFY(!port.hasDisplay());
        QVERIFY(!port.windowExists(QStringLiteral("Mewmail for Windows ver. 2.0")));
        QVERIFY(!port.activateWindow(QStringLiteral("Mewmail for Windows ver. 2.0")));
        QVERIFY(!port.sendAltFThenM());
        if (!saved.isEmpty())
            qputenv("DISPLAY", saved);

        // A display that cannot be reached counts the same.
        X11WindowPort unreachable(":4095");
        QVERIFY(!unreachable.windowExists(QStringLiteral("x")));
        QVERIFY(!unreachable.sendAltFThenM());
    }

    void startServer()
    {
        if (!XvfbServer::available())
            QSKIP("Xvfb is not installed");
        QVERIFY(server.start());
        desk = std::make_unique<Desk>(server.display());
        QVERIFY(desk->d);
    }

    void search_exactTitle_utf8OrLatin1()
    {
        if (!desk)
            QSKIP("no X server");
        X11WindowPort port(server.display());
        const Window receiving = desk->make();
        desk->netName(receiving, QStringLiteral("メールを受信中"));
        desk->wmName(receiving, "legacy name");
        const Window host = desk->make();
        desk->wmName(host, "Mewmail for Windows ver. 2.0");

        QVERIFY(port.windowExists(QStringLiteral("メールを受信中")));
        QVERIFY(port.windowExists(QStringLiteral("Mewmail for Windows ver. 2.0")));
        QCOMPARE(port.findWindow(QStringLiteral("Mewmail for Windows ver. 2.0")), host);
        // Exact titles only; the UTF-8 name wins over the old one.
        QVERIFY(!port.windowExists(QStringLiteral("メールを受信")));
        QVERIFY(!port.windowExists(QStringLiteral("Mewmail for Windows ver. 2.0 ")));
        QVERIFY(!port.windowExists(QStringLiteral("mewmail for windows ver. 2.0")));
        QVERIFY(!port.windowExists(QStringLiteral("legacy name")));

        XDestroyWindow(desk->d, receiving);
        XSync(desk->d, False);
        QVERIFY(!port.windowExists(QStringLiteral("メールを受信中")));
        XDestroyWindow(desk->d, host);
        XSync(desk->d, False);
    }

    void search_withoutManager_mappedTopLevelsAndFramedClients()
    {
        if (!desk)
            QSKIP("no X server");
        X11WindowPort port(server.display());
        const Window hidden = desk->make(0, false);
        desk->netName(hidden, QStringLiteral("hidden"));
        const Window frame = desk->make();
        const Window client = desk->make(frame);
        desk->netName(client, QStringLiteral("framed"));
        QVERIFY(!port.windowExists(QStringLiteral("hidden")));
        QVERIFY(port.windowExists(QStringLiteral("framed")));

        // With a manager's client list, the list decides.
        desk->windowList("_NET_CLIENT_LIST", {hidden});
        QVERIFY(port.windowExists(QStringLiteral("hidden")));
        QVERIFY(!port.windowExists(QStringLiteral("framed")));
        desk->removeProperty("_NET_CLIENT_LIST");
        // A listed window that vanished is simply not found (no X error ends the program).
        desk->windowList("_NET_CLIENT_LIST", {hidden, Window(0x7ffffff)});
        QVERIFY(!port.windowExists(QStringLiteral("gone")));
        desk->removeProperty("_NET_CLIENT_LIST");
        XDestroyWindow(desk->d, hidden);
        XDestroyWindow(desk->d, frame);
        XSync(desk->d, False);
    }

    void activate_withoutManager_focusesWindow_thenKeysArrive()
    {
        if (!desk)
            QSKIP("no X server");
        X11WindowPort port(server.display());
        const Window host = desk->make();
        desk->netName(host, QStringLiteral("Mewmail for Windows ver. 2.0"));
        XSelectInput(desk->d, host, KeyPressMask | KeyReleaseMask);
        XSync(desk->d, False);

        QVERIFY(port.activateWindow(QStringLiteral("Mewmail for Windows ver. 2.0")));
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(desk->d, &focus, &revert);
        QCOMPARE(focus, host);

        QVERIFY(port.sendAltFThenM());
        XSync(desk->d, False);
        QStringList presses;
        while (XPending(desk->d)) {
            XEvent event;
            XNextEvent(desk->d, &event);
            if (event.type != KeyPress)
                continue;
            const KeySym sym = XLookupKeysym(&event.xkey, 0);
            const bool alt = event.xkey.state & Mod1Mask;
            presses << QString::fromLatin1(XKeysymToString(sym)) + (alt ? QStringLiteral("+alt") : QString());
        }
        QCOMPARE(presses, (QStringList{"Alt_L", "f+alt", "m"}));
        XDestroyWindow(desk->d, host);
        XSync(desk->d, False);
    }

    void activate_withManager_asksItByClientMessage()
    {
        if (!desk)
            QSKIP("no X server");
        // The test plays a window manager that reads the request and does nothing more.
        const Window check = desk->make(0, false);
        desk->windowList("_NET_SUPPORTING_WM_CHECK", {check});
        XSelectInput(desk->d, desk->root(), SubstructureRedirectMask);
        const Window host = desk->make();
        desk->netName(host, QStringLiteral("Mewmail for Windows ver. 2.0"));

        X11WindowPort port(server.display());
        QVERIFY(port.activateWindow(QStringLiteral("Mewmail for Windows ver. 2.0")));
        XSync(desk->d, False);
        bool asked = false;
        while (XPending(desk->d)) {
            XEvent event;
            XNextEvent(desk->d, &event);
            if (event.type == ClientMessage && event.xclient.message_type == desk->atom("_NET_ACTIVE_WINDOW"))
                asked = event.xclient.window == host;
        }
        QVERIFY(asked);
        // The manager ignored it: the port took the focus itself.
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(desk->d, &focus, &revert);
        QCOMPARE(focus, host);

        XSelectInput(desk->d, desk->root(), 0);
        desk->removeProperty("_NET_SUPPORTING_WM_CHECK");
        XDestroyWindow(desk->d, host);
        XDestroyWindow(desk->d, check);
        XSync(desk->d, False);
    }

    void cleanupTestCase()
    {
        desk.reset();
        server.stop();
    }
};

QTEST_GUILESS_MAIN(TestX11WindowPort)
#include "test_x11windowport.moc"
