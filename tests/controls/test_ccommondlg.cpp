// The file chooser wrapper: filter conversion, file buffer, cancel, error texts; Qt's own
// chooser in Japanese.
#include "platform/JapaneseDialogs.h"
#include "ui/controls/cCommonDlg.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QtTest>
#include <QWidget>

class TestCCommonDlg : public QObject {
    Q_OBJECT

    QWidget owner;

private slots:
    void cleanup() { cCommonDlg::setChooser({}); }

    // The "description|pattern|" pairs become the chooser's name filters; a final "|" may be missing.
    void filterConversion_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("nameFilters");
        QTest::newRow("ends with |") << "LHA Archive (*.lzh)|*.lzh|" << QStringList{"LHA Archive (*.lzh)"};
        QTest::newRow("no final |") << "LHA Archive (*.lzh)|*.lzh" << QStringList{"LHA Archive (*.lzh)"};
        QTest::newRow("two pairs, plain descriptions")
            << "Text|*.txt|All|*.*|" << QStringList{"Text (*.txt)", "All (*.*)"};
    }

    void filterConversion()
    {
        QFETCH(QString, filter);
        cCommonDlg dlg;
        dlg.setFilter(filter);
        QTEST(dlg.nameFilters(), "nameFilters");
    }

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

    void fileBuffer_isCutToMaxLengthLessOne()
    {
        cCommonDlg dlg;
        dlg.setFileName(QString(300, QLatin1Char('a')));
        QCOMPARE(dlg.fileBuffer().size(), 254);
        dlg.setFileName(QStringLiteral("short.lzh"));
        QCOMPARE(dlg.fileBuffer(), QStringLiteral("short.lzh"));
    }

    void showOpen_returnsChoice()
    {
        cCommonDlg dlg;
        dlg.setForm(&owner);
        dlg.setCancelError(true);
        int seenAction = 0;
        cCommonDlg::setChooser([&](const cCommonDlg&, int action) -> std::optional<QString> {
            seenAction = action;
            return QStringLiteral("/backups/ポチ991031.lzh");
        });
        dlg.ShowOpen();
        QCOMPARE(seenAction, 1);
        QVERIFY(!dlg.CancelButton());
        QCOMPARE(dlg.FileName(), QStringLiteral("/backups/ポチ991031.lzh"));
        QCOMPARE(dlg.FileTitle(), QStringLiteral("ポチ991031.lzh"));
    }

    void cancel_data()
    {
        QTest::addColumn<bool>("cancelError");
        QTest::newRow("cancel reported") << true;
        QTest::newRow("cancel not reported") << false;
    }

    void cancel()
    {
        QFETCH(bool, cancelError);
        cCommonDlg dlg;
        dlg.setForm(&owner);
        dlg.setFileName(QStringLiteral("before"));
        dlg.setCancelError(cancelError);
        cCommonDlg::setChooser([](const cCommonDlg&, int) { return std::optional<QString>(); });
        dlg.ShowOpen();
        QCOMPARE(dlg.CancelButton(), cancelError);
        QCOMPARE(dlg.FileName(), cancelError ? QString() : QStringLiteral("before"));
        // A later choice does not clear the flag.
        cCommonDlg::setChooser([](const cCommonDlg&, int) { return std::optional<QString>(QStringLiteral("/x.lzh")); });
        dlg.ShowOpen();
        QCOMPARE(dlg.CancelButton(), cancelError);
    }
};

QTEST_MAIN(TestCCommonDlg)
#include "test_ccommondlg.moc"
