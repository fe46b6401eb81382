// How long the window's thread stays busy during an archive backup of a pet holding one large
// file, through the real main window on the offscreen platform and the real backup steps, with
// the archiver library from the build. A timer on the window's thread ticks every millisecond;
// the longest gap between two ticks (or between the start or end and a tick) is the longest
// time the window could not repaint. The most CPU time the thread used within one gap tells
// its own work from waiting: for a core on a loaded machine or, with the library on the
// window's thread, for the library's packing workers.
// Measured in the same run: the library on a worker thread while the window is kept alive,
// and the library on the window's thread, as before.
//
//   window_bench [--file-mb N] [--runs N] [--keep]
//
// Figures, not assertions: the goal is a longest busy time under 50 ms.
#include "backup/Backup.h"
#include "backup/UnlhaLibrary.h"
#include "platform/QtPorts.h"
#include "ports/Context.h"
#include "ports/Gauge.h"
#include "storage/Session.h"
#include "ui/main/MainForm.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path native(const QString& p)
{
    return fs::path(p.toStdString());
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Random bytes, as a video or a photo holds: nothing to gain by packing.
void writeRandom(const fs::path& p, std::uint64_t bytes, std::uint64_t seed)
{
    std::ofstream out(p, std::ios::binary);
    std::vector<std::uint64_t> block(1 << 17);
    std::uint64_t s = seed * 0x9E3779B97F4A7C15ull + 1;
    for (std::uint64_t left = bytes; left > 0;) {
        for (std::uint64_t& v : block) {
            s ^= s << 13, s ^= s >> 7, s ^= s << 17;
            v = s;
        }
        const std::uint64_t n = std::min<std::uint64_t>(left, block.size() * 8);
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
        left -= n;
    }
}

void writeText(const fs::path& p, const std::string& text)
{
    std::ofstream(p, std::ios::binary) << text;
}

// Says yes to every question; a message the benchmark did not expect is printed.
class BenchMessages : public MessagePort {
protected:
    MsgAnswer ask(const QString&, const QString& text, MsgIcon, MsgButtons buttons) override
    {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        return buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
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

// The real main window; it says when start-up has left it idle.
class IdleMainForm : public MainForm {
public:
    using MainForm::MainForm;
    void BusyOff() override
    {
        MainForm::BusyOff();
        idle = true;
    }
    bool idle = false;
};

qint64 threadCpuNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Ticks every millisecond on the window's thread and keeps the longest gap, in wall time and
// in the thread's CPU time.
struct Ticker {
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 lastCpu = 0;
    qint64 longest = 0;
    qint64 longestCpu = 0;
    int ticks = 0;

    Ticker()
    {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        longest = longestCpu = ticks = 0;
        clock.start();
        last = 0;
        lastCpu = threadCpuNs();
        timer.start();
    }
    void tick()
    {
        const qint64 now = clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        longest = std::max(longest, now - last);
        longestCpu = std::max(longestCpu, cpu - lastCpu);
        last = now;
        lastCpu = cpu;
        ++ticks;
    }
    void stop()
    {
        tick();
        timer.stop();
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    double fileMb = 100;
    int runs = 3;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--file-mb" && i + 1 < argc)
            fileMb = std::max(1.0, std::atof(argv[++i]));
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--keep")
            keep = true;
        else {
            std::fprintf(stderr, "usage: %s [--file-mb N] [--runs N] [--keep]\n", argv[0]);
            return 2;
        }
    }
    const QString bin = QCoreApplication::applicationDirPath();
    UnlhaLibrary library(bin);
    if (!library.isLoaded() || !fs::exists(native(bin) / "Mewmail20.exe")) {
        std::fprintf(stderr, "build libunlha32.so and Mewmail20.exe first (%s)\n",
                     library.loadError().toUtf8().constData());
        return 1;
    }

    QTemporaryDir root;
    root.setAutoRemove(!keep);
    const fs::path host = native(root.path()) / "host";
    const fs::path out = native(root.path()) / "out";
    fs::create_directories(host);
    fs::create_directories(out);
    fs::copy_file(native(bin) / "Mewmail20.exe", host / "Mewmail20.exe");

    BenchMessages messages;
    BenchExit exit;
    QtKeepAlive keepAlive;
    Context ctx;
    ctx.messages = messages;
    ctx.exit = exit;
    Session session(ctx, HostLayout(QString::fromStdString(host.string())));

    // Two pets: the current one, stored at start-up, and the one backed up, whose folder holds
    // a few mails and the large file.
    PetTable& t = session.table();
    for (int i = 0; i < 2; ++i) {
        t.Pet[i] = QStringLiteral("ペット%1").arg(i + 1);
        t.Master[i] = QStringLiteral("飼い主%1").arg(i + 1);
    }
    t.MaxUser = 1;
    t.CurrentUser = 0;
    session.setRegistryLoaded(true);
    if (!session.WriteRegistry(Steps::none(ctx))) {
        std::fprintf(stderr, "Kennel.ini could not be written\n");
        return 1;
    }
    for (const QString& name : items::kFolderOrder)
        fs::create_directories(host / native(name)); // the current pet's places, empty
    writeText(host / native(items::kSettings), "settings\r\n");
    const fs::path pet = native(session.layout().PetFolder(1));
    for (const QString& name : items::kFolderOrder)
        fs::create_directories(pet / native(name));
    writeText(pet / native(items::kSettings), "settings\r\n");
    for (int i = 0; i < 50; ++i)
        writeText(pet / native(items::kInbox) / ("mail_" + std::to_string(i) + ".mwm"),
                  std::string(4000, static_cast<char>('a' + i % 26)));
    writeRandom(pet / native(items::kAttachments) / "video.avi", static_cast<std::uint64_t>(fileMb * 1024 * 1024), 1);

    IdleMainForm form(session, library, InstanceLock::Held);
    form.Form_Load();
    while (!form.idle)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    std::vector<double> seconds[2], longest[2], longestCpu[2];
    for (int r = 0; r < runs; ++r) {
        for (int mode = 0; mode < 2; ++mode) {
            const int m = (mode + r) % 2; // the order turns every run
            library.setKeepAlive(m == 0 ? &keepAlive : nullptr);
            fs::remove_all(out);
            fs::create_directories(out);
            ::sync();
            Ticker ticker;
            ticker.start();
            // What the backup dialog's button does for an archive backup, less its closing message.
            bool ok = false;
            {
                const BusyScope busy(ctx, false);
                ok = BackupToArchive(session, library, 1, QString::fromStdString(out.string()), QDate::currentDate());
            }
            ticker.stop();
            if (!ok)
                std::fprintf(stderr, "the backup failed\n");
            seconds[m].push_back(static_cast<double>(ticker.clock.nsecsElapsed()) / 1e9);
            longest[m].push_back(static_cast<double>(ticker.longest) / 1e6);
            longestCpu[m].push_back(static_cast<double>(ticker.longestCpu) / 1e6);
            std::printf("run %d %-30s %6.2f s  longest gap %8.1f ms  most CPU in a gap %6.1f ms  %5d ticks\n", r + 1,
                        m == 0 ? "library on a worker thread" : "library on the window's thread", seconds[m].back(),
                        longest[m].back(), longestCpu[m].back(), ticker.ticks);
        }
    }
    std::printf("\narchive backup of a pet with a %.0f MB file, medians of %d\n", fileMb, runs);
    std::printf("%-32s %8s %16s %18s\n", "", "seconds", "longest gap (ms)", "most CPU in a gap");
    for (int m = 0; m < 2; ++m)
        std::printf("%-32s %8.2f %16.1f %18.1f\n",
                    m == 0 ? "library on a worker thread" : "library on the window's thread", median(seconds[m]),
                    median(longest[m]), median(longestCpu[m]));
    if (keep)
        std::printf("\nkept %s\n", root.path().toUtf8().constData());
    return 0;
}
