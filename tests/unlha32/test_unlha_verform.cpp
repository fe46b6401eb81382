// The archiver library information box.
#include "backup/UnlhaLibrary.h"
#include "backup/UnlhaVerForm.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestUnlhaVerForm : public QObject {
    Q_OBJECT
private slots:
    void showsVersionLine_andCloseHides_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("installed") << 152;
        QTest::newRow("not installed") << 0;
    }
    void showsVersionLine_andCloseHides()
    {
        QFETCH(int, version);
        UnlhaVerForm form(unlhaVersionLine(version));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!form.isModal());
        QCOMPARE(form.windowTitle(), QStringLiteral("Kennel 2001 - Unlha32.dll 情報"));
        auto* heading = form.findChild<QLabel*>("LblHeading");
        QVERIFY(heading);
        QCOMPARE(heading->text(), QStringLiteral("Unlha32.dll 情報"));
        auto* line = form.findChild<QLabel*>("LblUnlhaVer");
        QVERIFY(line);
        QCOMPARE(line->text(), unlhaVersionLine(version));
        QVERIFY(!form.findChild<QLabel*>("LblRights")->text().isEmpty());
        auto* close = form.findChild<QPushButton*>("BtnClose");
        QVERIFY(close);
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(form.isHidden());
    }
};

QTEST_MAIN(TestUnlhaVerForm)
#include "test_unlha_verform.moc"
