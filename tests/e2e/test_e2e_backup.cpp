// Backup and restore in the real kennel, end to end: one pet backed up to an archive and to a
// folder, both restored as new pets (the archive by its typed path, the folder through the
// folder picker); every restored pet folder holds the source pet's files byte for byte.
#include "storage/HostLayout.h"
#include "tests/e2e/E2eSession.h"
#include "tests/support/HostFolder.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {
const QString kBackup = QStringLiteral("Kennel 2001 - ペットのバックアップ＆リストア");
const QString kRestore = QStringLiteral("Kennel 2001 - リストアするペットの登録");
const QString kPickDestination = QStringLiteral("バックアップ先のフォルダを選択してください");
const QString kPickSource = QStringLiteral("リストアしたいペットのバックアップフォルダを指定してください。");
const QString kSaid = QStringLiteral("Kennel 2001 | ");
} // namespace

class TestE2EBackup : public E2eTest {
    Q_OBJECT

    // Accepts the folder picker on the folder it opens in, the program's working folder.
    // Nothing is typed into it: its name completion, filled while it reads folders, may
    // open again after the picker closed and take the keys meant for the dialog below.
    bool pick(const QString& title)
    {
        return s.waitWindow(title) && s.keys(title, QStringLiteral("Return")) && s.waitNoWindow(title);
    }
    // Ctrl+B once the last dialog has gone, the destination picked, then the keys from 参照 on.
    bool backUp(const QString& keys)
    {
        return s.waitNoWindow(kBackup) && s.keys(kMain, "Ctrl+b") && s.waitWindow(kBackup) &&
               s.keys(kBackup, "Tab space") && pick(kPickDestination) && s.keys(kBackup, keys);
    }
    // Takes the next message box, which must show this text, and answers it with Return.
    bool box(const QString& iconAndText)
    {
        const QString shown = s.nextMessage();
        if (shown != kSaid + iconAndText)
            qWarning().noquote() << "message box:" << shown;
        return shown == kSaid + iconAndText && s.answer(QStringLiteral("Return"));
    }

private slots:
    void backupArchiveAndFolder_restoredAsNewPets_byteIdentical()
    {
        // One pet with files the archive must carry exactly: a Japanese name, every byte value,
        // a few hundred kilobytes that compress only in part.
        const QString host = s.newHost(QStringLiteral("backup"), QStringLiteral("A"));
        const QString pet = host + QStringLiteral("/ユーザー1");
        QByteArray bytes;
        for (int i = 0; i < 64 * 256; ++i)
            bytes += char(i % 256);
        QByteArray mixed;
        QRandomGenerator random(8);
        while (mixed.size() < 400000)
            mixed += random.bounded(4) ? QByteArray(int(random.bounded(40)), char(random.bounded(256)))
                                       : QByteArray::number(random.generate64());
        for (const QString& folder : {host, pet}) {
            hostfolder::makeHost(folder, QStringLiteral("A"));
            hostfolder::write(folder, items::kSnacks + QStringLiteral("/ケーキ.pac"), "ケーキ");
            hostfolder::write(folder, items::kTreasures + QStringLiteral("/bytes.pac"), bytes);
            hostfolder::write(folder, items::kInbox + QStringLiteral("/big.mwm"), mixed);
        }
        QFile::remove(pet + QStringLiteral("/Mewmail20.exe"));
        PetTable table;
        table.Pet[0] = QStringLiteral("ミケ");
        table.Master[0] = QStringLiteral("山田 太郎");
        table.MaxUser = table.CurrentUser = 0;
        hostfolder::write(host, QStringLiteral("Kennel.ini"), formatRegistry(table).value());
        const QString destination = s.path(QStringLiteral("バックアップ"));
        QDir().mkpath(destination);
        const QString day = QDate::currentDate().toString(QStringLiteral("yyMMdd"));
        QDir::setCurrent(destination); // where the folder picker opens
        QProcess& kennel = s.startKennel(host);
        QVERIFY(s.waitIdle());

        // Ctrl+B: the backup page, the pet list first; the archive box is checked. Then the
        // same with the box cleared: a plain folder beside the archive.
        QVERIFY(backUp("Tab Tab space"));
        QVERIFY(box(QStringLiteral("information | バックアップが完了しました。")));
        QVERIFY(backUp("Tab space Tab space"));
        QVERIFY(box(QStringLiteral("information | バックアップが完了しました。")));
        const QStringList made = QDir(destination).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const QString base = made.value(0); // the pet's name and the day, yymmdd
        QCOMPARE(made, (QStringList{base, base + QStringLiteral(".lzh")}));
        QVERIFY(base == QStringLiteral("ミケ") + day ||
                base == QStringLiteral("ミケ") + QDate::currentDate().toString(QStringLiteral("yyMMdd")));
        const QString archive = destination + QLatin1Char('/') + base + QStringLiteral(".lzh");
        const auto source = hostfolder::snapshot(pet); // BackUp.ini included
        QCOMPARE(source.value(QStringLiteral("BackUp.ini")).left(29), QByteArray("Kennel 2001 Pet Backup File\r\n"));
        QCOMPARE(hostfolder::snapshot(destination + QLatin1Char('/') + base), source);

        // The archive again on the same day: asked first; No keeps the old one, and fails.
        const QByteArray archived = hostfolder::read(archive);
        QVERIFY(backUp("Tab Tab space"));
        QVERIFY(s.nextMessage().startsWith(
            kSaid + QStringLiteral("question | 指定の場所に同名のファイルがすでに存在します。")));
        QVERIFY(s.answer("Escape"));
        QVERIFY(box(QStringLiteral("critical | バックアップに失敗しました。")));
        QCOMPARE(hostfolder::read(archive), archived);

        // Ctrl+R: the restore page on the archive, its path typed; 情報読込 reads it. The name
        // found in the backup is taken already, so the pet is registered under another.
        QVERIFY(s.waitNoWindow(kBackup));
        QVERIFY(s.keys(kMain, "Ctrl+r"));
        QVERIFY(s.waitWindow(kBackup));
        QVERIFY(s.keys(kBackup, "Tab"));
        QVERIFY(s.type(kBackup, archive));
        QVERIFY(s.keys(kBackup, "Tab Tab space Tab space"));
        QVERIFY(s.waitWindow(kRestore));
        QVERIFY(s.keys(kRestore, "Return"));
        QVERIFY(box(QStringLiteral("critical | 同名のペットがすでに存在します。")));
        QVERIFY(s.keys(kRestore, "Ctrl+a"));
        QVERIFY(s.type(kRestore, QStringLiteral("ミケ二世")));
        QVERIFY(s.keys(kRestore, "Return"));
        QVERIFY(box(QStringLiteral("information | リストアが完了しました。")));
        QVERIFY(s.waitNoWindow(kBackup));
        QCOMPARE(hostfolder::snapshot(host + QStringLiteral("/ユーザー2")), source);
        QVERIFY(s.keys(kMain, "Ctrl+q"));
        QCOMPARE(s.waitEnd(kennel), 0);

        // The next start, in the backup folder: the folder source (its option comes before the
        // archive path) and its picker; the names are typed over the backup's.
        QDir::setCurrent(destination + QLatin1Char('/') + base);
        QProcess& again = s.startKennel(host);
        QVERIFY(s.waitIdle());
        QVERIFY(s.keys(kMain, "Ctrl+r"));
        QVERIFY(s.waitWindow(kBackup));
        QVERIFY(s.keys(kBackup, "Tab Shift+Tab space Tab space"));
        QVERIFY(pick(kPickSource));
        QVERIFY(s.keys(kBackup, "Tab Tab space"));
        QVERIFY(s.waitWindow(kRestore));
        QVERIFY(s.keys(kRestore, "Ctrl+a"));
        QVERIFY(s.type(kRestore, QStringLiteral("ミケ三世")));
        QVERIFY(s.keys(kRestore, "Tab Ctrl+a"));
        QVERIFY(s.type(kRestore, QStringLiteral("花子")));
        QVERIFY(s.keys(kRestore, "Return"));
        QVERIFY(box(QStringLiteral("information | リストアが完了しました。")));
        QVERIFY(s.waitNoWindow(kBackup));
        QCOMPARE(hostfolder::snapshot(host + QStringLiteral("/ユーザー3")), source);

        const RegistryContent r = E2eSession::registry(host);
        QCOMPARE(std::pair(r.table.CurrentUser, r.table.MaxUser), std::pair(0, 2));
        QCOMPARE((QStringList{r.table.Pet[1], r.table.Master[1], r.table.Pet[2], r.table.Master[2]}),
                 (QStringList{QStringLiteral("ミケ二世"), QStringLiteral("山田 太郎"), QStringLiteral("ミケ三世"),
                              QStringLiteral("花子")}));
        auto stored = source; // the source pet keeps its data; the start's store drops BackUp.ini
        stored.remove(QStringLiteral("BackUp.ini"));
        QCOMPARE(hostfolder::snapshot(pet), stored);
        QCOMPARE(s.nextMessage(0), QString()); // no box beyond those answered
        QVERIFY(s.keys(kMain, "Ctrl+q"));
        QCOMPARE(s.waitEnd(again), 0);
    }
};

QTEST_MAIN(TestE2EBackup)
#include "test_e2e_backup.moc"
