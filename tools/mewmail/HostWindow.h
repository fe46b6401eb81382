#pragma once

#include "HostData.h"

#include <QMainWindow>

class QLabel;

// Main window of the stand-in host: which pet it holds, what lies in its places, and a few
// commands that change the item files. Keyboard menu: Alt+F, M receives mail.
class HostWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HostWindow(HostData& data, QWidget* parent = nullptr);

public slots:
    // Shows "メールを受信中" for about a second, then stores the mail.
    void receiveMail();

private:
    void refresh();

    HostData& data_;
    QLabel* petLabel_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QLabel* itemsLabel_ = nullptr;
    bool receiving_ = false;
};
