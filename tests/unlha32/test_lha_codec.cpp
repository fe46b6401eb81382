// The codec pieces of the archiver library: CRC, code lengths, encoder/decoder round trips,
// header reading, name checks.
#include "Add.h"
#include "Archive.h"
#include "Crc16.h"
#include "Decoder.h"
#include "Encoder.h"
#include "Header.h"
#include "Huffman.h"
#include "NameCodec.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace unlha;

namespace {

std::vector<std::uint8_t> bytesOf(const QByteArray& a)
{
    return {a.begin(), a.end()};
}

std::vector<std::uint8_t> decodeAll(Method m, const std::vector<std::uint8_t>& packed, std::size_t size,
                                    DecodeResult* result = nullptr)
{
    std::vector<std::uint8_t> out;
    const DecodeResult r = decodeMember(m, Bytes(packed), size, [&out](const std::uint8_t* d, std::size_t n) {
        out.insert(out.end(), d, d + n);
        return true;
    });
    if (result)
        *result = r;
    return out;
}

QByteArray sample(const QString& kind, int size)
{
    QRandomGenerator rng(7);
    QByteArray a;
    if (kind == "zeros") {
        a = QByteArray(size, '\0');
    } else if (kind == "random") {
        a.resize(size);
        for (char& c : a)
            c = static_cast<char>(rng.bounded(256));
    } else if (kind == "text") {
        static const char* words[] = {"kennel ", "pet ",     "backup ", "おやつ ",
                                      "宝物 ",   "mail\r\n", "the ",    "受信フォルダ "};
        while (a.size() < size)
            a += words[rng.bounded(8)];
        a.truncate(size);
    } else if (kind == "randomRepeated") { // random bytes, but every block comes three times
        QByteArray block(20000, '\0');
        for (char& c : block)
            c = static_cast<char>(rng.bounded(256));
        while (a.size() < size)
            a += block;
        a.truncate(size);
    } else { // "farRepeat": a block repeated just inside the largest window
        QByteArray block(1000, '\0');
        for (char& c : block)
            c = static_cast<char>(rng.bounded(256));
        while (a.size() < size) {
            a += block;
            a += QByteArray(64534, 'x');
        }
        a.truncate(size);
    }
    return a;
}

} // namespace

class TestLhaCodec : public QObject {
    Q_OBJECT
private slots:
    void crc16_checkValue()
    {
        const QByteArray s("123456789");
        QCOMPARE(crc16(reinterpret_cast<const std::uint8_t*>(s.data()), 9), std::uint16_t(0xBB3D));
        // Split updates give the same result as one pass.
        const std::uint16_t a = crc16Update(0, reinterpret_cast<const std::uint8_t*>(s.data()), 5);
        QCOMPARE(crc16Update(a, reinterpret_cast<const std::uint8_t*>(s.data()) + 5, 4), std::uint16_t(0xBB3D));
        // Joined from the CRCs of the pieces, as the writer joins a member's segments.
        QCOMPARE(crc16Combine(a, crc16(reinterpret_cast<const std::uint8_t*>(s.data()) + 5, 4), 4), std::uint16_t(0xBB3D));
    }

    void codeLengths_areLimitedAndComplete()
    {
        // Fibonacci frequencies make the unlimited Huffman code 40 levels deep.
        std::vector<std::uint32_t> freq(40);
        freq[0] = freq[1] = 1;
        for (int i = 2; i < 40; ++i)
            freq[i] = freq[i - 1] + freq[i - 2];
        std::vector<std::uint8_t> len(40);
        buildCodeLengths(freq.data(), 40, 16, len.data());
        std::uint64_t kraft = 0;
        for (auto l : len) {
            QVERIFY(l >= 1 && l <= 16);
            kraft += std::uint64_t{1} << (16 - l);
        }
        QCOMPARE(kraft, std::uint64_t{1} << 16);
        QVERIFY(len[39] <= len[0]); // the most frequent symbol is never longer
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("method");
        QTest::addColumn<int>("effort");
        for (int m : {int(Method::Lh5), int(Method::Lh6), int(Method::Lh7)}) {
            for (int effort : {1, 4}) {
                const QString tag = QStringLiteral(" m%1 e%2").arg(m).arg(effort);
                QTest::newRow(qPrintable("one byte" + tag)) << "text" << 1 << m << effort;
                QTest::newRow(qPrintable("text 200k" + tag)) << "text" << 200000 << m << effort;
                // Smaller than the window: the match finder keeps fewer nodes.
                QTest::newRow(qPrintable("text 5000" + tag)) << "text" << 5000 << m << effort;
                QTest::newRow(qPrintable("text 40000" + tag)) << "text" << 40000 << m << effort;
                QTest::newRow(qPrintable("zeros 3M" + tag)) << "zeros" << 3000000 << m << effort;
                QTest::newRow(qPrintable("random 70k" + tag)) << "random" << 70000 << m << effort;
                QTest::newRow(qPrintable("far repeats" + tag)) << "farRepeat" << 400000 << m << effort;
                QTest::newRow(qPrintable("random repeated" + tag)) << "randomRepeated" << 60000 << m << effort;
            }
        }
    }
    void roundTrip()
    {
        QFETCH(QString, kind);
        QFETCH(int, size);
        QFETCH(int, method);
        QFETCH(int, effort);
        const auto input = bytesOf(sample(kind, size));
        const auto packed = encodeLh(Bytes(input), Method(method), EncoderSettings{effort});
        DecodeResult r;
        const auto out = decodeAll(Method(method), packed, input.size(), &r);
        QVERIFY2(r.ok, r.error.c_str());
        QVERIFY(out == input);
        QCOMPARE(r.crc, crc16(input.data(), input.size()));
        if (kind == "zeros") // stays below the reader's ratio limit
            QVERIFY(packed.size() * 8000 > input.size());
        if (kind == "randomRepeated" && method != int(Method::Lh5)) // byte entropy 8, yet the repeats are found
            QVERIFY(packed.size() < input.size() / 2);
    }

    void packMember_storesWhatDoesNotShrink()
    {
        const auto random = bytesOf(sample("random", 5000));
        QCOMPARE(packMember(Bytes(random), {}).method, Method::Stored);
        const auto text = bytesOf(sample("text", 5000));
        QCOMPARE(packMember(Bytes(text), {}).method, Method::Lh5);
        const auto big = bytesOf(sample("text", 100000));
        QCOMPARE(packMember(Bytes(big), {}).method, Method::Lh7);
    }

    void add_writesTheSameArchiveWithOneOrFourThreads()
    {
        // Large members split into segments (one that will be stored whole), then many small
        // ones: the workers run ahead of the writer, which must still write every piece in order.
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString src = tmp.filePath("src");
        QVERIFY(QDir().mkpath(src + "/sub"));
        auto put = [](const QString& path, const QByteArray& data) {
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
        };
        const int big = int(2 * kSegment + 1000);
        QVERIFY(put(src + "/big.txt", sample("text", big)));
        QVERIFY(put(src + "/big.bin", sample("random", big)));
        for (int i = 0; i < 30; ++i)
            QVERIFY(put(src + QStringLiteral("/sub/f%1.txt").arg(i, 2, 10, QChar('0')),
                        sample(i % 3 ? "text" : "random", 500 + 700 * i) + QByteArray::number(i)));
        std::vector<std::uint8_t> archives[2];
        for (int k = 0; k < 2; ++k) {
            AddOptions o;
            o.archive = tmp.filePath(QStringLiteral("t%1.lzh").arg(k)).toStdString();
            o.sources.push_back({(src + "/").toStdString(), {"big.txt", "big.bin", "sub"}});
            o.threads = k == 0 ? 1 : 4;
            std::string message;
            QCOMPARE(addToArchive(o, message), 0);
            ArchiveFile f;
            QVERIFY(f.open(o.archive));
            archives[k].resize(f.size());
            QVERIFY(f.read(0, archives[k].data(), archives[k].size()));
        }
        QVERIFY(archives[0] == archives[1]);
        std::string error;
        QVERIFY2(checkArchive(MemorySource(Bytes(archives[1])), true, &error), error.c_str());
        const Listing listing = listMembers(MemorySource(Bytes(archives[1])));
        QCOMPARE(listing.members.size(), std::size_t{33});
        QCOMPARE(listing.members[0].method, Method::Lh7);
        QCOMPARE(listing.members[1].method, Method::Stored);
        QCOMPARE(joinPath(listing.members[2].path), std::string("sub"));
        for (int i = 0; i < 30; ++i) {
            const Member& m = listing.members[std::size_t(i) + 3];
            QCOMPARE(QString::fromStdString(joinPath(m.path)), QStringLiteral("sub/f%1.txt").arg(i, 2, 10, QChar('0')));
            QCOMPARE(std::size_t(m.originalSize), std::size_t(500 + 700 * i + QByteArray::number(i).size()));
        }
    }

    void decoder_failsCleanlyOnDamage()
    {
        const auto input = bytesOf(sample("text", 60000));
        const auto packed = encodeLh(Bytes(input), Method::Lh7, {});
        QRandomGenerator rng(11);
        int failures = 0;
        for (int round = 0; round < 300; ++round) {
            auto bad = packed;
            for (int k = 0; k < 1 + round % 4; ++k)
                bad[rng.bounded(static_cast<int>(bad.size()))] ^= static_cast<std::uint8_t>(1 + rng.bounded(255));
            DecodeResult r;
            const auto out = decodeAll(Method::Lh7, bad, input.size(), &r);
            QVERIFY(out.size() <= input.size());
            if (!r.ok || r.crc != crc16(input.data(), input.size()))
                ++failures;
        }
        QVERIFY(failures > 290); // a rare flip may hit padding bits
        // Cut short: an error, not a hang or a read past the end.
        DecodeResult r;
        decodeAll(Method::Lh7, std::vector<std::uint8_t>(packed.begin(), packed.begin() + packed.size() / 2),
                  input.size(), &r);
        QVERIFY(!r.ok);
    }

    void level2Header_padsAndChecksCrc()
    {
        NewMember nm;
        nm.methodId = "-lh0-";
        // Find a name length whose header size has a zero low byte: the writer must pad it.
        for (int n = 1; n < 300; ++n) {
            nm.name = std::string(n, 'a');
            const auto h = buildLevel2Header(nm);
            QVERIFY(h[0] != 0);
            QCOMPARE(std::size_t(h[0] | (h[1] << 8)), h.size());
        }
        nm.name = "x";
        auto h = buildLevel2Header(nm);
        h.push_back(0);
        QCOMPARE(int(readHeader(MemorySource(Bytes(h)), 0).status), int(HeaderRead::Status::Member));
        h[4] ^= 1; // method byte changed: the header CRC no longer matches
        QCOMPARE(int(readHeader(MemorySource(Bytes(h)), 0).status), int(HeaderRead::Status::Broken));
    }

    void wildcards_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("match");
        QTest::newRow("case") << "BackUp.ini" << "backup.INI" << true;
        QTest::newRow("star dot star, no dot") << "*.*" << "README" << true;
        QTest::newRow("suffix") << "*.txt" << "おもちゃ/a.txt" << true;
        QTest::newRow("question") << "a?c" << "abc" << true;
        QTest::newRow("other") << "Backup.ini" << "Backup.ini.bak" << false;
        QTest::newRow("nested") << "Backup.ini" << "宝物/Backup.ini" << false;
    }
    void wildcards()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, match);
        QCOMPARE(matchWildcard(pattern.toStdString(), name.toStdString()), match);
    }

    void encodeCp932_refusesWhatDoesNotComeBack()
    {
        QVERIFY(encodeCp932("添付書類ﾌｫﾙﾀﾞ").has_value());
        QVERIFY(!encodeCp932("a¥b").has_value()); // would come back as a separator
        QVERIFY(!encodeCp932("🐶").has_value());
        QVERIFY(!encodeCp932("\xff\xfe").has_value()); // not UTF-8
    }
};

QTEST_GUILESS_MAIN(TestLhaCodec)
#include "test_lha_codec.moc"
