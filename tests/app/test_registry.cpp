// Kennel.ini: format, reading rules, damaged files, and the atomic write.
#include "registry/Cp932.h"
#include "app/Registry.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray sjis(const QString& s)
{
    return cp932::encode(s).value();
}

PetTable tableOf(int count, int current)
{
    PetTable t;
    t.MaxUser = count - 1;
    t.CurrentUser = current;
    for (int i = 0; i < count; ++i) {
        t.Pet[i] = QStringLiteral("ペット%1").arg(i);
        t.Master[i] = QStringLiteral("飼い主%1").arg(i);
    }
    return t;
}
}  // namespace

class TestRegistry : public QObject {
    Q_OBJECT

private slots:
    void writesExactLayout()
    {
        PetTable t = tableOf(2, 1);
        t.Oyatsu = true;
        QCOMPARE(formatRegistry(t).value(),
                 "Version = 2.0\r\nCurrentUser = 1\r\nMaxUser = 1\r\nMaster 0 = " + sjis(QStringLiteral("飼い主0"))
                     + "\r\nPet 0 = " + sjis(QStringLiteral("ペット0")) + "\r\nMaster 1 = " + sjis(QStringLiteral("飼い主1"))
                     + "\r\nPet 1 = " + sjis(QStringLiteral("ペット1"))
                     + "\r\nOyatsu = -1\r\nTreasures = 0\r\nFriends = 0\r\nToys = 0\r\nMails = 0\r\n");
        const QByteArray empty = formatRegistry(PetTable{}).value(); // eight lines, read back as version 2.0
        QCOMPARE(empty, "Version = 2.0\r\nCurrentUser =-1\r\nMaxUser =-1\r\nOyatsu = 0\r\nTreasures = 0\r\nFriends = 0"
                        "\r\nToys = 0\r\nMails = 0\r\n");
        QCOMPARE(parseRegistry(empty).kind, RegistryContent::Kind::Version2);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("pet");
        QTest::addColumn<QString>("master");
        QTest::newRow("japanese") << QStringLiteral("ポチ") << QStringLiteral("かいぬし");
        QTest::newRow("leading blanks") << QStringLiteral("  ミケ") << QStringLiteral(" 太郎 ");
        QTest::newRow("contains key text") << QStringLiteral("a = b") << QStringLiteral("Pet 0 = x");
        QTest::newRow("empty owner") << QStringLiteral("タマ") << QString();
        QTest::newRow("99 characters") << QString(99, QChar(u'犬')) << QString(99, QLatin1Char('m'));
        QTest::newRow("half-width katakana and backslash byte") << QStringLiteral("ｿﾌﾄ表示") << QStringLiteral("能力");
    }

    void roundTrip()
    {
        QFETCH(QString, pet);
        QFETCH(QString, master);
        PetTable t = tableOf(12, 10);  // indices 9 and 10 use keys of different lengths
        t.Pet[9] = pet;
        t.Master[9] = master;
        t.Pet[10] = pet + QStringLiteral("10");
        t.Master[10] = master;
        t.Mails = true;
        t.Toys = true;
        const RegistryContent back = parseRegistry(formatRegistry(t).value());
        QCOMPARE(back.kind, RegistryContent::Kind::Version2);
        QCOMPARE(back.table.Pet, t.Pet);
        QCOMPARE(back.table.Master, t.Master);
        QCOMPARE(back.table.CurrentUser, 10);
        QCOMPARE(back.table.MaxUser, 11);
        QVERIFY(back.table.Mails && back.table.Toys && !back.table.Oyatsu);
    }

    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("oyatsu");
        const QByteArray tail = "Treasures = 0\r\nFriends = 0\r\nToys = 0\r\nMails = 0\r\n";
        QTest::newRow("lower-case keys, any order")
            << QByteArray("mails = 0\r\nmaxuser = 0\r\nversion = 2.0\r\ncurrentuser = 0\r\nmaster 0 = m\r\npet 0 = p\r\n"
                          "oyatsu = -1\r\ntreasures = 0\r\nfriends = 0\r\ntoys = 0\r\n")
            << 0 << true;
        QTest::newRow("snack value 1 is not shared")
            << QByteArray("Version = 2.0\r\nCurrentUser = 0\r\nMaxUser = 0\r\nMaster 0 = m\r\nPet 0 = p\r\nOyatsu = 1\r\n") + tail
            << 0 << false;
        QTest::newRow("lenient numbers")
            << QByteArray("Version = 2.0\r\nCurrentUser =  0abc\r\nMaxUser = +0\r\nMaster 0 = m\r\nPet 0 = p\r\nOyatsu = -1x\r\n") + tail
            << 0 << true;
        QTest::newRow("LF line ends")
            << QByteArray("Version = 2.0\nCurrentUser =-1\nMaxUser = 0\nMaster 0 = m\nPet 0 = p\nOyatsu = 0\n"
                          "Treasures = 0\nFriends = 0\nToys = 0\nMails = 0\n")
            << -1 << false;
    }

    void readingRules()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, current);
        QFETCH(bool, oyatsu);
        const RegistryContent c = parseRegistry(file);
        QCOMPARE(c.kind, RegistryContent::Kind::Version2);
        QCOMPARE(c.table.CurrentUser, current);
        QCOMPARE(c.table.Oyatsu, oyatsu);
        QCOMPARE(c.table.Pet[0], QStringLiteral("p"));
    }

    void brokenFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QByteArray flags = "Oyatsu = 0\r\nTreasures = 0\r\nFriends = 0\r\nToys = 0\r\nMails = 0\r\n";
        QTest::newRow("missing flag") << QByteArray("Version = 2.0\r\nCurrentUser =-1\r\nMaxUser =-1\r\nOyatsu = 0\r\n");
        QTest::newRow("missing pet line")
            << QByteArray("Version = 2.0\r\nCurrentUser = 0\r\nMaxUser = 1\r\nMaster 0 = a\r\nPet 0 = b\r\nMaster 1 = c\r\n") + flags;
        QTest::newRow("MaxUser above 99") << QByteArray("Version = 2.0\r\nCurrentUser =-1\r\nMaxUser = 100\r\n") + flags;
        QTest::newRow("MaxUser below -1") << QByteArray("Version = 2.0\r\nCurrentUser =-1\r\nMaxUser =-2\r\n") + flags;
        QTest::newRow("CurrentUser above MaxUser")
            << QByteArray("Version = 2.0\r\nCurrentUser = 1\r\nMaxUser = 0\r\nMaster 0 = a\r\nPet 0 = b\r\n") + flags;
        QTest::newRow("huge number") << QByteArray("Version = 2.0\r\nCurrentUser =-1\r\nMaxUser = 99999999999999999999\r\n") + flags;
        QTest::newRow("version 1.0 without LastUser") << QByteArray("User = 1\r\n");
        QTest::newRow("version 1.0 LastUser 3") << QByteArray("LastUser = 3\r\n");
        QTest::newRow("version 1.0 LastUser -1") << QByteArray("LastUser = -1\r\n");
        QByteArray garbage(4096, '\0');
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = static_cast<char>((i * 7919) % 251);
        QTest::newRow("binary garbage") << garbage;
        QTest::newRow("empty file") << QByteArray();
    }

    void brokenFiles()
    {
        QFETCH(QByteArray, file);
        QCOMPARE(parseRegistry(file).kind, RegistryContent::Kind::Broken);
    }

    void versionOneDetected()
    {
        const RegistryContent c = parseRegistry("[Kennel]\r\nLastUser = 1\r\n");
        QCOMPARE(c.kind, RegistryContent::Kind::Version1);
        QCOMPARE(c.lastUser, 1);
    }

    // Names the file cannot hold, and a file that cannot be replaced: the old file stays.
    void failedWritesKeepOldFile_data()
    {
        QTest::addColumn<QString>("name"); // empty: Kennel.ini is a folder
        QTest::newRow("line feed") << QStringLiteral("a\nb");
        QTest::newRow("carriage return") << QStringLiteral("a\rPet 0 = x");
        QTest::newRow("emoji") << QStringLiteral("犬🐶");
        QTest::newRow("file not replaceable") << QString();
    }

    void failedWritesKeepOldFile()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        TestContext tc(dir.path());
        tc.ctx.table = tableOf(1, 0);
        QVERIFY(WriteRegistry(tc.ctx));
        const auto before = hostfolder::snapshot(dir.path());
        if (name.isEmpty())
            tc.ctx.paths = HostLayout(dir.path() + QStringLiteral("/missing-folder"));
        else
            tc.ctx.table.Pet[0] = name;
        QVERIFY(!WriteRegistry(tc.ctx));
        QCOMPARE(tc.messages.texts(), QStringList{kMsgRegistryWriteFailed});
        QCOMPARE(hostfolder::snapshot(dir.path()), before);
    }

    void readFillsSelectorWithoutSwitching()
    {
        QTemporaryDir dir;
        TestContext tc(dir.path());
        tc.ctx.table = tableOf(3, 1);
        QVERIFY(WriteRegistry(tc.ctx));
        tc.ctx.table = PetTable{};
        ReadRegistry(tc.ctx);
        QCOMPARE(tc.view.selector, (QStringList{texts::kNewPetEntry, QStringLiteral("ペット0"), QStringLiteral("ペット1"), QStringLiteral("ペット2")}));
        QCOMPARE(tc.view.current, QStringLiteral("ペット1"));
        QCOMPARE(tc.view.owner, QStringLiteral("飼い主1"));
        QVERIFY(!tc.ctx.SuppressPetSel);
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "test_registry.moc"
