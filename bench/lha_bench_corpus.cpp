#include "lha_bench_corpus.h"

#include "NameCodec.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <vector>

namespace fs = std::filesystem;

namespace lhabench {

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

std::uintmax_t bytesBelow(const fs::path& dir)
{
    std::uintmax_t total = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            total += e.file_size();
    return total;
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

// A mail with its header lines, Japanese text and a quoted English line, in code page 932.
std::string mail(std::mt19937& rng, int n, std::size_t textSize)
{
    char head[512];
    std::snprintf(head, sizeof head,
                  "Return-Path: <friend%d@example.ne.jp>\r\nMessage-ID: <%08x.%04x@mail.example.ne.jp>\r\n"
                  "From: friend%d@example.ne.jp\r\nTo: pochi@example.jp\r\nSubject: Re: おさんぽ %d\r\n"
                  "Date: Sun, %d Oct 1999 %02d:%02d:00 +0900\r\nMIME-Version: 1.0\r\n"
                  "Content-Type: text/plain; charset=Shift_JIS\r\n\r\n",
                  n % 17, unsigned(rng()), unsigned(rng() & 0xFFFF), n % 17, n, 1 + n % 28, n % 24, n % 60);
    std::string body = japaneseText(rng, textSize);
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

// A photo-like picture (sky, lawn, a few shapes, sensor noise) saved as a JPEG.
std::string jpeg(int w, int h, std::mt19937& rng)
{
    QImage img(w, h, QImage::Format_RGB32);
    std::uniform_int_distribution<int> noise(-10, 10);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const bool sky = y < h / 2 + (x % 97) / 8;
            const int r = sky ? 120 + y * 60 / h : 60 + (x * 7 + y * 3) % 40;
            const int g = sky ? 170 + y * 40 / h : 140 + (x * 5 + y * 11) % 50;
            const int b = sky ? 230 : 50 + (x + y) % 30;
            line[x] = qRgb(std::clamp(r + noise(rng), 0, 255), std::clamp(g + noise(rng), 0, 255),
                           std::clamp(b + noise(rng), 0, 255));
        }
    }
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int k = 0; k < 12; ++k) {
        p.setBrush(QColor(int(rng() % 256), int(rng() % 256), int(rng() % 256)));
        p.drawEllipse(int(rng() % unsigned(w)), int(rng() % unsigned(h)), 20 + int(rng() % 120), 20 + int(rng() % 120));
    }
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPG", 85);
    return bytes.toStdString();
}

struct XorShift {
    std::uint64_t s;
    explicit XorShift(std::uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint64_t next()
    {
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        return s;
    }
};

std::string randomBytes(XorShift& rng, std::size_t size)
{
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t v = rng.next();
        std::memcpy(&s[i], &v, std::min<std::size_t>(8, size - i));
    }
    return s;
}

} // namespace

std::uintmax_t mixedCorpus(const fs::path& dir)
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
        (i < 100 ? inbox : outbox) += mail(rng, i, 600 + rng() % 2500) + "\r\n.\r\n";
    writeAll(dir / "受信フォルダ" / "inbox.mbx", inbox);
    writeAll(dir / "送信フォルダ" / "outbox.mbx", outbox);
    return bytesBelow(dir);
}

std::uintmax_t petCorpus(const fs::path& dir, Large large, std::uintmax_t largeBytes)
{
    std::mt19937 rng(1999);
    const fs::path attachments = dir / "添付書類ﾌｫﾙﾀﾞ";
    writeAll(dir / "BackUp.ini", "[Backup]\r\nPet=\x83\x7c\x83\x60\r\nMaster=\x8e\x52\x93\x63\r\nDate=20010430\r\n");
    XorShift bytes(77);
    writeAll(dir / "Mewmail設定.mwc", randomBytes(bytes, 600) + std::string(1400, '\0'));
    writeAll(dir / "おともだち帳", mail(rng, 0, 12000));
    for (int i = 0; i < 250; ++i)
        writeAll(dir / "受信フォルダ" / ("mail_" + std::to_string(1000 + i) + ".mwm"), mail(rng, i, 600 + rng() % 11000));
    for (int i = 0; i < 80; ++i)
        writeAll(dir / "送信フォルダ" / ("sent_" + std::to_string(1000 + i) + ".mwm"), mail(rng, i, 600 + rng() % 5000));
    for (int i = 0; i < 4; ++i)
        writeAll(attachments / ("写真" + std::to_string(i) + ".jpg"), jpeg(800 + 160 * i, 600 + 120 * i, rng));
    writeAll(attachments / "地図.bmp", bitmap(640, 480, false, rng));
    writeAll(attachments / "庭.bmp", bitmap(640, 480, true, rng));
    for (int i = 0; i < 6; ++i)
        writeAll(dir / "おもちゃ" / ("おもちゃ" + std::to_string(i) + ".pty"), bitmap(96 + 16 * i, 96, i % 2, rng));
    for (int i = 0; i < 20; ++i) // snacks: a little picture and a short text each
        writeAll(dir / "おやつ" / ("おやつ" + std::to_string(i) + ".pac"),
                 bitmap(32, 32, true, rng) + mail(rng, i, 300) + randomBytes(bytes, 200));
    for (int i = 0; i < 5; ++i)
        writeAll(dir / "宝物" / ("宝物" + std::to_string(i) + ".pac"), jpeg(320, 240, rng) + mail(rng, i, 2000));
    if (largeBytes > 0)
        largeFile(attachments / "大きな添付.dat", large, largeBytes);
    return bytesBelow(dir);
}

void largeFile(const fs::path& file, Large kind, std::uintmax_t size)
{
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    std::mt19937 rng(static_cast<unsigned>(size));
    XorShift bytes(size);
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    int mails = 0;
    for (std::uintmax_t done = 0, k = 0; done < size; ++k) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uintmax_t>(kPiece, size - done));
        // Mixed: one stretch of mail after every two of packed data.
        const bool text = kind == Large::Mail || (kind == Large::Mixed && k % 3 == 2);
        std::string piece;
        if (text) {
            while (piece.size() < n)
                piece += mail(rng, mails++, 600 + rng() % 8000) + "\r\n";
            piece.resize(n);
        } else {
            piece = randomBytes(bytes, n);
        }
        out.write(piece.data(), static_cast<std::streamsize>(n));
        done += n;
    }
}

} // namespace lhabench
