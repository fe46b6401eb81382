// Snack import in the real kennel, end to end: from a folder picked in the folder picker into
// one pet that is not current, then into all pets, answering the overwrite questions both ways.
#include "storage/HostLayout.h"
#include "tests/e2e/E2eSession.h"
#include "tests/support/HostFolder.h"

#include <QtTest>

namespace {
const QString kImport = QStringLiteral("Kennel 2001 - おやつのインポート");
const QString kPicker = QStringLiteral("おやつファイルのあるフォルダを選択してください");
const QString kCake = QStringLiteral("/おやつ/cake.pac");
const QString kDonut = QStringLiteral("/おやつ/ドーナツ.pac");
} // namespace

class TestE2EImport : public E2eTest {
    Q_OBJECT

    // Ctrl+I, the folder picker accepted on the working folder (nothing typed: the picker's name
    // completion could take later keys), every snack selected, then the target keys.
    bool importAll(const QString& targetKeys)
    {
        return s.keys(kMain, "Ctrl+i") && s.waitWindow(kImport) && s.keys(kImport, "space") && s.waitWindow(kPicker) &&
               s.keys(kPicker, "Return") && s.waitNoWindow(kPicker) && s.keys(kImport, "Tab Tab space " + targetKeys);
    }
    // The next message boxes, in order, each "icon | text" and the keys that answer it.
    bool answer(const QList<std::pair<QString, QString>>& boxes)
    {
        for (const auto& [text, keys] : boxes) {
            const QString shown = s.nextMessage();
            if (shown != QStringLiteral("Kennel 2001 | ") + text) {
                qWarning().noquote() << "message box:" << shown << "\nexpected:" << text;
                return false;
            }
            if (!s.answer(keys))
                return false;
        }
        return true;
    }

private slots:
    void importOnePetThenAll_overwriteAskedPerFile()
    {
        const QString host = s.newHost(QStringLiteral("import"), QStringLiteral("A"));
        const QString pets[2] = {host + QStringLiteral("/ユーザー1"), host + QStringLiteral("/ユーザー2")};
        PetTable table;
        for (int i = 0; i < 2; ++i) {
            hostfolder::makeHost(pets[i], QStringLiteral("AB").mid(i, 1));
            QFile::remove(pets[i] + QStringLiteral("/Mewmail20.exe"));
        }
        table.Pet[0] = QStringLiteral("ミケ");
        table.Pet[1] = QStringLiteral("タマ");
        table.Master[0] = table.Master[1] = QStringLiteral("太郎");
        table.MaxUser = 1;
        table.CurrentUser = 0;
        hostfolder::write(host, QStringLiteral("Kennel.ini"), formatRegistry(table).value());
        const QString source = s.path(QStringLiteral("おやつ入れ"));
        hostfolder::write(source, QStringLiteral("cake.pac"), "new cake");
        hostfolder::write(source, QStringLiteral("ドーナツ.pac"), "new donut");
        hostfolder::write(source, QStringLiteral("readme.txt"), "not a snack");
        QDir::setCurrent(source); // where the folder picker opens
        QProcess& kennel = s.startKennel(host);
        QVERIFY(s.waitIdle());

        // Into タマ alone (Down in the pet list): its stored cake is kept (No), the host's
        // snacks and ミケ's stay as they were.
        QVERIFY(importAll("Tab Tab Tab Down Tab space"));
        QVERIFY(answer({{QStringLiteral("question | タマにおやつをインポートします。よろしいですか？"), "Return"},
                        {QStringLiteral("question | cake.pac はすでに存在します。上書きしますか？"), "Escape"},
                        {QStringLiteral("information | インポートが完了しました。"), "Return"}}));
        QCOMPARE(hostfolder::read(pets[1] + kCake), QByteArray("snack B"));
        QCOMPARE(hostfolder::read(pets[1] + kDonut), QByteArray("new donut"));
        QVERIFY(!hostfolder::exists(pets[1] + QStringLiteral("/おやつ/readme.txt")));
        QVERIFY(!hostfolder::exists(host + kDonut) && !hostfolder::exists(pets[0] + kDonut));
        QVERIFY(s.keys(kImport, "Escape"));
        QVERIFY(s.waitNoWindow(kImport));

        // Into all pets (the check box): the host's places first, then each pet's folder; every
        // file already there is asked for, naming the pet.
        QVERIFY(importAll("Tab Tab space Tab space"));
        QVERIFY(
            answer({{QStringLiteral("question | すべてのペットにおやつをインポートします。よろしいですか？"), "Return"},
                    {QStringLiteral("question | ミケ に cake.pac はすでに存在します。上書きしますか？"), "Return"},
                    {QStringLiteral("question | ミケ に cake.pac はすでに存在します。上書きしますか？"), "Escape"},
                    {QStringLiteral("question | タマ に cake.pac はすでに存在します。上書きしますか？"), "Return"},
                    {QStringLiteral("question | タマ に ドーナツ.pac はすでに存在します。上書きしますか？"), "Return"},
                    {QStringLiteral("information | インポートが完了しました。"), "Return"}}));
        const QStringList files = {host + kCake,     host + kDonut,   pets[0] + kCake,
                                   pets[0] + kDonut, pets[1] + kCake, pets[1] + kDonut};
        QByteArrayList contents;
        for (const QString& file : files)
            contents << hostfolder::read(file);
        QCOMPARE(contents, (QByteArrayList{"new cake", "new donut", "snack A", "new donut", "new cake", "new donut"}));
        QCOMPARE(s.nextMessage(0), QString());
        QVERIFY(s.keys(kImport, "Escape"));
        QVERIFY(s.keys(kMain, "Ctrl+q"));
        QCOMPARE(s.waitEnd(kennel), 0);
    }
};

QTEST_MAIN(TestE2EImport)
#include "test_e2e_import.moc"
