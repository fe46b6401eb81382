// Start-up decisions on real host folders.
#include "app/Registry.h"
#include "app/Startup.h"
#include "tests/support/HostTest.h"

#include <QtTest>

namespace {

class ScriptedDialogs : public StartupDialogs {
public:
    void showConfigForm() override { calls << QStringLiteral("config"); }
    bool showNewForm() override
    {
        calls << QStringLiteral("new");
        return registerOnNew;
    }
    void showInitializeForm() override { calls << QStringLiteral("initialize"); }
    void showConvertForm() override { calls << QStringLiteral("convert"); }
    void launchHost() override { calls << QStringLiteral("launch"); }
    QStringList calls;
    bool registerOnNew = false;
};

class FakeWindows : public WindowPort {
public:
    bool windowExists(const QString& title) override { return titles.contains(title); }
    bool activateWindow(const QString& title) override { return titles.contains(title); }
    bool sendAltFThenM() override { return true; }
    QStringList titles;
};

void writeRegistry(const QString& folder, const PetTable& t)
{
    hostfolder::write(folder, QStringLiteral("Kennel.ini"), formatRegistry(t).value());
}

}  // namespace

class TestStartup : public HostTest {
    Q_OBJECT

    ScriptedDialogs dialogs;

private slots:
    void init()
    {
        newHost();
        dialogs = ScriptedDialogs{};
        tc->ctx.dialogs = &dialogs;
    }

    void refusesSecondCopyAndRunningHost()
    {
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, StartupRefusals(tc->ctx, false));
        FakeWindows windows;
        windows.titles << texts::kHostTitle;
        tc->ctx.windows = &windows;
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, StartupRefusals(tc->ctx, true));
        QCOMPARE(tc->messages.shown.size(), 2);

        windows.titles = {QStringLiteral("Mewmail for Windows ver. 2.0 ")}; // not the exact title
        StartupRefusals(tc->ctx, true);
        QCOMPARE(tc->messages.shown.size(), 2);
    }

    void wrongFolderEndsWithoutTouchingFiles()
    {
        hostfolder::write(host(), QStringLiteral("おやつ/a.pac"), "x");
        const auto before = hostfolder::snapshot(host());
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, StartupCheck(tc->ctx));
        QCOMPARE(tc->messages.texts(), QStringList{QStringLiteral("フォルダが違います。")});
        QCOMPARE(hostfolder::snapshot(host()), before);
    }

    void normalStartStoresCurrentPet()
    {
        hostfolder::makeHost(host(), QStringLiteral("live"));
        PetTable t;
        t.MaxUser = 2;
        t.CurrentUser = 1;
        for (int i = 0; i <= 2; ++i) {
            t.Pet[i] = QStringLiteral("p%1").arg(i);
            t.Master[i] = QStringLiteral("m%1").arg(i);
        }
        writeRegistry(host(), t);
        hostfolder::write(host(), QStringLiteral("ユーザー2/おやつ/stale.pac"), "old");
        hostfolder::write(host(), QStringLiteral("ユーザー1/おやつ/keep.pac"), "other pet");

        StartupCheck(tc->ctx);

        QVERIFY(tc->ctx.RegistryLoaded);
        QCOMPARE(tc->ctx.GaugePos, 100);
        QCOMPARE(tc->view.busyOffCount, 1);
        QCOMPARE(tc->view.current, QStringLiteral("p1"));
        const QString pet2 = host() + QStringLiteral("/ユーザー2");
        QCOMPARE(hostfolder::read(pet2 + QStringLiteral("/おやつ/cake.pac")), QByteArray("snack live"));
        QCOMPARE(hostfolder::read(pet2 + QStringLiteral("/Mewmail設定.mwc")), QByteArray("settings live"));
        QVERIFY(!hostfolder::exists(pet2 + QStringLiteral("/おやつ/stale.pac")));
        QCOMPARE(hostfolder::read(host() + QStringLiteral("/ユーザー1/おやつ/keep.pac")), QByteArray("other pet"));
        QVERIFY(dialogs.calls.isEmpty());
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void brokenRegistryEndsAndChangesNothing()
    {
        hostfolder::makeHost(host(), QStringLiteral("live"));
        hostfolder::write(host(), QStringLiteral("Kennel.ini"),
                          "Version = 2.0\r\nCurrentUser = 0\r\nMaxUser = 0\r\nMaster 0 = m\r\nPet 0 = p\r\n");
        const auto before = hostfolder::snapshot(host());
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, StartupCheck(tc->ctx));
        QCOMPARE(tc->messages.texts(), QStringList{kMsgRegistryError});
        QCOMPARE(hostfolder::snapshot(host()), before);
    }

    void firstRunWithHostPet()
    {
        hostfolder::makeHost(host(), QStringLiteral("live"));
        QDir(host() + QStringLiteral("/添付書類ﾌｫﾙﾀﾞ")).removeRecursively();
        StartupCheck(tc->ctx);
        QCOMPARE(dialogs.calls, (QStringList{QStringLiteral("config"), QStringLiteral("initialize")}));
        QVERIFY(!tc->ctx.RegistryLoaded);
        const QString pet1 = host() + QStringLiteral("/ユーザー1");
        QCOMPARE(hostfolder::read(pet1 + QStringLiteral("/おともだち帳")), QByteArray("friends live"));
        QCOMPARE(hostfolder::read(pet1 + QStringLiteral("/宝物/gem.pac")), QByteArray("gem live"));
        QVERIFY(QFileInfo(pet1 + QStringLiteral("/添付書類ﾌｫﾙﾀﾞ")).isDir());
        QVERIFY(QDir(pet1 + QStringLiteral("/添付書類ﾌｫﾙﾀﾞ")).isEmpty());
        QCOMPARE(hostfolder::read(host() + QStringLiteral("/Default/Mewmail設定.mwc")), QByteArray("settings live"));
        QCOMPARE(tc->ctx.GaugePos, 100);
        // Only the missing attachments folder was skipped; nothing was reported.
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void firstRunWithoutHostPet_data()
    {
        QTest::addColumn<bool>("registers");
        QTest::newRow("cancelled") << false;
        QTest::newRow("registered") << true;
    }

    void firstRunWithoutHostPet()
    {
        QFETCH(bool, registers);
        hostfolder::makeHost(host(), QStringLiteral("live"), false);
        dialogs.registerOnNew = registers;
        StartupCheck(tc->ctx);
        QStringList expected{QStringLiteral("config"), QStringLiteral("new")};
        if (registers)
            expected << QStringLiteral("launch");
        QCOMPARE(dialogs.calls, expected);
        QVERIFY(!hostfolder::exists(host() + QStringLiteral("/ユーザー1")));
        if (!registers) {
            QCOMPARE(tc->ctx.table.CurrentUser, -1);
            QCOMPARE(tc->ctx.table.MaxUser, -1);
            QVERIFY(!hostfolder::exists(host() + QStringLiteral("/Kennel.ini")));
        }
        QCOMPARE(tc->view.busyOffCount, 1);
    }

    // A program folder at the root gives no doubled separators.
    void pathsAtTheRoot()
    {
        const HostLayout root(QStringLiteral("/"));
        QCOMPARE(root.PetFolder(9), QStringLiteral("/ユーザー10"));
        QCOMPARE(root.OldPetFolder(2), QStringLiteral("/ユーザー 2"));
        QCOMPARE(root.registryFile(), QStringLiteral("/Kennel.ini"));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
