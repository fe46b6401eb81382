// The archiver library information box.
#include "backup/UnlhaLibrary.h"
#include "backup/UnlhaVerForm.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestUnlhaVerForm : public QObject {
    Q_OBJECT
private slots:
    void showsVersionLine_andCloseHides()
    {
        UnlhaVerForm form(unlhaVersionLine(152));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!form.isModal());
        QCOMPARE(form.findChild<QLabel*>("LblUnlhaVer")->text(), unlhaVersionLine(152));
        QVERIFY(!form.findChild<QLabel*>("LblRights")->text().isEmpty());
        QTest::mouseClick(form.findChild<QPushButton*>("BtnClose"), Qt::LeftButton);
        QVERIFY(form.isHidden());
    }
};

QTEST_MAIN(TestUnlhaVerForm)
#include "test_unlha_verform.moc"
