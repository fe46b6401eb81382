// The library as Kennel uses it: loaded by UnlhaLibrary from the program folder, driven by the
// three command strings. Then interoperability with the independent LHA tools of Debian, both
// ways: archives we write are extracted byte for byte (names included, after decoding code page
// 932) by lhasa, bsdtar, 7z and jlha; archives jlha writes are checked, searched and extracted by us.
#include "LhaTestUtil.h"

#include "NameCodec.h"

#include "backup/UnlhaLibrary.h"
#include "tests/support/TestPorts.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

using namespace lhatest;

namespace {

int g_busyCalls = 0; // how many more UnlhaGetRunning calls answer "busy"
// A library whose only behaviour is a busy state for g_busyCalls calls.
const UnlhaLibrary::Entries kFakeEntries{
    .getVersion = [] { return 152; },
    .getRunning = [] { return g_busyCalls-- > 0 ? -1 : 0; },
    .run = [](void*, const char*, char*, unsigned long) { return 0; },
    .checkArchive = [](const char*, int) { return 1; },
    .openArchive = [](void*, const char*, unsigned long) -> void* { return nullptr; },
    .findFirst = [](void*, const char*, void*) { return -1; },
    .closeArchive = [](void*) { return 0; }};

// How a tool hands out the names it read.
// lhasa writes each byte of a name as one Latin-1 character unless it decoded the name itself.
enum class Names { Utf8, RawCp932, Latin1OfCp932 };

QString decodeAs(Names how, const std::string& raw)
{
    if (how == Names::Utf8)
        return QString::fromStdString(raw);
    std::string bytes = raw;
    if (how == Names::Latin1OfCp932) {
        const QString text = QString::fromUtf8(raw.c_str());
        if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; }))
            return text;
        bytes = text.toLatin1().toStdString();
    }
    const auto decoded = unlha::decodeCp932(bytes);
    return decoded ? QString::fromStdString(*decoded) : QStringLiteral("<undecodable>");
}

// Runs a tool with a UTF-8 locale and, for the Java tool, a Japanese default so that it
// reads and writes Shift-JIS names.
bool runTool(const QString& program, const QStringList& args, const QString& cwd, QString* log)
{
    QProcess p;
    p.setEnvironment(QProcess::systemEnvironment() << "LC_ALL=C.UTF-8"
                                                   << "JAVA_TOOL_OPTIONS=-Duser.language=ja -Duser.country=JP");
    p.setWorkingDirectory(cwd);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool finished = p.waitForFinished(120000);
    if (!finished)
        p.kill(), p.waitForFinished();
    *log = finished ? QString::fromLocal8Bit(p.readAll()) : QStringLiteral("timed out");
    return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
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
            QVERIFY(seen.done.size() >= 2 && seen.done.first() == 0 && seen.done.last() == seen.total &&
                    std::is_sorted(seen.done.begin(), seen.done.end()));
        }
        QCOMPARE(snapshot(target), snapshot(pet_));
        QVERIFY(QDir(work_).isEmpty()); // the work folder only names a base
        QVERIFY(lib_->hasMember(archive_) && lib_->hasMember(archive_, "BACKUP.INI") &&
                !lib_->hasMember(archive_, "Kennel.ini"));
        QVERIFY(lib_->RunUnlha(unlhaExtractOneCommand(archive_, work_)));
        QCOMPARE(readFile(work_ + "BackUp.ini"), readFile(pet_ + "/BackUp.ini"));
        // A second run replaces changed files without asking.
        writeFile(target + "/宝物/random.bin", "changed");
        writeFile(target + "/BackUp.ini", "changed");
        QVERIFY(extract());
        QCOMPARE(snapshot(target), snapshot(pet_));
        // Cancelled at the second call: nothing half written stays.
        seen.cancelAt = 2, seen.done.clear();
        clearFolder(target);
        QVERIFY(!extract());
        QCOMPARE(lib_->lastOutput(), QStringLiteral("cancelled"));
        QVERIFY(snapshot(target).keys().filter(".unlha-").isEmpty());
        QFile::remove(archive_), seen.done.clear();
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
    void notInstalledOrBusy()
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
        }
        // The version dialog's line, minor version in two digits.
        QCOMPARE(unlhaVersionLine(0) + unlhaVersionLine(105),
                 QStringLiteral("未インストールです。Ver.1.05 がインストールされています。"));
        // While the library is busy: one retry-or-cancel warning per busy answer, until it is
        // free or the user cancels.
        for (const auto& [busy, answers, result] :
             {std::tuple{0, QList<MsgAnswer>{}, true}, std::tuple{2, QList{MsgAnswer::Retry, MsgAnswer::Retry}, true},
              std::tuple{5, QList{MsgAnswer::Cancel}, false}}) {
            TestContext t(tmp_.path());
            UnlhaLibrary fake(kFakeEntries);
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

    void oursReadByPeer_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("names");
        QTest::addColumn<bool>("names0x5c");
        QTest::newRow("lhasa") << "lha" << QStringList{"xq", "%A"} << int(Names::Latin1OfCp932) << true;
        QTest::newRow("bsdtar") << "bsdtar" << QStringList{"-xf", "%A"} << int(Names::Utf8) << true;
        // 7z splits names at every 0x5C byte, so its row keeps to names without one.
        QTest::newRow("7z") << "7z" << QStringList{"x", "-y", "%A"} << int(Names::RawCp932) << false;
        QTest::newRow("jlha") << "jlha" << QStringList{"x", "%A"} << int(Names::Utf8) << true;
    }
    void oursReadByPeer()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(int, names);
        QFETCH(bool, names0x5c);
        if (QStandardPaths::findExecutable(program).isEmpty())
            QSKIP(qPrintable(program +
                             " is not installed (CI installs it: lhasa, libarchive-tools, p7zip-full, jlha-utils)"));
        QVERIFY(names0x5c || QFile::remove(pet_ + "/おもちゃ/ソ表予能.txt")); // the fixture's pet folder
        QVERIFY(lib_->RunUnlha(unlhaAddCommand(archive_, work_, pet_, true)));
        const QString dest = tmp_.filePath("out");
        QDir().mkpath(dest);
        QString log;
        QVERIFY2(runTool(program, args.replaceInStrings("%A", archive_), dest, &log), qPrintable(log));
        // Empty folders count too: every tool recreates them.
        const auto got = snapshot(dest, [names](const std::string& raw) { return decodeAs(Names(names), raw); });
        const auto want = snapshot(pet_);
        QStringList differ;
        for (const QString& k : want.keys() + got.keys())
            if (got.value(k, "<missing>") != want.value(k, "<missing>"))
                differ << k;
        QVERIFY2(differ.isEmpty(), qPrintable(differ.join(", ")));
    }

    // jlha's header levels 0 to 2 and methods lh5 to lh7 and stored: checked, searched, extracted.
    void peerReadByUs()
    {
        if (QStandardPaths::findExecutable("jlha").isEmpty())
            QSKIP("jlha is not installed (CI installs jlha-utils)");
        const QString pet = pet_, archive = tmp_.filePath("jlha.lzh"), work = work_;
        for (QString switches : {"c2o5", "c2o7", "c1o6", "c0o5", "c2z"}) {
            QFile::remove(archive);
            QString log;
            const QStringList args =
                QStringList{switches, archive} + QDir(pet).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
            QVERIFY2(runTool("jlha", args, pet, &log), qPrintable(log));
            QVERIFY2(lib_->checkArchive(archive), qPrintable(switches));
            QVERIFY(lib_->hasMember(archive, "Backup.ini") && lib_->hasMember(archive, "おもちゃ/ソ表予能.txt"));
            QVERIFY(lib_->RunUnlha(unlhaExtractOneCommand(archive, work)));
            QCOMPARE(readFile(work + "BackUp.ini"), readFile(pet + "/BackUp.ini"));
            const QString dest = tmp_.filePath("restored/") + switches;
            QVERIFY2(lib_->RunUnlha(unlhaExtractAllCommand(archive, dest)), qPrintable(lib_->lastOutput()));
            QCOMPARE(snapshot(dest), snapshot(pet)); // folder entries too, the empty one included
        }
    }
};

QTEST_GUILESS_MAIN(TestLhaLibrary)
#include "test_lha_library.moc"
