// Upgrade of version 1.0 mailboxes on real temporary folders: recognition, renames, removal of unused mailboxes, and
// that a failure leaves everything as it was.
#include "app/Registry.h"
#include "storage/Upgrade.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QByteArray kOldRegistry = "[Kennel]\r\nLastUser = 0\r\n";

UpgradeNames names3(const QString& a, const QString& b, const QString& c)
{
    UpgradeNames n;
    n.pet = {a, b, c};
    n.master = {QStringLiteral("飼い主"), QStringLiteral("飼い主"), QStringLiteral("飼い主")};
    return n;
}

} // namespace

class TestUpgrade : public QObject {
    Q_OBJECT

private slots:
    void init();

    void convert_data();
    void convert();
    void convert_lastUsedMailboxWithoutFolder_getsEmptyPetFolder();
    void failure_leavesEverythingAsItWas_data();
    void failure_leavesEverythingAsItWas();

private:
    QString program() const { return dir_->path() + QStringLiteral("/host"); }
    QString oldFolder(int n) const { return program() + QStringLiteral("/ユーザー ") + QString::number(n); }
    QString petFolder(int n) const { return program() + QStringLiteral("/ユーザー") + QString::number(n); }
    // A version 1.0 mailbox folder; with settings it holds data.
    void makeMailbox(int n, bool withSettings);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TestContext> tc_;
};

void TestUpgrade::init()
{
    tc_.reset();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    hostfolder::makeHost(program(), QStringLiteral("live"));
    hostfolder::write(program(), QStringLiteral("Kennel.ini"), kOldRegistry);
    tc_ = std::make_unique<TestContext>(program());
}

void TestUpgrade::makeMailbox(int n, bool withSettings)
{
    const QByteArray tag = "mailbox " + QByteArray::number(n);
    const QString base = oldFolder(n);
    hostfolder::write(base, QStringLiteral("おやつ/cake.pac"), tag);
    hostfolder::write(base, QStringLiteral("受信フォルダ/in.mwm"), tag);
    hostfolder::write(base, QStringLiteral("おともだち帳"), tag);
    for (const QString& item : items::kFolderOrder)
        QDir().mkpath(base + QLatin1Char('/') + item);
    if (withSettings)
        hostfolder::write(base, items::kSettings, tag);
}

void TestUpgrade::convert_data()
{
    QTest::addColumn<QList<int>>("mailboxes"); // 1..3 with settings; negative: folder without settings
    QTest::addColumn<int>("lastUser");
    QTest::addColumn<QList<int>>("petFrom"); // mailbox number of each new pet folder
    QTest::addColumn<int>("currentUser");
    QTest::newRow("one mailbox, unused folders 2 and 3 go") << QList<int>{1, -2, -3} << 0 << QList<int>{1} << 0;
    QTest::newRow("two mailboxes, the second last used") << QList<int>{1, 2} << 1 << QList<int>{1, 2} << 1;
    QTest::newRow("three mailboxes") << QList<int>{1, 2, 3} << 2 << QList<int>{1, 2, 3} << 2;
    QTest::newRow("mailbox 3 without mailbox 2 becomes pet 2") << QList<int>{1, -2, 3} << 2 << QList<int>{1, 3} << 1;
    QTest::newRow("last used mailbox without settings file is kept")
        << QList<int>{1, -2, -3} << 1 << QList<int>{1, 2} << 1;
}

void TestUpgrade::convert()
{
    QFETCH(QList<int>, mailboxes);
    QFETCH(int, lastUser);
    QFETCH(QList<int>, petFrom);
    QFETCH(int, currentUser);
    for (int m : mailboxes)
        makeMailbox(std::abs(m), m > 0);
    QMap<int, QMap<QString, QByteArray>> before;
    for (int n = 1; n <= 3; ++n)
        before[n] = hostfolder::snapshot(oldFolder(n));

    const MailboxPlan plan = ScanMailboxes(tc_->ctx.paths, lastUser);
    QVERIFY(ConvertMailboxes(tc_->ctx, plan, names3("ポチ", "タマ", "ミケ")));

    for (int i = 0; i < petFrom.size(); ++i)
        QCOMPARE(hostfolder::snapshot(petFolder(i + 1)), before[petFrom[i]]);
    QVERIFY(!hostfolder::exists(petFolder(petFrom.size() + 1)));
    for (int n = 1; n <= 3; ++n)
        QVERIFY2(!hostfolder::exists(oldFolder(n)), qPrintable(oldFolder(n)));

    const RegistryContent reg = parseRegistry(hostfolder::read(program() + QStringLiteral("/Kennel.ini")));
    QCOMPARE(reg.kind, RegistryContent::Kind::Version2);
    QCOMPARE(reg.table.MaxUser, petFrom.size() - 1);
    QCOMPARE(reg.table.CurrentUser, currentUser);
    QCOMPARE(reg.table.Pet[0], QStringLiteral("ポチ"));
    const QString secondName = petFrom.value(1) == 3 ? QStringLiteral("ミケ") : QStringLiteral("タマ");
    if (petFrom.size() > 1)
        QCOMPARE(reg.table.Pet[1], secondName);
    QCOMPARE(reg.table.Master[0], QStringLiteral("飼い主"));
    QVERIFY(tc_->messages.shown.isEmpty());
}

void TestUpgrade::convert_lastUsedMailboxWithoutFolder_getsEmptyPetFolder()
{
    makeMailbox(1, true);
    const MailboxPlan plan = ScanMailboxes(tc_->ctx.paths, 2);
    QVERIFY(ConvertMailboxes(tc_->ctx, plan, names3("ポチ", "", "ミケ")));
    QCOMPARE(tc_->ctx.table.CurrentUser, 1);
    for (const QString& item : items::kFolderOrder)
        QVERIFY(QFileInfo(petFolder(2) + QLatin1Char('/') + item).isDir());
}

void TestUpgrade::failure_leavesEverythingAsItWas_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("pet folder 2 exists already")
        << "exists" << QStringList{kMsgUpgradeFolderExists.arg(QStringLiteral("%HOST%/ユーザー2"))};
    QTest::newRow("third rename fails: first two undone")
        << "rename"
        << QStringList{
               kMsgUpgradeRenameFailed.arg(QStringLiteral("%HOST%/ユーザー 3"), QStringLiteral("%HOST%/ユーザー3"))};
    QTest::newRow("registry cannot be written: renames undone")
        << "registry" << QStringList{kMsgRegistryWriteFailed, kMsgUpgradeNotWritten};
}

void TestUpgrade::failure_leavesEverythingAsItWas()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, messages);
    for (int n = 1; n <= 3; ++n)
        makeMailbox(n, true);
    FolderRename rename = RenameFolderNoReplace;
    int calls = 0;
    if (fault == QLatin1String("exists"))
        QVERIFY(QDir().mkpath(petFolder(2)));
    if (fault == QLatin1String("rename"))
        rename = [&](const QString& from, const QString& to) {
            return ++calls != 3 && RenameFolderNoReplace(from, to);
        };
    if (fault == QLatin1String("registry")) {
        // A folder in place of Kennel.ini: the new file cannot take its name.
        QVERIFY(QFile::remove(program() + QStringLiteral("/Kennel.ini")));
        QVERIFY(QDir().mkpath(program() + QStringLiteral("/Kennel.ini")));
    }
    const auto before = hostfolder::snapshot(program());
    tc_->ctx.table.CurrentUser = 0;
    const PetTable tableBefore = tc_->ctx.table;

    const MailboxPlan plan = ScanMailboxes(tc_->ctx.paths, 0);
    QVERIFY(!ConvertMailboxes(tc_->ctx, plan, names3("ポチ", "タマ", "ミケ"), rename));

    QCOMPARE(tc_->messages.texts().replaceInStrings(program(), QStringLiteral("%HOST%")), messages);
    QCOMPARE(hostfolder::snapshot(program()), before);
    QCOMPARE(tc_->ctx.table.MaxUser, tableBefore.MaxUser);
    QCOMPARE(tc_->ctx.table.CurrentUser, tableBefore.CurrentUser);
    QCOMPARE(tc_->ctx.table.Pet[0], tableBefore.Pet[0]);
}

QTEST_GUILESS_MAIN(TestUpgrade)
#include "test_upgrade.moc"
