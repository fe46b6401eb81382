#pragma once

#include <QPointer>
#include <QProgressBar>

// The gauge bar placed inside a container widget, range 0 to 100.
class CProgBar32 {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    QWidget* parent() const { return parent_; }

    // Creates the bar filling the container, and keeps it so; false without a container.
    bool Create();
    // Processes pending events, sets the position, processes pending events again.
    void SetProgBarPos(int pos);
    // Processes pending events while waiting ms milliseconds.
    void DelayProgBar(int ms);

private:
    QPointer<QWidget> parent_;
    QPointer<QProgressBar> bar_;
};
