// Backing a pet up into a folder or an archive: the information file, overwrites asked for,
// failures that keep what was there, the folder and archive source checks.
#include "registry/Cp932.h"
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

    // Written in code page 932 with CR LF; an existing file of another letter case is rewritten in place.
    void infoFile_write()
    {
        const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("かいぬし"));
        WriteBackupInfo(session(), i, QDate(1999, 10, 31));
        QCOMPARE(hostfolder::read(folderOf(i) + QStringLiteral("/BackUp.ini")),
                 "Kennel 2001 Pet Backup File\r\nVersion = 2.0\r\nBackup Date = 19991031\r\nMaster = "
                     + *cp932::encode(QStringLiteral("かいぬし")) + "\r\nPet = " + *cp932::encode(QStringLiteral("ポチ"))
                     + "\r\n");
        QFile::rename(folderOf(i) + QStringLiteral("/BackUp.ini"), folderOf(i) + QStringLiteral("/BACKUP.INI"));
        WriteBackupInfo(session(), i, QDate(2024, 1, 2));
        QVERIFY(!hostfolder::exists(folderOf(i) + QStringLiteral("/BackUp.ini")) &&
                hostfolder::read(folderOf(i) + QStringLiteral("/BACKUP.INI")).contains("20240102"));
    }

    // What a BackUp.ini reads as: pet|owner|date, empty when refused. (The file as written is read
    // back by the fuzz replay of BackUp.ini, tests/fuzz.)
    void infoFile_reading()
    {
        const QByteArray magic = "Kennel 2001 Pet Backup File\r\n";
        const std::pair<QByteArray, QString> files[] = {
            // Any order, magic last, no version; lower-case magic and keys.
            {"Pet = B\r\nBackup Date = 1\r\nMaster = A\r\n" + magic, "B|A|1"},
            {"kennel 2001 pet backup file\r\npet = B\r\nmaster = A\r\nbackup date = 3\r\n", "B|A|3"},
            // A value untrimmed; an owner holding "Pet = " feeds the pet pass; an empty owner.
            {magic + "Pet =  B  \r\nMaster = A\r\nBackup Date = x\r\n", " B  |A|x"},
            {magic + "Master = Pet = Tama\r\nPet = Pochi\r\nBackup Date = 4\r\n", "Tama|Pet = Tama|4"},
            {magic + "Master = \r\nPet = B\r\nBackup Date = 5\r\n", "B||5"},
            // Refused: no magic, no date, a key without its blank.
            {"Pet = B\r\nMaster = A\r\nBackup Date = 7\r\n", ""},
            {magic + "Pet = B\r\nMaster = A\r\n", ""},
            {magic + "Pet =B\r\nMaster = A\r\nBackup Date = 7\r\n", ""}};
        for (const auto& [file, fields] : files) {
            const auto info = parseBackupInfo(file);
            QCOMPARE(info ? (QStringList{info->pet, info->master, info->date}.join(u'|')) : QString(), fields);
        }
    }

    void baseName_staysInDestination()
    {
        QCOMPARE(backupBaseName(QStringLiteral("../a/b"), QDate(2005, 3, 7)), QStringLiteral(".._a_b050307"));
    }

    // An existing backup of the day: asked first; yes replaces it (a folder's sub-folders stay),
    // no leaves it untouched (an archive's "no" is in the end-to-end backup journey). The pet
    // backed up is the second one; for a folder it has no attachments folder: the backup gets an
    // empty one, and the information file stays in the pet's folder too. A full pet backed up
    // both ways, byte for byte, is in the end-to-end backup journey.
    void overwrite()
    {
        for (const auto& [archive, agree] : {std::pair(false, true), std::pair(false, false), std::pair(true, true)}) {
            init();
            if (archive)
                REQUIRE_LIBRARY();
            addPet(QStringLiteral("タマ"), QStringLiteral("a"));
            const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("a"), archive);
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
                QCOMPARE(QDir(outside()).entryList(QDir::Files | QDir::Hidden), QStringList{"ポチ991031.lzh"});
            } else {
                expected = hostfolder::dataOf(folderOf(i));
                expected.insert(items::kAttachments + QLatin1Char('/'), {});
                expected.insert(items::kInbox + QStringLiteral("/keep/"), {});
                expected.insert(items::kInbox + QStringLiteral("/keep/deep.mwm"), "kept");
                QCOMPARE(hostfolder::dataOf(target()), expected);
                QVERIFY(hostfolder::exists(folderOf(i) + QStringLiteral("/BackUp.ini")));
            }
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

    // The library packs and extracts on another thread while this one waits; the gauge follows
    // the bytes of the backup and of the restore's extraction.
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

        // Extracting the stored member takes a few milliseconds: the points between depend on
        // when the waiting thread looks, the reset and the full gauge do not.
        tc->view.gaugeTrail.clear();
        RestoreSession restore(session(), library(), RestoreSource{RestoreSource::Kind::Archive, lzh(), {}, {}, {}});
        QVERIFY(restore.open());
        QVERIFY(std::is_sorted(trail.begin(), trail.end()));
        QVERIFY(trail.size() >= 2 && trail.front() == 0 && trail.back() == 100);
    }

    // The source checks of the restore page (a plain copy of a pet: test_backupform). An archive
    // is read through a private folder below TMPDIR, gone on every path.
    void sourceCheck()
    {
        REQUIRE_LIBRARY();
        const QByteArray good = "Kennel 2001 Pet Backup File\r\nBackup Date = 19991031\r\nMaster = A\r\nPet = B\r\n";
        const QByteArray broken = "Kennel 2001 Pet Backup File\r\nPet = B\r\n";
        // The information file's name (empty: none; "-": not an archive; "|": a FIFO) and bytes, and the
        // message (empty: accepted, showing pet B of 1999-10-31).
        const auto row = [&](const char* name, bool archive, const QString& infoName, const QByteArray& infoBytes,
                             const QString& message) {
            if (QTest::currentTestFailed()) // the row that failed is named
                return;
            init();
            const auto tell = qScopeGuard([&] { if (QTest::currentTestFailed()) qWarning("in the row: %s", name); });
            const QString folder = outside() + QStringLiteral("/src/"), file = outside() + QStringLiteral("/a.lzh");
            QDir().mkpath(folder);
            if (!infoName.isEmpty() && infoName != "-" && infoName != "|")
                hostfolder::write(folder, infoName, infoBytes);
            if (archive)
                hostfolder::makePet(folder, QStringLiteral("p"));
            else if (infoName != "-") // with settings, a folder holds a pet
                hostfolder::write(folder, items::kSettings, "s");
            std::optional<BackupInfo> info;
            if (!archive) {
                info = CheckFolderSource(*ctx().messages, folder);
            } else {
                loadLibrary();
                if (infoName == "-")
                    hostfolder::write(outside(), QStringLiteral("a.lzh"), "hello, this is text");
                else if (infoName == "|")
                    QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
                else
                    QVERIFY(library().RunUnlha(unlhaAddCommand(file, outside(), folder, true)));
                const QString tmp = root() + QStringLiteral("/tmp");
                QDir().mkpath(tmp);
                const QByteArray saved = qgetenv("TMPDIR");
                qputenv("TMPDIR", tmp.toUtf8());
                info = CheckArchiveSource(*ctx().messages, library(), file);
                qputenv("TMPDIR", saved);
                QCOMPARE(QDir(tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
            }
            QCOMPARE(messages(), message.isEmpty() ? QStringList() : QStringList{message});
            QCOMPARE(info ? info->pet + formatBackupDate(info->date) : QString(),
                     message.isEmpty() ? QStringLiteral("B 1999年10月31日") : QString());
        };
        row("folder: information file in lower case", false, "backup.ini", good, "");
        row("folder: broken file beats settings file", false, "Backup.ini", broken, kMsgBrokenFolderInfo);
        row("folder: nothing of a pet", false, "-", {}, kMsgNoBackupInFolder);
        row("archive: information file in upper case", true, "BACKUP.INI", good, "");
        row("archive: no information file", true, "", {}, kMsgNotBackupFile);
        row("archive: not an archive at all", true, "-", {}, kMsgNotLhaArchive);
        row("archive: a FIFO, never waited on", true, "|", {}, kMsgNotLhaArchive);
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
