// A kill at every file-system change of each operation (a fault handler that throws), then
// the real start-up path on a fresh context: every pet's data equals its data before or after
// the operation, Kennel.ini lists each pet with its folder, the template is untouched, and no
// journal is left. A failed change (a full disk) instead of a kill loses nothing either.
#include "app/FaultPoint.h"
#include "app/Registry.h"
#include "app/Startup.h"
#include "backup/Restore.h"
#include "storage/DeletePet.h"
#include "storage/Journal.h"
#include "storage/PetSwitch.h"
#include "storage/StorageOps.h"
#include "storage/Upgrade.h"
#include "tests/support/HostTest.h"
#include "ui/main/Registration.h"

#include <QtTest>

#include <functional>

using hostfolder::snapshot;
using PetData = QMap<QString, QByteArray>;
using PetsByName = QMap<QString, PetData>;

namespace {

struct Killed {};
int g_countdown = 0; // the change at which the process "dies"; 0: none
int g_seen = 0;      // changes seen
QString g_failFrom;  // with g_failAt: every change from the g_failAt-th on fails
int g_failAt = 0;

fault::Action killOrFail(const char*, const QString&)
{
    ++g_seen;
    if (g_countdown > 0 && g_seen == g_countdown)
        throw Killed{};
    return g_failAt > 0 && g_seen >= g_failAt ? fault::Action::Fail : fault::Action::Proceed;
}

// The pet data of a pet-shaped folder: the three root files and the item folders' files.
PetData petData(const QString& folder)
{
    PetData data;
    for (const QString& name : {items::kFriends, items::kSettings, items::kSettingsBackup})
        if (QFileInfo(folder + QLatin1Char('/') + name).isFile())
            data.insert(name, hostfolder::read(folder + QLatin1Char('/') + name));
    for (const QString& item : items::kFolderOrder) {
        const QDir dir(folder + QLatin1Char('/') + item);
        for (const QString& f : dir.entryList(QDir::Files | QDir::Hidden))
            data.insert(item + QLatin1Char('/') + f, hostfolder::read(dir.filePath(f)));
    }
    return data;
}

} // namespace

class TestRecovery : public HostTest {
    Q_OBJECT

    using Op = std::function<void(TestRecovery&)>;
    bool sharedKinds_ = false; // toys and mail drawers shared by all pets

    // Pets "ペット0".."ペット2" in folders 1..3 tagged A, B, C; pet 0 current, its data in the
    // host's places; the template tagged T; a restore source tagged R outside the program folder.
    void setUp()
    {
        newHost(QStringLiteral("/host"));
        addPets(3, 0);
        table().Toys = table().Mails = sharedKinds_;
        ctx().RegistryLoaded = true;
        const QStringList tags = {"A", "B", "C"};
        for (int i = 0; i < 3; ++i)
            hostfolder::makeHost(pet(i + 1), tags[i]);
        hostfolder::makeHost(host(), QStringLiteral("A"));
        hostfolder::makeHost(host() + QStringLiteral("/Default"), QStringLiteral("T"));
        hostfolder::makeHost(root() + QStringLiteral("/backup"), QStringLiteral("R"));
        QVERIFY(WriteRegistry(ctx()));
    }

    // Every listed pet's data; the current pet's lies in the host's places.
    PetsByName pets()
    {
        const RegistryContent reg = registry();
        PetsByName out;
        for (int i = 0; i <= reg.table.MaxUser; ++i)
            out.insert(reg.table.Pet[i], petData(i == reg.table.CurrentUser ? host() : pet(i + 1)));
        return out;
    }

    // The next start, as a new process: recovery, Kennel.ini read, the current pet stored.
    void restart()
    {
        tc = std::make_unique<TestContext>(host());
        StartupCheck(ctx());
    }

    void runOp(const Op& op)
    {
        fault::setHandler(killOrFail);
        g_seen = 0;
        try {
            op(*this);
        } catch (const Killed&) {
        } catch (const ProgramEnded&) {
        }
        fault::setHandler(nullptr);
    }

    void verifyAfterRestart(const PetsByName& before, const PetsByName& after, const QString& where)
    {
        restart();
        const PetsByName now = pets();
        const QByteArray at = where.toUtf8();
        for (auto it = now.begin(); it != now.end(); ++it) {
            const bool asBefore = before.contains(it.key()) && before[it.key()] == it.value();
            const bool asAfter = after.contains(it.key()) && after[it.key()] == it.value();
            QVERIFY2(asBefore || asAfter, at + " pet " + it.key().toUtf8());
            // The start-up store makes the folder equal the places.
            const int i = registry().table.indexOf(it.key());
            QVERIFY2(petData(pet(i + 1)) == it.value(), at + " folder of " + it.key().toUtf8());
        }
        for (const QString& name : before.keys())
            QVERIFY2(now.contains(name) || !after.contains(name), at + " lost " + name.toUtf8());
        QVERIFY2(petData(host() + QStringLiteral("/Default")).value("おやつ/cake.pac") == "snack T", at);
        QVERIFY2(!hostfolder::exists(journal::path(ctx().paths)), at + " journal left");
        // No folder that Kennel.ini does not account for: no orphan pet folder, no staging or trash.
        QVERIFY2(!hostfolder::exists(pet(registry().table.MaxUser + 2)), at + " orphan");
        QVERIFY2(QDir(host()).entryList({".kennel*"}, QDir::AllEntries | QDir::Hidden).isEmpty(), at + " leftover");
    }

    // Runs op once whole to learn the result and the number of changes, then once per change
    // with a kill there, and once per change with every change from there on failing.
    void killAtEveryChange(const Op& op, const Op& prepare = {})
    {
        auto setUpAll = [&] {
            setUp();
            if (prepare)
                prepare(*this);
        };
        setUpAll();
        const PetsByName before = pets();
        runOp(op);
        const int changes = g_seen;
        QVERIFY(changes > 0);
        restart();
        const PetsByName after = pets();
        for (int k = 1; k <= changes; ++k) {
            setUpAll();
            g_countdown = k;
            runOp(op);
            g_countdown = 0;
            verifyAfterRestart(before, after, QStringLiteral("kill at %1 of %2").arg(k).arg(changes));
        }
        for (int k = 1; k <= changes; ++k) {
            setUpAll();
            g_failAt = k;
            runOp(op);
            g_failAt = 0;
            verifyAfterRestart(before, after, QStringLiteral("failing from %1 of %2").arg(k).arg(changes));
        }
        qInfo("%d kill points", changes);
    }

private slots:
    void cleanup()
    {
        fault::setHandler(nullptr);
        g_countdown = g_failAt = 0;
        sharedKinds_ = false;
    }

    void switchPet_data()
    {
        QTest::addColumn<bool>("shared");
        QTest::newRow("nothing shared") << false;
        QTest::newRow("toys and mail drawers shared") << true;
    }

    void switchPet()
    {
        QFETCH(bool, shared);
        sharedKinds_ = shared;
        killAtEveryChange([](TestRecovery& t) {
            t.tc->view.current = petName(1);
            SwitchPet(t.ctx());
        });
    }

    void storeChangedPet()
    {
        // The host ran and changed pet 0; the start-up stores it.
        killAtEveryChange([](TestRecovery& t) { t.restart(); },
                          [](TestRecovery& t) { hostfolder::makeHost(t.host(), QStringLiteral("A2")); });
    }

    void newPet_data() { switchPet_data(); }

    void newPet()
    {
        QFETCH(bool, shared);
        sharedKinds_ = shared;
        killAtEveryChange([](TestRecovery& t) {
            t.tc->view.current = texts::kNewPetEntry;
            SwitchPet(t.ctx());
            RegisterNewPet(t.ctx(), QStringLiteral("しろ"), QStringLiteral("飼い主"));
        });
    }

    void deletePet()
    {
        killAtEveryChange([](TestRecovery& t) { DeletePet(t.ctx()); });
    }

    void restorePet()
    {
        killAtEveryChange([](TestRecovery& t) {
            RestoreSource source;
            source.kind = RestoreSource::Kind::Folder;
            source.folder = t.root() + QStringLiteral("/backup/");
            RestoreSession s(t.ctx(), source);
            if (s.open())
                s.registerPet(QStringLiteral("りく"), QStringLiteral("飼い主"));
        });
    }

    // Recovery that cannot finish ends the start-up before anything is stored; a journal
    // that names no operation, or folders not Kennel's own, changes nothing.
    void recoveryThatCannotFinishEndsStartUp()
    {
        setUp();
        hostfolder::makeHost(host(), QStringLiteral("A2"));
        const QString trash = host() + QStringLiteral("/.kennel-deleted");
        QVERIFY(journal::write(ctx().paths, {QStringLiteral("delete"),
                                             {{"pet", "0"}, {"max", "2"}, {"name", petName(0)}, {"trash", trash}}}));
        const auto before = snapshot(host());
        fault::setHandler([](const char* what, const QString&) {
            return qstrcmp(what, "rename") == 0 ? fault::Action::Fail : fault::Action::Proceed;
        });
        tc = std::make_unique<TestContext>(host());
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, StartupCheck(ctx()));
        fault::setHandler(nullptr);
        QCOMPARE(tc->messages.texts().last(), kMsgRecoveryFailed);
        QCOMPARE(snapshot(host()), before);

        for (const QByteArray& junk : {QByteArray("garbage"), QByteArray("op=delete\npet=0\nmax=2\ntrash=/etc\n"),
                                       QByteArray("op=upgrade\nfrom0=/etc\nto0=/tmp/x\n"),
                                       QByteArray("op=switch\npet=7\nname=x\n"), QByteArray("op=restore\npet=-3\n")}) {
            setUp();
            hostfolder::write(host(), QStringLiteral("Kennel.journal"), junk);
            const auto start = snapshot(host());
            QVERIFY(RecoverInterruptedWork(ctx()));
            auto now = snapshot(host());
            now.insert(QStringLiteral("Kennel.journal"), junk);
            QCOMPARE(now, start);
        }
    }

    // The upgrade is undone before Kennel.ini is version 2.0 and finished after.
    void upgrade()
    {
        auto setUpOld = [this] {
            newHost();
            hostfolder::makeHost(host(), QStringLiteral("live"));
            hostfolder::write(host(), QStringLiteral("Kennel.ini"), "LastUser = 1\r\n");
            for (int n = 1; n <= 3; ++n)
                hostfolder::makeHost(host() + QStringLiteral("/ユーザー ") + QString::number(n), QString::number(n), n < 3);
        };
        const Op op = [](TestRecovery& t) {
            const MailboxPlan plan = ScanMailboxes(t.ctx().paths, 1);
            UpgradeNames names;
            names.pet = {QStringLiteral("a"), QStringLiteral("b"), QString()};
            names.master = {QStringLiteral("o"), QStringLiteral("o"), QString()};
            if (ConvertMailboxes(t.ctx(), plan, names)) {
                SnapshotDefaultData(t.ctx());
                EndJournal(t.ctx());
            }
        };
        setUpOld();
        const auto before = snapshot(host());
        runOp(op);
        const int changes = g_seen;
        const auto after = snapshot(host());
        for (int k = 1; k <= changes; ++k) {
            setUpOld();
            g_countdown = k;
            runOp(op);
            g_countdown = 0;
            tc = std::make_unique<TestContext>(host());
            QVERIFY(RecoverInterruptedWork(ctx()));
            const auto now = snapshot(host());
            QVERIFY2(now == before || now == after, qPrintable(QStringLiteral("kill at %1").arg(k)));
        }
        qInfo("%d kill points", changes);
    }
};

// Hundreds of runs each write Kennel.ini and the journal, which are synced to disk: the
// temporary folders go to memory where the system offers it.
int main(int argc, char** argv)
{
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable() && qEnvironmentVariableIsEmpty("KENNEL_TEST_ON_DISK"))
        qputenv("TMPDIR", "/dev/shm");
    QCoreApplication app(argc, argv);
    TestRecovery test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_recovery.moc"
