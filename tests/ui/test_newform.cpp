// The naming dialogs on real host folders. The new pet dialog: name checks, what a
// registration changes, and that a refusal, a cancel or an unwritable Kennel.ini changes
// nothing. The upgrade dialog's refusals, each leaving it open and every file as it was. Both
// dialogs of a first run, and the whole upgrade, are driven in the end-to-end journeys.
#include "registry/Texts.h"
#include "storage/Upgrade.h"
#include "tests/support/HostTest.h"
#include "ui/main/ConvertForm.h"
#include "ui/main/NewForm.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestNewForm : public HostTest {
    Q_OBJECT

    static void enter(QDialog& form, const QString& pet, const QString& master, const char* button)
    {
        form.show();
        form.findChild<QLineEdit*>(QStringLiteral("TxtNewPet"))->setText(pet);
        form.findChild<QLineEdit*>(QStringLiteral("TxtNewMaster"))->setText(master);
        form.findChild<QPushButton*>(QLatin1String(button))->click();
    }

private slots:
    void init()
    {
        newHost();
        hostfolder::makeHost(host(), QStringLiteral("host"));
        hostfolder::makeHost(host() + QStringLiteral("/Default"), QStringLiteral("template"), false);
        // A loaded registry with one pet, the current one.
        table().Pet[0] = QStringLiteral("Mike～");
        table().Master[0] = QStringLiteral("飼い主");
        table().MaxUser = table().CurrentUser = 0;
        session().setRegistryLoaded(true);
        QVERIFY(session().WriteRegistry(none()));
    }

    void names_data()
    {
        QTest::addColumn<QString>("pet");
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("refusal");
        const QString taro = QStringLiteral("太郎");
        QTest::newRow("pet empty") << QString() << taro << texts::kMsgEnterNames;
        QTest::newRow("reserved") << texts::kNewPetEntry << taro << texts::kMsgReservedName;
        QTest::newRow("duplicate") << QStringLiteral("Mike～") << taro << texts::kMsgDuplicatePet;
        // The wave dash comes back from Kennel.ini as the full-width tilde.
        QTest::newRow("duplicate as read back") << QStringLiteral("Mike〜") << taro << texts::kMsgDuplicatePet;
        QTest::newRow("line break") << QStringLiteral("ポ\nチ") << taro << texts::kMsgUnstorableName;
        QTest::newRow("carriage return in owner") << QStringLiteral("ポチ") << "太\r郎" << texts::kMsgUnstorableName;
        QTest::newRow("outside code page 932") << QStringLiteral("ポチ🐶") << taro << texts::kMsgUnstorableName;
        // Read back as a setting or as another pet's name once written.
        QTest::newRow("pet holding a sharing key") << QStringLiteral("toys = -1") << taro << texts::kMsgUnstorableName;
        QTest::newRow("owner holding a pet key") << QStringLiteral("ポチ") << "x Pet 0 = y" << texts::kMsgUnstorableName;
        QTest::newRow("other letter case") << QStringLiteral("MIKE～") << taro << QString();
        QTest::newRow("blanks kept") << QStringLiteral(" ﾎﾟﾁ ") << " 太郎" << QString();
    }

    void names()
    {
        QFETCH(QString, pet);
        QFETCH(QString, master);
        QFETCH(QString, refusal);
        const auto before = hostfolder::snapshot(host());
        NewForm form(session(), none());
        enter(form, pet, master, "BtnNewPet");
        QCOMPARE(tc->messages.texts(), refusal.isEmpty() ? QStringList() : QStringList{refusal});
        QCOMPARE(form.result() == QDialog::Accepted, refusal.isEmpty());
        QCOMPARE(form.isVisible(), !refusal.isEmpty()); // open for correction
        if (!refusal.isEmpty()) {
            QCOMPARE(table().MaxUser, 0);
            QCOMPARE(hostfolder::snapshot(host()), before);
            return;
        }
        // Listed last and current in Kennel.ini; it starts from the template, the host makes new settings.
        const PetTable t = registry().table;
        QVERIFY(t.MaxUser == 1 && t.CurrentUser == 1 && t.Pet[1] == pet && t.Master[1] == master);
        QCOMPARE(hostfolder::read(host() + "/" + items::kSnacks + "/cake.pac"), QByteArray("snack template"));
        QVERIFY(!hostfolder::exists(host() + "/" + items::kSettings));
    }

    void newPet_cancelOrUnwritableRegistry_changesNothing()
    {
        QFile::remove(ini());
        hostfolder::write(host(), QStringLiteral("Kennel.ini/blocker"), "x"); // no file can replace it
        table().CurrentUser = -1; // "新規ペット" is selected, as when the launch opens the form
        const auto before = hostfolder::snapshot(host());
        for (const char* button : {"BtnNewNO", "BtnNewPet"}) {
            NewForm form(session(), none());
            enter(form, QStringLiteral("Pochi"), QStringLiteral("花子"), button);
            QVERIFY(form.result() != QDialog::Accepted);
            QVERIFY(table().MaxUser == 0 && table().Pet[1].isEmpty());
            QCOMPARE(hostfolder::snapshot(host()), before); // template not loaded
        }
        QCOMPARE(messages(), QStringList{kMsgRegistryWriteFailed});
    }

    void upgradeRefusals_data()
    {
        QTest::addColumn<QStringList>("typed"); // pet and owner of rows 0, 1 and 2
        QTest::addColumn<QStringList>("told");
        const QString reserved = texts::kNewPetEntry;
        QTest::newRow("empty owner in row 0, reserved name in row 1: both, in order; no duplicate check")
            << QStringList{"ポチ", "", reserved, "花子", "ポチ", "花子"} << QStringList{texts::kMsgEnterNames, texts::kMsgReservedName};
        QTest::newRow("rows 0 and 2 with the same pet name")
            << QStringList{"ミケ", "太郎", "タマ", "太郎", "ミケ", "花子"} << QStringList{kMsgUpgradeDuplicatePet};
        QTest::newRow("owner name with a line break")
            << QStringList{"ポチ", "太\n郎", "タマ", "花子", "ミケ", "花子"} << QStringList{texts::kMsgUnstorableName};
    }

    void upgradeRefusals()
    {
        QFETCH(QStringList, typed);
        newHost();
        hostfolder::makeHost(host(), QStringLiteral("live"));
        hostfolder::write(host(), QStringLiteral("Kennel.ini"), "LastUser = 1\r\n");
        for (int n = 1; n <= 3; ++n)
            makeMailbox(n);
        table().CurrentUser = 0;
        const auto before = hostfolder::snapshot(host());
        ConvertForm form(session(), none(), [] {});
        form.show();
        for (int k = 0; k < 3; ++k) {
            form.findChild<QLineEdit*>(QStringLiteral("TxtNewPet_%1").arg(k))->setText(typed[2 * k]);
            form.findChild<QLineEdit*>(QStringLiteral("TxtNewMaster_%1").arg(k))->setText(typed[2 * k + 1]);
        }
        form.BtnOK_Click();
        QTEST(messages(), "told");
        QVERIFY(form.isVisible());
        QCOMPARE(hostfolder::snapshot(host()), before);
        QCOMPARE(table().MaxUser, -1);
    }
};

QTEST_MAIN(TestNewForm)
#include "test_newform.moc"
