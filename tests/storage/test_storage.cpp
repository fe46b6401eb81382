// The storage operations on real folders: what moves and what stays, links, known copies.
#include "storage/StorageOps.h"
#include "tests/support/HostTest.h"

#include <QDirIterator>

#include <QtTest>

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>

using hostfolder::read;

namespace {
const QString kSub = QStringLiteral("/受信フォルダ/sub/deep.mwm");

// Sets a file's modification time to `when`, or secondsAgo before now.
void setTime(const QString& path, time_t when)
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}
void age(const QString& path, int secondsAgo)
{
    setTime(path, ::time(nullptr) - secondsAgo);
}

ino_t inode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}
}

class TestStorageOps : public HostTest {
    Q_OBJECT

private slots:
    void init()
    {
        newHost();
        hostfolder::makeHost(host(), QStringLiteral("live"));
        table().MaxUser = 1;
        table().CurrentUser = 0;
    }

    void storeCopiesEveryKindButNotSubFolders()
    {
        hostfolder::write(host(), kSub, "nested");
        hostfolder::write(pet(1), QStringLiteral("extra.txt"), "old root file");
        hostfolder::write(pet(1), QStringLiteral("おもちゃ/old.pty"), "old toy");
        hostfolder::write(pet(1), QStringLiteral("おもちゃ/keep/inner.pty"), "sub-folder file");
        table().Oyatsu = table().Toys = true;  // storing ignores the flags
        auto expected = hostfolder::snapshot(host());
        const QStringList files{items::kFriends, items::kSettings, items::kSettingsBackup};
        expected.removeIf([&](auto it) {
            return !items::kFolderOrder.contains(it.key().section(u'/', 0, 0)) && !files.contains(it.key());
        });
        StorePetData(session(), none());
        // Every kind, flags or not, without the host's sub-folders; old root files go, the pet's sub-folders stay.
        expected.remove(QStringLiteral("受信フォルダ/sub/"));
        expected.remove(QStringLiteral("受信フォルダ/sub/deep.mwm"));
        expected.insert(QStringLiteral("おもちゃ/keep/"), {});
        expected.insert(QStringLiteral("おもちゃ/keep/inner.pty"), "sub-folder file");
        QCOMPARE(hostfolder::snapshot(pet(1)), expected);
    }

    // A second store or a load over an earlier copy: a file of the same size with another time
    // is replaced, and so is one of the same size and time but other bytes; a file the source
    // lacks goes, an unchanged file is not rewritten.
    void updatesOnlyWhatChanged_data()
    {
        QTest::addColumn<bool>("load");
        QTest::newRow("store") << false;
        QTest::newRow("load") << true;
    }

    void updatesOnlyWhatChanged()
    {
        QFETCH(bool, load);
        QDirIterator files(host(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext())
            age(files.next(), 3600);
        StorePetData(session(), none());
        const QString from = load ? pet(1) : host();
        const QString to = load ? host() : pet(1);
        hostfolder::write(from, QStringLiteral("おもちゃ/ball.pty"), "toy LIVE");
        age(from + QStringLiteral("/おもちゃ/ball.pty"), 7200);
        QVERIFY(QFile::remove(from + QStringLiteral("/おやつ/cake.pac")));
        for (const auto& [folder, bytes] : {std::pair(from, "mine"), std::pair(to, "your")}) {
            hostfolder::write(folder, QStringLiteral("宝物/twin.pac"), bytes);
            setTime(folder + QStringLiteral("/宝物/twin.pac"), 1'000'000'000);
        }
        const ino_t unchanged = inode(to + QStringLiteral("/受信フォルダ/in.mwm"));
        load ? LoadPetData(session(), none()) : StorePetData(session(), none());
        QCOMPARE(read(to + QStringLiteral("/おもちゃ/ball.pty")), QByteArray("toy LIVE"));
        QCOMPARE(read(to + QStringLiteral("/宝物/twin.pac")), QByteArray("mine"));
        QVERIFY(!hostfolder::exists(to + QStringLiteral("/おやつ/cake.pac")));
        QCOMPARE(inode(to + QStringLiteral("/受信フォルダ/in.mwm")), unchanged);
        QCOMPARE(read(to + QStringLiteral("/受信フォルダ/in.mwm")), QByteArray("in live"));
        QVERIFY(tc->messages.shown.isEmpty());
    }

    // Nothing is read, written or deleted through a link: an item folder or the template that
    // is one becomes a real folder (the link goes, what it points to stays as it was); a file
    // that is one is stored as a link.
    void linksAreNeverFollowed_data()
    {
        QTest::addColumn<QString>("link"); // in the program folder
        QTest::addColumn<QString>("text"); // what it points to
        QTest::newRow("pet's inbox to another pet's") << "ユーザー1/受信フォルダ" << "../ユーザー2/受信フォルダ";
        QTest::newRow("pet's toys to outside") << "ユーザー1/おもちゃ" << "../../outside";
        QTest::newRow("the template") << "Default" << "../outside";
        QTest::newRow("a mail to a private file") << "受信フォルダ/secret.mwm" << "../../outside/private.txt";
    }

    void linksAreNeverFollowed()
    {
        QFETCH(QString, link);
        QFETCH(QString, text);
        newHost(QStringLiteral("/host"));
        hostfolder::makeHost(host(), QStringLiteral("live"));
        hostfolder::makeHost(pet(1), QStringLiteral("A"));
        hostfolder::makeHost(pet(2), QStringLiteral("B"));
        hostfolder::write(root(), QStringLiteral("outside/private.txt"), "private");
        table().MaxUser = 1;
        table().CurrentUser = 0;
        QDir(host() + '/' + link).removeRecursively();
        std::filesystem::create_symlink(text.toStdString(), (host() + '/' + link).toStdString());
        const auto outside = hostfolder::snapshot(root() + QStringLiteral("/outside"));
        const auto other = hostfolder::snapshot(pet(2));
        QVERIFY(SnapshotDefaultData(session(), none()) && StorePetData(session(), none()));
        QCOMPARE(hostfolder::snapshot(root() + QStringLiteral("/outside")), outside);
        QCOMPARE(hostfolder::snapshot(pet(2)), other);
        const QFileInfo made(host() + '/' + link);
        if (made.isSymLink()) // a file of the host's, now also in the pet's folder
            QCOMPARE(std::filesystem::read_symlink((pet(1) + '/' + link).toStdString()), text.toStdString());
        else
            QVERIFY(made.isDir());
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void storeWithoutOptionalItems()
    {
        QFile::remove(host() + QStringLiteral("/おともだち帳"));
        QFile::remove(host() + QStringLiteral("/Mewmail設定.mwc"));
        QDir(host() + QStringLiteral("/添付書類ﾌｫﾙﾀﾞ")).removeRecursively();
        StorePetData(session(), none());  // a fresh folder gets all six item folders
        QVERIFY(QFileInfo(pet(1) + QStringLiteral("/添付書類ﾌｫﾙﾀﾞ")).isDir());
        hostfolder::write(pet(1), QStringLiteral("Mewmail設定.mwc"), "stale settings");
        StorePetData(session(), none());
        QVERIFY(!hostfolder::exists(pet(1) + QStringLiteral("/Mewmail設定.mwc")));
        QVERIFY(!hostfolder::exists(pet(1) + QStringLiteral("/おともだち帳")));
        QVERIFY(QFileInfo(pet(1) + QStringLiteral("/添付書類ﾌｫﾙﾀﾞ")).isDir());
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void loadWithoutSettingsOrAttachments()
    {
        QDir().mkpath(pet(2));
        for (const QString& f : items::kFolderOrder)
            if (f != items::kAttachments)
                QDir().mkpath(pet(2) + '/' + f);
        table().CurrentUser = 1;
        LoadPetData(session(), none());
        QVERIFY(!hostfolder::exists(host() + QStringLiteral("/Mewmail設定.mwc")));
        QVERIFY(!hostfolder::exists(host() + QStringLiteral("/Mewmail設定.bak")));
        QVERIFY(QDir(host() + QStringLiteral("/添付書類ﾌｫﾙﾀﾞ")).isEmpty());
    }

    void noCurrentPetStoresAndLoadsNothing()
    {
        table().CurrentUser = -1;
        const auto before = hostfolder::snapshot(host());
        StorePetData(session(), none());
        LoadPetData(session(), none());
        QCOMPARE(hostfolder::snapshot(host()), before);
    }

    // The template keeps files it had; a new pet starts from it, shared kinds excepted.
    void newPetStartsFromTemplate()
    {
        hostfolder::write(host(), QStringLiteral("Default/おやつ/old.pac"), "template");
        SnapshotDefaultData(session(), none());
        QCOMPARE(read(host() + QStringLiteral("/Default/おやつ/old.pac")), QByteArray("template"));
        hostfolder::write(host(), QStringLiteral("おもちゃ/new.pty"), "played");
        table().Toys = false;
        table().Oyatsu = true;
        hostfolder::write(host(), QStringLiteral("おやつ/shared.pac"), "common");
        InitNewPetData(session(), none());
        QVERIFY(!hostfolder::exists(host() + QStringLiteral("/おもちゃ/new.pty")));
        QCOMPARE(read(host() + QStringLiteral("/おもちゃ/ball.pty")), QByteArray("toy live"));
        QCOMPARE(read(host() + QStringLiteral("/おやつ/shared.pac")), QByteArray("common"));
        QVERIFY(!hostfolder::exists(host() + QStringLiteral("/Mewmail設定.mwc")));
        QVERIFY(!hostfolder::exists(host() + QStringLiteral("/Mewmail設定.bak")));
    }

    void removeAndPrepare()
    {
        RemovePetFolder(pet(7) + '/', none());  // missing: nothing happens
        QVERIFY(tc->messages.shown.isEmpty());
        hostfolder::makeHost(pet(3), QStringLiteral("three"));
        QFile::remove(pet(3) + QStringLiteral("/Mewmail20.exe"));
        PreparePetFolder(pet(3) + '/', none());
        QStringList entries = QDir(pet(3)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        entries.sort();
        QStringList expected = items::kFolderOrder;
        expected.sort();
        QCOMPARE(entries, expected);
        for (const QString& f : items::kFolderOrder)
            QVERIFY(QDir(pet(3) + '/' + f).isEmpty());
        hostfolder::write(pet(3), QStringLiteral("宝物/box/x.pac"), "kept");
        RemovePetFolder(pet(3) + '/', none());
        QVERIFY(hostfolder::exists(pet(3) + QStringLiteral("/宝物/box/x.pac")));  // a sub-folder keeps it
        QVERIFY(!hostfolder::exists(pet(3) + QStringLiteral("/おやつ")));
    }
};

QTEST_GUILESS_MAIN(TestStorageOps)
#include "test_storage.moc"
