#include "ui/controls/CProgBar32.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QResizeEvent>
#include <QThread>

namespace {
// Keeps the bar sized to its container.
class FillFilter : public QObject {
public:
    FillFilter(QWidget* container, QProgressBar* bar) : QObject(bar), bar_(bar) { container->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Resize) {
            const QSize s = static_cast<QResizeEvent*>(e)->size();
            bar_->setGeometry(0, 0, s.width(), s.height());
        }
        return false;
    }

private:
    QProgressBar* bar_;
};
}  // namespace

bool CProgBar32::Create()
{
    if (!parent_)
        return false;
    delete bar_;
    bar_ = new QProgressBar(parent_);
    bar_->setObjectName(QStringLiteral("ProgBar"));
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->setGeometry(0, 0, parent_->width(), parent_->height());
    new FillFilter(parent_, bar_);
    bar_->show();
    return true;
}

void CProgBar32::SetProgBarPos(int pos)
{
    QCoreApplication::processEvents();
    if (bar_)
        bar_->setValue(std::clamp(pos, 0, 100));
    QCoreApplication::processEvents();
}

void CProgBar32::DelayProgBar(int ms)
{
    QDeadlineTimer deadline(ms);
    QCoreApplication::processEvents();
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    QCoreApplication::processEvents();
}
