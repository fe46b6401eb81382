#pragma once

#include "ports/Messages.h"
#include "ports/Ports.h"

#include <QElapsedTimer>
#include <QPointer>

#include <functional>

class QProgressDialog;
class QWidget;

// Message boxes through QMessageBox: the icon and buttons asked for, Yes the default of a
// yes/no question and OK the default of OK/Cancel. The box is modal over the window that
// is active at that moment.
class QtMessagePort : public MessagePort {
protected:
    MsgAnswer ask(const QString& caption, const QString& text, MsgIcon icon, MsgButtons buttons) override;
};

// Ends the process at once: output streams are flushed, nothing else runs (no destructors,
// no saving), as the program's fatal paths require.
class QtExitPort : public ExitPort {
public:
    [[noreturn]] void endProgram(int code) override;
};

// Keeps the windows alive through a nested event loop that leaves the user's input waiting
// (QEventLoop::ExcludeUserInputEvents): they repaint and timers run; clicks, keys and close
// requests are handled after the work, as when the window was blocked.
class QtKeepAlive : public KeepAlivePort {
public:
    void keepAlive(int ms) override;
};

// Folder picker: Qt's folder chooser in Japanese (platform/JapaneseDialogs.h); cancel gives
// the empty text.
class QtFolderPicker : public FolderPickerPort {
public:
    QString pickFolder(const QString& title) override;
};

// A progress window for long copies. It appears only when a copy is still running after
// about half a second, so short copies never flash a window. It holds the keyboard while it
// shows, so Ctrl+Q and a request to close it go to the close request given here (the program
// answers them as the main window's close during file processing does); the copy goes on.
class QtCopyProgress : public CopyProgressPort {
public:
    QtCopyProgress();
    ~QtCopyProgress() override;

    void setCloseRequest(std::function<void()> handler) { closeRequest_ = std::move(handler); }

    void copyStarted(qint64 totalBytes) override;
    void copyAdvanced(qint64 doneBytes) override;
    void copyFinished() override;

    // Delay before the window shows; tests may shorten it.
    void setShowDelay(int ms) { showDelayMs_ = ms; }
    bool isVisible() const;

private:
    static constexpr int kScale = 1000; // the dialog's range: permille of the bytes
    QPointer<QProgressDialog> dialog_;
    QElapsedTimer started_;
    qint64 total_ = 0;
    int showDelayMs_ = 500;
    std::function<void()> closeRequest_;
};
