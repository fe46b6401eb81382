#pragma once

#include "app/Registry.h"

#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>
#include <vector>

class XvfbServer;
struct _XDisplay;

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
    // A folder (made if need be) holding the real kennel, the stand-in host and, when built,
    // the archiver library. With a tag, first filled as a host with a pet (hostfolder::makeHost).
    QString newHost(const QString& name, const QString& tag = {});

    // The item data of a folder (host places or a pet folder): relative path -> content;
    // the programs, Kennel.ini and the pet folders are left out.
    static QMap<QString, QByteArray> itemData(const QString& folder);
    static RegistryContent registry(const QString& host);

    // ---- kennel processes ---------------------------------------------------------------
    // command: what kennel is started under (for example setpriv and its arguments).
    QProcess& startKennel(const QString& host, const QStringList& command = {});
    // Any program, watched like kennel (its messages, its end).
    QProcess& startProgram(const QStringList& command);
    // The next message box since the last one taken, as its log line "caption | icon | text";
    // empty on timeout.
    QString nextMessage(int ms = 20000);
    QStringList messages() const { return messages_; } // every box shown so far
    // Ends every program still running (call from each test's cleanup()); after a failed test,
    // first tells what was on the screen and what the programs wrote.
    void endAll();
    // Waits for the end of the process: its exit code, or -1 while it still runs.
    int waitEnd(QProcess& kennel, int ms = 20000);
    QByteArray output() const { return said_; } // everything the processes wrote

    // ---- windows and input --------------------------------------------------------------
    bool waitWindow(const QString& title, int ms = 20000);
    bool waitNoWindow(const QString& title, int ms = 20000);
    // Waits until the topmost window with this title has the keyboard focus.
    bool waitFocus(const QString& title, int ms = 20000);
    // Gives the focus to the topmost window with this title (a message box lies above the
    // window it belongs to), then sends chords such as "Ctrl+p", "Alt+f", "Tab", "Return",
    // "Escape", "space", "Down", separated by blanks. false when no such window exists.
    bool keys(const QString& title, const QString& chords);
    // Types text into the focused control of that window: any character, by giving a spare
    // key that character.
    bool type(const QString& title, const QString& text);
    // Clicks at a point of the window: a coordinate below 1 in size is a share of the
    // window's width or height; a negative one counts from the right or bottom.
    bool click(const QString& title, double x, double y, unsigned button = 1);
    // Answers the message box taken last by nextMessage() once it is on screen, and waits
    // until it has gone.
    bool answer(const QString& chords);
    // Waits for the information sound an idle main window plays (after start-up and after
    // every command that ran busy), counting only sounds since the last start, key or click.
    bool waitIdle(int ms = 20000);
    // Sends a window manager's close request to the topmost window with this title.
    bool closeWindow(const QString& title);

private:
    unsigned long topmost(const QString& title, bool dialogOnly = false);
    bool focus(const QString& title);
    void pump();
    // Pumps the programs' output and the X events until done() holds or ms pass.
    template <class Condition> bool until(Condition done, int ms);
    void press(unsigned keycode, const std::vector<unsigned>& modifiers);

    struct Run {
        std::unique_ptr<QProcess> process;
        QByteArray partial;
    };
    std::unique_ptr<XvfbServer> server_;
    _XDisplay* d_ = nullptr;
    QTemporaryDir dir_;
    std::vector<Run> runs_;
    QByteArray said_;
    QStringList messages_;
    QString lastCaption_;
    int taken_ = 0;
    int bells_ = 0;
    int xkbEvent_ = 0;
    std::vector<unsigned> spare_;        // keycodes without symbols, handed out in turn
    std::map<unsigned, unsigned> typed_; // codepoint -> keycode given to it
    size_t nextSpare_ = 0;
};

// Base of the journeys: one X server for the whole program; each journey's programs are ended
// after it, whatever its outcome.
class E2eTest : public QObject {
    Q_OBJECT
protected:
    E2eSession s;
    static inline const QString kMain = QStringLiteral("Kennel 2001");
    static inline const QString kConfig = QStringLiteral("Kennel 2001 環境設定");

private slots:
    void initTestCase()
    {
        if (!s.start())
            QSKIP("Xvfb is not installed");
    }
    void cleanup() { s.endAll(); }
};
