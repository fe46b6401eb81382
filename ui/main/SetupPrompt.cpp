#include "ui/main/SetupPrompt.h"

#include "platform/JapaneseDialogs.h"
#include "platform/QtPorts.h"

#include <QDir>
#include <QProcess>

int setupWithWindows(const SetupSources& from)
{
    QtMessagePort messages;
    // The host usually lies in a Wine prefix: start there.
    QString folder = qEnvironmentVariable("WINEPREFIX", QDir::homePath() + QStringLiteral("/.wine")) +
                     QStringLiteral("/drive_c");
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();
    for (;;) {
        folder = chooseFolder(nullptr, QStringLiteral("Kennel 2001 - ミューメール（Mewmail20.exe）のフォルダを選択してください"),
                              folder);
        if (folder.isEmpty())
            return 0;
        const SetupOutcome outcome = setupHostFolder(from, folder, dataHomeFolder());
        if (!outcome.done) {
            messages.critical(outcome.lines.join(QLatin1Char('\n')));
            continue;
        }
        messages.information((QStringList{QStringLiteral("Kennel を %1 に用意しました。").arg(QDir::toNativeSeparators(folder))}
                         << outcome.notes
                         << QStringLiteral("これから起動します。次からはメニューの「Kennel 2001」で起動できます。"))
                            .join(QLatin1Char('\n')));
        return QProcess::startDetached(outcome.program, {}, folder) ? 0 : 1;
    }
}
