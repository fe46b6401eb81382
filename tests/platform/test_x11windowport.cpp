// Window search, activation and keystrokes on a private Xvfb, with windows the test makes itself.
#include "platform/X11WindowPort.h"

#include <QtTest>

#include "tests/support/XvfbServer.h"

#include <X11/Xatom.h>
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
        XChangeProperty(d, DefaultRootWindow(d), atom(property), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(windows.data()), int(windows.size()));
        XSync(d, False);
    }

private slots:
    void withoutDisplay_noWindowsNoActions()
    {
        const QByteArray saved = qgetenv("DISPLAY");
        qunsetenv("DISPLAY");
        X11WindowPort none, unreachable(":4095");
        for (X11WindowPort* port : {&none, &unreachable})
            QVERIFY(!port->windowExists("x") && !port->activateWindow("x") && !port->sendAltFThenM());
        qputenv("DISPLAY", saved);
    }

    void initTestCase()
    {
        if (!XvfbServer::available())
            QSKIP("Xvfb is not installed");
        QVERIFY(server.start());
        d = server.connection;
    }
    void cleanup()
    {
        for (auto w = made.rbegin(); w != made.rend(); ++w) // children before their frames
            XDestroyWindow(d, *w);
        made.clear();
        if (!d)
            return;
        XSelectInput(d, DefaultRootWindow(d), 0);
        for (const char* property : {"_NET_CLIENT_LIST", "_NET_SUPPORTING_WM_CHECK"})
            XDeleteProperty(d, DefaultRootWindow(d), atom(property));
        XSync(d, False);
    }

    void search_exactTitles()
    {
        X11WindowPort port(server.display());
        make("メールを受信中", "old name");
        const Window host = make(nullptr, "Mewmail for Windows ver. 2.0");
        const Window hidden = make("hidden", nullptr, false);
        const Window frame = make(nullptr);
        make("framed", nullptr, true, frame);
        QVERIFY(port.windowExists(QStringLiteral("メールを受信中")));
        QCOMPARE(port.findWindow(QStringLiteral("Mewmail for Windows ver. 2.0")), host);
        QVERIFY(port.windowExists(QStringLiteral("framed"))); // a client inside a frame
        for (const char* other : {"メールを受信", "old name", "mewmail for windows ver. 2.0", "hidden"})
            QVERIFY2(!port.windowExists(QString::fromUtf8(other)), other);

        // A manager's client list decides; a listed window that vanished is no error.
        rootList("_NET_CLIENT_LIST", {long(hidden), 0x7ffffff});
        QVERIFY(port.windowExists(QStringLiteral("hidden")));
        QVERIFY(!port.windowExists(QStringLiteral("framed")));
    }

    // A window manager (the test plays one that reads requests and does nothing) ignores the
    // activation: the host is focused all the same. (Without a manager: the bring-home command
    // of test_e2e_wine, whose host answers the keys.)
    void activate_thenAltFThenMArrive()
    {
        rootList("_NET_SUPPORTING_WM_CHECK", {long(make(nullptr, nullptr, false))});
        XSelectInput(d, DefaultRootWindow(d), SubstructureRedirectMask);
        const Window host = make("Mewmail for Windows ver. 2.0");
        XSelectInput(d, host, KeyPressMask);
        XSync(d, False);
        X11WindowPort port(server.display());
        QVERIFY(port.activateWindow(QStringLiteral("Mewmail for Windows ver. 2.0")));
        QVERIFY(port.sendAltFThenM());
        XSync(d, False);
        QStringList seen; // keys reach the host only while it has the focus
        for (XEvent e; XPending(d);)
            if (XNextEvent(d, &e), e.type == KeyPress)
                seen << QString::fromLatin1(XKeysymToString(XLookupKeysym(&e.xkey, 0))) +
                            ((e.xkey.state & Mod1Mask) ? "+alt" : "");
            else if (e.type == ClientMessage && e.xclient.message_type == atom("_NET_ACTIVE_WINDOW"))
                seen << (e.xclient.window == host ? "asked for host" : "asked for another");
        QCOMPARE(seen.join(','), QStringLiteral("asked for host,Alt_L,f+alt,m"));
    }
};

QTEST_GUILESS_MAIN(TestX11WindowPort)
#include "test_x11windowport.moc"
