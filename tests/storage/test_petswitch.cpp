// The pet switch: what moves under each sharing flag, what is written, and how a pet without
// a stored folder (registered in this run, or whose store failed) keeps its data.
#include "app/Startup.h"
#include "registry/Texts.h"
#include "storage/StorageOps.h"
#include "tests/support/HostTest.h"

#include <QtTest>

using hostfolder::read;
using hostfolder::snapshot;

class TestPetSwitch : public HostTest {
    Q_OBJECT

    QByteArray hostFile(const QString& item) const { return read(host() + QLatin1Char('/') + item); }
    int currentInFile() const { return registry().table.CurrentUser; }

    // Kennel.ini plus a line the program never writes: a rewrite drops it.
    void writeRegistryWithMarker()
    {
        hostfolder::write(host(), "Kennel.ini", *formatRegistry(table()) + "; test\r\n");
    }

    // A fourth pet registered in this run: current, its data ("D") only in the host's places.
    void addPetWithoutFolder()
    {
        hostfolder::makeHost(host(), QStringLiteral("D"));
        table().Pet[3] = QStringLiteral("はな");
        table().MaxUser = 3;
        table().CurrentUser = 3;
        writeRegistryWithMarker();
    }

    // A friends book no copy can carry.
    void blockFriendsBook()
    {
        QFile::remove(host() + QStringLiteral("/おともだち帳"));
        QDir().mkpath(host() + QStringLiteral("/おともだち帳"));
    }

private slots:
    // The host holds pet 0 ("A"); folders 1 to 3 hold pets 0 to 2 ("A", "B", "C").
    void init()
    {
        newHost();
        session().setRegistryLoaded(true);
        hostfolder::makeHost(host(), QStringLiteral("A"));
        const QStringList tags = {"A", "B", "C"};
        for (int i = 0; i < 3; ++i)
            hostfolder::makeHost(pet(i + 1), tags[i]);
        table().Pet = {QStringLiteral("ぽち"), QStringLiteral("たま"), QStringLiteral("みけ")};
        table().Master = {QStringLiteral("太郎"), QStringLiteral("花子"), QStringLiteral("次郎")};
        table().MaxUser = 2;
        table().CurrentUser = 0;
        writeRegistryWithMarker();
    }

    void switchReplacesOnlyUnsharedKinds_data()
    {
        QTest::addColumn<int>("shared"); // bits: snacks, treasures, friends book, toys, mails
        // Each kind shared and not, alone and beside others.
        QTest::newRow("nothing shared") << 0;
        QTest::newRow("snacks and friends book shared") << 5;
        QTest::newRow("treasures, toys and mail drawers shared") << 26;
        QTest::newRow("all five shared") << 31;
    }

    void switchReplacesOnlyUnsharedKinds()
    {
        QFETCH(int, shared);
        table().setSharing({bool(shared & 1), bool(shared & 2), bool(shared & 4), bool(shared & 8), bool(shared & 16)});
        QCOMPARE(session().switchTo(1), SwitchResult::Switched);

        // Item, its tag prefix, the flag bit that keeps it.
        const std::tuple<const char*, const char*, int> items[] = {
            {"おやつ/cake.pac", "snack", 1},      {"宝物/gem.pac", "gem", 2},
            {"おともだち帳", "friends", 4},       {"おもちゃ/ball.pty", "toy", 8},
            {"受信フォルダ/in.mwm", "in", 16},    {"送信フォルダ/out.mwm", "out", 16},
            {"添付書類ﾌｫﾙﾀﾞ/att.bin", "att", 16}, {"Mewmail設定.mwc", "settings", 0},
            {"Mewmail設定.bak", "backup", 0}};
        for (const auto& [item, prefix, bit] : items)
            QCOMPARE(hostFile(QString::fromUtf8(item)), QByteArray(prefix) + ((shared & bit) ? " A" : " B"));
        QCOMPARE(currentInFile(), 1);
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void currentPetOrNewPetEntryMovesNothing()
    {
        const auto before = snapshot(host());
        QCOMPARE(session().switchTo(0), SwitchResult::SamePet);
        QCOMPARE(session().switchTo(-1), SwitchResult::NewPetEntry);
        QCOMPARE(table().CurrentUser, -1);
        QCOMPARE(snapshot(host()), before); // Kennel.ini not rewritten either
    }

    void petWithoutFolderIsStoredBeforeLeaving_data()
    {
        QTest::addColumn<int>("next");
        QTest::newRow("to another pet") << 1;
        QTest::newRow("to the new-pet entry") << -1;
    }

    void petWithoutFolderIsStoredBeforeLeaving()
    {
        QFETCH(int, next);
        addPetWithoutFolder();
        session().switchTo(next);
        QCOMPARE(read(pet(4) + QStringLiteral("/おやつ/cake.pac")), QByteArray("snack D"));
        QCOMPARE(read(pet(4) + QStringLiteral("/Mewmail設定.mwc")), QByteArray("settings D"));
        QVERIFY(tc->messages.shown.isEmpty());

        // Coming back to it loads what was stored.
        QCOMPARE(session().switchTo(3), SwitchResult::Switched);
        QCOMPARE(hostFile(QStringLiteral("受信フォルダ/in.mwm")), QByteArray("in D"));
    }

    void petWithoutFolderThatCannotBeStoredStaysCurrent()
    {
        addPetWithoutFolder();
        blockFriendsBook();
        const auto before = snapshot(host());

        QCOMPARE(session().switchTo(1), SwitchResult::Refused);
        QCOMPARE(session().switchTo(-1), SwitchResult::Refused); // a new pet would replace it too

        QCOMPARE(table().CurrentUser, 3);
        QCOMPARE(snapshot(host()), before);
        QVERIFY(!hostfolder::exists(pet(4))); // stored again at the next attempt
        QCOMPARE(tc->messages.texts().last(), kMsgOutgoingNotStored.arg(QStringLiteral("はな")));
    }

    void failedStartupStoreKeepsThePlacesUntilStored_data()
    {
        QTest::addColumn<bool>("stillFailing");
        QTest::newRow("stored on leaving") << false;
        QTest::newRow("still failing: refused") << true;
    }

    void failedStartupStoreKeepsThePlacesUntilStored()
    {
        QFETCH(bool, stillFailing);
        hostfolder::makeHost(host(), QStringLiteral("A2")); // the host ran with pet 0
        blockFriendsBook();
        QuietStartupWindow window;
        StartupCheck(session(), window);
        QVERIFY(session().currentUnstored());
        QCOMPARE(tc->messages.texts().last(), kMsgStoreFailed.arg(QStringLiteral("ぽち")));
        if (!stillFailing) {
            QDir(host() + QStringLiteral("/おともだち帳")).removeRecursively();
            hostfolder::write(host(), QStringLiteral("おともだち帳"), "friends A2");
        }
        const auto places = snapshot(host());

        const SwitchResult result = session().switchTo(1);

        if (stillFailing) {
            QCOMPARE(result, SwitchResult::Refused);
            QCOMPARE(snapshot(host()), places);
            QCOMPARE(currentInFile(), 0);
        } else {
            QCOMPARE(result, SwitchResult::Switched);
            QCOMPARE(read(pet(1) + QStringLiteral("/おともだち帳")), QByteArray("friends A2"));
            QCOMPARE(read(pet(1) + QStringLiteral("/受信フォルダ/in.mwm")), QByteArray("in A2"));
            QVERIFY(!session().currentUnstored());
        }
    }

    void fatalChoices_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("message");
        QTest::newRow("index of no pet") << 7 << kMsgInternalError;
        QTest::newRow("pet folder missing") << 2 << kMsgPetFolderMissing;
    }

    void fatalChoices()
    {
        QFETCH(int, index);
        QFETCH(QString, message);
        QDir(pet(3)).removeRecursively();
        const auto before = snapshot(host());
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, session().switchTo(index));
        QCOMPARE(tc->messages.texts(), QStringList{message});
        QCOMPARE(snapshot(host()), before);
    }

    void incompleteLoadLeavesNoPetCurrent()
    {
        // The host has a folder where the chosen pet has a snack file of that name.
        hostfolder::write(pet(2), QStringLiteral("おやつ/treat.pac"), "treat B");
        QDir().mkpath(host() + QStringLiteral("/おやつ/treat.pac"));

        QCOMPARE(session().switchTo(1), SwitchResult::LoadFailed);

        QCOMPARE(table().CurrentUser, -1);
        QCOMPARE(currentInFile(), -1); // the next start stores nothing over a good folder
        QCOMPARE(tc->messages.texts().last(), kMsgPetNotLoaded.arg(QStringLiteral("たま")));
    }

    void unwritableRegistryBringsBackThePetItNames()
    {
        table().Pet[2] = QStringLiteral("み\nけ"); // a name Kennel.ini cannot hold
        QCOMPARE(session().switchTo(1), SwitchResult::Refused);
        QCOMPARE(table().CurrentUser, 0);
        QCOMPARE(hostFile(QStringLiteral("受信フォルダ/in.mwm")), QByteArray("in A"));
        QVERIFY(tc->messages.texts().contains(kMsgRegistryWriteFailed));
    }
};

QTEST_GUILESS_MAIN(TestPetSwitch)
#include "test_petswitch.moc"
