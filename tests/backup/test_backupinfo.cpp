// The information file and the two source checks that read it.
#include "registry/Cp932.h"
#include "backup/BackupInfo.h"
#include "backup/RestoreSource.h"
#include "tests/support/HostTest.h"

#include <QtTest>

class TestBackupInfo : public HostTest {
    Q_OBJECT

    QString folderOf(int i) const { return session().layout().PetFolder(i); }

private slots:
    void init()
    {
        newHost(QStringLiteral("/host"));
        QDir().mkpath(outside());
        hostfolder::write(host(), QStringLiteral("Mewmail20.exe"), "host");
    }

    // Written in code page 932 with CR LF; an existing file of another letter case is rewritten in place.
    void write()
    {
        const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("かいぬし"));
        WriteBackupInfo(session(), i, QDate(1999, 10, 31));
        QCOMPARE(hostfolder::read(folderOf(i) + QStringLiteral("/BackUp.ini")),
                 "Kennel 2001 Pet Backup File\r\nVersion = 2.0\r\nBackup Date = 19991031\r\nMaster = "
                     + *cp932::encode(QStringLiteral("かいぬし")) + "\r\nPet = " + *cp932::encode(QStringLiteral("ポチ"))
                     + "\r\n");
        QFile::rename(folderOf(i) + QStringLiteral("/BackUp.ini"), folderOf(i) + QStringLiteral("/BACKUP.INI"));
        WriteBackupInfo(session(), i, QDate(2024, 1, 2));
        QVERIFY(!hostfolder::exists(folderOf(i) + QStringLiteral("/BackUp.ini")));
        QVERIFY(hostfolder::read(folderOf(i) + QStringLiteral("/BACKUP.INI")).contains("20240102"));
    }

    void readingRule_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("fields"); // pet|master|date; empty: refused
        const QByteArray magic = "Kennel 2001 Pet Backup File\r\n";
        QTest::newRow("as written") << magic + "Version = 2.0\r\nBackup Date = 19991031\r\nMaster = A\r\nPet = B\r\n"
                                    << "B|A|19991031";
        QTest::newRow("any order, magic last, no version")
            << QByteArray("Pet = B\r\nBackup Date = 1\r\nMaster = A\r\n") + magic << "B|A|1";
        QTest::newRow("lower-case magic and keys")
            << QByteArray("kennel 2001 pet backup file\r\npet = B\r\nmaster = A\r\nbackup date = 3\r\n") << "B|A|3";
        QTest::newRow("value untrimmed") << magic + "Pet =  B  \r\nMaster = A\r\nBackup Date = x\r\n" << " B  |A|x";
        QTest::newRow("owner holding 'Pet = ' feeds the pet pass")
            << magic + "Master = Pet = Tama\r\nPet = Pochi\r\nBackup Date = 4\r\n" << "Tama|Pet = Tama|4";
        QTest::newRow("empty owner") << magic + "Master = \r\nPet = B\r\nBackup Date = 5\r\n" << "B||5";
        QTest::newRow("no magic") << QByteArray("Pet = B\r\nMaster = A\r\nBackup Date = 7\r\n") << "";
        QTest::newRow("no pet") << magic + "Master = A\r\nBackup Date = 7\r\n" << "";
        QTest::newRow("no owner") << magic + "Pet = B\r\nBackup Date = 7\r\n" << "";
        QTest::newRow("no date") << magic + "Pet = B\r\nMaster = A\r\n" << "";
        QTest::newRow("key without its blank") << magic + "Pet =B\r\nMaster = A\r\nBackup Date = 7\r\n" << "";
        QTest::newRow("empty file") << QByteArray() << "";
    }

    void readingRule()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, fields);
        const auto info = parseBackupInfo(file);
        QCOMPARE(info ? (QStringList{info->pet, info->master, info->date}.join(u'|')) : QString(), fields);
    }

    void folderSource_data()
    {
        QTest::addColumn<QString>("infoName"); // empty: no information file
        QTest::addColumn<QByteArray>("infoBytes");
        QTest::addColumn<bool>("settings");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::addColumn<QString>("shown");   // pet and date as displayed
        const QByteArray good = "Kennel 2001 Pet Backup File\r\nBackup Date = 19991031\r\nMaster = A\r\nPet = B\r\n";
        QTest::newRow("information file in lower case") << "backup.ini" << good << false << "" << "B 1999年10月31日";
        QTest::newRow("plain copy of a pet") << "" << QByteArray() << true << "" << "未設定 不明";
        QTest::newRow("broken file beats settings file")
            << "Backup.ini" << QByteArray("Kennel 2001 Pet Backup File\r\nPet = B\r\n") << true << kMsgBrokenFolderInfo << "";
        QTest::newRow("nothing of a pet") << "" << QByteArray() << false << kMsgNoBackupInFolder << "";
    }

    void folderSource()
    {
        QFETCH(QString, infoName);
        QFETCH(bool, settings);
        QFETCH(QString, message);
        QFETCH(QByteArray, infoBytes);
        QFETCH(QString, shown);
        const QString folder = outside() + QStringLiteral("/src");
        QDir().mkpath(folder);
        if (!infoName.isEmpty())
            hostfolder::write(folder, infoName, infoBytes);
        if (settings)
            hostfolder::write(folder, items::kSettings, "s");
        const auto info = CheckFolderSource(*ctx().messages, folder + QLatin1Char('/'));
        QCOMPARE(tc->messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(info ? info->pet + formatBackupDate(info->date) : QString(), shown);
    }
};

QTEST_GUILESS_MAIN(TestBackupInfo)
#include "test_backupinfo.moc"
