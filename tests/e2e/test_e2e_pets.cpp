// Three pets in the real kennel, end to end: switching between them from the keyboard, and
// deleting the middle one with the mouse.
#include "storage/HostLayout.h"
#include "tests/e2e/E2eSession.h"
#include "tests/support/HostFolder.h"

#include <QtTest>

namespace {
const QString kPets[] = {QStringLiteral("ミケ"), QStringLiteral("タマ"), QStringLiteral("ポチ")};
const QString kOwners[] = {QStringLiteral("太郎"), QStringLiteral("花子"), QStringLiteral("次郎")};

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
} // namespace

class TestE2EPets : public E2eTest {
    Q_OBJECT
    QString host;
    Files stored[3]; // each pet's data, as laid out before kennel starts

    // An installation that has run for a while: three pets, toys shared, the first current.
    // Kennel is started and idle when this returns.
    QProcess* startWithThreePets(const QString& name)
    {
        host = s.newHost(name, QStringLiteral("A"));
        PetTable table;
        for (int i = 0; i < 3; ++i) {
            const QString folder = host + QStringLiteral("/ユーザー") + QString::number(i + 1);
            hostfolder::makeHost(folder, QStringLiteral("ABC").mid(i, 1));
            QFile::remove(folder + QStringLiteral("/Mewmail20.exe"));
            hostfolder::write(folder, items::kSnacks + QStringLiteral("/own%1.pac").arg(i),
                              "only pet " + QByteArray::number(i));
            stored[i] = E2eSession::itemData(folder);
            table.Pet[i] = kPets[i];
            table.Master[i] = kOwners[i];
        }
        hostfolder::write(host, items::kSnacks + QStringLiteral("/own0.pac"), "only pet 0");
        table.MaxUser = 2;
        table.CurrentUser = 0;
        table.Toys = true;
        hostfolder::write(host, QStringLiteral("Kennel.ini"), formatRegistry(table).value());
        QProcess* kennel = &s.startKennel(host);
        return s.waitIdle() ? kennel : nullptr;
    }

private slots:
    // Down and Up in the pet selector switch pets: the host's places take each pet's own data
    // back exactly, while the shared toys stay the same for all; no pet folder changes.
    void threePets_switch_eachPetsDataBack()
    {
        QProcess* kennel = startWithThreePets(QStringLiteral("switch"));
        QVERIFY(kennel);
        const Files first = E2eSession::itemData(host);
        QCOMPARE(first, stored[0]);
        // Ctrl+Q while the first switch copies (once the host's places begin to change) is
        // refused, and the switch goes on.
        for (const auto& [key, pet] :
             {std::pair("Down", 1), std::pair("Down", 2), std::pair("Up", 1), std::pair("Up", 0)}) {
            QVERIFY(s.keys(kMain, QLatin1String(key)));
            if (pet == 1 && s.messages().isEmpty()) {
                QVERIFY(QTest::qWaitFor([&] { return E2eSession::itemData(host) != first; }, 20000));
                QVERIFY(s.keys(kMain, "Ctrl+q"));
                QCOMPARE(
                    s.nextMessage(),
                    QStringLiteral("Kennel 2001 | critical | ファイル処理中です。しばらくしてから終了してください。"));
                QVERIFY(s.answer("Return"));
            }
            QVERIFY(s.waitIdle());
            QCOMPARE(E2eSession::registry(host).table.CurrentUser, pet);
            QCOMPARE(E2eSession::itemData(host), withKind(stored[pet], items::kToys, first));
        }
        for (int i = 0; i < 3; ++i)
            QCOMPARE(E2eSession::itemData(host + QStringLiteral("/ユーザー") + QString::number(i + 1)), stored[i]);
        QVERIFY(s.keys(kMain, "Alt+f x")); // ﾌｧｲﾙ(&F), 閉じる(&X)
        QCOMPARE(s.waitEnd(*kennel), 0);
        QCOMPARE(s.messages().size(), 1);
    }

    // The delete button asks first; Escape keeps everything, OK removes the pet: the third
    // pet's data moves into folder 2, folder 3 goes, Kennel.ini lists two pets and none current;
    // the selector then loads the moved pet from its new folder.
    void threePets_deleteMiddle_renumbered()
    {
        const qsizetype shown = s.messages().size();
        QProcess* kennel = startWithThreePets(QStringLiteral("delete"));
        QVERIFY(kennel);
        QVERIFY(s.keys(kMain, "Down"));
        QVERIFY(s.waitIdle());
        const Files live = E2eSession::itemData(host);
        const QByteArray ini = hostfolder::read(host + QStringLiteral("/Kennel.ini"));
        const QString caption = QStringLiteral("Kennel 2001 - 削除の確認");
        const QString question =
            caption + QStringLiteral(" | exclamation | ペット : タマ を削除します。"
                                     "共有していないすべての情報が消去されますが、よろしいですか？");

        // The delete button is the second of the six across the window, in the row above the gauge.
        QVERIFY(s.click(kMain, 3.0 / 12, -60));
        QCOMPARE(s.nextMessage(), question);
        QVERIFY(s.answer("Escape"));
        QVERIFY(s.waitNoWindow(caption));
        QCOMPARE(hostfolder::read(host + QStringLiteral("/Kennel.ini")), ini);
        QVERIFY(hostfolder::exists(host + QStringLiteral("/ユーザー3")));

        QVERIFY(s.click(kMain, 3.0 / 12, -60));
        QCOMPARE(s.nextMessage(), question);
        QVERIFY(s.answer("Return"));
        QVERIFY(s.waitIdle());
        const RegistryContent r = E2eSession::registry(host);
        QCOMPARE(std::pair(r.table.CurrentUser, r.table.MaxUser), std::pair(-1, 1));
        QCOMPARE((QStringList{r.table.Pet[0], r.table.Master[0], r.table.Pet[1], r.table.Master[1]}),
                 (QStringList{kPets[0], kOwners[0], kPets[2], kOwners[2]}));
        QVERIFY(r.table.Toys && !r.table.Oyatsu); // the sharing stays
        QVERIFY(!hostfolder::read(host + QStringLiteral("/Kennel.ini")).contains("Pet 2"));
        QCOMPARE(E2eSession::itemData(host + QStringLiteral("/ユーザー1")), stored[0]);
        QCOMPARE(E2eSession::itemData(host + QStringLiteral("/ユーザー2")), stored[2]);
        QVERIFY(!hostfolder::exists(host + QStringLiteral("/ユーザー3")));
        QCOMPARE(E2eSession::itemData(host), live); // the host's places are left as they are

        // The selector now reads 新規ペット, ミケ, ポチ: the second entry loads the third pet's data.
        for (int pet : {0, 1}) {
            QVERIFY(s.keys(kMain, "Down"));
            QVERIFY(s.waitIdle());
            QCOMPARE(E2eSession::registry(host).table.CurrentUser, pet);
        }
        QCOMPARE(E2eSession::itemData(host), withKind(stored[2], items::kToys, live));
        QVERIFY(s.keys(kMain, "Ctrl+q"));
        QCOMPARE(s.waitEnd(*kennel), 0);
        QCOMPARE(s.messages().size() - shown, 2); // the two questions
    }
};

QTEST_MAIN(TestE2EPets)
#include "test_e2e_pets.moc"
