// Replays the seed corpus (and the hostile samples) through the reading side, then through
// full extraction, also with deterministic damage: no crash, nothing outside the target.
#include "LhaTestUtil.h"

#include "backup/UnlhaLibrary.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

using namespace lhatest;

class TestLhaReplay : public QObject {
    Q_OBJECT
private slots:
    void corpus_data()
    {
        QTest::addColumn<QString>("file");
        const QString src = qEnvironmentVariable("KENNEL_SOURCE_DIR") + "/tests/unlha32/";
        int rows = 0;
        for (const QString& folder : {src + "corpus", src + "data"}) {
            QDirIterator it(folder, {"*.lzh"}, QDir::Files);
            while (it.hasNext()) {
                const QString f = it.next();
                QTest::newRow(qPrintable(QFileInfo(f).fileName())) << f;
                ++rows;
            }
        }
        QVERIFY(rows >= 9);
    }
    void corpus()
    {
        QFETCH(QString, file);
        const QByteArray seed = readFile(file);
        QVERIFY(!seed.isEmpty());
        auto feed = [](const QByteArray& a) {
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(a.constData()), std::size_t(a.size()));
        };
        feed(seed);
        QTemporaryDir tmp;
        UnlhaLibrary lib(qEnvironmentVariable("KENNEL_BIN_DIR"));
        QVERIFY(lib.isLoaded());
        const QString archive = tmp.filePath("a.lzh");
        const QString target = tmp.filePath("t");
        // The seed itself, then cuts and bit flips spread over its bytes.
        for (int round = 0; round < 64; ++round) {
            QByteArray a = seed;
            if (round > 0 && round % 2)
                a.truncate(int(qint64(a.size()) * round / 64));
            else if (round > 0)
                a[(round * 7919) % a.size()] = char(a[(round * 7919) % a.size()] ^ (1 << (round % 8)));
            feed(a);
            writeFile(archive, a);
            lib.checkArchive(archive);
            lib.RunUnlha(unlhaExtractAllCommand(archive, target));
        }
        QDirIterator it(tmp.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        QStringList top;
        while (it.hasNext())
            top << QFileInfo(it.next()).fileName();
        top.sort();
        QVERIFY(top == QStringList({"a.lzh"}) || top == QStringList({"a.lzh", "t"}));
    }
};

QTEST_GUILESS_MAIN(TestLhaReplay)
#include "test_lha_replay.moc"
