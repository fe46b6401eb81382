// Stand-in for the host program: a small pet-mail program that keeps one pet in the item
// places beside its own executable. Kennel starts it, finds its window by title and drives
// its keyboard menu.
//
// MEWMAIL_QUIT_AFTER_MS=n ends it by itself after n milliseconds (used by the automatic
// tests, which have no one to close the window).

#include "HostData.h"
#include "HostWindow.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    HostData data(QCoreApplication::applicationDirPath());
    data.prepare();

    HostWindow window(data);
    window.resize(460, 220);
    window.show();

    bool ok = false;
    const int quitAfter = qEnvironmentVariableIntValue("MEWMAIL_QUIT_AFTER_MS", &ok);
    if (ok && quitAfter >= 0)
        QTimer::singleShot(quitAfter, &window, &QWidget::close);
    return app.exec();
}
