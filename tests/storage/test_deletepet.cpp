// Deleting a pet: later pets move down one number with their folders, Kennel.ini and the
// table follow, and a rename that fails part-way is undone without costing a pet data.
// Start-up recovery on journals the crash harness cannot produce: one whose work cannot be
// finished, and junk or foreign ones. Kills at every file-system step of each operation are
// the crash harness's (tests/crash).
#include "shell/FaultPoint.h"
#include "app/Startup.h"
#include "tests/support/HostTest.h"

#include <QtTest>

using hostfolder::read;
using hostfolder::snapshot;

class TestDeletePet : public HostTest {
    Q_OBJECT

    // Pets "ペット0"... whose folders hold data tagged with their names; `current` is current
    // and its data is in the host's places.
    void makePets(int count, int current)
    {
        addPets(count, current);
        for (int i = 0; i < count; ++i)
            for (const QString& item : {items::kSettings, QStringLiteral("おやつ/cake.pac")})
                hostfolder::write(pet(i + 1), item, petName(i).toUtf8());
        hostfolder::makeHost(host(), petName(current));
        QVERIFY(session().WriteRegistry(none()));
    }

    // Folder number n holds the data of pet `original`, and the table lists it at n - 1.
    void verifyPetAt(int n, int original)
    {
        QCOMPARE(table().Pet[n - 1], petName(original));
        QCOMPARE(registry().table.Pet[n - 1], petName(original));
        QCOMPARE(read(pet(n) + QStringLiteral("/Mewmail設定.mwc")), petName(original).toUtf8());
        QCOMPARE(read(pet(n) + QStringLiteral("/おやつ/cake.pac")), petName(original).toUtf8());
    }

private slots:
    void init()
    {
        newHost();
        session().setRegistryLoaded(true);
    }
    void cleanup() { fault::setHandler(nullptr); }

    // The first pet deleted: the only one, and the first of 100.
    void deletesAndRenumbers()
    {
        for (int count : {1, 100}) {
            init();
            makePets(count, 0);
            // A file of the user's beside a pet's data moves with its folder (renamed, not copied);
            // a sub-folder of the deleted pet's goes with it.
            hostfolder::write(pet(count), QStringLiteral("memo.txt"), "note");
            hostfolder::write(pet(1), QStringLiteral("受信フォルダ/sub/old.mwm"), "old");
            auto places = snapshot(host());

            QCOMPARE(session().deletePet(table().CurrentUser), DeleteResult::Deleted);

            QCOMPARE(tc->messages.shown.size(), 1); // the question only
            for (int n = 1; n < count; ++n)
                verifyPetAt(n, n);
            QVERIFY(!hostfolder::exists(pet(count)));
            QCOMPARE(hostfolder::exists(pet(count - 1) + QStringLiteral("/memo.txt")), count > 1);
            QVERIFY(!hostfolder::exists(session().journal().path()));
            QVERIFY(QDir(host()).entryList({".kennel*"}, QDir::AllEntries | QDir::Hidden).isEmpty()); // no trash left
            QCOMPARE(registry().table.MaxUser, count - 2);
            QCOMPARE(registry().table.CurrentUser, -1);
            // The host's places still hold the deleted pet's data.
            auto after = snapshot(host());
            for (auto* files : {&places, &after})
                files->removeIf([](auto it) { return it.key().startsWith(u"ユーザー") || it.key() == "Kennel.ini"; });
            QCOMPARE(after, places);
        }
    }

    // The crash harness fails every rename and checks the data; here the move of folder 4 fails
    // after folder 2 went to the trash and folder 3 moved down: table and message.
    void failedRenameIsUndone()
    {
        makePets(4, 1);
        const auto before = snapshot(host());
        static QString target;
        target = pet(3);
        fault::setHandler([](const char* what, const QString& path) {
            const bool hit = qstrcmp(what, "rename") == 0 && path.endsWith(target);
            if (hit)
                target = QStringLiteral("\n"); // once
            return hit ? fault::Action::Fail : fault::Action::Proceed;
        });
        QCOMPARE(session().deletePet(table().CurrentUser), DeleteResult::Stopped);
        fault::setHandler(nullptr);
        QCOMPARE(snapshot(host()), before); // every folder back at its number, no journal, no trash
        QCOMPARE(table().MaxUser, 3);
        QCOMPARE(table().CurrentUser, 1);
        QCOMPARE(messages().last(), kMsgDeleteStopped.arg(petName(1)));
        QCOMPARE(session().deletePet(table().CurrentUser), DeleteResult::Deleted); // the next try goes through
    }

    void laterPetWithoutFolderMovesWithoutOne()
    {
        makePets(3, 0);
        QDir(pet(3)).removeRecursively();
        QCOMPARE(session().deletePet(table().CurrentUser), DeleteResult::Deleted);
        verifyPetAt(1, 1);
        QCOMPARE(table().Pet[1], petName(2));
        QVERIFY(!hostfolder::exists(pet(2)));
        QCOMPARE(tc->messages.shown.size(), 1); // the question only: no failed copies
    }

    // A table Kennel.ini cannot hold deletes nothing. ("新規ペット" is never deletable: test_mainform.)
    void unwritableRegistryChangesNothing()
    {
        makePets(3, 1);
        table().Pet[2] = QStringLiteral("ペット\n2");
        const auto before = snapshot(host());
        QCOMPARE(session().deletePet(table().CurrentUser), DeleteResult::Stopped);
        QCOMPARE(snapshot(host()), before);
        QCOMPARE(table().MaxUser, 2);
        QCOMPARE(messages().last(), kMsgDeleteNotStarted.arg(petName(1)));
    }

    // The interrupted deletion cannot rename: start-up ends before anything is stored.
    void recovery_cannotFinish_endsStartUp()
    {
        makePets(3, 0);
        const QString trash = host() + QStringLiteral("/.kennel-deleted");
        QVERIFY(session().journal().write(journal::Delete{0, 2, petName(0), trash}));
        const auto before = snapshot(host());
        fault::setHandler([](const char* what, const QString&) {
            return qstrcmp(what, "rename") == 0 ? fault::Action::Fail : fault::Action::Proceed;
        });
        tc = std::make_unique<TestContext>(host());
        QuietStartupWindow window;
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, StartupCheck(session(), window));
        QCOMPARE(tc->messages.texts().last(), kMsgRecoveryFailed);
        QCOMPARE(snapshot(host()), before);
    }

    // A deletion's trash that no journal names any more goes whole.
    void recovery_leftoverTrashGoes()
    {
        makePets(3, 0);
        hostfolder::write(host(), QStringLiteral(".kennel-deleted-2/受信フォルダ/sub/old.mwm"), "old");
        QVERIFY(session().recoverInterruptedWork());
        QVERIFY(!hostfolder::exists(host() + QStringLiteral("/.kennel-deleted-2")));
    }

    // A journal that names no operation, folders not Kennel's own, or pets Kennel.ini does
    // not list changes nothing.
    void recovery_junkJournalChangesNothing()
    {
        // No operation, a trash outside, renames outside, an unlisted pet, a negative pet.
        for (const QByteArray junk : {"garbage", "op=delete\npet=0\nmax=2\ntrash=/etc\n",
                                      "op=upgrade\nfrom0=/etc\nto0=/tmp/x\n", "op=switch\npet=7\nname=x\n",
                                      "op=restore\npet=-3\n"}) {
            init();
            makePets(3, 0);
            hostfolder::write(host(), QStringLiteral("Kennel.journal"), junk);
            const auto start = snapshot(host());
            QVERIFY(session().recoverInterruptedWork());
            auto now = snapshot(host());
            now.insert(QStringLiteral("Kennel.journal"), junk);
            QCOMPARE(now, start);
        }
    }
};

QTEST_GUILESS_MAIN(TestDeletePet)
#include "test_deletepet.moc"
