#include "platform/X11WindowPort.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <thread>

namespace {

// Windows come and go while we look at them; a BadWindow on a vanished window is an answer
// ("not this one"), not a reason to end the program as Xlib's default handler would.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

// One property of a window as raw bytes, or empty.
QByteArray property(Display* display, Window window, Atom name, Atom type, int* format = nullptr,
                    unsigned long* count = nullptr)
{
    Atom actualType = 0;
    int actualFormat = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, name, 0, 1 << 20, False, type, &actualType, &actualFormat, &items, &after,
                           &data) != Success ||
        !data)
        return {};
    QByteArray bytes;
    if (actualType != None && items > 0) {
        // Format 32 data come as longs in memory, whatever their wire size.
        const size_t unit = actualFormat == 32 ? sizeof(long) : size_t(actualFormat / 8);
        bytes = QByteArray(reinterpret_cast<const char*>(data), qsizetype(items * unit));
    }
    XFree(data);
    if (format)
        *format = actualFormat;
    if (count)
        *count = items;
    return bytes;
}

std::vector<Window> windowList(Display* display, Window window, Atom name)
{
    unsigned long count = 0;
    const QByteArray bytes = property(display, window, name, XA_WINDOW, nullptr, &count);
    std::vector<Window> windows;
    const auto* longs = reinterpret_cast<const unsigned long*>(bytes.constData());
    for (unsigned long i = 0; i < count && (i + 1) * sizeof(long) <= size_t(bytes.size()); ++i)
        windows.push_back(longs[i]);
    return windows;
}

bool isMapped(Display* display, Window window)
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state != IsUnmapped;
}

void pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

X11WindowPort::X11WindowPort(QByteArray displayName) : displayName_(std::move(displayName)) {}

X11WindowPort::~X11WindowPort()
{
    if (display_)
        XCloseDisplay(display_);
}

bool X11WindowPort::open()
{
    if (triedOpen_)
        return display_ != nullptr;
    triedOpen_ = true;
    if (displayName_.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    XSetErrorHandler(ignoreXError);
    display_ = XOpenDisplay(displayName_.isEmpty() ? nullptr : displayName_.constData());
    return display_ != nullptr;
}

bool X11WindowPort::hasDisplay()
{
    return open();
}

std::vector<unsigned long> X11WindowPort::topLevelWindows()
{
    Display* display = display_;
    const Window root = DefaultRootWindow(display);
    std::vector<Window> windows = windowList(display, root, XInternAtom(display, "_NET_CLIENT_LIST", False));
    if (!windows.empty())
        return windows;

    // No EWMH window manager: the mapped children of the root are the top-level windows, and
    // under a plain reparenting manager the client sits one level below its frame.
    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count))
        return {};
    for (unsigned int i = 0; i < count; ++i) {
        if (!isMapped(display, children[i]))
            continue;
        windows.push_back(children[i]);
        Window* inner = nullptr;
        unsigned int innerCount = 0;
        if (XQueryTree(display, children[i], &rootReturn, &parent, &inner, &innerCount)) {
            for (unsigned int k = 0; k < innerCount; ++k)
                windows.push_back(inner[k]);
            if (inner)
                XFree(inner);
        }
    }
    if (children)
        XFree(children);
    return windows;
}

QString X11WindowPort::windowTitle(unsigned long window)
{
    Display* display = display_;
    const QByteArray utf8 = property(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                                     XInternAtom(display, "UTF8_STRING", False));
    if (!utf8.isEmpty())
        return QString::fromUtf8(utf8);

    XTextProperty text;
    if (!XGetWMName(display, window, &text) || !text.value)
        return {};
    QString title;
    if (text.encoding == XA_STRING) {
        title = QString::fromLatin1(reinterpret_cast<const char*>(text.value), int(text.nitems));
    } else {
        char** list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(display, &text, &list, &count) >= Success && list) {
            if (count > 0)
                title = QString::fromUtf8(list[0]);
            XFreeStringList(list);
        }
    }
    XFree(text.value);
    return title;
}

unsigned long X11WindowPort::findWindow(const QString& title)
{
    if (!open())
        return 0;
    for (Window window : topLevelWindows())
        if (windowTitle(window) == title)
            return window;
    return 0;
}

std::vector<QString> X11WindowPort::titles()
{
    std::vector<QString> result;
    if (!open())
        return result;
    for (Window window : topLevelWindows())
        result.push_back(windowTitle(window));
    return result;
}

bool X11WindowPort::windowExists(const QString& title)
{
    return findWindow(title) != 0;
}

bool X11WindowPort::focusIsOn(unsigned long window)
{
    Display* display = display_;
    const Window root = DefaultRootWindow(display);
    const std::vector<Window> active = windowList(display, root, XInternAtom(display, "_NET_ACTIVE_WINDOW", False));
    if (!active.empty() && active.front() == window)
        return true;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    // The focus may sit on a child of the client (Qt focuses its own frame-less child).
    while (focus != 0 && focus != PointerRoot && focus != root) {
        if (focus == window)
            return true;
        Window rootReturn = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, focus, &rootReturn, &parent, &children, &count))
            break;
        if (children)
            XFree(children);
        focus = parent;
    }
    return false;
}

bool X11WindowPort::activateWindow(const QString& title)
{
    const Window window = findWindow(title);
    if (!window)
        return false;
    Display* display = display_;
    const Window root = DefaultRootWindow(display);
    const bool managed = !windowList(display, root, XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False)).empty();
    if (managed) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2; // source: a pager-like tool acting for the user
        event.xclient.data.l[1] = CurrentTime;
        event.xclient.data.l[2] = 0;
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XMapRaised(display, window);
        XRaiseWindow(display, window);
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
    }
    XSync(display, False);

    // The manager acts in its own time; give it up to a second before the keys follow.
    for (int waited = 0; waited < 1000; waited += 20) {
        if (focusIsOn(window))
            return true;
        pause(20);
    }
    if (managed) {
        // A manager that ignored the request: take the focus the plain way.
        XRaiseWindow(display, window);
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XSync(display, False);
    }
    return true;
}

bool X11WindowPort::sendKey(unsigned long keysym, unsigned long modifierKeysym)
{
    Display* display = display_;
    const KeyCode key = XKeysymToKeycode(display, keysym);
    const KeyCode modifier = modifierKeysym ? XKeysymToKeycode(display, modifierKeysym) : 0;
    if (!key || (modifierKeysym && !modifier))
        return false;
    if (modifier)
        XTestFakeKeyEvent(display, modifier, True, CurrentTime);
    XTestFakeKeyEvent(display, key, True, CurrentTime);
    XTestFakeKeyEvent(display, key, False, CurrentTime);
    if (modifier)
        XTestFakeKeyEvent(display, modifier, False, CurrentTime);
    XSync(display, False);
    return true;
}

bool X11WindowPort::sendAltFThenM()
{
    if (!open())
        return false;
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor))
        return false;
    if (!sendKey(XK_f, XK_Alt_L))
        return false;
    // Let the menu open before its item key arrives.
    pause(100);
    return sendKey(XK_m, 0);
}
