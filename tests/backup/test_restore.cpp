// Restoring a backup as a new pet: staging, presence rows, registration rules, clean-up.
#include "shell/FaultPoint.h"
#include "backup/Backup.h"
#include "backup/Restore.h"
#include "storage/Session.h"
#include "registry/Texts.h"
#include "tests/support/HostTest.h"

#include <QtTest>

namespace {
const QDate kDay(1999, 10, 31);
}

class TestRestore : public HostTest {
    Q_OBJECT

    // A backup folder of a pet registered only for making it; the pet is dropped again.
    QString makeBackupFolder()
    {
        const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("かいぬし"));
        BackupToFolder(session(), i, outside() + QLatin1Char('/'), none(), kDay);
        QDir(folderOf(i)).removeRecursively();
        table() = PetTable();
        return outside() + QStringLiteral("/ポチ991031/");
    }

    static RestoreSource source(const QString& folder) { return {RestoreSource::Kind::Folder, {}, folder, {}, {}}; }

private slots:
    void init() { newHostBeside(); }
    void cleanup() { fault::setHandler(nullptr); }

    void presenceRows()
    {
        // Files of a folder, and the rows they fill: settings, friends book, snacks, toys, mail
        // drawers, treasures.
        const std::pair<QStringList, QString> cases[] = {
            {{"Mewmail設定.mwc", "おともだち帳", "おやつ/a.pac", "おもちゃ/b.pty", "受信フォルダ/c.mwm", "宝物/d.pac"}, "111111"},
            {{"送信フォルダ/c.mwm"}, "000010"},             // the outbox alone fills the mail drawers
            {{"おやつ/A.PAC", "おもちゃ/B.Pty"}, "001100"}, // extensions without regard to case
            {{"おやつ/a.txt", "宝物/d.pty", "受信フォルダ/x.bak"}, "000000"}, // other extensions do not count
            {{"おやつ/sub.pac/x", "おもちゃ/.hidden.pty", "Mewmail設定.mwc/x"}, "000000"}}; // nor folders, hidden files
        for (const auto& [files, rows] : cases) {
            init();
            const QString f = outside() + QStringLiteral("/f/");
            QDir().mkpath(f);
            for (const QString& file : files)
                hostfolder::write(f, file, "x");
            QString got;
            for (bool row : ::presenceRows(f))
                got += row ? u'1' : u'0';
            QCOMPARE(got, rows);
        }
    }

    // A source inside the staging folder is refused untouched. A stale staging folder is cleared
    // first and a cancel removes it whole; a folder left at the new pet's number is replaced only
    // by a registration.
    void staleFolders_clearedOrReplaced()
    {
        const QString backup = makeBackupFolder();
        addPet(QStringLiteral("タマ"), QStringLiteral("x"));
        const QString staging = RestoreStagingFolder(session());
        hostfolder::write(staging, QStringLiteral("stale/Mewmail設定.mwc"), "old");
        QVERIFY(!RestoreSession(session(), library(), source(staging + QStringLiteral("stale/"))).open());
        QCOMPARE(messages(), QStringList{kMsgSourceInStaging});
        QCOMPARE(hostfolder::read(staging + QStringLiteral("stale/Mewmail設定.mwc")), "old");
        hostfolder::write(folderOf(1), QStringLiteral("stale.txt"), "old");
        hostfolder::write(folderOf(1), items::kSnacks + QStringLiteral("/stale.pac"), "old");
        {
            RestoreSession s(session(), library(), source(backup));
            QVERIFY(s.open());
            QCOMPARE(hostfolder::dataOf(staging), hostfolder::dataOf(backup));
        }
        QVERIFY(!hostfolder::exists(staging));
        QVERIFY(hostfolder::exists(folderOf(1) + QStringLiteral("/stale.txt")));
        RestoreSession s(session(), library(), source(backup));
        QVERIFY(s.open() && s.registerPet(QStringLiteral("ポチ"), QStringLiteral("o")));
        s.close();
        QCOMPARE(hostfolder::dataOf(folderOf(1)), hostfolder::dataOf(backup));
        QVERIFY(hostfolder::exists(folderOf(0))); // the registered pet's folder is untouched
        QVERIFY(!hostfolder::exists(staging) && !hostfolder::exists(session().journal().path()));
        QCOMPARE(table().CurrentUser, -1);
    }

    // A kind shared: a caution, cancelled here, accepted on the retry. Not shared: an owner
    // holding a key of BackUp.ini (the other name rules are the registration's,
    // tests/ui/test_newform.cpp).
    void refusedNames()
    {
        for (bool shared : {true, false}) {
            init();
            const QString backup = makeBackupFolder();
            addPet(QStringLiteral("Tama"), QStringLiteral("x"));
            table().Toys = shared;
            if (shared)
                tc->messages.answer(MsgAnswer::Cancel);
            const PetTable before = table();
            RestoreSession s(session(), library(), source(backup));
            QVERIFY(s.open());
            QVERIFY(!s.registerPet(QStringLiteral("p"), shared ? QStringLiteral("o") : QStringLiteral("Pet = y")));
            QCOMPARE(tc->messages.texts(), QStringList{shared ? kMsgSharedNotRestored : texts::kMsgUnstorableName});
            QCOMPARE(table().MaxUser, before.MaxUser);
            QVERIFY(!s.registered());
            QVERIFY(hostfolder::exists(s.stagingFolder() + items::kSettings)); // data stays for another try
            // The dialog stays usable; a name differing only in letter case is another name.
            QVERIFY(s.registerPet(QStringLiteral("TAMA"), QStringLiteral("o")));
        }
    }

    // Kennel.ini that cannot be written, then a copy that fails while staging (a full disk): what
    // arrived is shown, nothing is registered, closing leaves no folder behind.
    void failures_registerNothing()
    {
        for (bool copyFails : {false, true}) {
            init();
            const QString backup = makeBackupFolder();
            if (copyFails)
                fault::setHandler([](const char* what, const QString& path) {
                    const bool hit = qstrcmp(what, "copy") == 0 && path.endsWith(QStringLiteral(".pac"));
                    return hit ? fault::Action::Fail : fault::Action::Proceed;
                });
            else
                QDir().mkpath(session().layout().registryFile() + QStringLiteral("/blocker")); // a folder in its place
            RestoreSession s(session(), library(), source(backup));
            QVERIFY(s.open());
            fault::setHandler(nullptr);
            QVERIFY(hostfolder::exists(s.stagingFolder() + items::kSettings));
            QVERIFY(!s.registerPet(QStringLiteral("ポチ"), QStringLiteral("o")));
            QCOMPARE(messages(), (copyFails ? QStringList{texts::kMsgFileError, kMsgRestoreIncomplete}
                                            : QStringList{kMsgRegistryWriteFailed}));
            QCOMPARE(table().MaxUser, -1);
            s.close();
            QVERIFY(!hostfolder::exists(s.stagingFolder()) && !hostfolder::exists(folderOf(0)));
        }
    }

    void archive_brokenArchive_showsExtractFailureAndStagesEmptyFolders()
    {
        REQUIRE_LIBRARY();
        hostfolder::write(outside(), QStringLiteral("bad.lzh"), "not an archive");
        const RestoreSource bad{RestoreSource::Kind::Archive, outside() + "/bad.lzh", {}, {}, {}};
        RestoreSession s(session(), library(), bad);
        QVERIFY(s.open());
        QCOMPARE(messages(), QStringList{kMsgExtractFailed});
        const auto rows = ::presenceRows(s.stagingFolder());
        QVERIFY(std::none_of(rows.begin(), rows.end(), [](bool b) { return b; }));
        for (const QString& item : items::kFolderOrder) // every item folder is there
            QVERIFY2(QFileInfo(s.stagingFolder() + item).isDir(), qPrintable(item));
        QVERIFY(!s.registerPet(QStringLiteral("ポチ"), QStringLiteral("o")));
    }
};

QTEST_GUILESS_MAIN(TestRestore)
#include "test_restore.moc"
