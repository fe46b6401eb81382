// Replays the seed corpus (and the hostile samples) through the reading side, then through
// full extraction, also with deterministic damage: no crash, nothing outside the target, and a
// damaged archive that still checks extracts.
#include "LhaTestUtil.h"

#include "backup/UnlhaLibrary.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

using namespace lhatest;

class TestLhaReplay : public QObject {
    Q_OBJECT
private slots:
    void corpus()
    {
        const QString src = qEnvironmentVariable("KENNEL_SOURCE_DIR") + "/tests/unlha32/";
        QTemporaryDir tmp;
        UnlhaLibrary lib(qEnvironmentVariable("KENNEL_BIN_DIR"));
        QVERIFY(lib.isLoaded());
        const QString archive = tmp.filePath("a.lzh"), target = tmp.filePath("t");
        int seeds = 0;
        for (const QString& folder : {src + "corpus", src + "data"})
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
                    writeFile(archive, a);
                    QDir(target).removeRecursively(); // what an earlier round left must not stand in the way
                    const bool sound = lib.checkArchive(archive);
                    const bool extracted = lib.RunUnlha(unlhaExtractAllCommand(archive, target));
                    QVERIFY2(!sound || extracted, qPrintable(file.fileName() + " round " + QString::number(round) +
                                                             ": " + lib.lastOutput()));
                    refused += !sound;
                }
                QVERIFY2(refused > 0, qPrintable(file.fileName()));
            }
        QVERIFY(seeds >= 9 * 64);
        const QStringList top = QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        QVERIFY(top == QStringList({"a.lzh"}) || top == QStringList({"a.lzh", "t"}));
    }
};

QTEST_GUILESS_MAIN(TestLhaReplay)
#include "test_lha_replay.moc"
