// The pet switch: what moves under each sharing flag, what is written, and how a pet without
// a stored folder (registered in this run, or whose store failed) keeps its data.
#include "app/Startup.h"
#include "registry/Texts.h"
#include "storage/HostLayout.h"
#include "storage/PetCopyCheck.h"
#include "storage/StorageOps.h"
#include "tests/support/HostTest.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using hostfolder::read;
using hostfolder::snapshot;

class TestPetSwitch : public HostTest {
    Q_OBJECT

    QByteArray hostFile(const char* item) const { return read(host() + '/' + QString::fromUtf8(item)); }
    int currentInFile() const { return registry().table.CurrentUser; }
    // Kennel.ini plus a line the program never writes: a rewrite drops it.
    void writeRegistryWithMarker() { hostfolder::write(host(), "Kennel.ini", *formatRegistry(table()) + "; test\r\n"); }

    // A fourth pet registered in this run: current, its data ("D") only in the host's places.
    void addPetWithoutFolder()
    {
        hostfolder::makeHost(host(), QStringLiteral("D"));
        addPets(4, 3);
        writeRegistryWithMarker();
    }
    // A friends book no copy can carry.
    void blockFriendsBook() { QFile::remove(host() + "/おともだち帳"), QDir().mkpath(host() + "/おともだち帳"); }

private slots:
    // The host holds pet 0 ("A"); folders 1 to 3 hold pets 0 to 2 ("A", "B", "C").
    void init()
    {
        newHost();
        session().setRegistryLoaded(true);
        hostfolder::makeHost(host(), QStringLiteral("A"));
        for (int i = 0; i < 3; ++i)
            hostfolder::makeHost(pet(i + 1), QString(QChar(u'A' + i)));
        addPets(3, 0);
        writeRegistryWithMarker();
    }

    // Each kind shared and not, alone and beside others: nothing shared; snacks and friends book
    // shared; treasures, toys and mail drawers shared.
    void switchReplacesOnlyUnsharedKinds()
    {
        // Item, its tag prefix, the flag bit that keeps it (bits: snacks, treasures, friends book, toys, mails).
        const std::tuple<const char*, const char*, int> items[] = {
            {"おやつ/cake.pac", "snack", 1},      {"宝物/gem.pac", "gem", 2},
            {"おともだち帳", "friends", 4},       {"おもちゃ/ball.pty", "toy", 8},
            {"受信フォルダ/in.mwm", "in", 16},    {"送信フォルダ/out.mwm", "out", 16},
            {"添付書類ﾌｫﾙﾀﾞ/att.bin", "att", 16}, {"Mewmail設定.mwc", "settings", 0},
            {"Mewmail設定.bak", "backup", 0}};
        for (int shared : {0, 5, 26}) {
            init();
            table().setSharing(
                {bool(shared & 1), bool(shared & 2), bool(shared & 4), bool(shared & 8), bool(shared & 16)});
            QCOMPARE(session().switchTo(1), SwitchResult::Switched);
            for (const auto& [item, prefix, bit] : items)
                QCOMPARE(hostFile(item), QByteArray(prefix) + ((shared & bit) ? " A" : " B"));
            QCOMPARE(currentInFile(), 1);
            QVERIFY(tc->messages.shown.isEmpty());
        }
    }

    void currentPetOrNewPetEntryMovesNothing()
    {
        const auto before = snapshot(host());
        QCOMPARE(session().switchTo(0), SwitchResult::SamePet);
        QCOMPARE(session().switchTo(-1), SwitchResult::NewPetEntry);
        QCOMPARE(table().CurrentUser, -1);
        QCOMPARE(snapshot(host()), before); // Kennel.ini not rewritten either
    }

    // Stored before leaving, to another pet or to the new-pet entry; coming back loads it.
    void petWithoutFolderIsStoredBeforeLeaving()
    {
        for (int next : {1, -1}) {
            init();
            addPetWithoutFolder();
            session().switchTo(next);
            QCOMPARE(read(pet(4) + QStringLiteral("/おやつ/cake.pac")), QByteArray("snack D"));
            QCOMPARE(read(pet(4) + QStringLiteral("/Mewmail設定.mwc")), QByteArray("settings D"));
            QVERIFY(tc->messages.shown.isEmpty());
            QCOMPARE(session().switchTo(3), SwitchResult::Switched);
            QCOMPARE(hostFile("受信フォルダ/in.mwm"), QByteArray("in D"));
        }
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
        QCOMPARE(messages().last(), kMsgOutgoingNotStored.arg(petName(3)));
    }

    // A store that failed at start-up keeps the host's places until they are stored on leaving.
    void failedStartupStoreKeepsThePlacesUntilStored()
    {
        for (bool stillFailing : {false, true}) {
            init();
            hostfolder::makeHost(host(), QStringLiteral("A2")); // the host ran with pet 0
            blockFriendsBook();
            QuietStartupWindow window;
            StartupCheck(session(), window);
            QVERIFY(session().currentUnstored());
            QCOMPARE(messages().last(), kMsgStoreFailed.arg(petName(0)));
            if (!stillFailing) {
                QDir(host() + QStringLiteral("/おともだち帳")).removeRecursively();
                hostfolder::write(host(), QStringLiteral("おともだち帳"), "friends A2");
            }
            const auto places = snapshot(host());
            QCOMPARE(session().switchTo(1), stillFailing ? SwitchResult::Refused : SwitchResult::Switched);
            QCOMPARE(session().currentUnstored(), stillFailing);
            if (stillFailing) {
                QCOMPARE(snapshot(host()), places);
                QCOMPARE(currentInFile(), 0);
            } else {
                QCOMPARE(read(pet(1) + QStringLiteral("/おともだち帳")), QByteArray("friends A2"));
                QCOMPARE(read(pet(1) + QStringLiteral("/受信フォルダ/in.mwm")), QByteArray("in A2"));
            }
        }
    }

    // An index of no pet, or a pet whose folder is missing, ends the program unchanged.
    void fatalChoices()
    {
        for (const auto& [index, message] : {std::pair(7, kMsgInternalError), std::pair(2, kMsgPetFolderMissing)}) {
            init();
            QDir(pet(3)).removeRecursively();
            const auto before = snapshot(host());
            QVERIFY_THROWS_EXCEPTION(ProgramEnded, session().switchTo(index));
            QCOMPARE(messages(), QStringList{message});
            QCOMPARE(snapshot(host()), before);
        }
    }

    void incompleteLoadLeavesNoPetCurrent()
    {
        // The host has a folder where the chosen pet has a snack file of that name.
        hostfolder::write(pet(2), QStringLiteral("おやつ/treat.pac"), "treat B");
        QDir().mkpath(host() + QStringLiteral("/おやつ/treat.pac"));
        QCOMPARE(session().switchTo(1), SwitchResult::LoadFailed);
        QCOMPARE(table().CurrentUser, -1);
        QCOMPARE(currentInFile(), -1); // the next start stores nothing over a good folder
        QCOMPARE(messages().last(), kMsgPetNotLoaded.arg(petName(1)));
    }

    // The check after a copy, entry by entry: other bytes of the same size and time, a link
    // with another target, a link for a file, a file too many, or an item folder that is a
    // link each fail it.
    void checkAfterCopyFindsEachDifference()
    {
        const QString a = root() + "/A", b = root() + "/B", inbox = items::kInbox;
        auto file = [&](const QString& folder, const char* name, const char* bytes) {
            hostfolder::write(folder, inbox + '/' + name, bytes);
            const struct timespec times[2] = {{0, UTIME_OMIT}, {1600000000, 0}};
            ::utimensat(AT_FDCWD, QFile::encodeName(folder + '/' + inbox + '/' + name).constData(), times, AT_SYMLINK_NOFOLLOW);
        };
        auto link = [&](const QString& folder, const char* name, const char* target) {
            QVERIFY(::symlink(target, QFile::encodeName(folder + '/' + inbox + '/' + name).constData()) == 0);
        };
        for (int change = 0; change < 6; ++change) {
            QDir(a).removeRecursively(), QDir(b).removeRecursively();
            for (const QString& f : {a, b}) {
                file(f, "m1.mwm", "mail one"), link(f, "ln", "m1.mwm");
                if (!(change == 1 && f == b))
                    file(f, "m2.mwm", "mail two");
            }
            if (change == 1)
                file(b, "m2.mwm", "mail 2!!");
            else if (change == 2)
                QFile::remove(b + '/' + inbox + "/ln"), link(b, "ln", "m2.mwm");
            else if (change == 3)
                QFile::remove(b + '/' + inbox + "/m2.mwm"), link(b, "m2.mwm", "m1.mwm");
            else if (change == 4)
                file(b, "m3.mwm", "mail three");
            else if (change == 5)
                QDir(b + '/' + inbox).removeRecursively(), QFile::link(a + '/' + inbox, b + '/' + inbox);
            QCOMPARE(samePetItem(a, b, inbox), change == 0);
        }
    }

    void unwritableRegistryBringsBackThePetItNames()
    {
        table().Pet[2] = QStringLiteral("み\nけ"); // a name Kennel.ini cannot hold
        QCOMPARE(session().switchTo(1), SwitchResult::Refused);
        QCOMPARE(table().CurrentUser, 0);
        QCOMPARE(hostFile("受信フォルダ/in.mwm"), QByteArray("in A"));
        QVERIFY(messages().contains(kMsgRegistryWriteFailed));
    }
};

QTEST_GUILESS_MAIN(TestPetSwitch)
#include "test_petswitch.moc"
