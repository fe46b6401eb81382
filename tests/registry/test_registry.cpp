// Kennel.ini: the exact layout, names that come back as written, the reading rules, damaged
// files, and a write that fails keeping the old file.
#include "registry/Cp932.h"
#include "tests/support/HostTest.h"

#include <QtTest>

namespace {
QByteArray sjis(const QString& s)
{
    return cp932::encode(s).value();
}
} // namespace

class TestRegistry : public HostTest {
    Q_OBJECT

private slots:
    void init() { newHost(); }

    // Pets "ペット0"... with owners "飼い主0"... (addPets).
    void writesExactLayout()
    {
        addPets(2, 1);
        PetTable t = table();
        t.Oyatsu = true;
        QCOMPARE(formatRegistry(t).value(),
                 "Version = 2.0\r\nCurrentUser = 1\r\nMaxUser = 1\r\nMaster 0 = " + sjis(QStringLiteral("飼い主0")) +
                     "\r\nPet 0 = " + sjis(QStringLiteral("ペット0")) + "\r\nMaster 1 = " +
                     sjis(QStringLiteral("飼い主1")) + "\r\nPet 1 = " + sjis(QStringLiteral("ペット1")) +
                     "\r\nOyatsu = -1\r\nTreasures = 0\r\nFriends = 0\r\nToys = 0\r\nMails = 0\r\n");
        QCOMPARE(formatRegistry(PetTable{}).value(), "Version = 2.0\r\nCurrentUser =-1\r\nMaxUser =-1\r\nOyatsu = 0\r\n"
                                                     "Treasures = 0\r\nFriends = 0\r\nToys = 0\r\nMails = 0\r\n");
    }

    // Names come back as written: leading blanks, key text, an empty owner, 99 characters,
    // half-width katakana and a backslash byte.
    void roundTrip()
    {
        const std::pair<QString, QString> names[] = {{QStringLiteral("  ミケ"), QStringLiteral(" 太郎 ")},
                                                     {QStringLiteral("a = b"), QStringLiteral("Pet 0 = x")},
                                                     {QStringLiteral("タマ"), QString()},
                                                     {QString(99, QChar(u'犬')), QString(99, QLatin1Char('m'))},
                                                     {QStringLiteral("ｿﾌﾄ表示"), QStringLiteral("能力")}};
        for (const auto& [pet, master] : names) {
            addPets(12, 10); // indices 9 and 10 use keys of different lengths
            PetTable t = table();
            t.Pet[9] = pet, t.Master[9] = master;
            t.Pet[10] = pet + QStringLiteral("10"), t.Master[10] = master;
            t.Mails = t.Toys = true;
            const RegistryContent back = parseRegistry(formatRegistry(t).value());
            QCOMPARE(back.kind, RegistryContent::Kind::Version2);
            QCOMPARE(back.table.Pet, t.Pet);
            QCOMPARE(back.table.Master, t.Master);
            QCOMPARE(back.table.sharing(), t.sharing());
            QVERIFY(back.table.CurrentUser == 10 && back.table.MaxUser == 11);
        }
    }

    // What a file reads as: version 2.0 (current pet, snacks shared), version 1.0 (its last
    // used mailbox), or damaged.
    void reading()
    {
        using K = RegistryContent::Kind;
        // A file, what it reads as, its CurrentUser (or the LastUser of version 1.0) and snacks flag.
        const auto row = [](const char* name, const QByteArray& file, K kind = K::Broken, int number = -1,
                            bool oyatsu = false) {
            const RegistryContent c = parseRegistry(file);
            const int read = kind == K::Version1 ? c.lastUser : c.table.CurrentUser;
            QVERIFY2(c.kind == kind && (kind == K::Broken || (read == number && c.table.Oyatsu == oyatsu &&
                                                              (kind == K::Version1 || c.table.Pet[0] == "p"))),
                     name);
        };
        const QByteArray pet = "Master 0 = m\r\nPet 0 = p\r\n";
        const QByteArray flags = "Treasures = 0\r\nFriends = 0\r\nToys = 0\r\nMails = 0\r\n";
        const QByteArray v2 = "Version = 2.0\r\nCurrentUser = 0\r\nMaxUser = 0\r\n" + pet;
        row("lower-case keys, any order",
            "mails = 0\r\nmaxuser = 0\r\nversion = 2.0\r\ncurrentuser = 0\r\nmaster 0 = m\r\npet 0 = p\r\n"
            "oyatsu = -1\r\ntreasures = 0\r\nfriends = 0\r\ntoys = 0\r\n",
            K::Version2, 0, true);
        row("snack value 1 is not shared", v2 + "Oyatsu = 1\r\n" + flags, K::Version2, 0, false);
        row("lenient numbers",
            "Version = 2.0\r\nCurrentUser =  0abc\r\nMaxUser = +0\r\n" + pet + "Oyatsu = -1x\r\n" + flags, K::Version2,
            0, true);
        row("LF line ends", QByteArray(v2 + "Oyatsu = 0\r\n" + flags).replace("\r\n", "\n"), K::Version2, 0, false);
        row("version 1.0", "[Kennel]\r\nLastUser = 1\r\n", K::Version1, 1, false);
        const QByteArray allFlags = "Oyatsu = 0\r\n" + flags;
        const QByteArray none = "Version = 2.0\r\nCurrentUser =-1\r\nMaxUser =";
        row("missing flag", none + "-1\r\nOyatsu = 0\r\n");
        row("missing pet line",
            "Version = 2.0\r\nCurrentUser = 0\r\nMaxUser = 1\r\n" + pet + "Master 1 = c\r\n" + allFlags);
        row("MaxUser above 99", none + " 100\r\n" + allFlags);
        row("MaxUser below -1", none + "-2\r\n" + allFlags);
        row("CurrentUser above MaxUser", "Version = 2.0\r\nCurrentUser = 1\r\nMaxUser = 0\r\n" + pet + allFlags);
        row("huge number", none + " 99999999999999999999\r\n" + allFlags);
        row("version 1.0 without LastUser", "User = 1\r\n");
        row("version 1.0 LastUser 3", "LastUser = 3\r\n");
        row("version 1.0 LastUser -1", "LastUser = -1\r\n");
        QByteArray garbage(4096, '\0');
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = static_cast<char>((i * 7919) % 251);
        row("binary garbage", garbage);
        row("empty file", {});
    }

    // Names the file cannot hold, and a file that cannot be replaced (empty: Kennel.ini is a
    // folder): the old file stays.
    void failedWritesKeepOldFile()
    {
        for (const QString& name :
             {QStringLiteral("a\nb"), QStringLiteral("a\rPet 0 = x"), QStringLiteral("犬🐶"), QString()}) {
            newHost();
            addPets(1, 0);
            QVERIFY(session().WriteRegistry(none()));
            if (name.isEmpty())
                QVERIFY(QFile::remove(ini()) && QDir().mkpath(ini() + QStringLiteral("/blocker")));
            else
                table().Pet[0] = name;
            const auto before = hostfolder::snapshot(host());
            QVERIFY(!session().WriteRegistry(none()));
            QCOMPARE(messages(), QStringList{kMsgRegistryWriteFailed});
            QCOMPARE(hostfolder::snapshot(host()), before);
        }
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "test_registry.moc"
