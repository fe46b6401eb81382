// The upgrade dialog's refusals: each leaves the dialog open and every file as it was. The
// whole upgrade, and closing the dialog, are driven in the end-to-end upgrade journey.
#include "registry/Texts.h"
#include "storage/Upgrade.h"
#include "tests/support/HostTest.h"
#include "ui/main/ConvertForm.h"

#include <QDir>
#include <QLineEdit>
#include <QtTest>

class TestConvertForm : public HostTest {
    Q_OBJECT

    void makeMailbox(int n)
    {
        const QString base = host() + QStringLiteral("/ユーザー ") + QString::number(n);
        hostfolder::write(base, QStringLiteral("おやつ/cake.pac"), "mailbox " + QByteArray::number(n));
        for (const QString& item : items::kFolderOrder)
            QDir().mkpath(base + QLatin1Char('/') + item);
        hostfolder::write(base, items::kSettings, "settings " + QByteArray::number(n));
    }

    static void type(ConvertForm& form, int row, const QString& pet, const QString& master)
    {
        form.findChild<QLineEdit*>(QStringLiteral("TxtNewPet_%1").arg(row))->setText(pet);
        form.findChild<QLineEdit*>(QStringLiteral("TxtNewMaster_%1").arg(row))->setText(master);
    }

private slots:
    void init()
    {
        newHost();
        hostfolder::makeHost(host(), QStringLiteral("live"));
        hostfolder::write(host(), QStringLiteral("Kennel.ini"), "LastUser = 1\r\n");
    }

    void validation_data()
    {
        QTest::addColumn<QStringList>("typed"); // pet and owner of rows 0, 1 and 2
        QTest::addColumn<QStringList>("messages");
        const QString reserved = texts::kNewPetEntry;
        QTest::newRow("empty owner in row 0, reserved name in row 1: both, in order; no duplicate check")
            << QStringList{"ポチ", "", reserved, "花子", "ポチ", "花子"}
            << QStringList{texts::kMsgEnterNames, texts::kMsgReservedName};
        QTest::newRow("rows 0 and 2 with the same pet name")
            << QStringList{"ミケ", "太郎", "タマ", "太郎", "ミケ", "花子"} << QStringList{kMsgUpgradeDuplicatePet};
        QTest::newRow("owner name with a line break")
            << QStringList{"ポチ", "太\n郎", "タマ", "花子", "ミケ", "花子"} << QStringList{texts::kMsgUnstorableName};
    }

    void validation()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, messages);
        for (int n = 1; n <= 3; ++n)
            makeMailbox(n);
        table().CurrentUser = 0;
        const auto before = hostfolder::snapshot(host());
        ConvertForm form(session(), none(), [] {});
        form.show();
        for (int k = 0; k < 3; ++k)
            type(form, k, typed[2 * k], typed[2 * k + 1]);
        form.BtnOK_Click();

        QCOMPARE(tc->messages.texts(), messages);
        QVERIFY(form.isVisible());
        QCOMPARE(hostfolder::snapshot(host()), before);
        QCOMPARE(table().MaxUser, -1);
    }
};

QTEST_MAIN(TestConvertForm)
#include "test_convertform.moc"
