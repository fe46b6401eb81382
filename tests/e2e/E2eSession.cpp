#include "tests/e2e/E2eSession.h"

#include "storage/HostLayout.h"

#include <QDir>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

#include "tests/support/XvfbServer.h" // after Qt's headers: Xlib's macros clash with Qt's names

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

QByteArray property(Display* d, Window w, const char* name, Atom type)
{
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1024, False, type, &actual, &format, &count, &after,
                           &data) != Success ||
        !data)
        return {};
    const QByteArray out(reinterpret_cast<const char*>(data), qsizetype(count * (format == 32 ? sizeof(long) : 1)));
    XFree(data);
    return out;
}

// The mapped top-level windows, top first, with their titles.
std::vector<std::pair<Window, QString>> mapped(Display* d)
{
    std::vector<std::pair<Window, QString>> out;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count))
        return out;
    for (unsigned int i = count; i-- > 0;) { // children come bottom to top
        XWindowAttributes a;
        if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable)
            out.emplace_back(children[i], QString::fromUtf8(property(d, children[i], "_NET_WM_NAME",
                                                                     XInternAtom(d, "UTF8_STRING", False))));
    }
    XFree(children);
    return out;
}

} // namespace

E2eSession::E2eSession() : server_(std::make_unique<XvfbServer>()) {}

E2eSession::~E2eSession() = default;

bool E2eSession::start()
{
    if (!XvfbServer::available() || !dir_.isValid() || !server_->start())
        return false;
    d_ = server_->connection;
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; }); // a window that went away while we looked
    int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (XkbQueryExtension(d_, &opcode, &xkbEvent_, &error, &major, &minor))
        XkbSelectEvents(d_, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
    int low = 0, high = 0, per = 0;
    XDisplayKeycodes(d_, &low, &high);
    KeySym* map = XGetKeyboardMapping(d_, KeyCode(low), high - low + 1, &per);
    for (int code = high; code >= low; --code)
        if (std::all_of(map + (code - low) * per, map + (code - low + 1) * per, [](KeySym k) { return k == NoSymbol; }))
            spare_.push_back(unsigned(code));
    XFree(map);

    qputenv("DISPLAY", server_->display());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_LOGGING_RULES", "kennel.messages.debug=true");
    qputenv("QT_ACCESSIBILITY", "0");
    // Should a step fail, a host started by kennel ends by itself: the test fails, not hangs.
    qputenv("MEWMAIL_QUIT_AFTER_MS", "90000");
    for (const char* setting : {"HOME=home", "XDG_RUNTIME_DIR=run", "TMPDIR=tmp", "XDG_DATA_HOME=data",
                                "XDG_CONFIG_HOME=config", "XDG_CACHE_HOME=cache", "XDG_STATE_HOME=state"}) {
        const QString folder = dir_.filePath(QString::fromLatin1(setting).section(QLatin1Char('='), 1));
        QDir().mkpath(folder);
        qputenv(QByteArray(setting).split('=')[0].constData(), QFile::encodeName(folder));
    }
    return QFile::setPermissions(dir_.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// ---- folders ----------------------------------------------------------------------------

QString E2eSession::newHost(const QString& name, const QString& tag, const PetTable& table, const QStringList& petTags)
{
    const QString host = path(name);
    QDir().mkpath(host);
    if (!tag.isEmpty())
        hostfolder::makeHost(host, tag);
    for (const QString file : {"kennel", "Mewmail20.exe", "libunlha32.so"}) {
        QFile::remove(host + QLatin1Char('/') + file);
        QFile::copy(qEnvironmentVariable("KENNEL_BIN_DIR") + QLatin1Char('/') + file, host + QLatin1Char('/') + file);
    }
    if (table.count() > 0)
        hostfolder::write(host, QStringLiteral("Kennel.ini"), ini(table));
    for (int i = 0; i < petTags.size(); ++i)
        hostfolder::makePet(pet(host, i), petTags[i]);
    return host;
}

PetTable E2eSession::table(const QList<std::pair<QString, QString>>& pets, int current)
{
    PetTable t;
    for (const auto& [name, owner] : pets)
        t.Pet[++t.MaxUser] = name, t.Master[t.MaxUser] = owner;
    t.CurrentUser = current;
    return t;
}

QMap<QString, QByteArray> E2eSession::itemData(const QString& folder)
{
    auto out = hostfolder::snapshot(folder);
    out.removeIf([](const auto& it) {
        const QString top = it.key().section(QLatin1Char('/'), 0, 0);
        return !items::kFolderOrder.contains(top) && top != items::kFriends && top != items::kSettings &&
               top != items::kSettingsBackup;
    });
    return out;
}

// ---- programs and message boxes -----------------------------------------------------------

QProcess& E2eSession::startProgram(const QStringList& command, const QMap<QString, QString>& env)
{
    pump();
    bells_ = 0;
    QProcess& p = *runs_.emplace_back(std::make_unique<QProcess>());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = env.begin(); it != env.end(); ++it)
        environment.insert(it.key(), it.value());
    p.setProcessEnvironment(environment);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(command.first(), command.mid(1));
    return p;
}

int E2eSession::waitEnd(QProcess& program, int ms)
{
    const bool ended = until([&] { return program.state() == QProcess::NotRunning; }, ms);
    pump();
    return ended ? program.exitCode() : -1;
}

void E2eSession::pump()
{
    static const QByteArray tag = "kennel.messages: ";
    for (const auto& program : runs_)
        while (program->canReadLine()) {
            const QByteArray line = program->readLine();
            said_ += line;
            if (line.startsWith(tag)) // a text's "\r\n" line break leaves its "\r"
                messages_ << QString::fromUtf8(line.mid(tag.size()).chopped(1)).remove(QLatin1Char('\r'));
        }
    for (XEvent e; XPending(d_);)
        if (!XNextEvent(d_, &e) && xkbEvent_ && e.type == xkbEvent_ &&
            reinterpret_cast<XkbAnyEvent*>(&e)->xkb_type == XkbBellNotify)
            ++bells_;
}

bool E2eSession::reply(const QString& expected, const QString& chords)
{
    const QString shown = until([&] { return messages_.size() > taken_; }) ? messages_[taken_++] : QString();
    if (shown != expected) {
        qWarning().noquote() << "message box:" << shown << "\nexpected:   " << expected;
        return false;
    }
    // The box is logged before it shows, and its caption may be the main window's. Keys that
    // follow go elsewhere only once it has gone.
    Window box = 0;
    XWindowAttributes a;
    return until([&] { return (box = topmost(shown.section(QStringLiteral(" | "), 0, 0), true)) != 0; }) &&
           send(box, chords) && until([&] { return !XGetWindowAttributes(d_, box, &a) || a.map_state != IsViewable; });
}

QString E2eSession::endAll()
{
    pump();
    if (QTest::currentTestFailed()) {
        QStringList shown;
        for (const auto& [w, title] : mapped(d_))
            shown << title + (w == focused() ? QStringLiteral(" (focus)") : QString());
        for (const auto& program : runs_)
            said_ += program->readAll(); // a last line without its end
        qWarning().noquote() << "windows, top first:" << shown.join(QStringLiteral(", ")) << "\noutput:\n"
                             << QString::fromUtf8(said_);
    }
    for (const auto& program : runs_)
        program->kill(), program->waitForFinished();
    runs_.clear();
    said_.clear();
    const QStringList unanswered = messages_.mid(taken_);
    taken_ = messages_.size();
    return unanswered.join(QLatin1Char('\n'));
}

// ---- windows and input ------------------------------------------------------------------

unsigned long E2eSession::topmost(const QString& title, bool dialogOnly)
{
    const Atom dialog = XInternAtom(d_, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    for (const auto& [w, shownTitle] : mapped(d_)) {
        const QByteArray types = dialogOnly ? property(d_, w, "_NET_WM_WINDOW_TYPE", XA_ATOM) : QByteArray();
        const auto* atoms = reinterpret_cast<const Atom*>(types.constData());
        if (shownTitle == title &&
            (!dialogOnly || std::count(atoms, atoms + types.size() / qsizetype(sizeof(Atom)), dialog)))
            return w;
    }
    return 0;
}

unsigned long E2eSession::focused()
{
    Window current = 0;
    int revert = 0;
    XGetInputFocus(d_, &current, &revert);
    return current;
}

void E2eSession::focus(unsigned long w)
{
    pump();
    bells_ = 0; // what follows this input is waited for
    if (focused() == w)
        return;
    XRaiseWindow(d_, w);
    XSetInputFocus(d_, w, RevertToParent, CurrentTime);
    XSync(d_, False);
}

void E2eSession::press(unsigned keycode, unsigned modifier)
{
    const unsigned events[][2] = {{modifier, True}, {keycode, True}, {keycode, False}, {modifier, False}};
    for (const auto& [code, down] : events)
        if (code)
            XTestFakeKeyEvent(d_, code, int(down), CurrentTime);
    XSync(d_, False);
}

bool E2eSession::keys(const QString& title, const QString& script)
{
    Window w = 0;
    return until([&] { return (w = topmost(title)) != 0; }) && send(w, script);
}

bool E2eSession::send(unsigned long w, const QString& script)
{
    focus(w);
    static const QRegularExpression token(QStringLiteral("'([^']*)'|(\\S+)"));
    for (const QRegularExpressionMatch& m : token.globalMatch(script)) {
        if (m.capturedStart(2) >= 0) { // a chord: at most one modifier ("Ctrl", "Alt", "Shift") and a key
            const QStringList parts = m.captured(2).split(QLatin1Char('+'));
            const KeyCode code = XKeysymToKeycode(d_, XStringToKeysym(parts.last().toLatin1().constData()));
            if (!code)
                return false;
            const QByteArray modifier =
                QString(parts[0]).replace(QLatin1String("Ctrl"), QLatin1String("Control")).toLatin1() + "_L";
            press(code, parts.size() < 2 ? 0 : XKeysymToKeycode(d_, XStringToKeysym(modifier.constData())));
            continue;
        }
        for (const uint c : m.captured(1).toUcs4()) {
            // Printable ASCII has keys of its own (shifted or not): long paths then need few spare keys.
            const KeyCode own = c >= 0x20 && c < 0x7f ? XKeysymToKeycode(d_, KeySym(c)) : 0;
            const bool plain = own && XkbKeycodeToKeysym(d_, own, 0, 0) == KeySym(c);
            if (plain || (own && XkbKeycodeToKeysym(d_, own, 0, 1) == KeySym(c))) {
                press(own, plain ? 0 : XKeysymToKeycode(d_, XK_Shift_L));
                continue;
            }
            // Each character keeps its key for the session: the program may read the keyboard
            // map after later changes, so a key is only given a new character when all are used.
            auto it = typed_.find(c);
            if (it == typed_.end()) {
                if (spare_.empty())
                    return false;
                const unsigned code = spare_[nextSpare_++ % spare_.size()];
                KeySym syms[2] = {KeySym(0x1000000 + c), KeySym(0x1000000 + c)};
                XChangeKeyboardMapping(d_, int(code), 2, syms, 1);
                XSync(d_, False);
                std::erase_if(typed_, [&](const auto& kv) { return kv.second == code; });
                it = typed_.emplace(c, code).first;
            }
            press(it->second);
        }
    }
    return true;
}

bool E2eSession::click(const QString& title, double x, double y, unsigned button)
{
    const Window w = topmost(title);
    XWindowAttributes a;
    if (!w || !XGetWindowAttributes(d_, w, &a))
        return false;
    focus(w);
    const auto place = [](double v, int size) {
        const double pixels = std::abs(v) < 1 ? v * size : v;
        return int(pixels < 0 ? size + pixels : pixels);
    };
    int rx = 0, ry = 0;
    Window child = 0;
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
    XEvent e{};
    e.xclient = {ClientMessage, 0, False, d_, w, XInternAtom(d_, "WM_PROTOCOLS", False), 32, {}};
    e.xclient.data.l[0] = long(XInternAtom(d_, "WM_DELETE_WINDOW", False));
    return w && XSendEvent(d_, w, False, NoEventMask, &e) && (XSync(d_, False), true);
}
