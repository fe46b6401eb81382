#pragma once

#include "registry/RegistryFormat.h"
#include "tests/support/HostFolder.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>
#include <vector>

class XvfbServer;
struct _XDisplay;

inline const QString kMain = QStringLiteral("Kennel 2001");
inline const QString kConfig = QStringLiteral("Kennel 2001 環境設定");
inline const QString kHost = QStringLiteral("Mewmail for Windows ver. 2.0");

// Drives the real kennel from outside, as a person does, on a private Xvfb: keys, typed text
// (Japanese included), mouse clicks, message boxes read back from the kennel.messages log.
// Everything the programs write stays in the session's temporary folder: HOME, TMPDIR and the
// XDG folders point into it. No window manager runs; a window is given the focus directly.
// Waits are on conditions with a timeout (ms), never fixed sleeps.
class E2eSession {
public:
    E2eSession();
    ~E2eSession();
    // Starts the X server and sets the environment the programs inherit. false: no Xvfb.
    bool start();
    QString path(const QString& relative) const { return dir_.filePath(relative); }

    // ---- folders ------------------------------------------------------------------------
    // A folder (made if need be) holding the real kennel, the stand-in host and the archiver
    // library. With a tag it is first filled as a host with a pet (hostfolder::makeHost); the
    // pets ({name, owner}, the one at current in the host's places, nothing shared) become its
    // Kennel.ini, and petTags[i] fills pet i's folder likewise.
    QString newHost(const QString& name, const QString& tag = {}, const PetTable& table = {},
                    const QStringList& petTags = {});
    static PetTable table(const QList<std::pair<QString, QString>>& pets, int current = 0);
    static QByteArray ini(const PetTable& table) { return formatRegistry(table).value(); }
    static QByteArray ini(const QString& host) { return hostfolder::read(host + QStringLiteral("/Kennel.ini")); }
    static QString pet(const QString& host, int index) { return host + QStringLiteral("/ユーザー%1").arg(index + 1); }
    // The item data of a folder (host places or a pet folder): relative path -> content;
    // the programs, Kennel.ini and the pet folders are left out.
    static QMap<QString, QByteArray> itemData(const QString& folder);

    // ---- programs and message boxes -------------------------------------------------------
    // Any program (command: what kennel is started under, for example setpriv and its
    // arguments), watched; env: variables set for it alone.
    QProcess& startProgram(const QStringList& command, const QMap<QString, QString>& env = {});
    QProcess& startKennel(const QString& host, const QStringList& command = {}, const QMap<QString, QString>& env = {})
    {
        return startProgram(QStringList(command) << host + QStringLiteral("/kennel"), env);
    }
    // Waits for the end of the process: its exit code, or -1 while it still runs.
    int waitEnd(QProcess& program, int ms = 20000);
    int quit(QProcess& kennel) { return keys(kMain, QStringLiteral("Ctrl+q")) ? waitEnd(kennel) : -1; }
    QByteArray output() const { return said_; } // everything the programs wrote
    // Takes the next message box, which must be `expected` (its log line "caption | icon |
    // text", first line only), answers it with chords once it shows and waits until it has gone.
    bool reply(const QString& expected, const QString& chords = QStringLiteral("Return"));
    // Ends every program still running (after each journey); after a failed journey, first
    // tells what was on the screen and what the programs wrote. Returns the boxes not replied to.
    QString endAll();

    // ---- windows and input --------------------------------------------------------------
    bool waitWindow(const QString& title, int ms = 20000)
    {
        return until([&] { return topmost(title); }, ms);
    }
    bool waitNoWindow(const QString& title, int ms = 20000)
    {
        return until([&] { return !topmost(title); }, ms);
    }
    // Waits until the topmost window with this title has the keyboard focus.
    bool waitFocus(const QString& title)
    {
        return until([&] { return focused() && focused() == topmost(title); });
    }
    // Waits for a window with this title, gives the topmost one the focus (a message box lies
    // above the window it belongs to) and sends the script: chords such as "Ctrl+p", "Alt+f",
    // "Tab", "Return", "Escape", "space", "Down", and texts in single quotes, typed as they
    // stand (any character: a spare key is given it), separated by blanks.
    bool keys(const QString& title, const QString& script);
    // Clicks at a point of the window: a coordinate below 1 in size is a share of the
    // window's width or height; a negative one counts from the right or bottom.
    bool click(const QString& title, double x, double y, unsigned button = 1);
    // Sends a window manager's close request to the topmost window with this title.
    bool closeWindow(const QString& title);
    // Waits for the information sound an idle main window plays (after start-up and after
    // every command that ran busy), counting only sounds since the last start, key or click.
    bool waitIdle(int ms = 20000)
    {
        return until([&] { return bells_ > 0; }, ms);
    }

private:
    unsigned long topmost(const QString& title, bool dialogOnly = false);
    unsigned long focused();
    void focus(unsigned long window);
    bool send(unsigned long window, const QString& script);
    void press(unsigned keycode, unsigned modifier = 0);
    void pump();
    // Pumps the programs' output and the X events until done() holds or ms pass.
    template <class Condition> bool until(Condition done, int ms = 20000)
    {
        const QDeadlineTimer deadline(ms);
        for (pump(); !done(); QTest::qWait(10), pump())
            if (deadline.hasExpired())
                return false;
        return true;
    }

    std::unique_ptr<XvfbServer> server_;
    _XDisplay* d_ = nullptr;
    QTemporaryDir dir_;
    std::vector<std::unique_ptr<QProcess>> runs_; // after dir_: the programs end before their folders go
    QByteArray said_;
    QStringList messages_;
    qsizetype taken_ = 0;
    int bells_ = 0;
    int xkbEvent_ = 0;
    std::vector<unsigned> spare_;        // keycodes without symbols, handed out in turn
    std::map<unsigned, unsigned> typed_; // codepoint -> keycode given to it
    size_t nextSpare_ = 0;
};

// Base of the journeys: one X server for the whole program; each journey's programs are ended
// after it, whatever its outcome, and no message box may have gone unanswered.
class E2eTest : public QObject {
    Q_OBJECT
protected:
    E2eSession s;

private slots:
    void initTestCase()
    {
        if (!s.start())
            QSKIP("Xvfb is not installed");
    }
    void cleanup()
    {
        const QString unanswered = s.endAll();
        QVERIFY2(unanswered.isEmpty(), qPrintable(unanswered));
    }
};
