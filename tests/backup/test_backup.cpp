// Backing a pet up into a folder or an archive: overwrites asked for, failures that keep what
// was there, the archive source check.
#include "backup/Backup.h"
#include "backup/UnlhaLibrary.h"
#include "backup/BackupInfo.h"
#include "backup/Restore.h"
#include "backup/RestoreSource.h"
#include "tests/support/HostTest.h"

#include <QtTest>

#include <sys/stat.h>

namespace {
const QDate kDay(1999, 10, 31);
}

class TestBackup : public HostTest {
    Q_OBJECT

    QString target() const { return outside() + QStringLiteral("/ポチ991031"); }
    QString lzh() const { return target() + QStringLiteral(".lzh"); }
    bool toFolder(int pet) { return BackupToFolder(session(), pet, outside() + QLatin1Char('/'), none(), kDay); }

private slots:
    void init() { newHostBeside(); }

    void baseName_staysInDestination()
    {
        QCOMPARE(backupBaseName(QStringLiteral("ポチ"), kDay), QStringLiteral("ポチ991031"));
        QCOMPARE(backupBaseName(QStringLiteral("../a/b"), QDate(2005, 3, 7)), QStringLiteral(".._a_b050307"));
    }

    // A pet without an attachments folder: the backup gets an empty one. A full pet backed up
    // both ways, byte for byte, is in the end-to-end backup journey.
    void folder_petWithoutAttachments_emptyFolderMade()
    {
        addPet(QStringLiteral("タマ"), QStringLiteral("a"));
        const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("かいぬし"), false);
        QVERIFY(toFolder(i));
        auto expected = hostfolder::dataOf(folderOf(i));
        expected.insert(items::kAttachments + QLatin1Char('/'), {});
        QCOMPARE(hostfolder::dataOf(target()), expected);
        QVERIFY(hostfolder::exists(folderOf(i) + QStringLiteral("/BackUp.ini"))); // stays in the pet's folder too
        QVERIFY(tc->messages.shown.isEmpty());
    }

    // An existing backup of the day: asked first; yes replaces it (a folder's sub-folders stay),
    // no leaves it untouched.
    void overwrite_data()
    {
        QTest::addColumn<bool>("archive");
        QTest::addColumn<bool>("agree");
        for (bool archive : {false, true})
            for (bool agree : {true, false})
                QTest::addRow("%s, %s", archive ? "archive" : "folder", agree ? "yes" : "no") << archive << agree;
    }

    void overwrite()
    {
        QFETCH(bool, archive);
        QFETCH(bool, agree);
        if (archive)
            REQUIRE_LIBRARY();
        const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("a"));
        hostfolder::write(outside(), QStringLiteral("ポチ991031.lzh"), "not an archive");
        hostfolder::write(target(), QStringLiteral("stale.txt"), "old");
        hostfolder::write(target(), items::kSnacks + QStringLiteral("/gone.pac"), "old");
        hostfolder::write(target(), items::kInbox + QStringLiteral("/keep/deep.mwm"), "kept");
        auto expected = hostfolder::snapshot(outside());
        tc->messages.answer(agree ? MsgAnswer::Yes : MsgAnswer::No);
        QCOMPARE(archive ? BackupToArchive(session(), library(), i, outside(), kDay) : toFolder(i), agree);
        QCOMPARE(messages(), QStringList{archive ? kMsgBackupArchiveExists : kMsgBackupFolderExists});
        if (!agree) {
            QCOMPARE(hostfolder::snapshot(outside()), expected);
        } else if (archive) { // a valid archive, no work file left beside it
            QVERIFY(CheckArchiveSource(*ctx().messages, library(), lzh()));
            QCOMPARE(QDir(outside()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("ポチ991031.lzh")});
        } else {
            expected = hostfolder::dataOf(folderOf(i));
            expected.insert(items::kInbox + QStringLiteral("/keep/"), {});
            expected.insert(items::kInbox + QStringLiteral("/keep/deep.mwm"), "kept");
            QCOMPARE(hostfolder::dataOf(target()), expected);
        }
    }

    void folder_petWithoutStoredFolder_isRefusedBeforeWriting()
    {
        table().MaxUser = 0;
        table().Pet[0] = QStringLiteral("ポチ");
        QVERIFY(!toFolder(0));
        QCOMPARE(messages(), QStringList{kMsgNoPetFolder});
        QVERIFY(!hostfolder::exists(target()));
    }

    void folder_failedCopy_isNotReportedAsComplete()
    {
        const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("a"));
        QDir(folderOf(i) + QLatin1Char('/') + items::kTreasures).removeRecursively();
        QVERIFY(!toFolder(i));
        QCOMPARE(messages(), QStringList{texts::kMsgFileError});
        QVERIFY(hostfolder::exists(target() + QStringLiteral("/BackUp.ini"))); // the copies after it still ran
    }

    void archive_failedRun_keepsEarlierBackup()
    {
        REQUIRE_LIBRARY();
        const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("a"));
        hostfolder::write(outside(), QStringLiteral("ポチ991031.lzh"), "earlier backup");
        // A destination the library cannot write into: a file in place of the folder.
        QVERIFY(!BackupToArchive(session(), library(), i, lzh(), kDay));
        QVERIFY(messages().contains(kMsgLhaFailed));
        QCOMPARE(hostfolder::read(lzh()), "earlier backup");
    }

    // The library packs on another thread while this one waits; the gauge follows the bytes.
    void archive_gaugeFollowsBytes()
    {
        REQUIRE_LIBRARY();
        const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("a"));
        QByteArray big(6 << 20, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(big.data()), big.size() / 4);
        hostfolder::write(folderOf(i), items::kTreasures + QStringLiteral("/big.pac"), big);
        ctx().gaugePos = 100; // where an earlier operation left it
        QVERIFY(BackupToArchive(session(), library(), i, outside(), kDay));
        const QList<int>& trail = tc->view.gaugeTrail;
        QVERIFY(tc->keepAlive.waits > 0);
        QVERIFY(std::is_sorted(trail.begin(), trail.end()));
        QVERIFY(trail.size() > 2 && trail.front() == 0 && trail.back() == 100);
    }

    void archiveSource_data()
    {
        QTest::addColumn<QString>("infoName"); // empty: no information file; "-": not an archive; "|": a FIFO
        QTest::addColumn<QByteArray>("infoBytes");
        QTest::addColumn<QString>("message"); // empty: accepted
        const QByteArray good = "Kennel 2001 Pet Backup File\r\nBackup Date = 20240102\r\nMaster = m\r\nPet = p\r\n";
        QTest::newRow("information file in upper case") << "BACKUP.INI" << good << "";
        QTest::newRow("no information file") << "" << QByteArray() << kMsgNotBackupFile;
        QTest::newRow("broken information file") << "BackUp.ini" << QByteArray("Kennel 2001 Pet Backup File\r\n")
                                                 << kMsgNotBackupFile;
        QTest::newRow("not an archive at all") << "-" << QByteArray() << kMsgNotLhaArchive;
        QTest::newRow("a FIFO, never waited on") << "|" << QByteArray() << kMsgNotLhaArchive;
    }

    // The check reads the file through a private folder below TMPDIR, gone on every path.
    void archiveSource()
    {
        QFETCH(QString, infoName);
        QFETCH(QByteArray, infoBytes);
        QFETCH(QString, message);
        REQUIRE_LIBRARY();
        const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("a"));
        const QString archive = outside() + QStringLiteral("/a.lzh");
        if (infoName == QLatin1String("-")) {
            hostfolder::write(outside(), QStringLiteral("a.lzh"), "hello, this is text");
        } else if (infoName == QLatin1String("|")) {
            QCOMPARE(::mkfifo(QFile::encodeName(archive).constData(), 0600), 0);
        } else {
            if (!infoName.isEmpty())
                hostfolder::write(folderOf(i), infoName, infoBytes);
            QVERIFY(library().RunUnlha(unlhaAddCommand(archive, outside(), folderOf(i), true)));
        }
        const QString tmp = root() + QStringLiteral("/tmp");
        QDir().mkpath(tmp);
        const QByteArray saved = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp.toUtf8());
        const auto info = CheckArchiveSource(*ctx().messages, library(), archive);
        qputenv("TMPDIR", saved);

        QCOMPARE(tc->messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(info ? info->date : QString(), message.isEmpty() ? QStringLiteral("20240102") : QString());
        QCOMPARE(QDir(tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
