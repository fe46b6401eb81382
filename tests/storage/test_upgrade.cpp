// Upgrade of version 1.0 mailboxes on real temporary folders: recognition, renames, removal of unused mailboxes, and
// that a failure leaves everything as it was.
#include "registry/Texts.h"
#include "storage/Upgrade.h"
#include "tests/support/HostTest.h"

#include <QtTest>

class TestUpgrade : public HostTest {
    Q_OBJECT

    // Names for three pets with one owner.
    const UpgradeNames names{{"ポチ", "タマ", "ミケ"}, {"飼い主", "飼い主", "飼い主"}};

private slots:
    void init()
    {
        newHost();
        hostfolder::makeHost(host(), QStringLiteral("live"));
        hostfolder::write(host(), QStringLiteral("Kennel.ini"), "[Kennel]\r\nLastUser = 0\r\n");
    }

    void convert()
    {
        // The mailboxes 1..3 (with settings; negative: a folder without), the last used one, and
        // the mailbox each new pet folder comes from (0: an empty folder): mailbox 3 without
        // mailbox 2 becomes pet 2; the last used mailbox without a settings file is kept; the
        // last used mailbox without a folder gets an empty one.
        for (const auto& [mailboxes, lastUser, petFrom] : {std::tuple(QList<int>{1, -2, 3}, 2, QList<int>{1, 3}),
                                                          std::tuple(QList<int>{1, -2, -3}, 1, QList<int>{1, 2}),
                                                          std::tuple(QList<int>{1}, 1, QList<int>{1, 0})}) {
            init();
            for (int m : mailboxes)
                makeMailbox(std::abs(m), m > 0);
            QMap<int, QMap<QString, QByteArray>> before; // 0: an empty pet folder
            for (int n = 1; n <= 3; ++n)
                before[n] = hostfolder::snapshot(oldFolder(n));
            for (const QString& item : items::kFolderOrder)
                before[0].insert(item + QLatin1Char('/'), {});

            const MailboxPlan plan = scanMailboxes(session().layout(), lastUser);
            QVERIFY(session().convertMailboxes(plan, names, none()));

            for (int i = 0; i < petFrom.size(); ++i)
                QCOMPARE(hostfolder::snapshot(pet(i + 1)), before[petFrom[i]]);
            QVERIFY(!hostfolder::exists(pet(petFrom.size() + 1)));
            for (int n = 1; n <= 3; ++n)
                QVERIFY2(!hostfolder::exists(oldFolder(n)), qPrintable(oldFolder(n)));

            const RegistryContent reg = registry();
            QCOMPARE(reg.kind, RegistryContent::Kind::Version2);
            QCOMPARE(reg.table.MaxUser, petFrom.size() - 1);
            QCOMPARE(reg.table.CurrentUser, 1); // the last used mailbox's pet
            QCOMPARE(reg.table.Pet[0], QStringLiteral("ポチ"));
            if (petFrom.size() > 1)
                QCOMPARE(reg.table.Pet[1], petFrom[1] == 3 ? QStringLiteral("ミケ") : QStringLiteral("タマ"));
            QVERIFY(tc->messages.shown.isEmpty());
        }
    }

    // A missing name and the reserved name are both told, in order, and no duplicate is looked
    // for. The dialog that shows them, and the other refusals, are in the end-to-end upgrade.
    void names_emptyAndReservedBothTold()
    {
        MailboxPlan plan;
        plan.inUse = {true, true, true};
        const UpgradeNames typed{{QStringLiteral("ポチ"), texts::kNewPetEntry, QStringLiteral("ポチ")},
                                 {QString(), QStringLiteral("花子"), QStringLiteral("花子")}};
        QVERIFY(!checkUpgradeNames(*ctx().messages, plan, typed));
        QCOMPARE(messages(), (QStringList{texts::kMsgEnterNames, texts::kMsgReservedName}));
    }

    void failure_leavesEverythingAsItWas()
    {
        // Pet folder 2 exists already; the third rename fails: the first two undone; Kennel.ini
        // cannot be written: the renames undone.
        for (const QString fault : {"exists", "rename", "registry"}) {
            init();
            QStringList told{kMsgRegistryWriteFailed, kMsgUpgradeNotWritten};
            for (int n = 1; n <= 3; ++n)
                makeMailbox(n);
            FolderRename rename = renameFolderNoReplace;
            int calls = 0;
            if (fault == QLatin1String("exists")) {
                QVERIFY(QDir().mkpath(pet(2)));
                told = {kMsgUpgradeFolderExists.arg(pet(2))};
            }
            if (fault == QLatin1String("rename")) {
                rename = [&](auto& from, auto& to) { return ++calls != 3 && renameFolderNoReplace(from, to); };
                told = {kMsgUpgradeRenameFailed.arg(oldFolder(3), pet(3))};
            }
            // A folder in place of Kennel.ini: the new file cannot take its name.
            if (fault == QLatin1String("registry"))
                QVERIFY(QFile::remove(ini()) && QDir().mkpath(ini()));
            const auto before = hostfolder::snapshot(host());
            table().CurrentUser = 0;

            QVERIFY(!session().convertMailboxes(scanMailboxes(session().layout(), 0), names, none(), rename));

            QCOMPARE(messages(), told);
            QCOMPARE(hostfolder::snapshot(host()), before);
            QVERIFY(table().MaxUser == -1 && table().CurrentUser == 0 && table().Pet[0].isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestUpgrade)
#include "test_upgrade.moc"
