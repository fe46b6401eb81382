// Pets in the real kennel, end to end: three switched from the keyboard and the middle one
// deleted with the mouse; one backed up to an archive and to a folder and both restored as new
// pets, byte for byte; snacks imported into one pet that is not current, then into all pets,
// with the overwrite questions answered both ways.
#include "storage/HostLayout.h"
#include "tests/e2e/E2eSession.h"
#include "tests/support/HostFolder.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {
using Files = QMap<QString, QByteArray>;

// files, with the entries below the folder kind taken from other instead.
Files withKind(Files files, const QString& kind, const Files& other)
{
    files.removeIf([&](const auto& it) { return it.key().startsWith(kind + QLatin1Char('/')); });
    for (auto it = other.begin(); it != other.end(); ++it)
        if (it.key().startsWith(kind + QLatin1Char('/')))
            files.insert(it.key(), it.value());
    return files;
}
const QString kBackup = QStringLiteral("Kennel 2001 - ペットのバックアップ＆リストア");
const QString kRestore = QStringLiteral("Kennel 2001 - リストアするペットの登録");
const QString kDone = QStringLiteral("Kennel 2001 | information | バックアップが完了しました。");
const QString kRestored = QStringLiteral("Kennel 2001 | information | リストアが完了しました。");
const QString kImport = QStringLiteral("Kennel 2001 - おやつのインポート");
const QString kCake = QStringLiteral("/おやつ/cake.pac");
const QString kDonut = QStringLiteral("/おやつ/ドーナツ.pac");
} // namespace

class TestE2EPets : public E2eTest {
    Q_OBJECT

    // Once the dialog has gone: the chord in the main window, the keys in the dialog; with a
    // picker, it is accepted on the folder it opens in, the program's working folder, and the
    // keys after it follow. Nothing is typed into the picker: its name completion, filled while
    // it reads folders, may open again after it closed and take the keys meant for the dialog.
    bool open(const char* chord, const QString& dialog, const QString& keys, const QString& picker = {},
              const QString& after = {})
    {
        return s.waitNoWindow(dialog) && s.keys(kMain, QLatin1String(chord)) && s.keys(dialog, keys) &&
               (picker.isEmpty() || (s.keys(picker, "Return") && s.waitNoWindow(picker) && s.keys(dialog, after)));
    }
    bool backUp(const QString& keys)
    {
        return open("Ctrl+b", kBackup, "Tab space", "バックアップ先のフォルダを選択してください", keys);
    }
    bool restored() { return s.reply(kRestored) && s.waitNoWindow(kBackup); }
    // Ctrl+I, every snack selected, then the target keys; then the message boxes, in order,
    // each "icon | text" and the keys that answer it.
    bool importAll(const QString& targetKeys, const QList<std::pair<QString, QString>>& boxes)
    {
        bool ok = open("Ctrl+i", kImport, "space", "おやつファイルのあるフォルダを選択してください",
                       "Tab Tab space " + targetKeys);
        for (const auto& [text, keys] : boxes)
            ok = ok && s.reply("Kennel 2001 | " + text, keys);
        return ok && s.keys(kImport, "Escape") && s.waitNoWindow(kImport);
    }

private slots:
    // An installation that has run for a while: three pets, toys shared, the first current.
    // Down and Up in the pet selector switch pets: the host's places take each pet's own data
    // back exactly, while the shared toys stay the same for all; no pet folder changes. Then
    // the delete button asks first; Escape keeps everything, OK removes the current pet: the
    // third pet's data moves into folder 2, folder 3 goes, Kennel.ini lists two pets and none
    // current; the selector then loads the moved pet from its new folder.
    void threePets_switchedAndMiddleDeleted()
    {
        PetTable table = s.table({{"ミケ", "太郎"}, {"タマ", "花子"}, {"ポチ", "次郎"}});
        table.Toys = true;
        const QString host = s.newHost(QStringLiteral("pets"), QStringLiteral("A"), table, {"A", "B", "C"});
        Files stored[3]; // each pet's data, as laid out before kennel starts
        for (int i = 0; i < 3; ++i) {
            hostfolder::write(s.pet(host, i), items::kSnacks + QStringLiteral("/own%1.pac").arg(i),
                              "only pet " + QByteArray::number(i));
            stored[i] = s.itemData(s.pet(host, i));
        }
        hostfolder::write(host, items::kSnacks + QStringLiteral("/own0.pac"), "only pet 0");
        QProcess& kennel = s.startKennel(host);
        QVERIFY(s.waitIdle());
        const Files toys = s.itemData(host);
        QCOMPARE(toys, stored[0]);

        bool first = true;
        for (const auto& [key, pet] : {std::pair("Down", 1), std::pair("Down", 2), std::pair("Up", 1),
                                       std::pair("Up", 0), std::pair("Down", 1)}) {
            QVERIFY(s.keys(kMain, QLatin1String(key)));
            if (std::exchange(first, false)) {
                // Ctrl+Q while the first switch copies (once the host's places begin to change)
                // is refused, and the switch goes on.
                QVERIFY(QTest::qWaitFor([&] { return s.itemData(host) != toys; }, 20000));
                QVERIFY(s.keys(kMain, "Ctrl+q"));
                QVERIFY(s.reply("Kennel 2001 | critical | ファイル処理中です。しばらくしてから終了してください。"));
            }
            QVERIFY(s.waitIdle());
            table.CurrentUser = pet;
            QCOMPARE(s.ini(host), s.ini(table));
            QCOMPARE(s.itemData(host), withKind(stored[pet], items::kToys, toys));
        }
        for (int i = 0; i < 3; ++i)
            QCOMPARE(s.itemData(s.pet(host, i)), stored[i]);

        // The delete button is the second of the six across the window, in the row above the gauge.
        const QString question = QStringLiteral("Kennel 2001 - 削除の確認 | exclamation | ペット : タマ を削除します。"
                                                "共有していないすべての情報が消去されますが、よろしいですか？");
        QVERIFY(s.click(kMain, 3.0 / 12, -60) && s.reply(question, "Escape"));
        QCOMPARE(s.ini(host), s.ini(table));
        QVERIFY(hostfolder::exists(s.pet(host, 2)));
        const Files live = s.itemData(host);
        QVERIFY(s.click(kMain, 3.0 / 12, -60) && s.reply(question));
        QVERIFY(s.waitIdle());
        PetTable after = s.table({{"ミケ", "太郎"}, {"ポチ", "次郎"}}, -1);
        after.Toys = true; // the sharing stays
        QCOMPARE(s.ini(host), s.ini(after));
        QCOMPARE(s.itemData(s.pet(host, 0)), stored[0]);
        QCOMPARE(s.itemData(s.pet(host, 1)), stored[2]);
        QVERIFY(!hostfolder::exists(s.pet(host, 2)));
        QCOMPARE(s.itemData(host), live); // the host's places are left as they are

        // The selector now reads 新規ペット, ミケ, ポチ: the second entry loads the third pet's data.
        for (int pet : {0, 1}) {
            QVERIFY(s.keys(kMain, "Down") && s.waitIdle());
            after.CurrentUser = pet;
            QCOMPARE(s.ini(host), s.ini(after));
            QCOMPARE(s.itemData(host), withKind(stored[pet * 2], items::kToys, live));
        }
        QCOMPARE(s.quit(kennel), 0);
    }

    void backupArchiveAndFolder_restoredAsNewPets_byteIdentical()
    {
        // One pet with files the archive must carry exactly: a Japanese name, every byte value,
        // a few hundred kilobytes that compress only in part.
        const QString host =
            s.newHost(QStringLiteral("backup"), QStringLiteral("A"), s.table({{"ミケ", "山田 太郎"}}), {"A"});
        const QString pet = s.pet(host, 0);
        QByteArray bytes;
        for (int i = 0; i < 64 * 256; ++i)
            bytes += char(i % 256);
        QByteArray mixed;
        QRandomGenerator random(8);
        while (mixed.size() < 400000)
            mixed += random.bounded(4) ? QByteArray(int(random.bounded(40)), char(random.bounded(256)))
                                       : QByteArray::number(random.generate64());
        for (const QString& folder : {host, pet}) {
            hostfolder::write(folder, items::kSnacks + QStringLiteral("/ケーキ.pac"), "ケーキ");
            hostfolder::write(folder, items::kTreasures + QStringLiteral("/bytes.pac"), bytes);
            hostfolder::write(folder, items::kInbox + QStringLiteral("/big.mwm"), mixed);
        }
        const QString destination = s.path(QStringLiteral("バックアップ"));
        QDir().mkpath(destination);
        const QString day = QDate::currentDate().toString(QStringLiteral("yyMMdd"));
        QDir::setCurrent(destination); // where the folder picker opens
        QProcess& kennel = s.startKennel(host);
        QVERIFY(s.waitIdle());

        // Ctrl+B: the backup page, the pet list first; the archive box is checked. Then the
        // same with the box cleared: a plain folder beside the archive.
        for (const char* keys : {"Tab Tab space", "Tab space Tab space"})
            QVERIFY(backUp(keys) && s.reply(kDone));
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
        QVERIFY(s.reply("Kennel 2001 | question | 指定の場所に同名のファイルがすでに存在します。", "Escape"));
        QVERIFY(s.reply("Kennel 2001 | critical | バックアップに失敗しました。"));
        QCOMPARE(hostfolder::read(archive), archived);

        // Ctrl+R: the restore page on the archive, its path typed; 情報読込 reads it. The name
        // found in the backup is taken already, so the pet is registered under another.
        QVERIFY(open("Ctrl+r", kBackup, "Tab '" + archive + "' Tab Tab space Tab space"));
        QVERIFY(s.keys(kRestore, "Return") && s.reply("Kennel 2001 | critical | 同名のペットがすでに存在します。"));
        QVERIFY(s.keys(kRestore, "Ctrl+a 'ミケ二世' Return"));
        QVERIFY(restored());
        QCOMPARE(hostfolder::snapshot(s.pet(host, 1)), source);
        QCOMPARE(s.quit(kennel), 0);

        // The next start, in the backup folder: the folder source (its option comes before the
        // archive path) and its picker; the names are typed over the backup's.
        QDir::setCurrent(destination + QLatin1Char('/') + base);
        QProcess& again = s.startKennel(host);
        QVERIFY(s.waitIdle());
        QVERIFY(open("Ctrl+r", kBackup, "Tab Shift+Tab space Tab space",
                     "リストアしたいペットのバックアップフォルダを指定してください。", "Tab Tab space"));
        QVERIFY(s.keys(kRestore, "Ctrl+a 'ミケ三世' Tab Ctrl+a '花子' Return"));
        QVERIFY(restored());
        QCOMPARE(hostfolder::snapshot(s.pet(host, 2)), source);

        QCOMPARE(s.ini(host), s.ini(s.table({{"ミケ", "山田 太郎"}, {"ミケ二世", "山田 太郎"}, {"ミケ三世", "花子"}})));
        auto stored = source; // the source pet keeps its data; the start's store drops BackUp.ini
        stored.remove(QStringLiteral("BackUp.ini"));
        QCOMPARE(hostfolder::snapshot(pet), stored);
        QCOMPARE(s.quit(again), 0);
    }

    void importOnePetThenAll_overwriteAskedPerFile()
    {
        const QString host = s.newHost(QStringLiteral("import"), QStringLiteral("A"),
                                       s.table({{"ミケ", "太郎"}, {"タマ", "太郎"}}), {"A", "B"});
        const QString pets[2] = {s.pet(host, 0), s.pet(host, 1)};
        const QString source = s.path(QStringLiteral("おやつ入れ"));
        hostfolder::write(source, QStringLiteral("cake.pac"), "new cake");
        hostfolder::write(source, QStringLiteral("ドーナツ.pac"), "new donut");
        hostfolder::write(source, QStringLiteral("readme.txt"), "not a snack");
        QDir::setCurrent(source); // where the folder picker opens
        QProcess& kennel = s.startKennel(host);
        QVERIFY(s.waitIdle());

        // Into タマ alone (Down in the pet list): its stored cake is kept (No), the host's
        // snacks and ミケ's stay as they were.
        QVERIFY(importAll("Tab Tab Tab Down Tab space",
                          {{"question | タマにおやつをインポートします。よろしいですか？", "Return"},
                           {"question | cake.pac はすでに存在します。上書きしますか？", "Escape"},
                           {"information | インポートが完了しました。", "Return"}}));
        QCOMPARE(hostfolder::read(pets[1] + kCake), QByteArray("snack B"));
        QCOMPARE(hostfolder::read(pets[1] + kDonut), QByteArray("new donut"));
        QVERIFY(!hostfolder::exists(pets[1] + QStringLiteral("/おやつ/readme.txt")));
        QVERIFY(!hostfolder::exists(host + kDonut) && !hostfolder::exists(pets[0] + kDonut));

        // Into all pets (the check box): the host's places first, then each pet's folder; every
        // file already there is asked for, naming the pet.
        QVERIFY(importAll("Tab Tab space Tab space",
                          {{"question | すべてのペットにおやつをインポートします。よろしいですか？", "Return"},
                           {"question | ミケ に cake.pac はすでに存在します。上書きしますか？", "Return"},
                           {"question | ミケ に cake.pac はすでに存在します。上書きしますか？", "Escape"},
                           {"question | タマ に cake.pac はすでに存在します。上書きしますか？", "Return"},
                           {"question | タマ に ドーナツ.pac はすでに存在します。上書きしますか？", "Return"},
                           {"information | インポートが完了しました。", "Return"}}));
        QByteArrayList contents;
        for (const QString& file :
             {host + kCake, host + kDonut, pets[0] + kCake, pets[0] + kDonut, pets[1] + kCake, pets[1] + kDonut})
            contents << hostfolder::read(file);
        QCOMPARE(contents, (QByteArrayList{"new cake", "new donut", "snack A", "new donut", "new cake", "new donut"}));
        QCOMPARE(s.quit(kennel), 0);
    }
};

QTEST_MAIN(TestE2EPets)
#include "test_e2e_pets.moc"
