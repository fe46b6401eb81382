#include "platform/QtPorts.h"

#include "platform/JapaneseDialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

QMessageBox::Icon boxIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

MsgAnswer toAnswer(int button)
{
    switch (button) {
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    case QMessageBox::Retry:
        return MsgAnswer::Retry;
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    default:
        return MsgAnswer::Ok;
    }
}

} // namespace

MsgAnswer QtMessagePort::ask(const QString& caption, const QString& text, MsgIcon icon, MsgButtons buttons)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::NoButton, QApplication::activeWindow());
    switch (buttons) {
    case MsgButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    case MsgButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MsgButtons::RetryCancel:
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Retry);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    // The buttons read as on a Japanese desktop, whatever the system's language.
    const std::pair<QMessageBox::StandardButton, const char*> labels[] = {
        {QMessageBox::Ok, "OK"}, {QMessageBox::Cancel, "キャンセル"}, {QMessageBox::Yes, "はい(&Y)"},
        {QMessageBox::No, "いいえ(&N)"}, {QMessageBox::Retry, "再試行(&R)"}};
    for (const auto& [which, label] : labels)
        if (QAbstractButton* button = box.button(which))
            button->setText(QString::fromUtf8(label));
    const int result = box.exec();
    // A box closed by its title bar counts as its escape answer.
    if (result == QMessageBox::NoButton || result == 0 || result == -1) {
        if (buttons == MsgButtons::YesNo)
            return MsgAnswer::No;
        if (buttons == MsgButtons::Ok)
            return MsgAnswer::Ok;
        return MsgAnswer::Cancel;
    }
    return toAnswer(result);
}

void QtExitPort::endProgram(int code)
{
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(code);
}

void QtKeepAlive::keepAlive(int ms)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // A loop started while the application quits returns at once: the caller still waits.
    if (const qint64 left = ms - clock.elapsed(); left > 0)
        QThread::msleep(static_cast<unsigned long>(left));
}

QString QtFolderPicker::pickFolder(const QString& title)
{
    return chooseFolder(QApplication::activeWindow(), title);
}

namespace {

// The copy window: it cannot be closed while the copy runs; a close request is passed on.
class CopyProgressDialog : public QProgressDialog {
public:
    CopyProgressDialog(QWidget* parent, const std::function<void()>& closeRequest)
        : QProgressDialog(parent), closeRequest_(closeRequest)
    {
        auto* quit = new QAction(this);
        quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
        addAction(quit);
        connect(quit, &QAction::triggered, this, [this] { passOn(); });
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        passOn();
    }

private:
    void passOn()
    {
        if (closeRequest_)
            closeRequest_();
    }
    const std::function<void()>& closeRequest_;
};

} // namespace

QtCopyProgress::QtCopyProgress() = default;

QtCopyProgress::~QtCopyProgress()
{
    delete dialog_;
}

void QtCopyProgress::copyStarted(qint64 totalBytes)
{
    total_ = totalBytes;
    started_.start();
    if (!dialog_) {
        dialog_ = new CopyProgressDialog(QApplication::activeWindow(), closeRequest_);
        dialog_->setWindowTitle(QStringLiteral("Kennel 2001"));
        dialog_->setLabelText(QStringLiteral("ファイルをコピーしています..."));
        dialog_->setCancelButton(nullptr); // a copy cannot be undone, so it cannot be stopped
        dialog_->setRange(0, kScale);
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
    }
    dialog_->setMinimumDuration(showDelayMs_);
    dialog_->setValue(0);
}

void QtCopyProgress::copyAdvanced(qint64 doneBytes)
{
    if (!dialog_)
        return;
    const int value = total_ > 0 ? int(std::clamp<qint64>(doneBytes * kScale / total_, 0, kScale)) : 0;
    // QProgressDialog decides on its own show from the time since its last reset; make sure a
    // copy that runs past the delay shows even when its advances are few.
    if (!dialog_->isVisible() && started_.elapsed() >= showDelayMs_)
        dialog_->show();
    dialog_->setValue(value);
    QCoreApplication::processEvents();
}

void QtCopyProgress::copyFinished()
{
    if (dialog_) {
        dialog_->hide();
        dialog_->reset();
    }
    total_ = 0;
}

bool QtCopyProgress::isVisible() const
{
    return dialog_ && dialog_->isVisible();
}
