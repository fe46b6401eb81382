// Window search, activation and keystrokes on a private Xvfb, with windows the test makes itself.
#include "platform/X11WindowPort.h"
#include "tests/platform/XvfbServer.h"

#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

class TestX11WindowPort : public QObject {
    Q_OBJECT
    XvfbServer server;
    Display* d = nullptr;
    std::vector<Window> made;

    Atom atom(const char* name) { return XInternAtom(d, name, False); }
    Window make(const char* utf8Name, const char* latin1Name = nullptr, bool map = true, Window parent = 0)
    {
        const Window w = XCreateSimpleWindow(d, parent ? parent : DefaultRootWindow(d), 0, 0, 50, 50, 0, 0, 0);
        if (utf8Name)
            XChangeProperty(d, w, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(utf8Name), int(strlen(utf8Name)));
        if (latin1Name)
            XStoreName(d, w, latin1Name);
        if (map)
            XMapWindow(d, w);
        XSync(d, False);
        made.push_back(w);
        return w;
    }
    void rootList(const char* property, std::vector<long> windows)
    {
        if (windows.empty())
            XDeleteProperty(d, DefaultRootWindow(d), atom(property));
        else
            XChangeProperty(d, DefaultRootWindow(d), atom(property), XA_WINDOW, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(windows.data()), int(windows.size()));
        XSync(d, False);
    }
    Window focus()
    {
        Window w = 0;
        int revert = 0;
        XGetInputFocus(d, &w, &revert);
        return w;
    }

private slots:
    void withoutDisplay_noWindowsNoActions()
    {
        const QByteArray saved = qgetenv("DISPLAY");
        qunsetenv("DISPLAY");
        X11WindowPort none;
        QVERIFY(!none.windowExists(QStringLiteral("x")) && !none.activateWindow(QStringLiteral("x")));
        QVERIFY(!none.sendAltFThenM());
        qputenv("DISPLAY", saved);
        X11WindowPort unreachable(":4095");
        QVERIFY(!unreachable.windowExists(QStringLiteral("x")) && !unreachable.sendAltFThenM());
    }

    void initTestCase()
    {
        if (!XvfbServer::available())
            QSKIP("Xvfb is not installed");
        QVERIFY(server.start());
        d = XOpenDisplay(server.display().constData());
        QVERIFY(d);
    }
    void cleanup()
    {
        for (auto w = made.rbegin(); w != made.rend(); ++w) // children before their frames
            XDestroyWindow(d, *w);
        made.clear();
        if (d)
            XSync(d, False);
    }
    void cleanupTestCase()
    {
        if (d)
            XCloseDisplay(d);
    }

    void search_exactTitles()
    {
        X11WindowPort port(server.display());
        const Window receiving = make("メールを受信中", "old name");
        const Window host = make(nullptr, "Mewmail for Windows ver. 2.0");
        const Window hidden = make("hidden", nullptr, false);
        const Window frame = make(nullptr);
        make("framed", nullptr, true, frame);
        QVERIFY(port.windowExists(QStringLiteral("メールを受信中")));
        QCOMPARE(port.findWindow(QStringLiteral("Mewmail for Windows ver. 2.0")), host);
        QVERIFY(port.windowExists(QStringLiteral("framed"))); // a client inside a frame
        for (const char* other : {"メールを受信", "old name", "mewmail for windows ver. 2.0", "hidden"})
            QVERIFY2(!port.windowExists(QString::fromUtf8(other)), other);
        XUnmapWindow(d, receiving);
        XSync(d, False);
        QVERIFY(!port.windowExists(QStringLiteral("メールを受信中")));

        // A manager's client list decides; a listed window that vanished is no error.
        rootList("_NET_CLIENT_LIST", {long(hidden), 0x7ffffff});
        QVERIFY(port.windowExists(QStringLiteral("hidden")));
        QVERIFY(!port.windowExists(QStringLiteral("framed")));
        rootList("_NET_CLIENT_LIST", {});
    }

    void activate_thenAltFThenMArrive()
    {
        X11WindowPort port(server.display());
        const Window host = make("Mewmail for Windows ver. 2.0");
        XSelectInput(d, host, KeyPressMask);
        QVERIFY(port.activateWindow(QStringLiteral("Mewmail for Windows ver. 2.0")));
        QCOMPARE(focus(), host);
        QVERIFY(port.sendAltFThenM());
        XSync(d, False);
        QStringList presses;
        for (XEvent e; XPending(d);)
            if (XNextEvent(d, &e), e.type == KeyPress)
                presses << QString::fromLatin1(XKeysymToString(XLookupKeysym(&e.xkey, 0))) +
                               ((e.xkey.state & Mod1Mask) ? "+alt" : "");
        QCOMPARE(presses, (QStringList{"Alt_L", "f+alt", "m"}));
    }

    void activate_withManager_asksIt_thenFocusesIfIgnored()
    {
        // The test plays a window manager that reads requests and does nothing.
        rootList("_NET_SUPPORTING_WM_CHECK", {long(make(nullptr, nullptr, false))});
        XSelectInput(d, DefaultRootWindow(d), SubstructureRedirectMask);
        const Window host = make("Mewmail for Windows ver. 2.0");
        X11WindowPort port(server.display());
        QVERIFY(port.activateWindow(QStringLiteral("Mewmail for Windows ver. 2.0")));
        bool asked = false;
        for (XEvent e; XPending(d);)
            if (XNextEvent(d, &e), e.type == ClientMessage)
                asked |= e.xclient.message_type == atom("_NET_ACTIVE_WINDOW") && e.xclient.window == host;
        QVERIFY(asked);
        QCOMPARE(focus(), host);
        XSelectInput(d, DefaultRootWindow(d), 0);
        rootList("_NET_SUPPORTING_WM_CHECK", {});
    }
};

QTEST_GUILESS_MAIN(TestX11WindowPort)
#include "test_x11windowport.moc"
