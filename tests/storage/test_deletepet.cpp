// Deleting a pet: the later pets move down one number with their folders, Kennel.ini and the
// selector follow, and a copy that fails part-way stops without costing any other pet data.
#include "app/Registry.h"
#include "storage/DeletePet.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"

#include <QTemporaryDir>
#include <QtTest>

using hostfolder::read;
using hostfolder::snapshot;

class TestDeletePet : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TestContext> tc;

    QString host() const { return dir->path(); }
    QString pet(int n) const { return host() + QStringLiteral("/ユーザー") + QString::number(n); }
    Context& ctx() { return tc->ctx; }
    PetTable& table() { return tc->ctx.table; }
    static QString name(int i) { return QStringLiteral("ペット%1").arg(i); }
    static QString owner(int i) { return QStringLiteral("飼い主%1").arg(i); }

    // count pets "ペット0"..., each folder holding data tagged with the pet's name; the pet
    // at index current is current and its data is in the host's places.
    void makePets(int count, int current, bool small = false)
    {
        for (int i = 0; i < count; ++i) {
            const QByteArray tag = name(i).toUtf8();
            for (const QString& item : items::kFolderOrder)
                QDir().mkpath(pet(i + 1) + QLatin1Char('/') + item);
            hostfolder::write(pet(i + 1), QStringLiteral("Mewmail設定.mwc"), "settings " + tag);
            hostfolder::write(pet(i + 1), QStringLiteral("おやつ/cake.pac"), "snack " + tag);
            if (!small) {
                hostfolder::write(pet(i + 1), QStringLiteral("おともだち帳"), "friends " + tag);
                hostfolder::write(pet(i + 1), QStringLiteral("受信フォルダ/in.mwm"), "in " + tag);
                hostfolder::write(pet(i + 1), QStringLiteral("添付書類ﾌｫﾙﾀﾞ/att.bin"), "att " + tag);
            }
            table().Pet[i] = name(i);
            table().Master[i] = owner(i);
            tc->view.selector << name(i);
        }
        table().MaxUser = count - 1;
        table().CurrentUser = current;
        tc->view.current = name(current);
        hostfolder::makeHost(host(), name(current));
        QVERIFY(WriteRegistry(ctx()));
    }

    // The data of pet `original` (its tag) is what the folder numbered n holds.
    void verifyFolderHolds(int n, int original)
    {
        const QByteArray tag = name(original).toUtf8();
        const auto files = snapshot(pet(n));
        QCOMPARE(files.value(QStringLiteral("Mewmail設定.mwc")), "settings " + tag);
        QCOMPARE(files.value(QStringLiteral("おやつ/cake.pac")), "snack " + tag);
    }

    RegistryContent registry() const { return parseRegistry(read(host() + QStringLiteral("/Kennel.ini"))); }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        tc = std::make_unique<TestContext>(host());
        ctx().RegistryLoaded = true;
    }

    void deletesAndRenumbers_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("deleted");
        QTest::newRow("middle of four") << 4 << 1;
        QTest::newRow("first of four") << 4 << 0;
        QTest::newRow("last of several") << 3 << 2;
        QTest::newRow("the only pet") << 1 << 0;
    }

    void deletesAndRenumbers()
    {
        QFETCH(int, count);
        QFETCH(int, deleted);
        makePets(count, deleted);
        const auto places = snapshot(host());

        QCOMPARE(DeletePet(ctx()), DeleteResult::Deleted);

        QCOMPARE(tc->messages.shown.size(), 1);
        const auto& asked = tc->messages.shown.first();
        QCOMPARE(asked.caption, QStringLiteral("Kennel 2001 - 削除の確認"));
        QCOMPARE(asked.text, QStringLiteral("ペット : %1 を削除します。共有していないすべての情報が消去されますが、よろしいですか？")
                                 .arg(name(deleted)));
        QCOMPARE(asked.icon, MsgIcon::Exclamation);
        QCOMPARE(asked.buttons, MsgButtons::OkCancel);

        QStringList remaining;
        for (int i = 0; i < count; ++i)
            if (i != deleted)
                remaining << name(i);
        for (int k = 0; k < remaining.size(); ++k) {
            QCOMPARE(table().Pet[k], remaining[k]);
            verifyFolderHolds(k + 1, remaining[k].mid(3).toInt());
        }
        QVERIFY(!hostfolder::exists(pet(count)));
        QCOMPARE(table().MaxUser, count - 2);
        QCOMPARE(table().CurrentUser, -1);

        const RegistryContent file = registry();
        QCOMPARE(file.table.MaxUser, count - 2);
        QCOMPARE(file.table.CurrentUser, -1);
        for (int k = 0; k < remaining.size(); ++k)
            QCOMPARE(file.table.Pet[k], remaining[k]);
        if (count == 1)
            QVERIFY(!read(host() + QStringLiteral("/Kennel.ini")).contains("Pet"));

        QCOMPARE(tc->view.selector, QStringList{texts::kNewPetEntry} + remaining);
        QCOMPARE(tc->view.current, texts::kNewPetEntry);
        QVERIFY(tc->view.owner.isEmpty());
        QVERIFY(!tc->view.deleteEnabled);
        QCOMPARE(tc->view.busyOffCount, 1);
        QCOMPARE(ctx().GaugePos, 100);
        // The host's places still hold the deleted pet's data.
        auto placesAfter = snapshot(host());
        placesAfter.remove(QStringLiteral("Kennel.ini"));
        for (auto it = placesAfter.cbegin(); it != placesAfter.cend(); ++it)
            if (!it.key().startsWith(QStringLiteral("ユーザー")))
                QCOMPARE(it.value(), places.value(it.key()));
    }

    void firstOfHundredMovesEveryLaterPet()
    {
        makePets(100, 0, true);
        QCOMPARE(DeletePet(ctx()), DeleteResult::Deleted);
        for (int n = 1; n <= 99; ++n) {
            QCOMPARE(table().Pet[n - 1], name(n));
            verifyFolderHolds(n, n);
        }
        QVERIFY(!hostfolder::exists(pet(100)));
        QCOMPARE(registry().table.MaxUser, 98);
        QCOMPARE(tc->messages.shown.size(), 1);
    }

    void refusedOrNothingSelectedChangesNothing_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("messages");
        QTest::newRow("cancelled") << 1 << 1;
        QTest::newRow("new-pet entry selected") << -1 << 0;
    }

    void refusedOrNothingSelectedChangesNothing()
    {
        QFETCH(int, current);
        QFETCH(int, messages);
        makePets(3, 1);
        table().CurrentUser = current;
        tc->messages.answer(MsgAnswer::Cancel);
        const auto before = snapshot(host());
        const DeleteResult result = DeletePet(ctx());
        QCOMPARE(result, current < 0 ? DeleteResult::NoPet : DeleteResult::Cancelled);
        QCOMPARE(snapshot(host()), before);
        QCOMPARE(table().MaxUser, 2);
        QCOMPARE(tc->messages.shown.size(), messages);
        QCOMPARE(tc->view.busyOnCount, 0);
    }

    void rootFilesBesideThePetDataAreNotCarried()
    {
        makePets(3, 0);
        hostfolder::write(pet(2), QStringLiteral("memo.txt"), "the user's note");
        hostfolder::write(pet(1), QStringLiteral("old.txt"), "left in the target");
        QCOMPARE(DeletePet(ctx()), DeleteResult::Deleted);
        QVERIFY(!hostfolder::exists(pet(1) + QStringLiteral("/memo.txt")));
        QVERIFY(!hostfolder::exists(pet(1) + QStringLiteral("/old.txt")));
        verifyFolderHolds(1, 1);
    }

    void failedCopyStopsWithEveryPetIntact()
    {
        makePets(4, 0);
        // Moving pet 2 into folder 2 cannot finish: a folder there has the name of its file.
        hostfolder::write(pet(3), QStringLiteral("おやつ/extra.pac"), "extra ペット2");
        QDir().mkpath(pet(2) + QStringLiteral("/おやつ/extra.pac"));

        QCOMPARE(DeletePet(ctx()), DeleteResult::Stopped);

        // Pet 1 moved; the deleted pet sits before the pets that did not move.
        QCOMPARE(table().MaxUser, 3);
        QCOMPARE(table().Pet[0], name(1));
        QCOMPARE(table().Pet[1], name(0));
        QCOMPARE(table().Pet[2], name(2));
        QCOMPARE(table().Pet[3], name(3));
        QCOMPARE(table().Master[1], owner(0));
        QCOMPARE(table().CurrentUser, 1);
        verifyFolderHolds(1, 1);
        verifyFolderHolds(3, 2);
        QCOMPARE(read(pet(3) + QStringLiteral("/おやつ/extra.pac")), QByteArray("extra ペット2"));
        verifyFolderHolds(4, 3);
        const RegistryContent file = registry();
        QCOMPARE(file.table.CurrentUser, 1);
        for (int i = 0; i <= 3; ++i)
            QCOMPARE(file.table.Pet[i], table().Pet[i]);
        QCOMPARE(tc->view.selector, (QStringList{texts::kNewPetEntry, name(1), name(0), name(2), name(3)}));
        QCOMPARE(tc->view.current, name(0));
        QCOMPARE(tc->messages.texts().last(), kMsgDeleteStopped.arg(name(0)));

        // Once the obstacle is gone, deleting again finishes the job.
        QDir(pet(2)).removeRecursively();
        QCOMPARE(DeletePet(ctx()), DeleteResult::Deleted);
        QCOMPARE(table().MaxUser, 2);
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(table().Pet[k], name(k + 1));
            verifyFolderHolds(k + 1, k + 1);
        }
        QVERIFY(!hostfolder::exists(pet(4)));
    }

    void laterPetWithoutFolderMovesWithoutOne()
    {
        makePets(3, 0);
        QDir(pet(3)).removeRecursively();
        QCOMPARE(DeletePet(ctx()), DeleteResult::Deleted);
        verifyFolderHolds(1, 1);
        QVERIFY(!hostfolder::exists(pet(2)));
        QVERIFY(!hostfolder::exists(pet(3)));
        QCOMPARE(table().Pet[1], name(2));
        QCOMPARE(tc->messages.shown.size(), 1);  // the question only: no failed copies
    }

    void unwritableRegistryDeletesNothing()
    {
        makePets(3, 1);
        table().Pet[2] = QStringLiteral("ペット\n2");  // Kennel.ini cannot hold this name
        const auto before = snapshot(host());
        QCOMPARE(DeletePet(ctx()), DeleteResult::Stopped);
        QCOMPARE(snapshot(host()), before);
        QCOMPARE(table().MaxUser, 2);
        QCOMPARE(table().CurrentUser, 1);
        QCOMPARE(tc->messages.texts().last(), kMsgDeleteNotStarted.arg(name(1)));
        QCOMPARE(tc->view.busyOffCount, 1);
    }
};

QTEST_GUILESS_MAIN(TestDeletePet)
#include "test_deletepet.moc"
