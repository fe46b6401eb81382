// The registration dialogs on real host folders: name checks, what a registration changes,
// and that a refusal, a cancel or an unwritable Kennel.ini changes nothing.
#include "app/Registry.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"
#include "ui/main/InitializeForm.h"
#include "ui/main/NewForm.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestNewForm : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<TestContext> tc;
    Context& ctx() { return tc->ctx; }

    void registerPets(const QStringList& pets) // a loaded registry, pet 0 current
    {
        for (int i = 0; i < pets.size(); ++i) {
            ctx().table.Pet[i] = pets[i];
            ctx().table.Master[i] = QStringLiteral("飼い主");
            tc->view.selector << pets[i];
        }
        ctx().table.MaxUser = int(pets.size()) - 1;
        ctx().table.CurrentUser = 0;
        ctx().RegistryLoaded = true;
        QVERIFY(WriteRegistry(ctx()));
    }
    static void enter(QDialog& form, const QString& pet, const QString& master, const char* button)
    {
        form.show();
        form.findChild<QLineEdit*>(QStringLiteral("TxtNewPet"))->setText(pet);
        form.findChild<QLineEdit*>(QStringLiteral("TxtNewMaster"))->setText(master);
        form.findChild<QPushButton*>(QLatin1String(button))->click();
    }
    QMap<QString, QByteArray> hostFiles() const
    {
        auto files = hostfolder::snapshot(dir.path());
        files.remove(QStringLiteral("Kennel.ini"));
        return files;
    }

private slots:
    void init()
    {
        QDir(dir.path()).removeRecursively();
        hostfolder::makeHost(dir.path(), QStringLiteral("host"));
        hostfolder::makeHost(dir.filePath(QStringLiteral("Default")), QStringLiteral("template"), false);
        tc = std::make_unique<TestContext>(dir.path());
    }

    void names_data()
    {
        QTest::addColumn<QString>("pet");
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("pet empty") << ""
                                   << "太郎" << texts::kMsgEnterNames;
        QTest::newRow("owner empty") << "ポチ"
                                     << "" << texts::kMsgEnterNames;
        QTest::newRow("reserved") << "新規ペット"
                                  << "太郎" << texts::kMsgReservedName;
        QTest::newRow("duplicate") << "Mike"
                                   << "太郎" << texts::kMsgDuplicatePet;
        QTest::newRow("line break") << "ポ\nチ"
                                    << "太郎" << texts::kMsgUnstorableName;
        QTest::newRow("carriage return in owner") << "ポチ"
                                                  << "太\r郎" << texts::kMsgUnstorableName;
        QTest::newRow("outside code page 932") << "ポチ🐶"
                                               << "太郎" << texts::kMsgUnstorableName;
        QTest::newRow("other letter case") << "MIKE"
                                           << "飼い主" << QString();
        QTest::newRow("blanks kept") << " ﾎﾟﾁ "
                                     << " 太郎" << QString();
    }

    void names()
    {
        QFETCH(QString, pet);
        QFETCH(QString, master);
        QFETCH(QString, refusal);
        registerPets({QStringLiteral("Mike")});
        const QByteArray ini = hostfolder::read(dir.filePath(QStringLiteral("Kennel.ini")));
        NewForm form(ctx());
        enter(form, pet, master, "BtnNewPet");
        QCOMPARE(tc->messages.texts(), refusal.isEmpty() ? QStringList() : QStringList{refusal});
        QCOMPARE(ctx().NewPetRegistered, refusal.isEmpty());
        QCOMPARE(form.isVisible(), !refusal.isEmpty()); // open for correction
        if (refusal.isEmpty()) {
            QCOMPARE(ctx().table.Pet[1], pet);
            QCOMPARE(ctx().table.Master[1], master);
        } else {
            QCOMPARE(ctx().table.MaxUser, 0);
            QCOMPARE(hostfolder::read(dir.filePath(QStringLiteral("Kennel.ini"))), ini);
        }
    }

    void newPet_startsFromTemplate_listedLast()
    {
        registerPets({QStringLiteral("Mike"), QStringLiteral("Tama")});
        NewForm form(ctx());
        enter(form, QStringLiteral("Pochi"), QStringLiteral("花子"), "BtnNewPet");
        QCOMPARE(tc->view.selector, (QStringList{texts::kNewPetEntry, "Mike", "Tama", "Pochi"}));
        QCOMPARE(tc->view.current, QStringLiteral("Pochi"));
        QCOMPARE(tc->view.owner, QStringLiteral("花子"));
        QCOMPARE(hostfolder::read(dir.filePath(items::kSnacks + "/cake.pac")), QByteArray("snack template"));
        QVERIFY(!hostfolder::exists(dir.filePath(items::kSettings))); // the host makes new ones
        const RegistryContent ini = parseRegistry(hostfolder::read(dir.filePath(QStringLiteral("Kennel.ini"))));
        QCOMPARE(ini.table.MaxUser, 2);
        QCOMPARE(ini.table.CurrentUser, 2);
        QCOMPARE(ini.table.Pet[2], QStringLiteral("Pochi"));
    }

    void newPet_firstRun_keepsHostData_noDuplicateCheck()
    {
        ctx().table.Pet[0] = QStringLiteral("ポチ"); // leftovers are not registered names
        const auto before = hostFiles();
        NewForm form(ctx());
        enter(form, QStringLiteral("ポチ"), QStringLiteral("太郎"), "BtnNewPet");
        QVERIFY(ctx().NewPetRegistered && ctx().RegistryLoaded);
        QCOMPARE(ctx().table.MaxUser, 0);
        QCOMPARE(hostFiles(), before);
    }

    void newPet_cancelOrUnwritableRegistry_changesNothing()
    {
        registerPets({QStringLiteral("Mike")});
        QFile::remove(dir.filePath(QStringLiteral("Kennel.ini")));
        hostfolder::write(dir.path(), QStringLiteral("Kennel.ini/blocker"), "x"); // no file can replace it
        const auto before = hostfolder::snapshot(dir.path());
        for (const char* button : {"BtnNewNO", "BtnNewPet"}) {
            NewForm form(ctx());
            enter(form, QStringLiteral("Pochi"), QStringLiteral("花子"), button);
            QVERIFY(!ctx().NewPetRegistered);
            QCOMPARE(ctx().table.MaxUser, 0);
            QVERIFY(ctx().table.Pet[1].isEmpty());
            QCOMPARE(tc->view.selector.size(), 2);
            QCOMPARE(hostfolder::snapshot(dir.path()), before); // template not loaded
        }
        QCOMPARE(tc->messages.texts(), QStringList{kMsgRegistryWriteFailed});
    }

    void initialize_registersHostPetAsPetZero()
    {
        const auto before = hostFiles();
        InitializeForm form(ctx());
        enter(form, QStringLiteral("新規ペット"), QStringLiteral("太郎"), "BtnOK");
        QVERIFY(form.isVisible());
        QVERIFY(!hostfolder::exists(dir.filePath(QStringLiteral("Kennel.ini"))));
        enter(form, QStringLiteral("ミケ"), QStringLiteral("太郎"), "BtnOK");
        QVERIFY(!form.isVisible());
        QCOMPARE(tc->messages.texts(), QStringList{texts::kMsgReservedName});
        QCOMPARE(ctx().table.CurrentUser, 0);
        QCOMPARE(tc->view.selector, (QStringList{texts::kNewPetEntry, QStringLiteral("ミケ")}));
        QCOMPARE(tc->view.owner, QStringLiteral("太郎"));
        QCOMPARE(hostFiles(), before);
        QVERIFY(ctx().RegistryLoaded);
    }
};

QTEST_MAIN(TestNewForm)
#include "test_newform.moc"
