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
        QVERIFY(QDir().mkpath(work_) && QDir().mkpath(tmp_.filePath("backup")));
        makePetFolder(pet_);
        lib_ = std::make_unique<UnlhaLibrary>(qEnvironmentVariable("KENNEL_BIN_DIR"));
        QVERIFY2(lib_->isLoaded(), qPrintable(lib_->loadError()));
    }
    void cleanup() { lib_.reset(), clearFolder(tmp_.path()); }

    // The pet folder goes in and comes out byte for byte, with quotes and blanks in every path.
    // Kennel's progress entry reports on the calling thread bytes done growing to the total for
    // the add, the check and the extraction; a cancel leaves no archive and no partly written file.
    void roundTrip_isByteIdenticalWithProgress()
    {
        using Fn = int (*)(void*, unsigned long long, unsigned long long);
        const auto setProgress = reinterpret_cast<void (*)(Fn, void*)>(
            dlsym(dlopen(qPrintable(qEnvironmentVariable("KENNEL_BIN_DIR") + "/libunlha32.so"), RTLD_NOW | RTLD_NOLOAD),
                  "UnlhaSetProgress"));
        QVERIFY(setProgress && lib_->version() > 0);
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
        const QString target = tmp_.filePath("restored/ポチ");
        const auto add = [&] { return lib_->RunUnlha(unlhaAddCommand(archive_, work_, pet_, true)); };
        const auto extract = [&] { return lib_->RunUnlha(unlhaExtractAllCommand(archive_, target)); };
        const std::function<bool()> steps[] = {add, [&] { return lib_->checkArchive(archive_); }, extract};
        for (const auto& step : steps) {
            seen.done.clear();
            QVERIFY2(step(), qPrintable(lib_->lastOutput()));
            QVERIFY(seen.done.size() >= 2 && seen.done.first() == 0 && seen.done.last() == seen.total);
            QVERIFY(std::is_sorted(seen.done.begin(), seen.done.end()));
        }
        QCOMPARE(snapshot(target), snapshot(pet_));
        QVERIFY(QDir(work_).isEmpty()); // the work folder only names a base
        QVERIFY(lib_->hasMember(archive_) && lib_->hasMember(archive_, "BACKUP.INI"));
        QVERIFY(!lib_->hasMember(archive_, "Kennel.ini"));
        QVERIFY(lib_->RunUnlha(unlhaExtractOneCommand(archive_, work_)));
        QCOMPARE(readFile(work_ + "BackUp.ini"), readFile(pet_ + "/BackUp.ini"));
        // A second run replaces changed files without asking.
        writeFile(target + "/宝物/random.bin", "changed");
        writeFile(target + "/BackUp.ini", "changed");
        QVERIFY(extract());
        QCOMPARE(snapshot(target), snapshot(pet_));
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

    // Bad commands are refused without an archive or a temporary file left behind; links in a
    // pet folder are left out: the archive never holds what lies behind them.
    void add_refusesBadCommandsAndLeavesOutLinks()
    {
        writeFile(pet_ + "/犬🐶.txt", "x");
        for (QString command : {"d \"%A\" \"%P/\" \"*.*\"",          // unknown command
                                "a -r2 \"%A\" \"%P/\" \"*.*\"",      // unknown switch
                                "a -jm9 \"%A\" \"%P/\" \"*.*\"",     // switch value out of range
                                "a \"%A\" \"%P/ \"*.*\"",            // unbalanced quote
                                "a -d1",                             // no archive
                                "a \"%A\" \"%P/\" \"ないフォルダ\"", // missing source
                                "a \"%A\" \"%P/\" \"犬🐶.txt\""}) {   // name not in code page 932
            QVERIFY2(!lib_->RunUnlha(command.replace("%A", archive_).replace("%P", pet_)), qPrintable(command));
            QVERIFY(QDir(tmp_.filePath("backup")).isEmpty());
        }
        QVERIFY(QFile::remove(pet_ + "/犬🐶.txt"));
        writeFile(tmp_.filePath("private/secret.txt"), "secret\n");
        QVERIFY(QFile::link(tmp_.filePath("private/secret.txt"), pet_ + "/link.mwc"));
        QVERIFY(QFile::link(tmp_.filePath("private"), pet_ + "/宝物/linked"));
        QVERIFY(QDir(pet_ + "/おもちゃ").removeRecursively());
        QVERIFY(QFile::link(tmp_.filePath("private"), pet_ + "/おもちゃ"));
        QVERIFY2(lib_->RunUnlha(unlhaAddCommand(archive_, work_, pet_, false)), qPrintable(lib_->lastOutput()));
        for (const char* left : {"添付書類ﾌｫﾙﾀﾞ/*", "*secret*", "link.mwc", "宝物/linked", "おもちゃ*"})
            QVERIFY2(!lib_->hasMember(archive_, left), left);
        QVERIFY(lib_->hasMember(archive_, "おやつ/sub/深い/bone.txt"));
    }

    // No file, not a library, or a library that lacks entries: not installed, and every call fails.
    void notInstalled()
    {
        const QString folder = tmp_.filePath("program");
        for (const QByteArray& content : {QByteArray(), QByteArray("MZ not an ELF file"), readFile(PARTIAL_LIBRARY)}) {
            QFile::remove(folder + "/libunlha32.so");
            if (!content.isEmpty())
                writeFile(folder + "/libunlha32.so", content);
            UnlhaLibrary lib(folder);
            QVERIFY(!lib.isLoaded() && !lib.loadError().isEmpty() && lib.version() == 0);
            QVERIFY(!lib.RunUnlha("x \"a.lzh\" \"t/\" \"*.*\"") && !lib.checkArchive(archive_) &&
                    !lib.hasMember(archive_));
            QCOMPARE(unlhaVersionLine(lib.version()), QStringLiteral("未インストールです。"));
        }
        QCOMPARE(unlhaVersionLine(152), QStringLiteral("Ver.1.52 がインストールされています。"));
    }

    // While the library is busy: one retry-or-cancel warning per busy answer, until it is free or
    // the user cancels.
    void waitUnlhaIdle()
    {
        for (const auto& [busy, answers, result] :
             {std::tuple{0, QList<MsgAnswer>{}, true}, std::tuple{2, QList{MsgAnswer::Retry, MsgAnswer::Retry}, true},
              std::tuple{5, QList{MsgAnswer::Cancel}, false}}) {
            TestContext t(tmp_.path());
            UnlhaLibrary fake(fakeEntries());
            for (MsgAnswer a : answers)
                t.messages.answer(a);
            g_busyCalls = busy;
            QCOMPARE(WaitUnlhaIdle(t.messages, fake), result);
            QCOMPARE(t.messages.shown.size(), answers.size());
            for (const auto& s : t.messages.shown)
                QVERIFY(s.text == QStringLiteral("Unlha32.dll が使用中です。") && s.icon == MsgIcon::Exclamation &&
                        s.buttons == MsgButtons::RetryCancel);
        }
    }
};

QTEST_GUILESS_MAIN(TestLhaLibrary)
#include "test_lha_library.moc"
