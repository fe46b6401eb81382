#pragma once

#include <QApplication>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <functional>

// Acts on a modal dialog once it shows: polls the event loop for the active modal widget with
// the given objectName and hands it to action. The modal dialog's own event loop runs the
// polls. After giveUpMs without such a dialog it stops polling (so a failing test cannot
// hang), and seen() stays false.
class DialogDriver : public QObject {
public:
    DialogDriver(const QString& objectName, std::function<void(QWidget*)> action, int giveUpMs = 10000)
        : name_(objectName), action_(std::move(action))
    {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this, giveUpMs] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal->objectName() == name_ && modal->isVisible()) {
                timer_.stop();
                seen_ = true;
                action_(modal);
            } else if ((ticks_ += 10) >= giveUpMs) {
                timer_.stop();
                if (modal)
                    modal->close();  // some other dialog: let the test go on and fail
            }
        });
        timer_.start();
    }
    bool seen() const { return seen_; }

private:
    QString name_;
    std::function<void(QWidget*)> action_;
    QTimer timer_;
    int ticks_ = 0;
    bool seen_ = false;
};
