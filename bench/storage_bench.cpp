// Lays out host folders with pets of realistic data (mails of a few kilobytes, attachments,
// toys and treasures of megabytes) in a temporary folder and prints, all measured in this run:
// the file work of a pet switch and of storing the current pet against `cp -r` of the same
// files, deleting the first of 100 pets at two data sizes, and start-up to idle with 100 pets
// with the gauge's pacing measured and taken out.
//
//   storage_bench [--pet-mb N] [--runs N] [--delete-mb A,B] [--files A,B,...] [--folder DIR] [--fresh]
//                 [--parts switch,files,delete,startup] [--keep]
//
// Figures, not assertions: the goals are ratios against cp, and a delete time that stays flat
// when the pets' data grows.
#include "backup/UnlhaLibrary.h"
#include "ports/Context.h"
#include "shell/FileOps.h"
#include "storage/Session.h"
#include "storage/StorageOps.h"
#include "ui/main/MainForm.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double seconds(const std::function<void()>& f)
{
    const auto t0 = Clock::now();
    f();
    return since(t0);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

fs::path native(const QString& p)
{
    return fs::path(p.toStdString());
}

// ---- data ------------------------------------------------------------------------------

// A fast deterministic generator: the same seed lays out the same bytes on every run.
struct XorShift {
    std::uint64_t s;
    explicit XorShift(std::uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint64_t next()
    {
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        return s;
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
};

// Photos, archives and toys do not compress: random bytes stand for them.
std::string binary(XorShift& rng, std::size_t size)
{
    std::string s(size, '\0');
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const std::uint64_t v = rng.next();
        std::memcpy(&s[i], &v, 8);
    }
    for (; i < size; ++i)
        s[i] = static_cast<char>(rng.next());
    return s;
}

// A mail as the host keeps it: a few header lines and Japanese text.
std::string mail(XorShift& rng, int number, std::size_t size)
{
    static const char* words[] = {"こんにちは",     "今日は",           "いい天気",   "ですね。",   "散歩",
                                  "に行きました。", "公園で",           "クロちゃん", "と遊んだよ", "おやつ",
                                  "ありがとう！",   "写真を送ります。", "また",       "ね。",       "\r\n"};
    std::string s = "差出人: ともだち" + std::to_string(number % 17) + "\r\n日付: 2001/04/" +
                    std::to_string(1 + number % 28) + " 10:00\r\n件名: おてがみ " + std::to_string(number) + "\r\n\r\n";
    while (s.size() < size)
        s += words[rng.below(std::size(words))];
    s.resize(size);
    return s;
}

// Laid-out files carry yesterday's time, as a pet's files do: a file written in the last
// seconds is compared by content rather than trusted for its size and time (--fresh keeps
// the time of writing, to measure that case).
bool g_fresh = false;

void writeBytes(const fs::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!g_fresh)
        fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::hours(24));
}

struct Amount {
    std::size_t files = 0;
    std::uintmax_t bytes = 0;
    std::uintmax_t largest = 0;
};

// One pet-shaped folder (the host's places, or a pet folder): the friends book, both settings
// files and the six item folders. About 270 mails of 1 to 12 KB, 30 snacks, and the rest of
// `total` bytes in attachments (40 %), toys (45 %) and treasures (15 %), split into files
// of uneven size. With a smaller total the same files shrink: the file count stays.
Amount layOutPet(const fs::path& folder, std::uint64_t seed, std::uintmax_t total)
{
    XorShift rng(seed);
    Amount a;
    auto put = [&](const fs::path& p, const std::string& bytes) {
        writeBytes(p, bytes);
        ++a.files;
        a.bytes += bytes.size();
        a.largest = std::max<std::uintmax_t>(a.largest, bytes.size());
    };
    // Small files scale down with small pets so that the large part never goes negative.
    const double scale = std::min(1.0, static_cast<double>(total) / (24.0 * 1024 * 1024));
    auto small = [&](std::size_t lo, std::size_t hi) {
        return std::max<std::size_t>(64, static_cast<std::size_t>(scale * double(lo + rng.below(hi - lo))));
    };
    for (const QString& name : items::kFolderOrder)
        fs::create_directories(folder / native(name));
    put(folder / native(items::kFriends), mail(rng, 0, small(4000, 12000)));
    put(folder / native(items::kSettings), mail(rng, 1, small(600, 1200)));
    put(folder / native(items::kSettingsBackup), mail(rng, 1, small(600, 1200)));
    for (int i = 0; i < 200; ++i)
        put(folder / native(items::kInbox) / ("mail_" + std::to_string(1000 + i) + ".mwm"),
            mail(rng, i, small(1000, 12000)));
    for (int i = 0; i < 70; ++i)
        put(folder / native(items::kOutbox) / ("sent_" + std::to_string(1000 + i) + ".mwm"),
            mail(rng, i, small(1000, 6000)));
    for (int i = 0; i < 30; ++i)
        put(folder / native(items::kSnacks) / ("おやつ" + std::to_string(i) + ".pac"), mail(rng, i, small(500, 4000)));
    const std::uintmax_t large = total > a.bytes ? total - a.bytes : 0;
    // Uneven parts: weights 1 to 4, scaled to the share.
    auto split = [&](const QString& item, const char* stem, const char* ext, int count, double share) {
        std::vector<int> weights(count);
        int sum = 0;
        for (int& w : weights)
            sum += (w = 1 + static_cast<int>(rng.below(4)));
        for (int i = 0; i < count; ++i) {
            const auto size = static_cast<std::size_t>(double(large) * share * weights[i] / sum);
            put(folder / native(item) / (std::string(stem) + std::to_string(i) + ext), binary(rng, size));
        }
    };
    split(items::kAttachments, "写真", ".jpg", 12, 0.40);
    split(items::kToys, "おもちゃ", ".pty", 6, 0.45);
    split(items::kTreasures, "宝物", ".pac", 25, 0.15);
    return a;
}

// ---- ports -----------------------------------------------------------------------------

// Says yes to every question; a message the benchmark did not expect is printed.
class BenchMessages : public MessagePort {
public:
protected:
    MsgAnswer ask(const QString&, const QString& text, MsgIcon icon, MsgButtons buttons) override
    {
        if (icon != MsgIcon::Exclamation || buttons != MsgButtons::OkCancel)
            std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        switch (buttons) {
        case MsgButtons::YesNo:
            return MsgAnswer::Yes;
        case MsgButtons::RetryCancel:
            return MsgAnswer::Cancel;
        default:
            return MsgAnswer::Ok;
        }
    }
};

class BenchExit : public ExitPort {
public:
    [[noreturn]] void endProgram(int code) override
    {
        std::fprintf(stderr, "the program would have ended here (code %d)\n", code);
        std::exit(1);
    }
};

// The main window without the gauge's pacing: what is left is the file work.
class FileWorkView : public MainView {
public:
    void BusyOn() override {}
    void BusyOff() override {}
    void setGaugePosition(int) override {}
    void delayGauge(int) override { ++points; }
    int points = 0; // gauge points that the real window would have paced
};

// The real main window; the time spent in the gauge's pacing is measured, as is the moment
// it is idle after start-up.
class TimedMainForm : public MainForm {
public:
    using MainForm::MainForm;
    void delayGauge(int ms) override
    {
        const auto t0 = Clock::now();
        MainForm::delayGauge(ms);
        pacing += since(t0);
    }
    void setGaugePosition(int pos) override
    {
        if (!checkStarted && pos > 0)
            checkStarted = Clock::now(); // the first point of the start-up check
        MainForm::setGaugePosition(pos);
    }
    void BusyOff() override
    {
        MainForm::BusyOff();
        idle = Clock::now();
    }
    double pacing = 0;
    std::optional<Clock::time_point> checkStarted;
    std::optional<Clock::time_point> idle;
};

// ---- host ------------------------------------------------------------------------------

struct Host {
    fs::path folder;
    BenchMessages messages;
    BenchExit exit;
    FileWorkView view;
    Context ctx;
    Session session;

    Host(const fs::path& f, const fs::path& bin)
        : folder(f), ctx(wired(messages, exit, view)), session(ctx, HostLayout(QString::fromStdString(f.string())))
    {
        fs::create_directories(folder);
        fs::copy_file(bin / "Mewmail20.exe", folder / "Mewmail20.exe", fs::copy_options::overwrite_existing);
    }
    static Context wired(MessagePort& messages, ExitPort& exit, MainView& view)
    {
        Context c;
        c.messages = messages;
        c.exit = exit;
        c.view = view;
        return c;
    }
    fs::path pet(int i) const { return native(session.layout().PetFolder(i)); }

    // count pets named ペット1..; the current pet's data in the host's places.
    void registerPets(int count, int current)
    {
        PetTable& t = session.table();
        for (int i = 0; i < count; ++i) {
            t.Pet[i] = QStringLiteral("ペット%1").arg(i + 1);
            t.Master[i] = QStringLiteral("飼い主%1").arg(i + 1);
        }
        t.MaxUser = count - 1;
        t.CurrentUser = current;
        session.setRegistryLoaded(true);
        if (!session.WriteRegistry(Steps::none(ctx))) {
            std::fprintf(stderr, "Kennel.ini could not be written\n");
            std::exit(1);
        }
    }
};

// Runs a reference program with these arguments and returns its seconds.
double timed(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return seconds([&] {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0 || waitpid(pid, &status, 0) < 0 ||
            !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            std::fprintf(stderr, "%s %s failed\n", argv[0], argv[1]);
    });
}

// cp -r with these arguments: `-T from to` copies a folder's contents into `to`,
// `from... to/` copies each source into the folder `to`.
double cpR(std::vector<std::string> args)
{
    args.insert(args.begin(), {"cp", "-r"});
    return timed(std::move(args));
}

// rsync -a --delete: `from... to/` brings the folder `to` up to date with the sources.
double rsyncAD(std::vector<std::string> args)
{
    args.insert(args.begin(), {"rsync", "-a", "--delete"});
    return timed(std::move(args));
}

// Pet folders 2 to 100 as hard links to the files of one laid-out pet: every operation reads
// the same bytes from them as from copies, and laying them out (and removing them) stays
// quick. Pet 1, the one deleted, has files of its own. Returns one pet's amount.
Amount layOutHundredPets(Host& host, double mbPerPet)
{
    const auto bytes = static_cast<std::uintmax_t>(mbPerPet * 1024 * 1024);
    const Amount a = layOutPet(host.pet(0), 3000, bytes);
    const fs::path model = host.folder / "model";
    layOutPet(model, 3001, bytes);
    for (int i = 1; i < kMaxPets; ++i) {
        const fs::path pet = host.pet(i);
        for (const auto& e : fs::recursive_directory_iterator(model)) {
            const fs::path to = pet / e.path().lexically_relative(model);
            if (e.is_directory())
                fs::create_directories(to);
            else
                fs::create_hard_link(e.path(), to);
        }
    }
    fs::remove_all(model);
    return a;
}

// Each regular file under top, opened for reading.
void forEachFile(const fs::path& top, const std::function<void(int)>& use)
{
    std::error_code ec;
    for (fs::recursive_directory_iterator it(top, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        const int fd = ::open(it->path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        use(fd);
        ::close(fd);
    }
}

// Every measurement starts with nothing dirty waiting to be written. With a root, every file
// under it leaves the page cache and then the sources are read into it: every side finds what
// it copies in memory and what it replaces out of it, as a switch leaves the host's files
// (a clone is never read). Without it a side whose targets another side happened to read
// (rsync reads the host's places) pays for dropping their pages and the others do not.
void settle(const fs::path& root = {}, const std::vector<std::string>& sources = {})
{
    ::sync();
    if (root.empty())
        return;
    forEachFile(root, [](int fd) { ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED); });
    static std::vector<char> buffer(1 << 20);
    for (const std::string& source : sources)
        forEachFile(source, [](int fd) {
            while (::read(fd, buffer.data(), buffer.size()) > 0) {
            }
        });
}

// ours, then cp over the previous files, cp into an empty folder and rsync, each with its ratio.
void printRow(const char* what, double ours, double over, double fresh, double rsync)
{
    std::printf("%-34s %9.3f %9.3f %6.2f %9.3f %6.2f %9.3f %6.2f\n", what, ours, over, ours / over, fresh,
                ours / fresh, rsync, ours / rsync);
}

// The host's places that a store copies.
std::vector<std::string> placesOf(const fs::path& host)
{
    std::vector<std::string> places;
    for (const QString& name : items::kFolderOrder)
        places.push_back((host / native(name)).string());
    for (const QString& name : {items::kFriends, items::kSettings, items::kSettingsBackup})
        places.push_back((host / native(name)).string());
    return places;
}

std::vector<std::string> into(std::vector<std::string> sources, const fs::path& folder)
{
    sources.push_back(folder.string() + "/");
    return sources;
}

std::string mb(std::uintmax_t bytes)
{
    char s[32];
    std::snprintf(s, sizeof s, "%.1f MB", double(bytes) / (1024.0 * 1024.0));
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    double petMb = 24;
    int runs = 5;
    std::vector<double> deleteMb; // default: a quarter of a pet and a whole one
    bool keep = false;
    std::string parts = "switch,files,delete,startup";
    std::vector<int> fileCounts = {100, 1000, 10000};
    fs::path folder = fs::temp_directory_path(); // the file system measured
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--pet-mb" && i + 1 < argc)
            petMb = std::max(0.1, std::atof(argv[++i]));
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--delete-mb" && i + 1 < argc) {
            double x = 0, y = 0;
            if (std::sscanf(argv[++i], "%lf,%lf", &x, &y) == 2 && x > 0 && y > 0)
                deleteMb = {x, y};
        } else if (a == "--parts" && i + 1 < argc)
            parts = argv[++i];
        else if (a == "--files" && i + 1 < argc) {
            fileCounts.clear();
            for (const QString& n : QString::fromLocal8Bit(argv[++i]).split(QLatin1Char(',')))
                if (n.toInt() > 0)
                    fileCounts.push_back(n.toInt());
        } else if (a == "--folder" && i + 1 < argc)
            folder = argv[++i];
        else if (a == "--fresh")
            g_fresh = true;
        else if (a == "--keep")
            keep = true;
        else {
            std::fprintf(stderr,
                         "usage: %s [--pet-mb N] [--runs N] [--delete-mb A,B] [--files A,B,...] [--folder DIR] "
                         "[--fresh] [--parts LIST] [--keep]\n",
                         argv[0]);
            return 2;
        }
    }
    if (deleteMb.empty())
        deleteMb = {petMb / 4, petMb};
    const fs::path bin = fs::path(QCoreApplication::applicationDirPath().toStdString());
    if (!fs::exists(bin / "Mewmail20.exe")) {
        std::fprintf(stderr, "build Mewmail20.exe first: it must lie beside this program\n");
        return 1;
    }
    const fs::path root = folder / ("kennel-storage-bench-" + std::to_string(::getpid()));
    const auto petBytes = static_cast<std::uintmax_t>(petMb * 1024 * 1024);
    std::printf("Kennel storage benchmark: %d runs each, median; page cache warm for both sides\n", runs);
    std::printf("in %s; files laid out %s\n\n", folder.string().c_str(),
                g_fresh ? "just before (compared by content)" : "with yesterday's time");

    auto wanted = [&](const char* part) { return parts.find(part) != std::string::npos; };

    // ---- switching and storing: three pets of full size ----------------------------------
    if (wanted("switch")) {
        Host host(root / "switch", bin);
        Amount a;
        for (int i = 0; i < 3; ++i)
            a = layOutPet(host.pet(i), 100 + i, petBytes);
        layOutPet(host.folder, 100, petBytes); // the first pet's data is in the host's places
        host.registerPets(3, 0);
        std::printf("pet: %zu files, %s (mails 1-12 KB, attachments, toys and treasures up to %s)\n\n", a.files,
                    mb(a.bytes).c_str(), mb(a.largest).c_str());
        std::printf("%-34s %9s %16s %16s %16s\n", "", "kennel", "cp -r over old", "cp -r into empty",
                    "rsync -a --del");
        std::printf("%-34s %9s %9s %6s %9s %6s %9s %6s\n", "operation", "seconds", "seconds", "ratio", "seconds",
                    "ratio", "seconds", "ratio");

        // cp's targets: `over` holds what the host's places (or the pet folder) held before,
        // as the real operation finds them; `fresh` is made empty before each copy.
        // rsync's targets are brought up to date the same way.
        const fs::path over = root / "cp-over", storeOver = root / "cp-store-over", fresh = root / "cp-fresh";
        const fs::path rsyncOver = root / "rsync-over", rsyncStore = root / "rsync-store";
        const fs::path synced = root / "cp-over-synced";
        for (const fs::path& f : {over, storeOver, rsyncOver, rsyncStore, synced})
            cpR({"-T", host.pet(0).string(), f.string()});
        const std::vector<std::string> places = placesOf(host.folder);

        std::vector<double> sw, swOver, swFresh, swRsync, swSynced, st, stOver, stFresh, stRsync;
        // What a switch writes and syncs besides the copies: the journal before, Kennel.ini after.
        const QByteArray journalBytes(32, 'j'), iniBytes(2048, 'i');
        const QString syncedFolder = QString::fromStdString(synced.string());
        int switchPoints = 0;
        int pet = 0;
        for (int r = 0; r < runs; ++r) {
            // Switch to the next pet; cp copies that pet's folder.
            pet = (pet + 1) % 3;
            std::vector<std::function<void()>> steps = {
                [&] {
                    settle(root, {host.pet(pet).string()});
                    SwitchResult res = SwitchResult::Refused;
                    const int points = host.view.points;
                    sw.push_back(seconds([&] { res = host.session.switchTo(pet); }));
                    switchPoints = host.view.points - points;
                    if (res != SwitchResult::Switched)
                        std::fprintf(stderr, "the switch did not complete\n");
                },
                [&] {
                    settle(root, {host.pet(pet).string()});
                    swOver.push_back(cpR({"-T", host.pet(pet).string(), over.string()}));
                },
                [&] {
                    fs::remove_all(fresh);
                    settle(root, {host.pet(pet).string()});
                    swFresh.push_back(cpR({"-T", host.pet(pet).string(), fresh.string()}));
                },
                [&] {
                    settle(root, {host.pet(pet).string()});
                    swRsync.push_back(rsyncAD({host.pet(pet).string() + "/", rsyncOver.string() + "/"}));
                },
                [&] {
                    settle(root, {host.pet(pet).string()});
                    swSynced.push_back(seconds([&] {
                        fileops::writeWhole(syncedFolder + "/Kennel.journal", journalBytes);
                        cpR({"-T", host.pet(pet).string(), synced.string()});
                        fileops::writeWhole(syncedFolder + "/Kennel.ini", iniBytes);
                        fileops::deleteFile(syncedFolder + "/Kennel.journal");
                    }));
                },
                // Store the current pet; cp copies the host's places (the same files).
                [&] {
                    settle(root, places);
                    st.push_back(seconds([&] { (void)StorePetData(host.session, Steps::none(host.ctx)); }));
                },
                [&] {
                    settle(root, places);
                    stOver.push_back(cpR(into(places, storeOver)));
                },
                [&] {
                    fs::remove_all(fresh);
                    fs::create_directories(fresh);
                    settle(root, places);
                    stFresh.push_back(cpR(into(places, fresh)));
                },
                [&] {
                    settle(root, places);
                    stRsync.push_back(rsyncAD(into(places, rsyncStore)));
                },
            };
            // Switch steps, then store steps, in an order that turns every run.
            constexpr int kSwitchSteps = 5, kStoreSteps = 4;
            for (int k = 0; k < kSwitchSteps; ++k)
                steps[(k + r) % kSwitchSteps]();
            for (int k = 0; k < kStoreSteps; ++k)
                steps[kSwitchSteps + (k + r) % kStoreSteps]();
        }
        printRow("switch to another pet (file work)", median(sw), median(swOver), median(swFresh), median(swRsync));
        printRow("store the current pet", median(st), median(stOver), median(stFresh), median(stRsync));
        std::printf("switch against cp -r over old with the journal and Kennel.ini written and synced around it:"
                    " %.3f s, ratio %.2f\n",
                    median(swSynced), median(sw) / median(swSynced));
        std::printf("(the window paces each gauge point by 5 ms: %d points a switch, not counted above)\n",
                    switchPoints);
        for (const fs::path& f : {over, storeOver, fresh, rsyncOver, rsyncStore, synced})
            fs::remove_all(f);
        if (!keep)
            fs::remove_all(host.folder);
    }

    // ---- storing an unchanged pet of many small files --------------------------------------
    if (wanted("files")) {
        std::printf("\n%-34s %9s %16s %16s\n", "store of an unchanged pet", "kennel", "rsync -a --del",
                    "cp -r into empty");
        std::printf("%-34s %9s %9s %6s %9s %6s\n", "mails of 1-4 KB in the inbox", "seconds", "seconds", "ratio",
                    "seconds", "ratio");
    }
    for (int count : wanted("files") ? fileCounts : std::vector<int>{}) {
        Host host(root / "files", bin);
        XorShift rng(count);
        for (const QString& name : items::kFolderOrder)
            fs::create_directories(host.folder / native(name));
        for (const QString& name : {items::kFriends, items::kSettings, items::kSettingsBackup})
            writeBytes(host.folder / native(name), mail(rng, 0, 2000));
        for (int i = 0; i < count; ++i)
            writeBytes(host.folder / native(items::kInbox) / ("mail_" + std::to_string(100000 + i) + ".mwm"),
                       mail(rng, i, 1000 + rng.below(3000)));
        host.registerPets(1, 0);
        (void)StorePetData(host.session, Steps::none(host.ctx)); // the first store copies every file
        const std::vector<std::string> places = placesOf(host.folder);
        const fs::path mirror = root / "rsync-files", fresh = root / "cp-fresh";
        rsyncAD(into(places, mirror));
        std::vector<double> ours, rs, cp;
        for (int r = 0; r < runs; ++r) {
            std::vector<std::function<void()>> steps = {
                [&] {
                    settle();
                    ours.push_back(seconds([&] { (void)StorePetData(host.session, Steps::none(host.ctx)); }));
                },
                [&] {
                    settle();
                    rs.push_back(rsyncAD(into(places, mirror)));
                },
                [&] {
                    fs::remove_all(fresh);
                    fs::create_directories(fresh);
                    settle();
                    cp.push_back(cpR(into(places, fresh)));
                },
            };
            for (int k = 0; k < 3; ++k)
                steps[(k + r) % 3]();
        }
        char label[48];
        std::snprintf(label, sizeof label, "  %d files", count);
        std::printf("%-34s %9.3f %9.3f %6.2f %9.3f %6.2f\n", label, median(ours), median(rs),
                    median(ours) / median(rs), median(cp), median(ours) / median(cp));
        for (const fs::path& f : {mirror, fresh, host.folder})
            fs::remove_all(f);
    }

    // ---- deleting the first of 100 pets, at two data sizes -------------------------------
    std::vector<double> deleteTimes;
    if (wanted("delete"))
        std::printf("\n%-40s %10s %10s %9s\n", "delete the first of 100 pets", "seconds", "data", "files");
    for (double size : wanted("delete") ? deleteMb : std::vector<double>{}) {
        std::vector<double> t;
        Amount pet;
        for (int r = 0; r < std::max(3, runs / 2); ++r) {
            const fs::path f = root / "delete";
            fs::remove_all(f);
            Host host(f, bin);
            pet = layOutHundredPets(host, size);
            host.registerPets(kMaxPets, 0);
            settle();
            DeleteResult res = DeleteResult::Stopped;
            t.push_back(seconds([&] { res = host.session.deletePet(0); }));
            if (res != DeleteResult::Deleted || host.session.table().MaxUser != kMaxPets - 2)
                std::fprintf(stderr, "the deletion did not complete\n");
        }
        if (!keep)
            fs::remove_all(root / "delete");
        deleteTimes.push_back(median(t));
        char label[64], data[32];
        std::snprintf(label, sizeof label, "  pets of %s each", mb(pet.bytes).c_str());
        std::snprintf(data, sizeof data, "%.1f GB", double(pet.bytes) * kMaxPets / (1024.0 * 1024 * 1024));
        std::printf("%-40s %10.3f %10s %9zu\n", label, median(t), data, pet.files * kMaxPets);
    }
    if (deleteTimes.size() == 2)
        std::printf("%-40s %10.2f   (data x%.0f)\n", "  time ratio, larger / smaller", deleteTimes[1] / deleteTimes[0],
                    deleteMb[1] / deleteMb[0]);

    // ---- start-up to idle with 100 pets ----------------------------------------------------
    if (wanted("startup")) {
        const fs::path f = root / "startup";
        fs::remove_all(f);
        {
            Host host(f, bin);
            layOutHundredPets(host, petMb);
            layOutPet(host.folder, 2000, petBytes); // the current pet, full size, stored at start-up
            host.registerPets(kMaxPets, 0);
        }
        std::vector<double> total, pacing, wait, work;
        for (int r = 0; r < runs; ++r) {
            BenchMessages messages;
            BenchExit exit;
            Context ctx;
            ctx.messages = messages;
            ctx.exit = exit;
            Session session(ctx, HostLayout(QString::fromStdString(f.string())));
            UnlhaLibrary library{UnlhaLibrary::Entries{}}; // not installed
            settle();
            const auto t0 = Clock::now();
            auto* form = new TimedMainForm(session, library, InstanceLock::Held);
            form->Form_Load();
            const auto loaded = Clock::now();
            while (!form->idle || !form->checkStarted)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            const double all = std::chrono::duration<double>(*form->idle - t0).count();
            const double timer = std::chrono::duration<double>(*form->checkStarted - loaded).count();
            total.push_back(all);
            pacing.push_back(form->pacing);
            wait.push_back(timer);
            work.push_back(all - form->pacing - timer);
            if (session.table().MaxUser != kMaxPets - 1)
                std::fprintf(stderr, "start-up did not read 100 pets\n");
            delete form;
        }
        std::printf("\n%-40s %10s\n", "start-up to idle, 100 pets", "seconds");
        std::printf("%-40s %10.3f\n", "  window to idle, as measured", median(total));
        std::printf("%-40s %10.3f\n", "  of which gauge pacing", median(pacing));
        std::printf("%-40s %10.3f\n", "  of which the start-up timer (100 ms)", median(wait));
        std::printf("%-40s %10.3f   (reads Kennel.ini, fills the selector, stores the current pet of %s)\n", "  work",
                    median(work), mb(petBytes).c_str());
        if (!keep)
            fs::remove_all(f);
    }
    if (keep)
        std::printf("\nkept %s\n", root.string().c_str());
    else
        fs::remove_all(root);
    return 0;
}
