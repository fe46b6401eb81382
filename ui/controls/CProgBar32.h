#pragma once

#include <QPointer>
#include <QProgressBar>

// The gauge bar placed inside a container widget, range 0 to 100.
class CProgBar32 {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    QWidget* parent() const { return parent_; }
    void setProgVert(bool vertical) { vertical_ = vertical; }
    bool progVert() const { return vertical_; }

    // Creates the bar filling the container (less a one-pixel border); false without a container.
    bool Create(int left = -1, int top = -1, int width = -1, int height = -1, bool smooth = false);
    void DestroyProgBar();
    void ClearProgBar() { SetProgBarPos(0); }
    // Processes pending events, sets the position, processes pending events again.
    void SetProgBarPos(int pos);
    // Processes pending events while waiting ms milliseconds.
    void DelayProgBar(int ms);
    QProgressBar* ProgBarHwnd() const { return bar_; }

private:
    QPointer<QWidget> parent_;
    QPointer<QProgressBar> bar_;
    bool vertical_ = false;
};
