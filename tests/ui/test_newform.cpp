// The registration dialogs: name checks, what a registration changes, what a refusal or a
// cancel leaves alone. Real host folders, real Kennel.ini.
#include "app/Registry.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"
#include "tests/ui/DialogDriver.h"
#include "ui/main/InitializeForm.h"
#include "ui/main/NewForm.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void fill(QDialog& form, const QString& pet, const QString& master)
{
    form.findChild<QLineEdit*>(QStringLiteral("TxtNewPet"))->setText(pet);
    form.findChild<QLineEdit*>(QStringLiteral("TxtNewMaster"))->setText(master);
}

void click(QDialog& form, const char* button)
{
    form.findChild<QPushButton*>(QLatin1String(button))->click();
}

}  // namespace

class TestNewForm : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<TestContext> tc;

    Context& ctx() { return tc->ctx; }
    QString host(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }

    // A loaded registry with the given pets, pet 0 current; host and template on disk.
    void registerPets(const QStringList& pets)
    {
        PetTable& t = ctx().table;
        for (int i = 0; i < pets.size(); ++i) {
            t.Pet[i] = pets[i];
            t.Master[i] = QStringLiteral("飼い主%1").arg(i);
            tc->view.selector << pets[i];
        }
        t.MaxUser = int(pets.size()) - 1;
        t.CurrentUser = 0;
        ctx().RegistryLoaded = true;
        QVERIFY(WriteRegistry(ctx()));
    }

private slots:
    void init()
    {
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        hostfolder::makeHost(dir.path(), QStringLiteral("host"));
        hostfolder::makeHost(dir.path() + QStringLiteral("/Default"), QStringLiteral("template"), false);
        tc = std::make_unique<TestContext>(dir.path());
    }

    // ---- name checks --------------------------------------------------------------------

    void newPet_namesChecked_data()
    {
        QTest::addColumn<QString>("pet");
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("message");  // empty: registered
        QTest::newRow("pet empty") << "" << "太郎" << texts::kMsgEnterNames;
        QTest::newRow("owner empty") << "ポチ" << "" << texts::kMsgEnterNames;
        QTest::newRow("reserved") << "新規ペット" << "太郎" << texts::kMsgReservedName;
        QTest::newRow("duplicate") << "Mike" << "太郎" << texts::kMsgDuplicatePet;
        QTest::newRow("other case is new") << "MIKE" << "太郎" << QString();
        QTest::newRow("owner may repeat") << "ポチ" << "飼い主0" << QString();
        QTest::newRow("blanks kept") << " ポチ " << " 太郎" << QString();
        QTest::newRow("line break in pet") << "ポ\nチ" << "太郎" << texts::kMsgUnstorableName;
        QTest::newRow("carriage return in owner") << "ポチ" << "太\r郎" << texts::kMsgUnstorableName;
        QTest::newRow("outside cp932") << "ポチ🐶" << "太郎" << texts::kMsgUnstorableName;
        QTest::newRow("half-width kana") << "ﾎﾟﾁ" << "ﾀﾛｳ" << QString();
    }

    void newPet_namesChecked()
    {
        QFETCH(QString, pet);
        QFETCH(QString, master);
        QFETCH(QString, message);
        registerPets({QStringLiteral("Mike")});
        const QByteArray iniBefore = hostfolder::read(host(QStringLiteral("Kennel.ini")));

        NewForm form(ctx());
        form.show();
        fill(form, pet, master);
        click(form, "BtnNewPet");

        if (message.isEmpty()) {
            QVERIFY(tc->messages.shown.isEmpty());
            QVERIFY(ctx().NewPetRegistered);
            QCOMPARE(ctx().table.MaxUser, 1);
            QCOMPARE(ctx().table.Pet[1], pet);
            QCOMPARE(ctx().table.Master[1], master);
            QVERIFY(form.isHidden());
        } else {
            QCOMPARE(tc->messages.texts(), QStringList{message});
            QCOMPARE(tc->messages.shown.first().icon, MsgIcon::Critical);
            QCOMPARE(tc->messages.shown.first().caption, texts::kProgramTitle);
            QVERIFY(!ctx().NewPetRegistered);
            QCOMPARE(ctx().table.MaxUser, 0);
            QCOMPARE(hostfolder::read(host(QStringLiteral("Kennel.ini"))), iniBefore);
            QVERIFY(form.isVisible());  // open for correction, entries kept
            QCOMPARE(form.findChild<QLineEdit*>(QStringLiteral("TxtNewPet"))->text(), pet);
        }
    }

    void firstRun_noDuplicateCheck_hostDataBecomesThePets()
    {
        // On a first run the table may hold anything; nothing is compared with it.
        ctx().table.Pet[0] = QStringLiteral("ポチ");
        const auto hostBefore = hostfolder::snapshot(dir.path());
        NewForm form(ctx());
        fill(form, QStringLiteral("ポチ"), QStringLiteral("太郎"));
        click(form, "BtnNewPet");
        QVERIFY(tc->messages.shown.isEmpty());
        QVERIFY(ctx().NewPetRegistered && ctx().RegistryLoaded);
        QCOMPARE(ctx().table.MaxUser, 0);
        QCOMPARE(ctx().table.CurrentUser, 0);
        // The host's places are untouched: its settings stay the new pet's.
        auto hostAfter = hostfolder::snapshot(dir.path());
        hostAfter.remove(QStringLiteral("Kennel.ini"));
        QCOMPARE(hostAfter, hostBefore);
        const RegistryContent ini = parseRegistry(hostfolder::read(host(QStringLiteral("Kennel.ini"))));
        QCOMPARE(int(ini.kind), int(RegistryContent::Kind::Version2));
        QCOMPARE(ini.table.Pet[0], QStringLiteral("ポチ"));
        QCOMPARE(tc->view.selector, (QStringList{texts::kNewPetEntry, QStringLiteral("ポチ")}));
    }

    void newPet_startsFromTemplate_andIsListedLast()
    {
        registerPets({QStringLiteral("Mike"), QStringLiteral("Tama")});
        NewForm form(ctx());
        fill(form, QStringLiteral("Pochi"), QStringLiteral("花子"));
        click(form, "BtnNewPet");
        QCOMPARE(ctx().table.CurrentUser, 2);
        QCOMPARE(tc->view.selector, (QStringList{texts::kNewPetEntry, "Mike", "Tama", "Pochi"}));
        QCOMPARE(tc->view.current, QStringLiteral("Pochi"));
        QCOMPARE(tc->view.owner, QStringLiteral("花子"));
        QVERIFY(!ctx().SuppressPetSel);
        // Unshared kinds come from the template; the settings go, so the host makes new ones.
        QCOMPARE(hostfolder::read(host(items::kSnacks + QStringLiteral("/cake.pac"))), QByteArray("snack template"));
        QVERIFY(!hostfolder::exists(host(items::kSettings)));
        QVERIFY(!hostfolder::exists(host(items::kSettingsBackup)));
        const RegistryContent ini = parseRegistry(hostfolder::read(host(QStringLiteral("Kennel.ini"))));
        QCOMPARE(ini.table.MaxUser, 2);
        QCOMPARE(ini.table.CurrentUser, 2);
        QCOMPARE(ini.table.Master[2], QStringLiteral("花子"));
    }

    void newPet_ninetyNinthIndexStillRegisters()
    {
        QStringList pets;
        for (int i = 0; i < 99; ++i)
            pets << QStringLiteral("pet%1").arg(i);
        registerPets(pets);
        NewForm form(ctx());
        fill(form, QStringLiteral("last"), QStringLiteral("owner"));
        click(form, "BtnNewPet");
        QCOMPARE(ctx().table.MaxUser, 99);
        QCOMPARE(ctx().table.Pet[99], QStringLiteral("last"));
        QVERIFY(ctx().table.isFull());
    }

    void newPet_cancel_changesNothing()
    {
        registerPets({QStringLiteral("Mike")});
        const auto before = hostfolder::snapshot(dir.path());
        NewForm form(ctx());
        form.show();
        fill(form, QStringLiteral("Pochi"), QStringLiteral("花子"));
        click(form, "BtnNewNO");
        QVERIFY(!ctx().NewPetRegistered);
        QVERIFY(form.isHidden());
        QCOMPARE(ctx().table.MaxUser, 0);
        QCOMPARE(hostfolder::snapshot(dir.path()), before);
    }

    void newPet_registryNotWritable_hostDataAndTableKept()
    {
        registerPets({QStringLiteral("Mike")});
        // A folder in the registry file's place: no new file can be renamed over it.
        QFile::remove(host(QStringLiteral("Kennel.ini")));
        hostfolder::write(dir.path(), QStringLiteral("Kennel.ini/keep"), "x");
        const auto before = hostfolder::snapshot(dir.path());
        NewForm form(ctx());
        form.show();
        fill(form, QStringLiteral("Pochi"), QStringLiteral("花子"));
        click(form, "BtnNewPet");
        QVERIFY(!ctx().NewPetRegistered);
        QVERIFY(form.isVisible());
        QCOMPARE(ctx().table.MaxUser, 0);
        QCOMPARE(ctx().table.CurrentUser, 0);
        QVERIFY(ctx().table.Pet[1].isEmpty());
        QCOMPARE(tc->view.selector.size(), 2);
        QCOMPARE(tc->messages.texts(), QStringList{kMsgRegistryWriteFailed});
        // The template did not replace the current pet's data.
        QCOMPARE(hostfolder::snapshot(dir.path()), before);
    }

    void newPet_controlsCarryTheirTexts()
    {
        NewForm form(ctx());
        QCOMPARE(form.windowTitle(), QStringLiteral("Kennel 2001 - 新規ペット登録"));
        const auto tip = [&](const char* name) { return form.findChild<QWidget*>(QLatin1String(name))->toolTip(); };
        QCOMPARE(tip("TxtNewPet"), QStringLiteral("ペット名を入力してください。"));
        QCOMPARE(tip("TxtNewMaster"), QStringLiteral("飼い主名を入力してください。"));
        QCOMPARE(tip("BtnNewPet"), QStringLiteral("新規ペットで起動します。"));
        QCOMPARE(tip("BtnNewNO"), QStringLiteral("設定を破棄して登録を終了します。"));
        QCOMPARE(form.findChild<QPushButton*>(QStringLiteral("BtnNewNO"))->text(), QStringLiteral("ｷｬﾝｾﾙ"));
        for (const char* name : {"FrmNewPet", "FrmNewMaster", "Label1", "ImgCaution"})
            QVERIFY2(form.findChild<QWidget*>(QLatin1String(name)), name);
    }

    // ---- InitializeForm -----------------------------------------------------------------

    void initialize_registersPetZero()
    {
        const auto hostBefore = hostfolder::snapshot(dir.path());
        InitializeForm form(ctx());
        QCOMPARE(form.windowTitle(), QStringLiteral("Kennel 2001 - 新規登録"));
        QCOMPARE(form.findChild<QPushButton*>(QStringLiteral("BtnOK"))->text(), QStringLiteral("O K"));
        form.show();
        fill(form, QStringLiteral("ミケ"), QStringLiteral("太郎"));
        click(form, "BtnOK");
        QVERIFY(form.isHidden());
        QVERIFY(ctx().RegistryLoaded);
        QCOMPARE(ctx().table.MaxUser, 0);
        QCOMPARE(ctx().table.CurrentUser, 0);
        QCOMPARE(tc->view.selector, (QStringList{texts::kNewPetEntry, QStringLiteral("ミケ")}));
        QCOMPARE(tc->view.owner, QStringLiteral("太郎"));
        auto hostAfter = hostfolder::snapshot(dir.path());
        hostAfter.remove(QStringLiteral("Kennel.ini"));
        QCOMPARE(hostAfter, hostBefore);
    }

    void initialize_refusals_keepDialogOpen_data()
    {
        QTest::addColumn<QString>("pet");
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "ミケ" << "" << texts::kMsgEnterNames;
        QTest::newRow("reserved") << "新規ペット" << "太郎" << texts::kMsgReservedName;
        QTest::newRow("line break") << "ミケ" << "太\n郎" << texts::kMsgUnstorableName;
    }

    void initialize_refusals_keepDialogOpen()
    {
        QFETCH(QString, pet);
        QFETCH(QString, master);
        QFETCH(QString, message);
        InitializeForm form(ctx());
        form.show();
        fill(form, pet, master);
        click(form, "BtnOK");
        QCOMPARE(tc->messages.texts(), QStringList{message});
        QVERIFY(form.isVisible());
        QVERIFY(!ctx().RegistryLoaded);
        QVERIFY(!hostfolder::exists(host(QStringLiteral("Kennel.ini"))));
    }
};

QTEST_MAIN(TestNewForm)
#include "test_newform.moc"
