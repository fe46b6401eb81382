// Damaged and hostile archives: the library refuses them, writes nothing outside the target,
// and ends every run with a failure code instead of a crash or a hang. The seed corpus is
// replayed here too, whole and damaged.
#include "LhaTestUtil.h"

#include "Crc16.h"

#include "backup/UnlhaLibrary.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <numeric>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

using namespace lhatest;

namespace {

QByteArray le(quint64 v, int bytes)
{
    const quint64 little = qToLittleEndian(v);
    return QByteArray(reinterpret_cast<const char*>(&little), bytes);
}

quint16 crcOf(const QByteArray& a)
{
    return unlha::crc16(reinterpret_cast<const std::uint8_t*>(a.constData()), std::size_t(a.size()));
}

// A member written field by field at header level 1, 2 or 3, so that tests can lie in any field.
// (The archives other tools write, levels 0 to 3, are seed files in corpus/.)
struct Raw {
    QByteArray method = "-lh0-";
    QByteArray data;
    qint64 packed = -1, original = -1; // -1: data size
    int level = 2;
    int crcDelta = 0; // added to the data CRC
    QList<QPair<int, QByteArray>> ext;
    int extraSize = 0; // added to the size field that announces the last extended header

    QByteArray bytes() const
    {
        const int w = level == 3 ? 4 : 2; // width of the extended header size fields
        auto sizeOf = [&](int i) { return i < ext.size() ? 1 + ext[i].second.size() + w : 0; };
        QByteArray chain;
        for (int i = 0; i < ext.size(); ++i)
            chain += char(ext[i].first) + ext[i].second + le(sizeOf(i + 1) + (i + 2 == ext.size() ? extraSize : 0), w);
        const qint64 first = sizeOf(0) + (ext.size() == 1 ? extraSize : 0);
        const QByteArray sizes = le(packed < 0 ? data.size() + (level == 1 ? chain.size() : 0) : packed, 4) +
                                 le(original < 0 ? data.size() : original, 4);
        const QByteArray crc = le(quint16(crcOf(data) + crcDelta), 2);
        if (level == 1) { // empty name in the base header, with a checksum
            const QByteArray b = method + sizes + le(quint32(0x2821) << 16, 4) + char(0x20) + char(1) + char(0) + crc +
                                 'U' + le(first, 2);
            const int sum = std::accumulate(b.begin(), b.end(), 0, [](int s, char c) { return s + quint8(c); });
            return QByteArray(1, char(b.size())) + char(sum) + b + chain + data;
        }
        const QByteArray h = method + sizes + le(946684800, 4) + char(0x20) + char(level) + crc + 'U';
        return (level == 3 ? le(4, 2) + h + le(h.size() + 10 + chain.size(), 4) + le(first, 4)
                           : le(h.size() + 4 + chain.size(), 2) + h + le(first, 2)) +
               chain + data;
    }
};

const QByteArray kEnd(1, '\0');                                                        // the end mark
const QString kSource = qEnvironmentVariable("KENNEL_SOURCE_DIR") + "/tests/unlha32/"; // seed files

// A member in folder (null: none) named name; method "-lhd-" makes it a folder entry.
Raw named(const QByteArray& folder, const QByteArray& name, const QByteArray& data = "payload\n",
          const QByteArray& method = "-lh0-")
{
    Raw r;
    r.data = data, r.method = method;
    if (!folder.isNull())
        r.ext << qMakePair(2, folder);
    r.ext << qMakePair(1, name);
    return r;
}

// A stored member of size zeros whose data a sparse file leaves as a hole (CRC 0).
Raw zeros(const QByteArray& name, qint64 size)
{
    Raw r = named({}, name, {});
    r.packed = r.original = size;
    return r;
}

// A -lh5- stream of blocks whose trees have one symbol each: every code is zero bits long,
// each block stands for count matches of 256 bytes (of the ring's initial blanks). A decoder
// that trusted such data without limits would write without end.
QByteArray zeroBitBlocks(int blocks, unsigned count = 65535)
{
    QByteArray out;
    quint64 bits = 0;
    int pending = 0;
    auto put = [&](int n, unsigned v) {
        for (bits = bits << n | v, pending += n; pending >= 8; pending -= 8)
            out += char(bits >> (pending - 8));
    };
    // Per block: count, pre-tree of the single symbol 0 (5 + 5 bits), code tree of the single symbol
    // 509 = match length 256 (9 + 9), distance tree of the single class 0 = distance 1 (4 + 4).
    for (int b = 0; b < blocks; ++b)
        put(16, count), put(10, 0), put(9, 0), put(9, 509), put(8, 0);
    put(7, 0); // pads the last byte
    return out;
}

} // namespace

class TestLhaHostile : public QObject {
    Q_OBJECT
private:
    QTemporaryDir tmp_;
    std::unique_ptr<UnlhaLibrary> lib_;
    QString outer_, target_, archive_;

    // Files, folders and contents outside the target, to prove that nothing changed there.
    QMap<QString, QByteArray> outside() const
    {
        auto all = snapshot(outer_);
        all.removeIf([](const auto& it) { return it.key().startsWith("target/"); });
        return all;
    }
    bool extract(const QString& archive) { return lib_->RunUnlha(unlhaExtractAllCommand(archive, target_)); }

private slots:
    void init()
    {
        QVERIFY(tmp_.isValid());
        outer_ = tmp_.filePath("case");
        target_ = outer_ + "/target";
        archive_ = outer_ + "/hostile.lzh";
        QDir().mkpath(target_);
        writeFile(outer_ + "/outside/victim.txt", "victim\n");
        lib_ = std::make_unique<UnlhaLibrary>(qEnvironmentVariable("KENNEL_BIN_DIR"));
        QVERIFY2(lib_->isLoaded(), qPrintable(lib_->loadError()));
    }
    void cleanup() { QDir(outer_).removeRecursively(); }

    // One table: damaged and hostile archives, refused whole; then the sound ones other tools write.
    void archives_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QStringList>("expected"); // empty: refused; folders end in "/", files hold "payload\n"
        auto row = [](const QString& name, const QByteArray& a) {
            QTest::newRow(qPrintable(name)) << a << QStringList();
        };
        // One stored member "a.txt" changed by edit, then the end mark.
        auto one = [](auto edit) {
            Raw r = named({}, "a.txt");
            edit(r);
            return r.bytes() + kEnd;
        };
        row("dotdot folder", named("..\xff..\xff", "escape.txt").bytes() + kEnd);
        row("dotdot hidden in folder text", named("a/../../..\xff", "escape.txt").bytes() + kEnd);
        row("absolute folder",
            named("\xff" + QDir::tempPath().toUtf8().mid(1) + "\xff", "kennel-probe.txt").bytes() + kEnd);
        row("slash in name", named({}, "../escape.txt").bytes() + kEnd);
        row("drive letter", named("C:\xff", "x.txt").bytes() + kEnd);
        row("dots only", named({}, "...").bytes() + kEnd);
        row("control character", named({}, "a\nb").bytes() + kEnd);
        row("undecodable name", named({}, "\x81").bytes() + kEnd);
        row("unix link syntax", named({}, "link|/etc/passwd").bytes() + kEnd);
        row("symbolic link", one([](Raw& r) { r.ext << qMakePair(0x50, le(0120777, 2)); })); // devices, fifos alike
        row("set-uid file", one([](Raw& r) { r.ext << qMakePair(0x50, le(0104755, 2)); }));
        row("bad data CRC", one([](Raw& r) { r.crcDelta = 1; }));
        row("bad header CRC", one([](Raw& r) { r.ext.prepend(qMakePair(0, le(0x1234, 2))); }));
        for (int level : {1, 2, 3}) // extended header past its header, or its size below its minimum
            for (int extra : {40, -10})
                row(QString("level %1 extended header size off by %2").arg(level).arg(extra),
                    one([=](Raw& r) { r.level = level, r.extraSize = extra; }));
        row("unknown level", one([](Raw& r) { r.level = 4; }));
        row("unsupported method", one([](Raw& r) { r.method = "-lh1-"; }));
        row("64-bit sizes", one([](Raw& r) { r.ext << qMakePair(0x42, le(1ull << 40, 8).repeated(2)); }));
        row("stored size mismatch", one([](Raw& r) { r.original = 4; }));
        row("packed size past the end", one([](Raw& r) { r.packed = 100000; }));
        row("ratio bomb", one([](Raw& r) { r.method = "-lh5-", r.data = zeroBitBlocks(2), r.original = 0xFFFFFFFF; }));
        // Zero-bit codes under the ratio limit end at the claimed size; the CRC then fails.
        row("zero-bit codes", one([](Raw& r) {
                r.method = "-lh5-", r.data = zeroBitBlocks(40) + QByteArray(4000, '\0'), r.original = 20 << 20;
            }));
        row("garbage lh7 data", one([](Raw& r) { r.method = "-lh7-", r.data = noise(5000, 77), r.original = 100000; }));
        // Members of 1 MiB each, under the ratio floor of a single member, that add up to a bomb.
        QByteArray small;
        for (int i = 0; i < 200; ++i) {
            Raw r = named({}, "b" + QByteArray::number(i), zeroBitBlocks(1, 4096));
            r.method = "-lh5-", r.original = 1 << 20, r.crcDelta = crcOf(QByteArray(1 << 20, ' ')) - crcOf(r.data);
            small += r.bytes();
        }
        row("many small members", small + kEnd);
        const Raw folder = named({}, "same", {}, "-lhd-");
        const QByteArray file = named({}, "same").bytes();
        row("folder entry, then a file of its name", folder.bytes() + file + kEnd);
        row("file, then a folder entry of its name", file + folder.bytes() + kEnd);
        row("file, then a member below it", file + named("same\xff", "x").bytes() + kEnd);
        // Folder entry whose name says it is a link (Unix LHA writes "name|target").
        row("folder entry link", named("sub|..\xff", {}, {}, "-lhd-").bytes() + kEnd);
        row("no end mark", named({}, "a.txt").bytes());
        row("empty file", {});
        row("end mark only", kEnd);
        row("short header", QByteArray("\x10\x00-lh0-", 8));
        row("not an archive", "#!/bin/sh\nrm -rf /\n");
        for (const char* f : {"dotdot.lzh", "abspath.lzh", "truncated.lzh"}) // written by other tools
            row(f, readFile(kSource + "data/" + f));
        // What other tools write, kept as seed files: each is sound and extracts whole.
        auto sound = [](const char* name, const QString& file, const QStringList& expected) {
            QTest::newRow(name) << readFile(kSource + "corpus/kinds-" + file + ".lzh") << expected;
        };
        // Level 2: folder entries with attribute and Windows time extensions and a header CRC, one
        // without a name header or final separator ("写真").
        sound("level 2 folders", "level2-folders", {"dir/", "dir/a.txt", "写真/"});
        // Level 0 with the Unix extension area (modes never applied), each method.
        for (const char* m : {"lh5", "lh6", "lh7"})
            sound(m, QString("level0-unix-") + m, {"dir/", "dir/f.txt"});
        // Level 1 folder entry with Unix mode, owner and time extensions; the file's 0777 mode is not applied.
        sound("level 1 folder", "level1-folder", {"sub/", "sub/f.txt"});
        // Level 3 with a 216-character name, a folder entry and a file in a folder.
        sound("level 3", "level3", {QString("a long file name ").repeated(12) + ".txt", "dir/", "sub/", "sub/b.txt"});
        // Unknown extensions (comment, group, 300-byte, 0x99); a level 0 name with a comment after a NUL.
        sound("unknown extensions", "unknown-extensions", {"c.txt", "u.txt"});
        // A level 1 member with the folder attribute that holds extended attributes, then "dir\\f.txt".
        sound("folder attributes", "folder-attributes", {"dir/", "dir/f.txt"});
        // "s\\t.txt" at level 2 and CP932 "表\\a.txt" (trail byte 0x5C, then the separator) at level 0.
        sound("backslash names", "backslash-names", {"s/", "s/t.txt", "表/", "表/a.txt"});
    }
    void archives()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QStringList, expected);
        writeFile(archive_, archive);
        const auto before = outside();
        if (expected.isEmpty()) {
            QVERIFY(!lib_->checkArchive(archive_) && !extract(archive_) &&
                    !lib_->RunUnlha(unlhaExtractOneCommand(archive_, target_)));
            QVERIFY(QDir(target_).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
            QVERIFY(!QFile::exists(QDir::tempPath() + "/kennel-probe.txt"));
            QCOMPARE(outside(), before);
            return;
        }
        QVERIFY(lib_->checkArchive(archive_));
        QVERIFY2(extract(archive_), qPrintable(lib_->lastOutput()));
        QMap<QString, QByteArray> want;
        const qint64 local = QDateTime(QDate(2000, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
        for (const QString& p : expected) { // times from the headers; modes from them never
            want.insert(p, p.endsWith('/') ? QByteArray() : QByteArray("payload\n"));
            const qint64 t = QFileInfo(target_ + "/" + p).lastModified().toSecsSinceEpoch();
            const bool exe = QFile::permissions(target_ + "/" + p) & QFileDevice::ExeOther;
            QVERIFY2(p.endsWith('/') || ((t == 946684800 || t == local) && !exe), qPrintable(p));
        }
        QCOMPARE(snapshot(target_), want);
        QCOMPARE(outside(), before);
    }

    // Links already in the target: a folder link is not followed, a file link is replaced, not written through.
    void linksInTarget()
    {
        QVERIFY(QFile::link(outer_ + "/outside", target_ + "/sub"));
        QVERIFY(QFile::link(outer_ + "/outside/victim.txt", target_ + "/f.txt"));
        writeFile(archive_, named("sub\xff", "evil.txt").bytes() + kEnd);
        auto before = outside();
        QVERIFY(!extract(archive_));
        QCOMPARE(outside(), before);
        writeFile(archive_, named({}, "f.txt", "archive content\n").bytes() + kEnd);
        before = outside();
        QVERIFY(extract(archive_));
        QCOMPARE(outside(), before); // the victim's content included
        QVERIFY(!QFileInfo(target_ + "/f.txt").isSymLink() && readFile(target_ + "/f.txt") == "archive content\n");
    }

    // An archive that is not a steady file. It shrinks while it is checked (a stick pulled, a
    // share cut): a clean refusal, not a bus error. The check runs in a child; the archive is cut a moment after the
    // child opens it, early in the seconds its 1 GiB take.
    void archiveShrinkingOrFifo_isRefusedCleanly()
    {
        const Raw r = zeros("zeros.bin", qint64(1) << 30);
        writeFile(archive_, r.bytes());
        QVERIFY(QFile::resize(archive_, r.bytes().size() + r.packed + 1));
        const int events = inotify_init1(IN_CLOEXEC);
        QVERIFY(inotify_add_watch(events, qPrintable(archive_), IN_OPEN) >= 0);
        const pid_t child = fork();
        if (child == 0)
            _exit(lib_->checkArchive(archive_) ? 1 : 0);
        char buffer[4096];
        QVERIFY(read(events, buffer, sizeof buffer) > 0);
        usleep(100000);
        QVERIFY(truncate(qPrintable(archive_), 4096) == 0);
        close(events);
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY2(WIFEXITED(status), qPrintable(QString("signal %1").arg(WTERMSIG(status))));
        QCOMPARE(WEXITSTATUS(status), 0);
        // A FIFO named as the archive is refused at once instead of waiting for a writer.
        QVERIFY(QFile::remove(archive_));
        QCOMPARE(mkfifo(qPrintable(archive_), 0600), 0);
        alarm(60); // a blocked call ends the test program instead of hanging it
        QVERIFY(!lib_->checkArchive(archive_) && !lib_->hasMember(archive_) && !extract(archive_));
        QVERIFY(!lib_->RunUnlha("a \"" + archive_ + "\" \"" + outer_ + "/outside/\" \"*.*\""));
        alarm(0);
        QVERIFY(QFileInfo(archive_).exists() && !QFileInfo(archive_).isFile());
    }

    // Members that would not fit on the target's disk are refused before anything is written.
    void moreThanTheDiskHolds_isRefusedBeforeWriting()
    {
        struct statvfs fs {};
        QCOMPARE(statvfs(qPrintable(target_), &fs), 0);
        if (quint64(fs.f_bavail) * fs.f_frsize > (quint64(1) << 43))
            QSKIP("more free space than a sparse test archive can claim");
        QFile f(archive_);
        QVERIFY(f.open(QIODevice::WriteOnly));
        qint64 at = 0;
        for (quint64 declared = 0; declared <= quint64(fs.f_bavail) * fs.f_frsize; declared += 0xFFFF0000u) {
            const Raw r = zeros("part" + QByteArray::number(at), 0xFFFF0000u);
            QVERIFY(f.seek(at) && f.write(r.bytes()) > 0);
            at += r.bytes().size() + r.packed;
        }
        QVERIFY(f.resize(at + 1));
        f.close();
        QVERIFY(!extract(archive_));
        QVERIFY(QDir(target_).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }

    // The seed corpus and the hostile samples through the fuzz entry, then through full
    // extraction, also with deterministic damage: no crash, nothing outside the target, and a
    // damaged archive that still checks extracts.
    void seedReplay()
    {
        const auto before = outside();
        int seeds = 0;
        for (const QString& folder : {kSource + "corpus", kSource + "data"})
            for (const QFileInfo& file : QDir(folder).entryInfoList({"*.lzh"}, QDir::Files)) {
                const QByteArray seed = readFile(file.filePath());
                QVERIFY(!seed.isEmpty());
                int refused = 0;
                // The seed itself, then cuts and bit flips spread over its bytes.
                for (int round = 0; round < 64; ++round, ++seeds) {
                    QByteArray a = seed;
                    const int at = (round * 7919) % a.size();
                    if (round > 0 && round % 2)
                        a.truncate(int(qint64(a.size()) * round / 64));
                    else if (round > 0)
                        a[at] = char(a[at] ^ (1 << (round % 8)));
                    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(a.constData()), std::size_t(a.size()));
                    writeFile(archive_, a);
                    QDir(target_).removeRecursively(); // what an earlier round left must not stand in the way
                    const bool sound = lib_->checkArchive(archive_);
                    QVERIFY2(
                        !sound || extract(archive_),
                        qPrintable(file.fileName() + " round " + QString::number(round) + ": " + lib_->lastOutput()));
                    refused += !sound;
                }
                QVERIFY2(refused > 0, qPrintable(file.fileName()));
            }
        QVERIFY(seeds >= 9 * 64);
        auto after = outside();
        after.remove("hostile.lzh");
        QCOMPARE(after, before);
    }
};

QTEST_GUILESS_MAIN(TestLhaHostile)
#include "test_lha_hostile.moc"
