// The information file and the two source checks that read it.
#include "app/Cp932.h"
#include "backup/BackupInfo.h"
#include "backup/RestoreSource.h"
#include "tests/backup/BackupFixture.h"

#include <QtTest>

namespace {
QByteArray sjis(const QString& s)
{
    return *cp932::encode(s);
}
}  // namespace

class TestBackupInfo : public QObject {
    Q_OBJECT

    std::unique_ptr<BackupFixture> fx;

private slots:
    void init() { fx = std::make_unique<BackupFixture>(); }

    void write_fiveLinesInCp932WithCrLf()
    {
        const int i = fx->addPet(QStringLiteral("ポチ"), QStringLiteral("かいぬし"));
        WriteBackupInfo(fx->ctx(), i, QDate(1999, 10, 31));
        const QByteArray expected = "Kennel 2001 Pet Backup File\r\nVersion = 2.0\r\nBackup Date = 19991031\r\nMaster = "
                                    + sjis(QStringLiteral("かいぬし")) + "\r\nPet = " + sjis(QStringLiteral("ポチ")) + "\r\n";
        QCOMPARE(hostfolder::read(fx->pet(i) + QStringLiteral("/BackUp.ini")), expected);
    }

    void write_rewritesExistingFileOfOtherCase()
    {
        const int i = fx->addPet(QStringLiteral("ポチ"), QStringLiteral("かいぬし"));
        hostfolder::write(fx->pet(i), QStringLiteral("BACKUP.INI"), "old");
        WriteBackupInfo(fx->ctx(), i, QDate(2024, 1, 2));
        QVERIFY(!hostfolder::exists(fx->pet(i) + QStringLiteral("/BackUp.ini")));
        QVERIFY(hostfolder::read(fx->pet(i) + QStringLiteral("/BACKUP.INI")).contains("20240102"));
    }

    void readingRule_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("pet");
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("date");

        const QByteArray magic = "Kennel 2001 Pet Backup File\r\n";
        QTest::newRow("as written") << magic + "Version = 2.0\r\nBackup Date = 19991031\r\nMaster = A\r\nPet = B\r\n"
                                    << true << "B" << "A" << "19991031";
        QTest::newRow("any order, magic last") << QByteArray("Pet = B\r\nBackup Date = 1\r\nMaster = A\r\n") + magic
                                               << true << "B" << "A" << "1";
        QTest::newRow("no version line") << magic + "Master = A\r\nPet = B\r\nBackup Date = 2\r\n" << true << "B" << "A" << "2";
        QTest::newRow("lower-case magic and keys") << QByteArray("kennel 2001 pet backup file\r\npet = B\r\nmaster = A\r\nbackup date = 3\r\n")
                                                   << true << "B" << "A" << "3";
        QTest::newRow("value untrimmed, after first key") << magic + "Pet =  B  \r\nMaster = A\r\nBackup Date = x\r\n"
                                                          << true << " B  " << "A" << "x";
        QTest::newRow("owner holding 'Pet = ' feeds the pet pass")
            << magic + "Master = Pet = Tama\r\nPet = Pochi\r\nBackup Date = 4\r\n" << true << "Tama" << "Pet = Tama" << "4";
        QTest::newRow("empty owner") << magic + "Master = \r\nPet = B\r\nBackup Date = 5\r\n" << true << "B" << "" << "5";
        QTest::newRow("lines ended by LF alone") << QByteArray("Kennel 2001 Pet Backup File\nPet = B\nMaster = A\nBackup Date = 6\n")
                                                 << true << "B" << "A" << "6";
        QTest::newRow("no magic") << QByteArray("Pet = B\r\nMaster = A\r\nBackup Date = 7\r\n") << false << "" << "" << "";
        QTest::newRow("no pet") << magic + "Master = A\r\nBackup Date = 7\r\n" << false << "" << "" << "";
        QTest::newRow("no owner") << magic + "Pet = B\r\nBackup Date = 7\r\n" << false << "" << "" << "";
        QTest::newRow("no date") << magic + "Pet = B\r\nMaster = A\r\n" << false << "" << "" << "";
        QTest::newRow("key without its blank") << magic + "Pet =B\r\nMaster = A\r\nBackup Date = 7\r\n" << false << "" << "" << "";
        QTest::newRow("empty file") << QByteArray() << false << "" << "" << "";
    }

    void readingRule()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, accepted);
        const auto info = parseBackupInfo(file);
        QCOMPARE(info.has_value(), accepted);
        if (accepted) {
            QTEST(info->pet, "pet");
            QTEST(info->master, "master");
            QTEST(info->date, "date");
        }
    }

    void folderSource_data()
    {
        QTest::addColumn<QString>("infoName");   // empty: no information file
        QTest::addColumn<QByteArray>("infoBytes");
        QTest::addColumn<bool>("settings");
        QTest::addColumn<QString>("message");    // empty: accepted
        QTest::addColumn<QString>("pet");

        const QByteArray good = "Kennel 2001 Pet Backup File\r\nBackup Date = 19991031\r\nMaster = A\r\nPet = B\r\n";
        QTest::newRow("information file") << "BackUp.ini" << good << false << "" << "B";
        QTest::newRow("information file in lower case") << "backup.ini" << good << false << "" << "B";
        QTest::newRow("plain copy of a pet") << "" << QByteArray() << true << "" << "未設定";
        QTest::newRow("broken file beats settings file") << "Backup.ini" << QByteArray("Kennel 2001 Pet Backup File\r\nPet = B\r\n")
                                                         << true << kMsgBrokenFolderInfo << "";
        QTest::newRow("nothing of a pet") << "" << QByteArray() << false << kMsgNoBackupInFolder << "";
    }

    void folderSource()
    {
        QFETCH(QString, infoName);
        QFETCH(QByteArray, infoBytes);
        QFETCH(bool, settings);
        QFETCH(QString, message);
        const QString folder = fx->outside() + QStringLiteral("/src");
        QDir().mkpath(folder);
        if (!infoName.isEmpty())
            hostfolder::write(folder, infoName, infoBytes);
        if (settings)
            hostfolder::write(folder, items::kSettings, "s");
        const auto info = CheckFolderSource(fx->ctx(), folder + QLatin1Char('/'));
        QCOMPARE(info.has_value(), message.isEmpty());
        QCOMPARE(fx->tc->messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        for (const auto& shown : fx->tc->messages.shown)
            QCOMPARE(shown.icon, MsgIcon::Critical);
        if (info) {
            QTEST(info->pet, "pet");
            if (!settings)
                QCOMPARE(info->date, QStringLiteral("19991031"));
            else
                QCOMPARE(formatBackupDate(info->date), QStringLiteral(" 不明"));
        }
    }

    void dateDisplay_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("shown");
        QTest::newRow("eight digits") << "19991031" << " 1999年10月31日";
        QTest::newRow("unknown") << "不明" << " 不明";
        QTest::newRow("six characters") << "199910" << " 1999年10月10日";
        QTest::newRow("four characters") << "1999" << " 1999年月99日";
        QTest::newRow("empty") << "" << " 年月日";
    }

    void dateDisplay()
    {
        QFETCH(QString, date);
        QTEST(formatBackupDate(date), "shown");
    }
};

QTEST_GUILESS_MAIN(TestBackupInfo)
#include "test_backupinfo.moc"
