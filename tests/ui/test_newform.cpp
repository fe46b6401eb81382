// The new pet dialog on real host folders: name checks, what a registration changes, and that
// a refusal, a cancel or an unwritable Kennel.ini changes nothing. Both dialogs of a first run,
// and the upgrade dialog with its refusals, are driven in the end-to-end journeys.
#include "registry/Texts.h"
#include "tests/support/HostTest.h"
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
        // (An empty name, refused by the same check in the first run's registration: test_e2e_start.)
        const QString taro = QStringLiteral("太郎");
        QTest::newRow("reserved") << texts::kNewPetEntry << taro << texts::kMsgReservedName;
        QTest::newRow("duplicate") << QStringLiteral("Mike～") << taro << texts::kMsgDuplicatePet;
        // The wave dash comes back from Kennel.ini as the full-width tilde.
        QTest::newRow("duplicate as read back") << QStringLiteral("Mike〜") << taro << texts::kMsgDuplicatePet;
        QTest::newRow("line break") << QStringLiteral("ポ\nチ") << taro << texts::kMsgUnstorableName;
        QTest::newRow("outside code page 932") << QStringLiteral("ポチ🐶") << taro << texts::kMsgUnstorableName;
        // Read back as a setting or as another pet's name once written.
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
};

QTEST_MAIN(TestNewForm)
#include "test_newform.moc"
