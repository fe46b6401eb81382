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

    QString folderOf(int i) const { return session().layout().PetFolder(i); }

    // A backup folder of a pet registered only for making it; the pet is dropped again.
    QString makeBackupFolder(bool withInfo = true)
    {
        const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("かいぬし"));
        BackupToFolder(session(), i, outside() + QLatin1Char('/'), none(), kDay);
        QDir(folderOf(i)).removeRecursively();
        table() = PetTable();
        const QString folder = outside() + QStringLiteral("/ポチ991031/");
        if (!withInfo)
            QFile::remove(folder + QStringLiteral("BackUp.ini"));
        return folder;
    }

    static RestoreSource source(const QString& path, RestoreSource::Kind kind = RestoreSource::Kind::Folder)
    {
        RestoreSource s;
        s.kind = kind;
        (kind == RestoreSource::Kind::Folder ? s.folder : s.archive) = path;
        return s;
    }
    // Every item folder exists in the staging folder.
    static void verifyAllItemFolders(const QString& staging)
    {
        for (const QString& item : items::kFolderOrder)
            QVERIFY2(QFileInfo(staging + item).isDir(), qPrintable(item));
    }

private slots:
    void init()
    {
        newHost(QStringLiteral("/host"));
        QDir().mkpath(outside());
        hostfolder::write(host(), QStringLiteral("Mewmail20.exe"), "host");
    }

    void presenceRows_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QList<bool>>("rows");
        using L = QList<bool>;
        QTest::newRow("empty") << QStringList() << L{false, false, false, false, false, false};
        QTest::newRow("every kind") << QStringList{"Mewmail設定.mwc", "おともだち帳", "おやつ/a.pac", "おもちゃ/b.pty",
                                                   "受信フォルダ/c.mwm", "宝物/d.pac"}
                                    << L{true, true, true, true, true, true};
        QTest::newRow("outbox alone fills the drawers") << QStringList{"送信フォルダ/c.mwm"} << L{false, false, false, false, true, false};
        QTest::newRow("attachments alone fill the drawers") << QStringList{"添付書類ﾌｫﾙﾀﾞ/photo"} << L{false, false, false, false, true, false};
        QTest::newRow("extensions without regard to case") << QStringList{"おやつ/A.PAC", "おもちゃ/B.Pty"}
                                                           << L{false, false, true, true, false, false};
        QTest::newRow("other extensions do not count") << QStringList{"おやつ/a.txt", "宝物/d.pty", "受信フォルダ/x.bak"}
                                                       << L{false, false, false, false, false, false};
        QTest::newRow("folders and hidden files do not count")
            << QStringList{"おやつ/sub.pac/x", "おもちゃ/.hidden.pty", "Mewmail設定.mwc/x"} << L{false, false, false, false, false, false};
    }

    void presenceRows()
    {
        QFETCH(QStringList, files);
        QFETCH(QList<bool>, rows);
        const QString f = outside() + QStringLiteral("/f");
        QDir().mkpath(f);
        for (const QString& file : files)
            hostfolder::write(f, file, "x");
        const auto got = ::presenceRows(f + QLatin1Char('/'));
        for (int i = 0; i < kPresenceRows; ++i)
            QVERIFY2(got[i] == rows[i], qPrintable(QStringLiteral("row %1").arg(i)));
    }

    void folder_noPetRegistered_landsInFolderOneAndLeavesCurrentUser()
    {
        const QString backup = makeBackupFolder();
        const auto expected = hostfolder::snapshot(backup);
        RestoreSession s(session(), library(), source(backup));
        QVERIFY(s.open());
        QVERIFY(s.registerPet(QStringLiteral("ポチ"), QStringLiteral("かいぬし")));
        s.close();
        QVERIFY(!hostfolder::exists(s.stagingFolder()) && !hostfolder::exists(session().journal().path()));
        QCOMPARE(table().CurrentUser, -1);
        QVERIFY(s.registered());
        QCOMPARE(hostfolder::snapshot(folderOf(0)), expected); // copied whole, information file too, kept after close
    }

    void folder_plainCopyWithoutInfo_getsAllItemFolders()
    {
        const QString backup = outside() + QStringLiteral("/plain/");
        hostfolder::write(backup, items::kSettings, "s");
        hostfolder::write(backup, QStringLiteral("extra/sub/file"), "e");
        RestoreSession s(session(), library(), source(backup));
        QVERIFY(s.open());
        verifyAllItemFolders(s.stagingFolder());
        QCOMPARE(hostfolder::read(s.stagingFolder() + QStringLiteral("extra/sub/file")), "e");
    }

    // A stale staging folder is cleared first and a cancel removes it whole; a folder left
    // at the new pet's number is replaced only by a registration.
    void staleFolders_clearedOrReplaced()
    {
        const QString backup = makeBackupFolder();
        addPet(QStringLiteral("タマ"), QStringLiteral("x"));
        const QString staging = RestoreStagingFolder(session());
        hostfolder::write(staging, QStringLiteral("stale/sub.txt"), "old");
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
        QCOMPARE(hostfolder::dataOf(folderOf(1)), hostfolder::dataOf(backup));
        QVERIFY(hostfolder::exists(folderOf(0))); // the registered pet's folder is untouched
    }

    void refusedNames_data()
    {
        QTest::addColumn<QString>("pet");
        QTest::addColumn<QString>("master");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("shared"); // a kind is shared: a caution, cancelled here, accepted on the retry
        QTest::newRow("caution about shared kinds cancelled") << "p" << "o" << QStringList{kMsgSharedNotRestored} << true;
        QTest::newRow("empty pet") << "" << "o" << QStringList{texts::kMsgEnterNames} << false;
        // The name rules are the registration's (tests/ui/test_newform.cpp); a key of BackUp.ini too.
        QTest::newRow("owner holding a backup key") << "p" << "Pet = y" << QStringList{texts::kMsgUnstorableName} << false;
    }

    void refusedNames()
    {
        QFETCH(QString, pet);
        QFETCH(QString, master);
        QFETCH(QStringList, messages);
        QFETCH(bool, shared);
        const QString backup = makeBackupFolder();
        addPet(QStringLiteral("Tama"), QStringLiteral("x"));
        table().Toys = shared;
        if (shared)
            tc->messages.answer(MsgAnswer::Cancel);
        const PetTable before = table();
        RestoreSession s(session(), library(), source(backup));
        QVERIFY(s.open());
        QVERIFY(!s.registerPet(pet, master));
        QCOMPARE(tc->messages.texts(), messages);
        QCOMPARE(table().MaxUser, before.MaxUser);
        QVERIFY(!s.registered());
        QVERIFY(hostfolder::exists(s.stagingFolder() + items::kSettings));  // data stays for another try
        // The dialog stays usable; a name differing only in letter case is another name.
        QVERIFY(s.registerPet(QStringLiteral("TAMA"), QStringLiteral("o")));
    }

    void sourceInsideStagingFolder_isRefusedUntouched()
    {
        const QString staging = RestoreStagingFolder(session());
        hostfolder::write(staging, QStringLiteral("inner/Mewmail設定.mwc"), "s");
        RestoreSession s(session(), library(), source(staging + QStringLiteral("inner/")));
        QVERIFY(!s.open());
        QCOMPARE(tc->messages.texts(), QStringList{kMsgSourceInStaging});
        QCOMPARE(hostfolder::read(staging + QStringLiteral("inner/Mewmail設定.mwc")), "s");
    }

    void registryNotWritten_leavesTableAndStagingAsBefore()
    {
        const QString backup = makeBackupFolder();
        QDir().mkpath(session().layout().registryFile() + QStringLiteral("/blocker"));  // a folder in its place
        RestoreSession s(session(), library(), source(backup));
        QVERIFY(s.open());
        QVERIFY(!s.registerPet(QStringLiteral("ポチ"), QStringLiteral("o")));
        QCOMPARE(table().MaxUser, -1);
        QVERIFY(!s.registered());
        s.close();
        QVERIFY(!hostfolder::exists(folderOf(0)));
    }

    // A copy that fails while staging (a full disk) shows what arrived but registers nothing.
    void folder_failedCopy_refusesToRegister()
    {
        const QString backup = makeBackupFolder();
        fault::setHandler([](const char* what, const QString& path) {
            return qstrcmp(what, "copy") == 0 && path.endsWith(QStringLiteral(".pac")) ? fault::Action::Fail
                                                                                       : fault::Action::Proceed;
        });
        RestoreSession s(session(), library(), source(backup));
        const bool opened = s.open();
        fault::setHandler(nullptr);
        QVERIFY(opened);
        QVERIFY(hostfolder::exists(s.stagingFolder() + items::kSettings));
        QVERIFY(!s.registerPet(QStringLiteral("ポチ"), QStringLiteral("o")));
        QCOMPARE(tc->messages.texts(), (QStringList{texts::kMsgFileError, kMsgRestoreIncomplete}));
        QCOMPARE(table().MaxUser, -1);
        s.close();
        QVERIFY(!hostfolder::exists(s.stagingFolder()) && !hostfolder::exists(folderOf(0)));
    }

    void archive_brokenArchive_showsExtractFailureAndStagesEmptyFolders()
    {
        if (!loadLibrary())
            QSKIP("libunlha32.so is not built in KENNEL_BIN_DIR yet");
        hostfolder::write(outside(), QStringLiteral("bad.lzh"), "not an archive");
        RestoreSession s(session(), library(), source(outside() + QStringLiteral("/bad.lzh"), RestoreSource::Kind::Archive));
        QVERIFY(s.open());
        QCOMPARE(tc->messages.texts(), QStringList{kMsgExtractFailed});
        const auto rows = ::presenceRows(s.stagingFolder());
        QVERIFY(std::none_of(rows.begin(), rows.end(), [](bool b) { return b; }));
        verifyAllItemFolders(s.stagingFolder());
        QVERIFY(!s.registerPet(QStringLiteral("ポチ"), QStringLiteral("o")));
    }
};

QTEST_GUILESS_MAIN(TestRestore)
#include "test_restore.moc"
