// The library as Kennel uses it: loaded by UnlhaLibrary from the program folder, driven by the
// three command strings.
#include "LhaTestUtil.h"

#include "backup/UnlhaLibrary.h"
#include "tests/support/TestPorts.h"

#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

using namespace lhatest;

namespace {

int g_busyCalls = 0; // how many more UnlhaGetRunning calls answer "busy"
// A library whose only behaviour is a busy state for g_busyCalls calls.
UnlhaLibrary::Entries fakeEntries()
{
    UnlhaLibrary::Entries e;
    e.getVersion = [] { return 152; };
    e.getRunning = [] { return g_busyCalls-- > 0 ? -1 : 0; };
    e.run = [](void*, const char*, char*, unsigned long) { return 0; };
    e.checkArchive = [](const char*, int) { return 1; };
    e.openArchive = [](void*, const char*, unsigned long) -> void* { return nullptr; };
    e.findFirst = [](void*, const char*, void*) { return -1; };
    e.closeArchive = [](void*) { return 0; };
    return e;
}

QString binDir()
{
    return qEnvironmentVariable("KENNEL_BIN_DIR");
}

} // namespace

class TestLhaLibrary : public QObject {
    Q_OBJECT
private:
    QTemporaryDir tmp_;
    QString pet_, work_, archive_;
    std::unique_ptr<UnlhaLibrary> lib_;

private slots:
    void init()
    {
        QVERIFY(tmp_.isValid());
        // Quotes and blanks in every argument: a pet name may hold them.
        pet_ = tmp_.filePath("pets/\"ポチ\" 2");
        work_ = tmp_.filePath("temp/");
        archive_ = tmp_.filePath("backup/\"ポチ\" 2991031.lzh");
        QDir().mkpath(work_);
        QDir().mkpath(tmp_.filePath("backup"));
        makePetFolder(pet_);
        lib_ = std::make_unique<UnlhaLibrary>(binDir());
        QVERIFY2(lib_->isLoaded(), qPrintable(lib_->loadError()));
    }
    void cleanup()
    {
        lib_.reset();
        QDir(tmp_.path()).removeRecursively();
        QDir().mkpath(tmp_.path());
    }

    void petFolder_roundTrip_isByteIdentical()
    {
        QVERIFY(lib_->version() > 0);
        QVERIFY2(lib_->RunUnlha(unlhaAddCommand(archive_, work_, pet_, true)), qPrintable(lib_->lastOutput()));
        QVERIFY(lib_->checkArchive(archive_));
        QVERIFY(lib_->hasMember(archive_));
        QVERIFY(lib_->hasMember(archive_, "BACKUP.INI"));
        QVERIFY(!lib_->hasMember(archive_, "Kennel.ini"));
        QVERIFY(QDir(work_).isEmpty()); // the work folder only names a base

        QVERIFY(lib_->RunUnlha(unlhaExtractOneCommand(archive_, work_)));
        QCOMPARE(readFile(work_ + "BackUp.ini"), readFile(pet_ + "/BackUp.ini"));

        const QString target = tmp_.filePath("restored/ポチ");
        QVERIFY(lib_->RunUnlha(unlhaExtractAllCommand(archive_, target)));
        QCOMPARE(snapshot(target), snapshot(pet_));

        // A second run replaces changed files without asking.
        writeFile(target + "/宝物/random.bin", "changed");
        writeFile(target + "/BackUp.ini", "changed");
        QVERIFY(lib_->RunUnlha(unlhaExtractAllCommand(archive_, target)));
        QCOMPARE(snapshot(target), snapshot(pet_));
    }

    // Links in a pet folder are left out: the archive never holds what lies behind them.
    void add_leavesOutTheAttachmentFolderAndLinks()
    {
        writeFile(tmp_.filePath("private/secret.txt"), "secret\n");
        QVERIFY(QFile::link(tmp_.filePath("private/secret.txt"), pet_ + "/link.mwc"));
        QVERIFY(QFile::link(tmp_.filePath("private"), pet_ + "/宝物/linked"));
        QVERIFY(QDir(pet_ + "/おもちゃ").removeRecursively());
        QVERIFY(QFile::link(tmp_.filePath("private"), pet_ + "/おもちゃ"));
        QVERIFY2(lib_->RunUnlha(unlhaAddCommand(archive_, work_, pet_, false)), qPrintable(lib_->lastOutput()));
        QVERIFY(!lib_->hasMember(archive_, "添付書類ﾌｫﾙﾀﾞ/*"));
        for (const char* left : {"*secret*", "link.mwc", "宝物/linked", "おもちゃ*"})
            QVERIFY2(!lib_->hasMember(archive_, left), left);
        QVERIFY(lib_->hasMember(archive_, "おやつ/sub/深い/bone.txt"));
    }

    // An information file stored in upper case, or none, through extract-one: test_backup
    // (archiveSource), where the backup check reads it.

    // Kennel's progress entry: on the calling thread the bytes done grow to the total for the
    // add, the check and the extraction; a cancel leaves no archive and no partly written file.
    void progress_reachesTheTotalAndCancels()
    {
        using Fn = int (*)(void*, unsigned long long, unsigned long long);
        const auto setProgress = reinterpret_cast<void (*)(Fn, void*)>(
            dlsym(dlopen(qPrintable(binDir() + "/libunlha32.so"), RTLD_NOW | RTLD_NOLOAD), "UnlhaSetProgress"));
        QVERIFY(setProgress);
        struct Seen {
            QList<quint64> done;
            quint64 total = 0;
            int cancelAt = 0;
        } seen;
        setProgress(
            [](void* c, unsigned long long done, unsigned long long total) {
                auto* s = static_cast<Seen*>(c);
                s->done.append(done), s->total = total;
                return s->done.size() == s->cancelAt ? 1 : 0;
            },
            &seen);
        const QString target = tmp_.filePath("restored/");
        const auto add = [&] { return lib_->RunUnlha(unlhaAddCommand(archive_, work_, pet_, true)); };
        const auto extract = [&] { return lib_->RunUnlha(unlhaExtractAllCommand(archive_, target)); };
        const std::function<bool()> steps[] = {add, [&] { return lib_->checkArchive(archive_); }, extract};
        for (const auto& step : steps) {
            seen.done.clear();
            QVERIFY(step());
            QVERIFY(seen.done.size() >= 2 && seen.done.first() == 0);
            QVERIFY(std::is_sorted(seen.done.begin(), seen.done.end()));
            QCOMPARE(seen.done.last(), seen.total);
        }
        // Cancelled at the second call: nothing half written stays.
        seen.cancelAt = 2;
        clearFolder(target);
        seen.done.clear();
        QVERIFY(!extract());
        QCOMPARE(lib_->lastOutput(), QStringLiteral("cancelled"));
        QVERIFY(snapshot(target).keys().filter(".unlha-").isEmpty());
        QFile::remove(archive_);
        seen.done.clear();
        QVERIFY(!add());
        QVERIFY(QDir(tmp_.filePath("backup")).isEmpty());
        setProgress(nullptr, nullptr);
    }

    void refusedCommands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("unknown command") << "d \"%A\" \"%P/\" \"*.*\"";
        QTest::newRow("unknown switch") << "a -r2 \"%A\" \"%P/\" \"*.*\"";
        QTest::newRow("switch value out of range") << "a -jm9 \"%A\" \"%P/\" \"*.*\"";
        QTest::newRow("unbalanced quote") << "a \"%A\" \"%P/ \"*.*\"";
        QTest::newRow("no archive") << "a -d1";
        QTest::newRow("missing source") << "a \"%A\" \"%P/\" \"ないフォルダ\"";
        QTest::newRow("name not in code page 932") << "a \"%A\" \"%P/\" \"犬🐶.txt\"";
    }
    void refusedCommands()
    {
        QFETCH(QString, command);
        writeFile(pet_ + "/犬🐶.txt", "x");
        command.replace("%A", archive_).replace("%P", pet_);
        QVERIFY(!lib_->RunUnlha(command));
        QVERIFY(!QFile::exists(archive_));
        QVERIFY(QDir(tmp_.filePath("backup")).isEmpty()); // no temporary file left behind
    }

    void notInstalled_data()
    {
        QTest::addColumn<QByteArray>("fileContent"); // empty: no file at all
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("not a library") << QByteArray("MZ this is not an ELF file");
        QTest::newRow("entries missing") << readFile(PARTIAL_LIBRARY);
    }
    void notInstalled()
    {
        QFETCH(QByteArray, fileContent);
        const QString folder = tmp_.filePath("program");
        QDir().mkpath(folder);
        if (!fileContent.isEmpty())
            writeFile(folder + "/libunlha32.so", fileContent);
        UnlhaLibrary lib(folder);
        QVERIFY(!lib.isLoaded());
        QVERIFY(!lib.loadError().isEmpty());
        QCOMPARE(lib.version(), 0);
        QCOMPARE(unlhaVersionLine(lib.version()), QStringLiteral("未インストールです。"));
        QCOMPARE(unlhaVersionLine(152), QStringLiteral("Ver.1.52 がインストールされています。"));
        QVERIFY(!lib.RunUnlha("x \"a.lzh\" \"t/\" \"*.*\""));
        QVERIFY(!lib.checkArchive(archive_));
        QVERIFY(!lib.hasMember(archive_));
    }

    void waitUnlhaIdle_data()
    {
        QTest::addColumn<int>("busyCalls");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("messages");
        QTest::newRow("free") << 0 << QList<int>{} << true << 0;
        QTest::newRow("busy twice, retry twice, free")
            << 2 << QList<int>{int(MsgAnswer::Retry), int(MsgAnswer::Retry)} << true << 2;
        QTest::newRow("busy, cancel") << 5 << QList<int>{int(MsgAnswer::Cancel)} << false << 1;
    }
    void waitUnlhaIdle()
    {
        QFETCH(int, busyCalls);
        QFETCH(QList<int>, answers);
        QFETCH(bool, result);
        QFETCH(int, messages);
        TestContext t(tmp_.path());
        UnlhaLibrary fake(fakeEntries());
        for (int a : answers)
            t.messages.answer(MsgAnswer(a));
        g_busyCalls = busyCalls;
        QCOMPARE(WaitUnlhaIdle(t.messages, fake), result);
        QCOMPARE(t.messages.shown.size(), messages);
        for (const auto& s : t.messages.shown) {
            QCOMPARE(s.text, QStringLiteral("Unlha32.dll が使用中です。"));
            QCOMPARE(s.icon, MsgIcon::Exclamation);
            QCOMPARE(s.buttons, MsgButtons::RetryCancel);
        }
    }

};

QTEST_GUILESS_MAIN(TestLhaLibrary)
#include "test_lha_library.moc"
