// The storage operations on real folders: what moves and what stays, links, known copies.
#include "storage/StorageOps.h"
#include "tests/support/HostTest.h"

#include <QtTest>

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>

using hostfolder::exists;
using hostfolder::read;

namespace {
// Sets a file's modification time to `when` (seconds since the epoch).
void setTime(const QString& path, time_t when)
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

ino_t inode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}
}

class TestStorageOps : public HostTest {
    Q_OBJECT

    // A live host ("live"), pet 0 of two current; `sub` as newHost's.
    void setUp(const QString& sub = {})
    {
        newHost(sub);
        hostfolder::makeHost(host(), QStringLiteral("live"));
        addPets(2, 0);
    }
    QString at(const QString& base, const char* relative) const { return base + '/' + QString::fromUtf8(relative); }

private slots:
    void storeCopiesEveryKindButNotSubFolders()
    {
        setUp();
        hostfolder::write(host(), QStringLiteral("受信フォルダ/sub/deep.mwm"), "nested");
        hostfolder::write(pet(1), QStringLiteral("extra.txt"), "old root file");
        hostfolder::write(pet(1), QStringLiteral("おもちゃ/old.pty"), "old toy");
        hostfolder::write(pet(1), QStringLiteral("おもちゃ/keep/inner.pty"), "sub-folder file");
        table().Oyatsu = table().Toys = true; // storing ignores the flags
        auto expected = hostfolder::snapshot(host());
        const QStringList files{items::kFriends, items::kSettings, items::kSettingsBackup};
        expected.removeIf([&](auto it) {
            return (!items::kFolderOrder.contains(it.key().section(u'/', 0, 0)) && !files.contains(it.key()))
                   || it.key().startsWith(QStringLiteral("受信フォルダ/sub"));
        });
        StorePetData(session(), none());
        // Every kind, without the host's sub-folders; old root files go, the pet's sub-folders stay.
        expected.insert(QStringLiteral("おもちゃ/keep/"), {});
        expected.insert(QStringLiteral("おもちゃ/keep/inner.pty"), "sub-folder file");
        QCOMPARE(hostfolder::snapshot(pet(1)), expected);
    }

    // A second store, then a load, over an earlier copy: a file of the same size with another
    // time is replaced, and so is one of the same size and time but other bytes; a file the
    // source lacks goes, an unchanged file is not rewritten.
    void updatesOnlyWhatChanged()
    {
        for (bool load : {false, true}) {
            setUp();
            for (QDirIterator files(host(), QDir::Files, QDirIterator::Subdirectories); files.hasNext();)
                setTime(files.next(), ::time(nullptr) - 3600);
            StorePetData(session(), none());
            const QString from = load ? pet(1) : host(), to = load ? host() : pet(1);
            hostfolder::write(from, QStringLiteral("おもちゃ/ball.pty"), "toy LIVE");
            setTime(at(from, "おもちゃ/ball.pty"), ::time(nullptr) - 7200);
            QVERIFY(QFile::remove(at(from, "おやつ/cake.pac")));
            for (const auto& [folder, bytes] : {std::pair(from, "mine"), std::pair(to, "your")}) {
                hostfolder::write(folder, QStringLiteral("宝物/twin.pac"), bytes);
                setTime(at(folder, "宝物/twin.pac"), 1'000'000'000);
            }
            const ino_t unchanged = inode(at(to, "受信フォルダ/in.mwm"));
            load ? LoadPetData(session(), none()) : StorePetData(session(), none());
            QCOMPARE(read(at(to, "おもちゃ/ball.pty")), QByteArray("toy LIVE"));
            QCOMPARE(read(at(to, "宝物/twin.pac")), QByteArray("mine"));
            QVERIFY(!exists(at(to, "おやつ/cake.pac")));
            QCOMPARE(inode(at(to, "受信フォルダ/in.mwm")), unchanged);
            QCOMPARE(read(at(to, "受信フォルダ/in.mwm")), QByteArray("in live"));
            QVERIFY(tc->messages.shown.isEmpty());
        }
    }

    // Nothing is read, written or deleted through a link: an item folder or the template that
    // is one becomes a real folder (the link goes, what it points to stays as it was); a file
    // that is one is stored as a link.
    void linksAreNeverFollowed()
    {
        // In the program folder, and what it points to: a pet's inbox to another pet's, the
        // template, a mail to a private file.
        const std::pair<QString, QString> links[] = {{"ユーザー1/受信フォルダ", "../ユーザー2/受信フォルダ"},
                                                     {"Default", "../outside"},
                                                     {"受信フォルダ/secret.mwm", "../../outside/private.txt"}};
        for (const auto& [link, text] : links) {
            setUp(QStringLiteral("/host"));
            hostfolder::makeHost(pet(1), QStringLiteral("A"));
            hostfolder::makeHost(pet(2), QStringLiteral("B"));
            hostfolder::write(outside(), QStringLiteral("private.txt"), "private");
            QDir(host() + '/' + link).removeRecursively();
            std::filesystem::create_symlink(text.toStdString(), (host() + '/' + link).toStdString());
            const auto before = hostfolder::snapshot(outside()), other = hostfolder::snapshot(pet(2));
            QVERIFY(SnapshotDefaultData(session(), none()) && StorePetData(session(), none()));
            QCOMPARE(hostfolder::snapshot(outside()), before);
            QCOMPARE(hostfolder::snapshot(pet(2)), other);
            const QFileInfo made(host() + '/' + link);
            if (made.isSymLink()) // a file of the host's, now also in the pet's folder
                QCOMPARE(std::filesystem::read_symlink((pet(1) + '/' + link).toStdString()), text.toStdString());
            else
                QVERIFY(made.isDir());
            QVERIFY(tc->messages.shown.isEmpty());
        }
    }

    // Missing optional items: a store makes every item folder of a fresh pet folder and removes
    // stale copies; a load leaves the host without settings and with an empty attachments folder.
    void optionalItemsMissing()
    {
        setUp();
        QVERIFY(QFile::remove(at(host(), "おともだち帳")) && QFile::remove(at(host(), "Mewmail設定.mwc")));
        QDir(at(host(), "添付書類ﾌｫﾙﾀﾞ")).removeRecursively();
        StorePetData(session(), none()); // a fresh folder gets all six item folders
        QVERIFY(QFileInfo(at(pet(1), "添付書類ﾌｫﾙﾀﾞ")).isDir());
        hostfolder::write(pet(1), QStringLiteral("Mewmail設定.mwc"), "stale settings");
        StorePetData(session(), none());
        QVERIFY(!exists(at(pet(1), "Mewmail設定.mwc")) && !exists(at(pet(1), "おともだち帳")));
        for (const QString& f : items::kFolderOrder)
            if (f != items::kAttachments)
                QDir().mkpath(pet(2) + '/' + f);
        hostfolder::makeHost(host(), QStringLiteral("live"));
        table().CurrentUser = 1;
        LoadPetData(session(), none());
        QVERIFY(!exists(at(host(), "Mewmail設定.mwc")) && !exists(at(host(), "Mewmail設定.bak")));
        QVERIFY(QDir(at(host(), "添付書類ﾌｫﾙﾀﾞ")).isEmpty());
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void noCurrentPetStoresAndLoadsNothing()
    {
        setUp();
        table().CurrentUser = -1;
        const auto before = hostfolder::snapshot(host());
        StorePetData(session(), none());
        LoadPetData(session(), none());
        QCOMPARE(hostfolder::snapshot(host()), before);
    }

    // The template keeps files it had; a new pet starts from it, shared kinds excepted.
    void newPetStartsFromTemplate()
    {
        setUp();
        hostfolder::write(host(), QStringLiteral("Default/おやつ/old.pac"), "template");
        SnapshotDefaultData(session(), none());
        QCOMPARE(read(at(host(), "Default/おやつ/old.pac")), QByteArray("template"));
        hostfolder::write(host(), QStringLiteral("おもちゃ/new.pty"), "played");
        hostfolder::write(host(), QStringLiteral("おやつ/shared.pac"), "common");
        table().Toys = false;
        table().Oyatsu = true;
        InitNewPetData(session(), none());
        QVERIFY(!exists(at(host(), "おもちゃ/new.pty")));
        QCOMPARE(read(at(host(), "おもちゃ/ball.pty")), QByteArray("toy live"));
        QCOMPARE(read(at(host(), "おやつ/shared.pac")), QByteArray("common"));
        QVERIFY(!exists(at(host(), "Mewmail設定.mwc")) && !exists(at(host(), "Mewmail設定.bak")));
    }

    // Preparing a folder is the restore's staging (test_restore).
    void removePetFolder()
    {
        setUp();
        RemovePetFolder(pet(7) + '/', none()); // missing: nothing happens
        QVERIFY(tc->messages.shown.isEmpty());
        hostfolder::makePet(pet(3), QStringLiteral("three"));
        hostfolder::write(pet(3), QStringLiteral("宝物/box/x.pac"), "kept");
        RemovePetFolder(pet(3) + '/', none());
        QVERIFY(exists(at(pet(3), "宝物/box/x.pac"))); // a sub-folder keeps it
        QVERIFY(!exists(at(pet(3), "おやつ")));
    }
};

QTEST_GUILESS_MAIN(TestStorageOps)
#include "test_storage.moc"
