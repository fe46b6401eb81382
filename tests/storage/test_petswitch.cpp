// The pet switch behind the selector: what moves under each sharing flag, what is written,
// and how a pet without a pet folder keeps its data.
#include "app/Registry.h"
#include "storage/PetSwitch.h"
#include "storage/StorageOps.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"

#include <QTemporaryDir>
#include <QtTest>

using hostfolder::read;
using hostfolder::snapshot;

namespace {
const QByteArray kMarker = "; written by the test\r\n";

// The items of one pet, each tagged, as a pet folder holds them.
void makePet(const QString& folder, const QString& tag)
{
    hostfolder::makeHost(folder, tag);
    QFile::remove(folder + QStringLiteral("/Mewmail20.exe"));
}

enum Flag { Snacks = 1, Treasures = 2, Friends = 4, Toys = 8, Mails = 16 };
}  // namespace

class TestPetSwitch : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TestContext> tc;

    QString host() const { return dir->path(); }
    QString pet(int n) const { return host() + QStringLiteral("/ユーザー") + QString::number(n); }
    Context& ctx() { return tc->ctx; }
    PetTable& table() { return tc->ctx.table; }
    QByteArray registry() const { return read(host() + QStringLiteral("/Kennel.ini")); }
    RegistryContent registryContent() const { return parseRegistry(registry()); }

    // Kennel.ini as start-up left it, with a line the program never writes: a rewrite drops it.
    void writeRegistryWithMarker()
    {
        hostfolder::write(host(), QStringLiteral("Kennel.ini"), *formatRegistry(table()) + kMarker);
    }

    PetSwitchResult choose(const QString& name)
    {
        tc->view.current = name;
        return SwitchPet(ctx());
    }

    // Host holds pet 0 ("A"); folders 1 to 3 hold pets 0 to 2 ("A", "B", "C").
    void threePets()
    {
        hostfolder::makeHost(host(), QStringLiteral("A"));
        makePet(pet(1), QStringLiteral("A"));
        makePet(pet(2), QStringLiteral("B"));
        makePet(pet(3), QStringLiteral("C"));
        table().Pet = {QStringLiteral("ぽち"), QStringLiteral("たま"), QStringLiteral("みけ")};
        table().Master = {QStringLiteral("太郎"), QStringLiteral("花子"), QStringLiteral("次郎")};
        table().MaxUser = 2;
        table().CurrentUser = 0;
        tc->view.selector << table().Pet[0] << table().Pet[1] << table().Pet[2];
        tc->view.current = table().Pet[0];
        writeRegistryWithMarker();
    }

    // A fourth pet registered in this run: current, its data ("D") only in the host's places.
    void fourthPetWithoutFolder()
    {
        hostfolder::makeHost(host(), QStringLiteral("D"));
        table().Pet[3] = QStringLiteral("はな");
        table().Master[3] = QStringLiteral("三郎");
        table().MaxUser = 3;
        table().CurrentUser = 3;
        tc->view.selector << table().Pet[3];
        tc->view.current = table().Pet[3];
        writeRegistryWithMarker();
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        tc = std::make_unique<TestContext>(host());
        ctx().RegistryLoaded = true;
        threePets();
    }

    void switchMovesOnlyUnsharedKinds_data()
    {
        QTest::addColumn<int>("shared");
        QTest::newRow("nothing shared") << 0;
        QTest::newRow("snacks shared") << int(Snacks);
        QTest::newRow("treasures shared") << int(Treasures);
        QTest::newRow("friends book shared") << int(Friends);
        QTest::newRow("toys shared") << int(Toys);
        QTest::newRow("mail drawers shared") << int(Mails);
        QTest::newRow("all five shared") << int(Snacks | Treasures | Friends | Toys | Mails);
    }

    void switchMovesOnlyUnsharedKinds()
    {
        QFETCH(int, shared);
        table().Oyatsu = shared & Snacks;
        table().Treasures = shared & Treasures;
        table().Friends = shared & Friends;
        table().Toys = shared & Toys;
        table().Mails = shared & Mails;
        const auto before = snapshot(host());
        writeRegistryWithMarker();

        QCOMPARE(choose(QStringLiteral("たま")), PetSwitchResult::Switched);

        const auto after = snapshot(host());
        auto tagged = [](const char* what, bool isShared) {
            return QByteArray(what) + (isShared ? " A" : " B");
        };
        QCOMPARE(after.value(QStringLiteral("おやつ/cake.pac")), tagged("snack", shared & Snacks));
        QCOMPARE(after.value(QStringLiteral("宝物/gem.pac")), tagged("gem", shared & Treasures));
        QCOMPARE(after.value(QStringLiteral("おともだち帳")), tagged("friends", shared & Friends));
        QCOMPARE(after.value(QStringLiteral("おもちゃ/ball.pty")), tagged("toy", shared & Toys));
        QCOMPARE(after.value(QStringLiteral("受信フォルダ/in.mwm")), tagged("in", shared & Mails));
        QCOMPARE(after.value(QStringLiteral("送信フォルダ/out.mwm")), tagged("out", shared & Mails));
        QCOMPARE(after.value(QStringLiteral("添付書類ﾌｫﾙﾀﾞ/att.bin")), tagged("att", shared & Mails));
        QCOMPARE(after.value(QStringLiteral("Mewmail設定.mwc")), QByteArray("settings B"));
        QCOMPARE(after.value(QStringLiteral("Mewmail設定.bak")), QByteArray("backup B"));
        if (shared == (Snacks | Treasures | Friends | Toys | Mails)) {
            QStringList changed;
            for (auto it = after.cbegin(); it != after.cend(); ++it)
                if (before.value(it.key()) != it.value())
                    changed << it.key();
            QCOMPARE(changed, (QStringList{QStringLiteral("Kennel.ini"), QStringLiteral("Mewmail設定.bak"),
                                           QStringLiteral("Mewmail設定.mwc")}));
        }

        QCOMPARE(table().CurrentUser, 1);
        QCOMPARE(registryContent().table.CurrentUser, 1);
        QVERIFY(!registry().contains(kMarker));
        QCOMPARE(tc->view.owner, QStringLiteral("花子"));
        QCOMPARE(ctx().GaugePos, 100);
        QCOMPARE(tc->view.busyOnCount, 1);
        QCOMPARE(tc->view.busyOffCount, 1);
        QCOMPARE(ctx().StepSize, 0);
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void choosingCurrentPetMovesAndWritesNothing()
    {
        const auto before = snapshot(host());
        QCOMPARE(choose(QStringLiteral("ぽち")), PetSwitchResult::SamePet);
        QCOMPARE(snapshot(host()), before);  // Kennel.ini included: the marker is still there
        QCOMPARE(ctx().GaugePos, 100);
        QCOMPARE(tc->view.gauge, 100);
        QCOMPARE(tc->view.busyOffCount, 1);
    }

    void newPetEntryLeavesNoPetCurrent()
    {
        const auto before = snapshot(host());
        QCOMPARE(choose(texts::kNewPetEntry), PetSwitchResult::NewPetEntry);
        QCOMPARE(table().CurrentUser, -1);
        QVERIFY(!tc->view.deleteEnabled);
        QVERIFY(tc->view.owner.isEmpty());
        QCOMPARE(snapshot(host()), before);
        QCOMPARE(tc->view.busyOnCount, 0);

        // Choosing a pet again loads it, whichever pet the places held.
        QCOMPARE(choose(QStringLiteral("みけ")), PetSwitchResult::Switched);
        QCOMPARE(read(host() + QStringLiteral("/おやつ/cake.pac")), QByteArray("snack C"));
        QCOMPARE(registryContent().table.CurrentUser, 2);
    }

    void suppressedSelectionDoesNothing()
    {
        ctx().SuppressPetSel = true;
        QCOMPARE(choose(QStringLiteral("たま")), PetSwitchResult::Ignored);
        QCOMPARE(table().CurrentUser, 0);
        QCOMPARE(tc->view.busyOnCount, 0);
    }

    void petWithoutFolderIsStoredBeforeLeaving_data()
    {
        QTest::addColumn<QString>("next");
        QTest::newRow("to another pet") << QStringLiteral("たま");
        QTest::newRow("to the new-pet entry") << texts::kNewPetEntry;
    }

    void petWithoutFolderIsStoredBeforeLeaving()
    {
        QFETCH(QString, next);
        fourthPetWithoutFolder();
        const auto places = snapshot(host());

        choose(next);

        QVERIFY(hostfolder::exists(pet(4)));
        const auto stored = snapshot(pet(4));
        for (const QString& item : {QStringLiteral("おやつ/cake.pac"), QStringLiteral("おともだち帳"),
                                    QStringLiteral("受信フォルダ/in.mwm"), QStringLiteral("Mewmail設定.mwc")})
            QCOMPARE(stored.value(item), places.value(item));
        QVERIFY(tc->messages.shown.isEmpty());

        // Coming back to it loads what was stored; the program goes on.
        QCOMPARE(choose(QStringLiteral("はな")), PetSwitchResult::Switched);
        QCOMPARE(read(host() + QStringLiteral("/おやつ/cake.pac")), QByteArray("snack D"));
        QCOMPARE(read(host() + QStringLiteral("/Mewmail設定.mwc")), QByteArray("settings D"));
    }

    void petWithoutFolderThatCannotBeStoredStaysCurrent_data()
    {
        petWithoutFolderIsStoredBeforeLeaving_data();
    }

    void petWithoutFolderThatCannotBeStoredStaysCurrent()
    {
        QFETCH(QString, next);
        fourthPetWithoutFolder();
        // A friends book the copy cannot carry.
        QFile::remove(host() + QStringLiteral("/おともだち帳"));
        QDir().mkpath(host() + QStringLiteral("/おともだち帳"));
        const auto places = snapshot(host());

        QCOMPARE(choose(next), PetSwitchResult::Refused);

        QCOMPARE(table().CurrentUser, 3);
        QCOMPARE(tc->view.current, QStringLiteral("はな"));
        QCOMPARE(snapshot(host()), places);  // nothing replaced, Kennel.ini not rewritten
        QVERIFY(!hostfolder::exists(pet(4)));  // stored again at the next attempt
        QCOMPARE(tc->messages.texts().last(), kMsgOutgoingNotStored.arg(QStringLiteral("はな")));
        QCOMPARE(tc->view.busyOffCount, 1);
    }

    void fatalChoices_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("name of no pet") << QStringLiteral("だれか") << kMsgInternalError;
        QTest::newRow("pet folder missing") << QStringLiteral("みけ") << kMsgPetFolderMissing;
    }

    void fatalChoices()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QDir(pet(3)).removeRecursively();
        const auto before = snapshot(host());
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, choose(name));
        QCOMPARE(tc->messages.texts(), QStringList{message});
        QCOMPARE(snapshot(host()), before);
    }

    void incompleteLoadLeavesNoPetCurrent()
    {
        // A folder in the host's snack place where the chosen pet has a file of that name.
        hostfolder::write(pet(2), QStringLiteral("おやつ/treat.pac"), "treat B");
        QDir().mkpath(host() + QStringLiteral("/おやつ/treat.pac"));
        const auto stored = snapshot(pet(2));

        QCOMPARE(choose(QStringLiteral("たま")), PetSwitchResult::LoadFailed);

        QCOMPARE(table().CurrentUser, -1);
        QCOMPARE(registryContent().table.CurrentUser, -1);  // the next start stores nothing
        QCOMPARE(tc->view.current, texts::kNewPetEntry);
        QVERIFY(!tc->view.deleteEnabled);
        QCOMPARE(snapshot(pet(2)), stored);
        QCOMPARE(tc->messages.texts().last(), kMsgPetNotLoaded.arg(QStringLiteral("たま")));
    }

    void unwritableRegistryBringsBackThePetItNames()
    {
        // Kennel.ini names pet 0; a name it cannot hold makes every later write fail.
        table().Pet[2] = QStringLiteral("み\nけ");

        QCOMPARE(choose(QStringLiteral("たま")), PetSwitchResult::Refused);

        QCOMPARE(table().CurrentUser, 0);
        QCOMPARE(tc->view.current, QStringLiteral("ぽち"));
        QCOMPARE(read(host() + QStringLiteral("/おやつ/cake.pac")), QByteArray("snack A"));
        QCOMPARE(read(host() + QStringLiteral("/Mewmail設定.mwc")), QByteArray("settings A"));
        QVERIFY(tc->messages.texts().contains(kMsgRegistryWriteFailed));
    }
};

QTEST_GUILESS_MAIN(TestPetSwitch)
#include "test_petswitch.moc"
