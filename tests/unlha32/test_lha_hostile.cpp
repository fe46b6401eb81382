// Damaged and hostile archives: the library refuses them, writes nothing outside the target,
// and ends every run with a failure code instead of a crash or a hang.
#include "LhaTestUtil.h"

#include "Crc16.h"
#include "unlha32.h"

#include "backup/UnlhaLibrary.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace lhatest;

namespace {

QByteArray le(quint64 v, int bytes)
{
    QByteArray a;
    for (int i = 0; i < bytes; ++i)
        a += char(v >> (8 * i));
    return a;
}

quint16 crcOf(const QByteArray& a)
{
    return unlha::crc16(reinterpret_cast<const std::uint8_t*>(a.constData()), std::size_t(a.size()));
}

// A level-2 member written field by field, so that tests can lie in any field.
struct Raw {
    QByteArray method = "-lh0-";
    QByteArray data;
    qint64 packed = -1;   // -1: data size
    qint64 original = -1; // -1: data size
    int level = 2;
    int crcDelta = 0; // added to the data CRC
    QList<QPair<int, QByteArray>> ext;
    int extraSize = 0; // added to the last extended header's size field

    QByteArray bytes() const
    {
        QByteArray h = method + le(packed < 0 ? data.size() : packed, 4) +
                       le(original < 0 ? data.size() : original, 4) + le(946684800, 4) + char(0x20) + char(level) +
                       le(quint16(crcOf(data) + crcDelta), 2) + 'U';
        QByteArray chain;
        for (int i = 0; i < ext.size(); ++i) {
            const int next = i + 1 < ext.size() ? ext[i + 1].second.size() + 3 : 0;
            chain += char(ext[i].first) + ext[i].second + le(i + 2 == ext.size() ? next + extraSize : next, 2);
        }
        h += le(ext.isEmpty() ? 0 : ext[0].second.size() + 3 + (ext.size() == 1 ? extraSize : 0), 2) + chain;
        return le(h.size() + 2, 2) + h + data;
    }
};

Raw named(const QByteArray& folder, const QByteArray& name, const QByteArray& data = "payload\n")
{
    Raw r;
    r.data = data;
    if (!folder.isNull())
        r.ext << qMakePair(2, folder);
    r.ext << qMakePair(1, name);
    return r;
}

Raw withMode(int mode)
{
    Raw r = named(QByteArray(), "entry");
    r.ext << qMakePair(0x50, le(mode, 2));
    return r;
}

// A -lh5- stream of blocks whose trees have one symbol each: every code is zero bits long,
// each block stands for 65535 matches of 256 bytes. A decoder that trusted such data without
// limits would write without end.
QByteArray zeroBitBlocks(int blocks)
{
    QByteArray bits;
    auto put = [&bits](int n, unsigned v) {
        for (int i = n - 1; i >= 0; --i)
            bits += (v >> i) & 1 ? '1' : '0';
    };
    for (int b = 0; b < blocks; ++b) {
        put(16, 65535);
        put(5, 0), put(5, 0);   // pre-tree: single symbol 0
        put(9, 0), put(9, 509); // codes: single symbol, match length 256
        put(4, 0), put(4, 0);   // distances: single class 0 (distance 1)
    }
    QByteArray out((bits.size() + 7) / 8, '\0');
    for (int i = 0; i < bits.size(); ++i)
        if (bits[i] == '1')
            out[i / 8] = char(out[i / 8] | (0x80 >> (i % 8)));
    return out;
}

QByteArray sampleArchive(UnlhaLibrary& lib, const QString& tmp)
{
    writeFile(tmp + "/src/a.txt", QByteArray("some text to compress, some text to compress\n").repeated(200));
    writeFile(tmp + "/src/b.bin", noise(3000, 4));
    const QString archive = tmp + "/sample.lzh";
    lib.RunUnlha("a \"" + archive + "\" \"" + tmp + "/src/\" \"*.*\"");
    const QByteArray a = readFile(archive);
    QDir(tmp + "/src").removeRecursively();
    QFile::remove(archive);
    return a;
}

} // namespace

class TestLhaHostile : public QObject {
    Q_OBJECT
private:
    QTemporaryDir tmp_;
    std::unique_ptr<UnlhaLibrary> lib_;
    QString outer_, target_, archive_;

    // Files and folders outside the target, to prove that nothing was added there.
    QStringList outside() const
    {
        QStringList names;
        QDirIterator it(outer_, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            if (!p.startsWith(target_ + "/") && p != target_)
                names << p;
        }
        names.sort();
        return names;
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

    void refused_data()
    {
        QTest::addColumn<QByteArray>("archive");
        auto row = [](const char* name, const QByteArray& a) { QTest::newRow(name) << a; };
        const QByteArray end(1, '\0');
        row("dotdot folder", named("..\xff..\xff", "escape.txt").bytes() + end);
        row("dotdot hidden in folder text", named("a/../../..\xff", "escape.txt").bytes() + end);
        row("absolute folder",
            named("\xff" + QDir::tempPath().toUtf8().mid(1) + "\xff", "kennel-probe.txt").bytes() + end);
        row("slash in name", named(QByteArray(), "../escape.txt").bytes() + end);
        row("drive letter", named("C:\xff", "x.txt").bytes() + end);
        row("dots only", named(QByteArray(), "...").bytes() + end);
        row("control character", named(QByteArray(), "a\nb").bytes() + end);
        row("undecodable name", named(QByteArray(), "\x81").bytes() + end);
        row("unix link syntax", named(QByteArray(), "link|/etc/passwd").bytes() + end);
        row("symbolic link", withMode(0120777).bytes() + end); // devices and fifos share its check
        row("set-uid file", withMode(0104755).bytes() + end);
        Raw badCrc = named(QByteArray(), "a.txt");
        badCrc.crcDelta = 1;
        row("bad data CRC", badCrc.bytes() + end);
        Raw headerCrc = named(QByteArray(), "a.txt");
        headerCrc.ext.prepend(qMakePair(0, le(0x1234, 2)));
        row("bad header CRC", headerCrc.bytes() + end);
        Raw pastEnd = named(QByteArray(), "a.txt");
        pastEnd.extraSize = 40;
        row("extended header past its header", pastEnd.bytes() + end);
        Raw tiny = named(QByteArray(), "a.txt");
        tiny.extraSize = -10;
        row("extended header size below 3", tiny.bytes() + end);
        Raw level3 = named(QByteArray(), "a.txt");
        level3.level = 3;
        row("level 3", level3.bytes() + end);
        Raw unknown = named(QByteArray(), "a.txt");
        unknown.method = "-lh1-";
        row("unsupported method", unknown.bytes() + end);
        Raw wide = named(QByteArray(), "a.txt");
        wide.ext << qMakePair(0x42, le(1ull << 40, 8) + le(1ull << 40, 8));
        row("64-bit sizes", wide.bytes() + end);
        Raw sizeMismatch = named(QByteArray(), "a.txt");
        sizeMismatch.original = 4;
        row("stored size mismatch", sizeMismatch.bytes() + end);
        Raw packedPast = named(QByteArray(), "a.txt");
        packedPast.packed = 100000;
        row("packed size past the end", packedPast.bytes() + end);
        Raw bomb = named(QByteArray(), "bomb.bin", zeroBitBlocks(2));
        bomb.method = "-lh5-";
        bomb.original = 0xFFFFFFFF;
        row("ratio bomb", bomb.bytes() + end);
        Raw garbage = named(QByteArray(), "g.bin", noise(5000, 77));
        garbage.method = "-lh7-";
        garbage.original = 100000;
        row("garbage lh7 data", garbage.bytes() + end);
        row("no end mark", named(QByteArray(), "a.txt").bytes());
        row("empty file", QByteArray());
        row("end mark only", end);
        row("short header", QByteArray("\x10\x00-lh0-", 8));
        row("not an archive", QByteArray("#!/bin/sh\nrm -rf /\n"));
        // Folder entry whose name says it is a link (Unix LHA writes "name|target").
        Raw dirLink = named("sub|..\xff", QByteArray());
        dirLink.method = "-lhd-";
        dirLink.data.clear();
        row("folder entry link", dirLink.bytes() + end);
        for (const char* f : {"dotdot.lzh", "abspath.lzh", "truncated.lzh"})
            row(f, readFile(qEnvironmentVariable("KENNEL_SOURCE_DIR") + "/tests/unlha32/data/" + f));
    }
    void refused()
    {
        QFETCH(QByteArray, archive);
        writeFile(archive_, archive);
        const QStringList before = outside();
        QVERIFY(!lib_->checkArchive(archive_));
        QVERIFY(!extract(archive_));
        QVERIFY(!lib_->RunUnlha(unlhaExtractOneCommand(archive_, target_)));
        QCOMPARE(outside(), before);
        QVERIFY(QDir(target_).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QVERIFY(!QFile::exists(QDir::tempPath() + "/kennel-probe.txt"));
    }

    // Zero-bit codes that stay under the ratio limit still end: the output stops at the size
    // the header claims, the CRC fails, and no file is left.
    void zeroBitBlocks_endAtTheClaimedSize()
    {
        Raw r = named(QByteArray(), "big.bin", zeroBitBlocks(40) + QByteArray(4000, '\0'));
        r.method = "-lh5-";
        r.original = 20 << 20;
        writeFile(archive_, r.bytes() + QByteArray(1, '\0'));
        QVERIFY(!lib_->checkArchive(archive_));
        QVERIFY(!extract(archive_));
        QVERIFY(QDir(target_).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }

    void linkInsideTarget_isNotFollowed()
    {
        QVERIFY(QFile::link(outer_ + "/outside", target_ + "/sub"));
        writeFile(archive_, named("sub\xff", "evil.txt").bytes() + QByteArray(1, '\0'));
        const QStringList before = outside();
        QVERIFY(!extract(archive_));
        QCOMPARE(outside(), before);
    }

    void existingLinkAsFileName_isReplacedNotWrittenThrough()
    {
        QVERIFY(QFile::link(outer_ + "/outside/victim.txt", target_ + "/f.txt"));
        writeFile(archive_, named(QByteArray(), "f.txt", "archive content\n").bytes() + QByteArray(1, '\0'));
        QVERIFY(extract(archive_));
        QCOMPARE(readFile(outer_ + "/outside/victim.txt"), QByteArray("victim\n"));
        QVERIFY(!QFileInfo(target_ + "/f.txt").isSymLink());
        QCOMPARE(readFile(target_ + "/f.txt"), QByteArray("archive content\n"));
    }

    void modesFromTheArchive_areNotApplied()
    {
        Raw r = named(QByteArray(), "script.sh", "#!/bin/sh\n");
        r.ext << qMakePair(0x50, le(0100777, 2)) << qMakePair(0x51, le(0, 2) + le(0, 2));
        writeFile(archive_, r.bytes() + QByteArray(1, '\0'));
        QVERIFY(extract(archive_));
        QVERIFY(!(QFile::permissions(target_ + "/script.sh") & QFileDevice::ExeOther));
    }

    // Every single-byte change and every cut of a real archive: no crash, no hang, nothing
    // outside the target; a changed archive that still checks must extract.
    void damagedRealArchive_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("cuts") << 0;
        QTest::newRow("byte flips") << 1;
    }
    void damagedRealArchive()
    {
        QFETCH(int, kind);
        const QByteArray good = sampleArchive(*lib_, outer_);
        QVERIFY(good.size() > 200);
        writeFile(archive_, good);
        const QStringList before = outside();
        int refused = 0;
        for (int i = 0; i < good.size(); i += (kind == 0 ? 7 : 3)) {
            QByteArray bad = good;
            if (kind == 0)
                bad.truncate(i);
            else
                bad[i] = char(bad[i] ^ (1 << (i % 8)));
            writeFile(archive_, bad);
            const bool sound = lib_->checkArchive(archive_);
            const bool extracted = extract(archive_);
            if (!sound)
                ++refused;
            if (sound)
                QVERIFY2(extracted, qPrintable(QString::number(i)));
        }
        QCOMPARE(outside(), before);
        QVERIFY(refused > 0);
    }
};

QTEST_GUILESS_MAIN(TestLhaHostile)
#include "test_lha_hostile.moc"
