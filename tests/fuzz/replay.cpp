// Replays the seed corpus of one fuzz target, each seed whole and cut at every length, through
// its entry; the clang fuzz runs (label fuzz) go further.
#include <QDirIterator>
#include <QFile>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main()
{
    int seeds = 0;
    QDirIterator it(QStringLiteral(FUZZ_CORPUS), QDir::Files);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray seed = file.readAll();
        for (qsizetype n = seed.size(); n >= 0; --n)
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(seed.constData()), std::size_t(n));
        ++seeds;
    }
    std::printf("%d seeds replayed from %s\n", seeds, FUZZ_CORPUS);
    return seeds >= 5 ? 0 : 1;
}
