#include "ui/controls/cTabStrip.h"

#include <QEvent>
#include <QTabBar>
#include <QWidget>

cTabStrip::cTabStrip(QObject* parent) : QObject(parent) {}

cTabStrip::~cTabStrip()
{
    destroy();
}

void cTabStrip::setPictureBox(QWidget* box)
{
    destroy();
    box_ = box;
    if (box_)
        buildStrip();
}

void cTabStrip::buildStrip()
{
    bar_ = new QTabBar(box_);
    bar_->setObjectName(QStringLiteral("TabStrip"));
    bar_->setExpanding(false);
    bar_->setFont(box_->font());
    bar_->setAttribute(Qt::WA_Hover, true);
    bar_->setFocusPolicy(Qt::StrongFocus);
    connect(bar_, &QTabBar::currentChanged, this, &cTabStrip::onCurrentChanged);
    box_->installEventFilter(this);
    box_->setFocusProxy(bar_);
    layoutStrip();
    bar_->show();
}

void cTabStrip::destroy()
{
    if (box_) {
        box_->removeEventFilter(this);
        if (box_->focusProxy() == bar_)
            box_->setFocusProxy(nullptr);
    }
    delete bar_;
    bar_ = nullptr;
}

void cTabStrip::layoutStrip()
{
    if (!bar_ || !box_)
        return;
    bar_->setGeometry(0, 0, box_->width(), bar_->sizeHint().height());
}

QRect cTabStrip::clientArea() const
{
    if (!bar_ || !box_)
        return {};
    // Read when asked, so a container moved while hidden still gives its current area.
    const int stripHeight = bar_->sizeHint().height();
    const QRect box = box_->geometry();  // in the parent's coordinates
    return QRect(box.left(), box.top() + stripHeight, box.width(), std::max(0, box.height() - stripHeight));
}

int cTabStrip::TabsAdd(int index, const QString& caption)
{
    if (!bar_)
        return -1;
    // Adding the first tab selects it; that is the program's doing, not the user's.
    const bool saved = programmatic_;
    programmatic_ = true;
    const int at = bar_->insertTab(index, caption);
    programmatic_ = saved;
    layoutStrip();
    return at;
}

int cTabStrip::TabsCount() const
{
    return bar_ ? bar_->count() : 0;
}

int cTabStrip::SelectedItem() const
{
    return bar_ ? bar_->currentIndex() + 1 : 0;
}

void cTabStrip::setSelectedItem(int item)
{
    if (!bar_ || item < 1 || item > bar_->count())
        return;
    const bool saved = programmatic_;
    programmatic_ = true;
    bar_->setCurrentIndex(item - 1);
    programmatic_ = saved;
}

void cTabStrip::onCurrentChanged(int)
{
    if (programmatic_ || busy_)
        return;
    busy_ = true;
    emit Click();
    busy_ = false;
}

bool cTabStrip::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == box_) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Move:
            layoutStrip();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
