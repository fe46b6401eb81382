// Builds a corpus of a few megabytes (Japanese and English text, mails, C++ sources, a binary,
// bitmaps, compressed and random data) in a temporary folder and prints archive size and time
// of our library against jlha -lh5- / -lh7- and tar + gzip -6, all measured in this run.
#include "Add.h"
#include "Archive.h"
#include "Encoder.h"
#include "NameCodec.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& p, std::size_t limit = SIZE_MAX)
{
    std::ifstream in(p, std::ios::binary);
    std::string s{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (s.size() > limit)
        s.resize(limit);
    return s;
}

void writeAll(const fs::path& p, const std::string& s)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << s;
}

// Copies files matching a filter from a system folder until budget bytes are taken.
std::size_t copyFrom(const fs::path& from, const fs::path& to, std::size_t budget,
                     const std::function<bool(const fs::path&)>& want)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec) && !it->is_symlink(ec) && want(it->path())) // links would duplicate
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    std::size_t taken = 0;
    for (const auto& f : files) {
        if (taken >= budget)
            break;
        const std::string s = readAll(f, budget - taken);
        writeAll(to / f.filename(), s);
        taken += s.size();
    }
    return taken;
}

// Japanese-like text: words of one to four characters drawn from common kanji and kana, used
// with a Zipf-like frequency over a vocabulary of a few thousand words, so that files share
// common words but not whole sentences (as real mails and notes do).
std::string japaneseText(std::mt19937& rng, std::size_t size)
{
    static const std::vector<std::string> vocabulary = [] {
        const char* kanji = "日一国会人年大十二本中長出三同時政事自行社見月分議後前民生連五発間対上部東者党地合市業内"
                            "相場四定金都近県問入現学氏手明来山元北新子内議小外下員開話記百気家通心万面意性的理作"
                            "犬猫散歩公園天気元朝夜雨晴写真送信受付書類宝物設定友達遊食飯水茶店駅道車電話";
        const char* kana =
            "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをん"
            "がぎぐげござじずぜぞだでどばびぶべぼアイウエオカキクケコサシスセソタチツテトナニヌネノ"
            "ハヒフヘホマミムメモヤユヨラリルレロワンガギグゲゴザジズゼゾダデドバビブベボパピプペポー";
        auto chars = [](const char* s) {
            std::vector<std::string> out;
            for (std::size_t i = 0; s[i];) {
                const std::size_t n = (static_cast<unsigned char>(s[i]) >= 0xF0)   ? 4
                                      : (static_cast<unsigned char>(s[i]) >= 0xE0) ? 3
                                                                                   : 1;
                out.emplace_back(s + i, n);
                i += n;
            }
            return out;
        };
        const auto k = chars(kanji), h = chars(kana);
        std::mt19937 r(932);
        std::vector<std::string> words;
        for (int w = 0; w < 4000; ++w) {
            std::string word;
            const int len = 1 + static_cast<int>(r() % 4);
            for (int c = 0; c < len; ++c)
                word += (r() % 3 == 0) ? k[r() % k.size()] : h[r() % h.size()];
            words.push_back(word);
        }
        return words;
    }();
    static const char* particles[] = {"は", "が", "を", "に", "の", "と", "で", "、", "。", "。\r\n"};
    std::string s;
    while (s.size() < size) {
        // Zipf-like rank: small ranks are much more frequent.
        const double u = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
        const std::size_t rank =
            std::min<std::size_t>(vocabulary.size() - 1, static_cast<std::size_t>(std::pow(4000.0, u)) - 1);
        s += vocabulary[rank];
        s += particles[rng() % std::size(particles)];
    }
    return s;
}

std::string toCp932(const std::string& utf8)
{
    // Encode line by line; a line that does not convert stays as it is.
    std::string out;
    std::size_t start = 0;
    while (start < utf8.size()) {
        std::size_t end = utf8.find('\n', start);
        end = end == std::string::npos ? utf8.size() : end + 1;
        const std::string line = utf8.substr(start, end - start);
        const auto enc = unlha::encodeCp932(line);
        out += enc ? *enc : line;
        start = end;
    }
    return out;
}

std::string mail(std::mt19937& rng, int n)
{
    char head[512];
    std::snprintf(head, sizeof head,
                  "Return-Path: <friend%d@example.ne.jp>\r\nMessage-ID: <%08x.%04x@mail.example.ne.jp>\r\n"
                  "From: friend%d@example.ne.jp\r\nTo: pochi@example.jp\r\nSubject: Re: おさんぽ %d\r\n"
                  "Date: Sun, %d Oct 1999 %02d:%02d:00 +0900\r\nMIME-Version: 1.0\r\n"
                  "Content-Type: text/plain; charset=Shift_JIS\r\n\r\n",
                  n % 17, unsigned(rng()), unsigned(rng() & 0xFFFF), n % 17, n, 1 + n % 28, n % 24, n % 60);
    std::string body = japaneseText(rng, 600 + rng() % 2500);
    body += "\r\n> Thanks for the photos of the dog park, see you next week.\r\n> --\r\n> friend\r\n";
    return toCp932(head + body);
}

std::string bitmap(int w, int h, bool smooth, std::mt19937& rng)
{
    const int row = (w * 3 + 3) & ~3;
    std::string s(54 + std::size_t(row) * h, '\0');
    auto put = [&s](std::size_t at, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            s[at + i] = char(v >> (8 * i));
    };
    s[0] = 'B', s[1] = 'M';
    put(2, std::uint32_t(s.size()), 4), put(10, 54, 4), put(14, 40, 4), put(18, w, 4), put(22, h, 4);
    put(26, 1, 2), put(28, 24, 2), put(34, std::uint32_t(row) * h, 4);
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t at = 54 + std::size_t(y) * row + std::size_t(x) * 3;
            const int dx = x - w / 2, dy = y - h / 2;
            const bool inside = dx * dx + dy * dy < (w / 4) * (w / 4);
            int r = inside ? 220 : x * 255 / w, g = inside ? 40 : y * 255 / h, b = inside ? 40 : 128;
            if (smooth)
                r += noise(rng), g += noise(rng), b += noise(rng);
            s[at] = char(std::clamp(b, 0, 255)), s[at + 1] = char(std::clamp(g, 0, 255)),
            s[at + 2] = char(std::clamp(r, 0, 255));
        }
    return s;
}

std::size_t buildCorpus(const fs::path& dir)
{
    std::mt19937 rng(2001);
    copyFrom("/usr/share/common-licenses", dir / "english", 400000, [](const fs::path&) { return true; });
    copyFrom("/usr/share/perl", dir / "english", 300000, [](const fs::path& p) { return p.extension() == ".pod"; });
    copyFrom("/usr/include/c++/12/bits", dir / "cpp", 900000, [](const fs::path& p) { return p.extension() == ".h"; });
    writeAll(dir / "binary" / "bash", readAll("/usr/bin/bash", 1100000));
    copyFrom("/usr/share/doc", dir / "compressed", 250000, [](const fs::path& p) { return p.extension() == ".gz"; });
    writeAll(dir / "bitmaps" / "flat.bmp", bitmap(320, 240, false, rng));
    writeAll(dir / "bitmaps" / "photo.bmp", bitmap(320, 240, true, rng));
    std::string random(200000, '\0');
    for (char& c : random)
        c = char(rng());
    writeAll(dir / "random.bin", random);
    writeAll(dir / "日本語" / "日記.txt", toCp932(japaneseText(rng, 250000)));
    writeAll(dir / "日本語" / "日記-utf8.txt", japaneseText(rng, 200000));
    // Mail folders as mailbox files, a hundred mails in the inbox and fifty in the outbox.
    std::string inbox, outbox;
    for (int i = 0; i < 150; ++i)
        (i < 100 ? inbox : outbox) += mail(rng, i) + "\r\n.\r\n";
    writeAll(dir / "受信フォルダ" / "inbox.mbx", inbox);
    writeAll(dir / "送信フォルダ" / "outbox.mbx", outbox);
    std::size_t total = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            total += e.file_size();
    return total;
}

double seconds(const std::function<void()>& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Row {
    std::string name;
    std::uintmax_t size = 0;
    double time = 0;
};

std::string shellQuote(const std::string& s)
{
    return "'" + s + "'";
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const fs::path root = fs::temp_directory_path() / ("kennel-lha-bench-" + std::to_string(::getpid()));
    const fs::path corpus = root / "corpus";
    const std::size_t input = buildCorpus(corpus);
    std::vector<std::string> entries;
    for (const auto& e : fs::directory_iterator(corpus))
        entries.push_back(e.path().filename().string());
    std::sort(entries.begin(), entries.end());
    std::size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(corpus))
        files += e.is_regular_file();
    std::printf("corpus: %zu files, %zu bytes, %d runs each (median)\n", files, input, runs);

    std::vector<Row> rows;
    auto ours = [&](const char* label, int effort, int threads) {
        const fs::path out = root / ("ours" + std::to_string(effort) + "-" + std::to_string(threads) + ".lzh");
        std::vector<double> t;
        for (int r = 0; r < runs + 1; ++r) { // the first run warms the file cache
            fs::remove(out);
            unlha::AddOptions o;
            o.archive = out.string();
            o.sources.push_back({corpus.string() + "/", entries});
            o.effort = effort;
            o.threads = threads;
            std::string message;
            const double s = seconds([&] {
                if (unlha::addToArchive(o, message) != 0)
                    std::fprintf(stderr, "add failed: %s\n", message.c_str());
            });
            if (r > 0)
                t.push_back(s);
        }
        unlha::ArchiveFile check;
        if (!check.open(out.string()) || !unlha::checkArchive(check, true))
            std::fprintf(stderr, "our archive does not check!\n");
        rows.push_back({label, fs::file_size(out), median(t)});
    };
    auto external = [&](const char* label, const std::string& command, const fs::path& out) {
        std::vector<double> t;
        for (int r = 0; r < runs; ++r) {
            fs::remove(out);
            t.push_back(seconds([&] {
                if (std::system(command.c_str()) != 0)
                    std::fprintf(stderr, "failed: %s\n", command.c_str());
            }));
        }
        rows.push_back({label, fs::exists(out) ? fs::file_size(out) : 0, median(t)});
    };

    const unsigned cores = std::min(4u, std::max(1u, std::thread::hardware_concurrency()));
    std::printf("our writer uses %u worker threads (one per core, at most four)\n\n", cores);
    ours("ours -jm4 (default)", 4, 0);
    ours("ours -jm4, 1 thread", 4, 1);
    ours("ours -jm1 (fast)", 1, 0);
    std::string names;
    for (const auto& e : entries)
        names += " " + shellQuote(e);
    const std::string java =
        "cd " + shellQuote(corpus.string()) + " && JAVA_TOOL_OPTIONS='-Duser.language=ja -Duser.country=JP' jlha ";
    const bool haveJlha = std::system("command -v jlha >/dev/null 2>&1") == 0;
    if (haveJlha) {
        external("jlha -lh5-", java + "c2o5 " + shellQuote((root / "j5.lzh").string()) + names + " >/dev/null 2>&1",
                 root / "j5.lzh");
        external("jlha -lh7-", java + "c2o7 " + shellQuote((root / "j7.lzh").string()) + names + " >/dev/null 2>&1",
                 root / "j7.lzh");
        external("jlha JVM start only",
                 java + "l " + shellQuote((root / "j5.lzh").string()) + " >/dev/null 2>&1 && touch " +
                     shellQuote((root / "jvm").string()),
                 root / "jvm");
        rows.back().size = 0;
    } else {
        std::printf("jlha not installed: its rows are missing\n");
    }
    external("tar | gzip -6",
             "tar cf - -C " + shellQuote(corpus.string()) + " . | gzip -6 > " +
                 shellQuote((root / "t.tar.gz").string()),
             root / "t.tar.gz");

    const Row& base = rows.front();
    std::printf("%-22s %10s %9s %9s %12s %12s\n", "writer", "bytes", "% input", "seconds", "size/ours", "time/ours");
    for (const Row& r : rows) {
        if (r.size == 0) {
            std::printf("%-22s %10s %9s %9.3f %12s %12.2f\n", r.name.c_str(), "-", "-", r.time, "-",
                        r.time / base.time);
            continue;
        }
        std::printf("%-22s %10ju %8.2f%% %9.3f %12.4f %12.2f\n", r.name.c_str(), r.size,
                    100.0 * double(r.size) / double(input), r.time, double(r.size) / double(base.size),
                    r.time / base.time);
    }
    for (const Row& r : rows)
        if (r.name == "jlha -lh7-")
            std::printf("\nours vs jlha -lh7-: %.2f%% smaller\n", 100.0 * (1.0 - double(base.size) / double(r.size)));
    for (const Row& r : rows)
        if (r.name == "tar | gzip -6")
            std::printf("ours vs tar | gzip -6: %.2f%% smaller\n", 100.0 * (1.0 - double(base.size) / double(r.size)));

    // Method choice by measurement: every compressible file packed with each window alone.
    std::uintmax_t sum[3] = {0, 0, 0}, chosen = 0;
    for (const auto& e : fs::recursive_directory_iterator(corpus)) {
        if (!e.is_regular_file())
            continue;
        const std::string s = readAll(e.path());
        const unlha::Bytes b(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
        const unlha::Method ms[3] = {unlha::Method::Lh5, unlha::Method::Lh6, unlha::Method::Lh7};
        for (int k = 0; k < 3; ++k)
            sum[k] += std::min(s.size(), unlha::encodeLh(b, ms[k], {}).size());
        const auto p = unlha::packMember(b, {});
        chosen += p.method == unlha::Method::Stored ? s.size() : p.data.size();
    }
    std::printf("\nmember data only, every file with one method (stored when larger):\n"
                "  -lh5- %ju   -lh6- %ju   -lh7- %ju   as chosen %ju\n",
                sum[0], sum[1], sum[2], chosen);
    if (!std::getenv("LHA_BENCH_KEEP"))
        fs::remove_all(root);
    else
        std::printf("kept %s\n", root.c_str());
    return 0;
}
