// The file chooser wrapper: the filter the restore gives it, choice and cancel; Qt's own
// chooser in Japanese.
#include "platform/JapaneseDialogs.h"
#include "ui/controls/cCommonDlg.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QWidget>
#include <QtTest>

class TestCCommonDlg : public QObject {
    Q_OBJECT

    QWidget owner;

private slots:
    void cleanup() { cCommonDlg::setChooser({}); }

    // Whatever the machine's language (the tests run in the C locale): labels, column titles,
    // types, sizes and dates, which Qt writes in the system's locale or has no Japanese for.
    void qtChooser_speaksJapanese()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("おやつ")));
        QFile file(dir.filePath(QStringLiteral("ポチ.lzh")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("12345") == 5 && file.flush());
        QVERIFY(file.setFileTime(QDateTime(QDate(1999, 10, 31), QTime(9, 5)), QFileDevice::FileModificationTime));
        file.close();

        useJapaneseQtTexts();
        QFileDialog box(&owner, QStringLiteral("t"), dir.path());
        makeJapanese(box);
        box.show();
        QCOMPARE(box.findChild<QLabel*>(QStringLiteral("fileNameLabel"))->text(), QStringLiteral("ファイル名(&N):"));
        QAbstractItemModel* list = box.proxyModel();
        const auto* files = box.findChild<QFileSystemModel*>();
        const QModelIndex folder = box.proxyModel()->mapFromSource(files->index(dir.path()));
        QTRY_COMPARE(list->rowCount(folder), 2);
        QCOMPARE(list->headerData(3, Qt::Horizontal).toString(), QStringLiteral("更新日"));
        QStringList rows;
        for (int row = 0; row < 2; ++row) {
            QStringList cells;
            for (int column = 0; column < 4; ++column)
                cells << list->index(row, column, folder).data().toString();
            rows << cells.join(QLatin1Char('|'));
        }
        rows.sort();
        QCOMPARE(rows.first().section(QLatin1Char('|'), 0, 2), QStringLiteral("おやつ||フォルダ"));
        QCOMPARE(rows.last().section(QLatin1Char('|'), 1, 1), QStringLiteral("5 バイト"));
        QCOMPARE(rows.last().section(QLatin1Char('|'), 3, 3), QStringLiteral("1999/10/31 9:05"));
    }

    // The restore's "description|pattern|" filter becomes the chooser's name filter. A choice is
    // taken as given; a cancel empties the name.
    void filterChoiceAndCancel()
    {
        cCommonDlg dlg;
        dlg.setFilter(QStringLiteral("LHA Archive (*.lzh)|*.lzh|"));
        QCOMPARE(dlg.nameFilters(), QStringList{"LHA Archive (*.lzh)"});
        dlg.setForm(&owner);
        const auto open = [&dlg](std::optional<QString> answer) {
            cCommonDlg::setChooser([answer](const cCommonDlg&) { return answer; });
            dlg.ShowOpen();
        };
        open(QStringLiteral("/b/ポチ991031.lzh"));
        QVERIFY(!dlg.CancelButton());
        QCOMPARE(dlg.FileName(), QStringLiteral("/b/ポチ991031.lzh"));
        open(std::nullopt);
        QVERIFY(dlg.CancelButton());
        QCOMPARE(dlg.FileName(), QString());
    }
};

QTEST_MAIN(TestCCommonDlg)
#include "test_ccommondlg.moc"
