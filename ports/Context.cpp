#include "ports/Context.h"

#include <cstdlib>

namespace {

// The null objects: what a Context holds until a real port is put in.
struct NullMessages : MessagePort {
    MsgAnswer ask(const QString&, const QString&, MsgIcon, MsgButtons buttons) override
    {
        return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel;
    }
};
struct NullExit : ExitPort {
    [[noreturn]] void endProgram(int code) override { std::_Exit(code); }
};
struct NullView : MainView {
    void BusyOn() override {}
    void BusyOff() override {}
    void setGaugePosition(int) override {}
    void delayGauge(int) override {}
};
struct NullCopyProgress : CopyProgressPort {
    void copyStarted(qint64) override {}
    void copyAdvanced(qint64) override {}
    void copyFinished() override {}
};
struct NullFolderPicker : FolderPickerPort {
    QString pickFolder(const QString&) override { return {}; }
};
struct NullWindows : WindowPort {
    bool windowExists(const QString&) override { return false; }
    bool activateWindow(const QString&) override { return false; }
    bool sendAltFThenM() override { return false; }
};
struct NullClock : ClockPort {
    bool shiftDate(int) override { return false; }
    QString lastError() const override { return {}; }
    void wait(int) override {}
};
struct NullProcess : ProcessPort {
    HostRun runAndWait(const QString&, const QString&, const QStringList&) override { return {}; }
    bool isRunning() const override { return false; }
    QString whyNotStartable(const QString&) const override { return {}; }
};

NullMessages nullMessages;
NullExit nullExit;
NullView nullView;
NullCopyProgress nullCopyProgress;
NullFolderPicker nullFolderPicker;
NullWindows nullWindows;
NullClock nullClock;
NullProcess nullProcess;

} // namespace

Context::Context()
    : messages(nullMessages), exit(nullExit), view(nullView), copyProgress(nullCopyProgress),
      folderPicker(nullFolderPicker), windows(nullWindows), clock(nullClock), process(nullProcess)
{
}

void Context::fatal(const QString& text)
{
    messages->critical(text);
    exit->endProgram(0);
    std::_Exit(0); // not reached: every exit port ends the program
}

void Context::endProgram(int code)
{
    messages->tellFileError(); // what an operation met is told before the program goes
    exit->endProgram(code);
    std::_Exit(code); // not reached
}

void Context::releaseView(const MainView& old)
{
    if (&*view == &old)
        view = nullView;
}
