#include "platform/JapaneseDialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

const QLocale kJapanese(QLocale::Japanese, QLocale::Japan);

// The size, type and date columns of the dialog's file list, in Japanese.
class JapaneseColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || index.column() < 1 || index.column() > 3)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        const QFileInfo info = files->fileInfo(source);
        switch (index.column()) {
        case 1:
            if (info.isDir())
                return QString();
            return info.size() < 1024 ? QStringLiteral("%1 バイト").arg(info.size())
                                      : kJapanese.formattedDataSize(info.size(), 1, QLocale::DataSizeTraditionalFormat);
        case 2:
            if (info.isRoot())
                return QStringLiteral("ドライブ");
            if (info.isDir())
                return QStringLiteral("フォルダ");
            return files->type(source); // the file type's name in the default locale
        default:
            return kJapanese.toString(files->lastModified(source), QLocale::ShortFormat);
        }
    }
};

} // namespace

void useJapaneseQtTexts()
{
#ifdef KENNEL_QT_TRANSLATION_BUILT_IN
    Q_INIT_RESOURCE(qt_ja);
#endif
    QLocale::setDefault(kJapanese);
    static QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral(":/kennel/translations/qtbase_ja.qm")) ||
        qtTexts.load(kJapanese, QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
}

void makeJapanese(QFileDialog& dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setProxyModel(new JapaneseColumns(&dialog));
}

QString chooseFolder(QWidget* parent, const QString& title, const QString& start)
{
    QFileDialog dialog(parent, title, start);
    makeJapanese(dialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
