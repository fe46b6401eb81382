#include "ui/main/ProgramIcon.h"

#include <QDir>

static void registerPictures()
{
    // The pictures are compiled into a static library: registered by hand.
    static const bool registered = [] {
        Q_INIT_RESOURCE(mainform);
        return true;
    }();
    (void)registered;
}

QString programIconFolder()
{
    registerPictures();
    return QStringLiteral(":/kennel/icons");
}

QIcon programIcon()
{
    QIcon icon;
    const QDir folder(programIconFolder());
    for (const QString& file : folder.entryList({QStringLiteral("kennel-*.png")}))
        icon.addFile(folder.filePath(file));
    return icon;
}
