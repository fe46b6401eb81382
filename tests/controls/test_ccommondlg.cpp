// The file chooser wrapper: filter conversion, file buffer, cancel, error texts.
#include "ui/controls/cCommonDlg.h"

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
