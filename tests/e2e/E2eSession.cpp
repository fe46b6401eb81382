#include "tests/e2e/E2eSession.h"

#include "storage/HostLayout.h"
#include "tests/support/HostFolder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTest>

#include <cmath>

#include "tests/platform/XvfbServer.h" // after Qt's headers: Xlib's macros clash with Qt's names

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

QString titleOf(Display* d, Window w)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    QString title;
    if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), 0, 1024, False,
                           XInternAtom(d, "UTF8_STRING", False), &type, &format, &count, &after, &data) == Success &&
        data) {
        title = QString::fromUtf8(reinterpret_cast<const char*>(data), int(count));
        XFree(data);
    }
    return title;
}

int ignoreErrors(Display*, XErrorEvent*)
{
    return 0; // a window that went away while we looked at it
}

} // namespace

E2eSession::E2eSession() : server_(std::make_unique<XvfbServer>()) {}

E2eSession::~E2eSession()
{
    runs_.clear(); // the programs end before their folders go
}

bool E2eSession::start()
{
    if (!XvfbServer::available() || !dir_.isValid() || !server_->start())
        return false;
    d_ = server_->connection;
    XSetErrorHandler(ignoreErrors);
    int opcode = 0;
    int error = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (XkbQueryExtension(d_, &opcode, &xkbEvent_, &error, &major, &minor))
        XkbSelectEvents(d_, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);

    int low = 0;
    int high = 0;
    XDisplayKeycodes(d_, &low, &high);
    int per = 0;
    KeySym* map = XGetKeyboardMapping(d_, KeyCode(low), high - low + 1, &per);
    for (int code = high; code >= low; --code) {
        bool empty = true;
        for (int k = 0; k < per; ++k)
            empty = empty && map[(code - low) * per + k] == NoSymbol;
        if (empty)
            spare_.push_back(unsigned(code));
    }
    XFree(map);

    for (const char* sub : {"home", "run", "tmp", "data", "config", "cache"})
        QDir().mkpath(dir_.filePath(QLatin1String(sub)));
    QFile::setPermissions(dir_.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("DISPLAY", server_->display());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_LOGGING_RULES", "kennel.messages.debug=true");
    qputenv("QT_ACCESSIBILITY", "0");
    qputenv("HOME", QFile::encodeName(dir_.filePath("home")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir_.filePath("run")));
    qputenv("TMPDIR", QFile::encodeName(dir_.filePath("tmp")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir_.filePath("data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath("config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir_.filePath("cache")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(dir_.filePath("state")));
    // Should a step fail, a host started by kennel ends by itself: the test fails, not hangs.
    qputenv("MEWMAIL_QUIT_AFTER_MS", "90000");
    return true;
}

QString E2eSession::newHost(const QString& name, const QString& tag)
{
    const QString host = path(name);
    QDir().mkpath(host);
    if (!tag.isEmpty())
        hostfolder::makeHost(host, tag);
    const QString bin = qEnvironmentVariable("KENNEL_BIN_DIR") + QLatin1Char('/');
    for (const QString& file :
         {QStringLiteral("kennel"), QStringLiteral("Mewmail20.exe"), QStringLiteral("libunlha32.so")}) {
        QFile::remove(host + QLatin1Char('/') + file);
        QFile::copy(bin + file, host + QLatin1Char('/') + file);
    }
    return host;
}

QMap<QString, QByteArray> E2eSession::itemData(const QString& folder)
{
    QMap<QString, QByteArray> out;
    const auto all = hostfolder::snapshot(folder);
    for (auto it = all.begin(); it != all.end(); ++it) {
        const QString top = it.key().section(QLatin1Char('/'), 0, 0);
        if (items::kFolderOrder.contains(top) || top == items::kFriends || top == items::kSettings ||
            top == items::kSettingsBackup)
            out.insert(it.key(), it.value());
    }
    return out;
}

RegistryContent E2eSession::registry(const QString& host)
{
    return parseRegistry(hostfolder::read(host + QStringLiteral("/Kennel.ini")));
}

template <class Condition> bool E2eSession::until(Condition done, int ms)
{
    QDeadlineTimer deadline(ms);
    for (pump(); !done(); pump()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

// ---- processes and messages ---------------------------------------------------------------

QProcess& E2eSession::startKennel(const QString& host, const QStringList& command)
{
    return startProgram(QStringList(command) << host + QStringLiteral("/kennel"));
}

QProcess& E2eSession::startProgram(const QStringList& command)
{
    pump();
    bells_ = 0;
    runs_.push_back({std::make_unique<QProcess>(), {}});
    QProcess& p = *runs_.back().process;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(command.first(), command.mid(1));
    return p;
}

void E2eSession::endAll()
{
    pump();
    if (QTest::currentTestFailed()) {
        QStringList shown;
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        Window focused = 0;
        int revert = 0;
        XGetInputFocus(d_, &focused, &revert);
        if (XQueryTree(d_, DefaultRootWindow(d_), &root, &parent, &children, &count)) {
            for (unsigned int i = count; i-- > 0;) {
                XWindowAttributes a;
                if (XGetWindowAttributes(d_, children[i], &a) && a.map_state == IsViewable)
                    shown << titleOf(d_, children[i]) +
                                 (children[i] == focused ? QStringLiteral(" (focus)") : QString());
            }
            XFree(children);
        }
        qWarning().noquote() << "windows, top first:" << shown.join(QStringLiteral(", ")) << "\noutput:\n"
                             << QString::fromUtf8(said_);
    }
    for (Run& run : runs_)
        if (run.process->state() != QProcess::NotRunning) {
            run.process->kill();
            run.process->waitForFinished();
        }
    runs_.clear();
    said_.clear();
    taken_ = int(messages_.size());
}

void E2eSession::pump()
{
    for (Run& run : runs_) {
        const QByteArray bytes = run.process->readAll();
        said_ += bytes;
        run.partial += bytes;
        qsizetype end;
        while ((end = run.partial.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(run.partial.left(end));
            run.partial.remove(0, end + 1);
            static const QString tag = QStringLiteral("kennel.messages: ");
            if (line.startsWith(tag))
                messages_ << line.mid(tag.size());
        }
    }
    while (XPending(d_)) {
        XEvent e;
        XNextEvent(d_, &e);
        if (xkbEvent_ && e.type == xkbEvent_ && reinterpret_cast<XkbAnyEvent*>(&e)->xkb_type == XkbBellNotify)
            ++bells_;
    }
}

QString E2eSession::nextMessage(int ms)
{
    if (!until([&] { return messages_.size() > taken_; }, ms))
        return {};
    lastCaption_ = messages_[taken_].section(QStringLiteral(" | "), 0, 0);
    return messages_[taken_++];
}

int E2eSession::waitEnd(QProcess& kennel, int ms)
{
    const bool ended = until([&] { return kennel.state() == QProcess::NotRunning; }, ms);
    pump();
    return ended ? kennel.exitCode() : -1;
}

bool E2eSession::answer(const QString& chords)
{
    // The box is logged before it shows, and its caption may be the main window's. Keys that
    // follow go elsewhere only once it has gone.
    Window box = 0;
    const auto gone = [&] {
        XWindowAttributes a;
        return !XGetWindowAttributes(d_, box, &a) || a.map_state != IsViewable;
    };
    return until([&] { return (box = topmost(lastCaption_, true)) != 0; }, 20000) && keys(lastCaption_, chords) &&
           until(gone, 20000);
}

bool E2eSession::waitIdle(int ms)
{
    return until([&] { return bells_ > 0; }, ms);
}

// ---- windows and input ------------------------------------------------------------------

unsigned long E2eSession::topmost(const QString& title, bool dialogOnly)
{
    const Atom windowType = XInternAtom(d_, "_NET_WM_WINDOW_TYPE", False);
    const Atom dialog = XInternAtom(d_, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    const auto isDialog = [&](Window w) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        bool found = false;
        if (XGetWindowProperty(d_, w, windowType, 0, 16, False, XA_ATOM, &type, &format, &count, &after, &data) ==
                Success &&
            data) {
            for (unsigned long i = 0; i < count; ++i)
                found = found || reinterpret_cast<Atom*>(data)[i] == dialog;
            XFree(data);
        }
        return found;
    };
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    // Children come bottom to top.
    if (XQueryTree(d_, DefaultRootWindow(d_), &root, &parent, &children, &count)) {
        for (unsigned int i = count; i-- > 0 && !found;) {
            XWindowAttributes a;
            if (XGetWindowAttributes(d_, children[i], &a) && a.map_state == IsViewable &&
                titleOf(d_, children[i]) == title && (!dialogOnly || isDialog(children[i])))
                found = children[i];
        }
        XFree(children);
    }
    return found;
}

bool E2eSession::waitWindow(const QString& title, int ms)
{
    return until([&] { return topmost(title) != 0; }, ms);
}

bool E2eSession::waitNoWindow(const QString& title, int ms)
{
    return until([&] { return topmost(title) == 0; }, ms);
}

bool E2eSession::waitFocus(const QString& title, int ms)
{
    return until([&] {
        Window current = 0;
        int revert = 0;
        XGetInputFocus(d_, &current, &revert);
        return current != 0 && current == topmost(title);
    }, ms);
}

bool E2eSession::focus(const QString& title)
{
    const Window w = topmost(title);
    if (!w)
        return false;
    Window current = 0;
    int revert = 0;
    XGetInputFocus(d_, &current, &revert);
    pump();
    bells_ = 0; // what follows this input is waited for
    if (current != w) {
        XRaiseWindow(d_, w);
        XSetInputFocus(d_, w, RevertToParent, CurrentTime);
        XSync(d_, False);
    }
    return true;
}

void E2eSession::press(unsigned keycode, const std::vector<unsigned>& modifiers)
{
    for (unsigned m : modifiers)
        XTestFakeKeyEvent(d_, m, True, CurrentTime);
    XTestFakeKeyEvent(d_, keycode, True, CurrentTime);
    XTestFakeKeyEvent(d_, keycode, False, CurrentTime);
    for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m)
        XTestFakeKeyEvent(d_, *m, False, CurrentTime);
    XSync(d_, False);
}

bool E2eSession::keys(const QString& title, const QString& chords)
{
    if (!focus(title))
        return false;
    for (const QString& chord : chords.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        std::vector<unsigned> modifiers;
        const QStringList parts = chord.split(QLatin1Char('+'));
        for (const QString& m : parts.mid(0, parts.size() - 1))
            modifiers.push_back(XKeysymToKeycode(d_, m == QLatin1String("Ctrl")  ? XK_Control_L
                                                     : m == QLatin1String("Alt") ? XK_Alt_L
                                                                                 : XK_Shift_L));
        const KeyCode code = XKeysymToKeycode(d_, XStringToKeysym(parts.last().toLatin1().constData()));
        if (!code)
            return false;
        press(code, modifiers);
    }
    return true;
}

bool E2eSession::type(const QString& title, const QString& text)
{
    if (!focus(title) || spare_.empty())
        return false;
    for (const uint c : text.toUcs4()) {
        // Printable ASCII has keys of its own: long paths then need few spare keys.
        const KeyCode own = c >= 0x20 && c < 0x7f ? XKeysymToKeycode(d_, KeySym(c)) : 0;
        if (own && XkbKeycodeToKeysym(d_, own, 0, 0) == KeySym(c)) {
            press(own, {});
            continue;
        }
        if (own && XkbKeycodeToKeysym(d_, own, 0, 1) == KeySym(c)) {
            press(own, {unsigned(XKeysymToKeycode(d_, XK_Shift_L))});
            continue;
        }
        // Each character keeps its key for the session: the program may read the keyboard
        // map after later changes, so a key is only given a new character when all are used.
        auto it = typed_.find(c);
        if (it == typed_.end()) {
            const unsigned code = spare_[nextSpare_++ % spare_.size()];
            KeySym syms[2] = {KeySym(0x1000000 + c), KeySym(0x1000000 + c)};
            XChangeKeyboardMapping(d_, int(code), 2, syms, 1);
            XSync(d_, False);
            std::erase_if(typed_, [&](const auto& kv) { return kv.second == code; });
            it = typed_.emplace(c, code).first;
        }
        press(it->second, {});
    }
    return true;
}

bool E2eSession::click(const QString& title, double x, double y, unsigned button)
{
    const Window w = topmost(title);
    XWindowAttributes a;
    if (!w || !focus(title) || !XGetWindowAttributes(d_, w, &a))
        return false;
    int rx = 0;
    int ry = 0;
    Window child = 0;
    const auto place = [](double v, int size) {
        const double pixels = std::abs(v) < 1 ? v * size : v;
        return int(pixels < 0 ? size + pixels : pixels);
    };
    XTranslateCoordinates(d_, w, DefaultRootWindow(d_), place(x, a.width), place(y, a.height), &rx, &ry, &child);
    XTestFakeMotionEvent(d_, -1, rx, ry, CurrentTime);
    XTestFakeButtonEvent(d_, button, True, CurrentTime);
    XTestFakeButtonEvent(d_, button, False, CurrentTime);
    XSync(d_, False);
    return true;
}

bool E2eSession::closeWindow(const QString& title)
{
    const Window w = topmost(title);
    if (!w)
        return false;
    XEvent e{};
    e.xclient = {ClientMessage, 0, False, d_, w, XInternAtom(d_, "WM_PROTOCOLS", False), 32, {}};
    e.xclient.data.l[0] = long(XInternAtom(d_, "WM_DELETE_WINDOW", False));
    XSendEvent(d_, w, False, NoEventMask, &e);
    XSync(d_, False);
    return true;
}
