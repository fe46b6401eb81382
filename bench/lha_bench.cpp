// The archiver library against jlha -lh5- / -lh7-, tar | gzip -6, tar | xz -6 and lhasa's
// extraction: archive size, wall time, CPU time and peak memory, every figure measured in this
// run, every program (ours included) in a child process of its own. Then a memory series:
// one large file of 20 MB, 100 MB and 1 GB packed, checked and extracted.
#include "lha_bench_corpus.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// What one run of a program cost.
struct Cost {
    double wall = 0;
    double cpu = 0; // user and system time of the process and its children
    double rssMb = 0;
    bool ok = true;
};

// Runs argv in a child process and measures it; the child's rusage holds its own waited-for
// children (the programs of a shell pipeline).
Cost measure(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    Cost c;
    c.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    c.cpu = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    c.rssMb = double(ru.ru_maxrss) / 1024.0;
    c.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return c;
}

std::vector<std::string> shell(const std::string& command)
{
    return {"/bin/sh", "-c", command};
}

std::string sq(const fs::path& p)
{
    return "'" + p.string() + "'";
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The library alone in a child process: lha_bench_run beside this program.
std::string runner;

struct Row {
    Row(std::string n, std::function<std::vector<std::string>()> c, std::function<void()> b, fs::path o)
        : name(std::move(n)), command(std::move(c)), before(std::move(b)), output(std::move(o))
    {
    }
    std::string name;
    std::function<std::vector<std::string>()> command;
    std::function<void()> before; // run before each measurement, not timed
    fs::path output;              // its size is reported
    std::vector<Cost> costs;
    std::uintmax_t bytes = 0;
};

// Runs every row `runs` times, rotating the order from run to run so that the machine's
// other work falls on every row alike.
void runRows(std::vector<Row>& rows, int runs)
{
    for (int r = 0; r < runs; ++r)
        for (std::size_t k = 0; k < rows.size(); ++k) {
            Row& row = rows[(k + static_cast<std::size_t>(r)) % rows.size()];
            if (row.before)
                row.before();
            const Cost c = measure(row.command());
            if (!c.ok)
                std::fprintf(stderr, "failed: %s\n", row.name.c_str());
            row.costs.push_back(c);
            if (!row.output.empty() && fs::exists(row.output))
                row.bytes = fs::is_directory(row.output) ? 0 : fs::file_size(row.output);
        }
}

double medianOf(const Row& row, double Cost::*field)
{
    std::vector<double> v;
    for (const Cost& c : row.costs)
        v.push_back(c.*field);
    return median(v);
}

const Row* find(const std::vector<Row>& rows, const std::string& name)
{
    for (const Row& r : rows)
        if (r.name == name)
            return &r;
    return nullptr;
}

// One line a row: size (and its ratio to the size reference), wall and CPU time (and their
// ratios to the time reference), peak memory.
void printRows(const std::vector<Row>& rows, const char* sizeRef, const char* timeRef)
{
    const Row* s = find(rows, sizeRef);
    const Row* t = find(rows, timeRef);
    std::printf("  %-24s %11s %8s %8s %8s %8s %8s %8s\n", "", "bytes", "size x", "wall s", "cpu s", "wall x", "cpu x",
                "rss MB");
    for (const Row& r : rows) {
        const double wall = medianOf(r, &Cost::wall), cpu = medianOf(r, &Cost::cpu);
        char size[32] = "-", ratio[32] = "-";
        if (r.bytes) {
            std::snprintf(size, sizeof size, "%ju", r.bytes);
            if (s && s->bytes)
                std::snprintf(ratio, sizeof ratio, "%.4f", double(r.bytes) / double(s->bytes));
        }
        std::printf("  %-24s %11s %8s %8.3f %8.3f %8.2f %8.2f %8.1f\n", r.name.c_str(), size, ratio, wall, cpu,
                    t ? wall / medianOf(*t, &Cost::wall) : 0, t ? cpu / medianOf(*t, &Cost::cpu) : 0,
                    medianOf(r, &Cost::rssMb));
    }
}

std::string mb(std::uintmax_t bytes)
{
    char s[32];
    std::snprintf(s, sizeof s, "%.1f MB", double(bytes) / 1e6);
    return s;
}

// Archive size, time and memory of every writer on one folder, then extraction of our
// archive by us and by lhasa.
void compare(const std::string& title, const fs::path& corpus, const fs::path& work, int runs, bool haveJlha)
{
    std::vector<std::string> entries;
    for (const auto& e : fs::directory_iterator(corpus))
        entries.push_back(e.path().filename().string());
    std::sort(entries.begin(), entries.end());
    std::string names;
    for (const auto& e : entries)
        names += " " + sq(e);
    std::uintmax_t input = 0, files = 0;
    for (const auto& e : fs::recursive_directory_iterator(corpus))
        if (e.is_regular_file())
            input += e.file_size(), ++files;
    std::printf("\n%s: %ju files, %s, medians of %d runs\n", title.c_str(), files, mb(input).c_str(), runs);

    fs::create_directories(work);
    const fs::path ours = work / "ours.lzh", oursOne = work / "ours1.lzh";
    const unsigned cores = std::min(4u, std::max(1u, std::thread::hardware_concurrency()));
    std::vector<Row> rows;
    rows.emplace_back("ours, " + std::to_string(cores) + " threads",
                    [=] { return std::vector<std::string>{runner, "add", ours, corpus, "0"}; }, nullptr, ours);
    rows.emplace_back("ours, 1 thread",
                    [=] { return std::vector<std::string>{runner, "add", oursOne, corpus, "1"}; }, nullptr, oursOne);
    const std::string java =
        "cd " + sq(corpus) + " && JAVA_TOOL_OPTIONS='-Duser.language=ja -Duser.country=JP' jlha ";
    if (haveJlha) {
        for (const char* m : {"5", "7"}) {
            const fs::path out = work / (std::string("jlha") + m + ".lzh");
            rows.emplace_back(std::string("jlha -lh") + m + "-",
                            [=] { return shell(java + "c2o" + m + " " + sq(out) + names + " >/dev/null 2>&1"); },
                            [=] { fs::remove(out); }, out);
        }
    }
    const fs::path gz = work / "t.tar.gz", xz = work / "t.tar.xz";
    rows.emplace_back("tar | gzip -6",
                    [=] { return shell("tar cf - -C " + sq(corpus) + " . | gzip -6 > " + sq(gz)); }, nullptr, gz);
    rows.emplace_back("tar | xz -6",
                    [=] { return shell("tar cf - -C " + sq(corpus) + " . | xz -6 -T1 > " + sq(xz)); }, nullptr, xz);
    runRows(rows, runs);
    if (fs::file_size(ours) != fs::file_size(oursOne))
        std::printf("  (archives with %u threads and with 1 thread differ!)\n", cores);
    std::printf("packing (size x: against jlha -lh7-; wall x, cpu x: against tar | gzip -6):\n");
    printRows(rows, "jlha -lh7-", "tar | gzip -6");
    if (const Row* j = find(rows, "jlha -lh7-"))
        std::printf("  ours vs jlha -lh7-: %.4f of its size\n", double(rows[0].bytes) / double(j->bytes));
    const Row* gzip = find(rows, "tar | gzip -6");
    std::printf("  ours, 1 thread vs tar | gzip -6: cpu %.2f x;  ours, %u threads: wall %.2f x\n",
                medianOf(rows[1], &Cost::cpu) / medianOf(*gzip, &Cost::cpu), cores,
                medianOf(rows[0], &Cost::wall) / medianOf(*gzip, &Cost::wall));

    const fs::path target = work / "out";
    auto clear = [=] { fs::remove_all(target), fs::create_directories(target); };
    std::vector<Row> unpack;
    unpack.emplace_back("ours x",
                      [=] { return std::vector<std::string>{runner, "extract", ours, target}; }, clear, fs::path());
    unpack.emplace_back("ours check", [=] { return std::vector<std::string>{runner, "check", ours}; }, nullptr, fs::path());
    if (std::system("command -v lha >/dev/null 2>&1") == 0)
        unpack.emplace_back("lhasa x", [=] { return shell("cd " + sq(target) + " && lha xq " + sq(ours)); }, clear,
                            fs::path());
    unpack.emplace_back("gzip -d | tar x",
                      [=] { return shell("gzip -dc " + sq(gz) + " | tar xf - -C " + sq(target)); }, clear, fs::path());
    runRows(unpack, runs);
    std::printf("extracting our archive (wall x, cpu x: against lhasa):\n");
    printRows(unpack, "", "lhasa x");
    fs::remove_all(target);
}

// One large file packed, checked and extracted: peak memory against the file's size.
void memorySeries(const fs::path& work, const std::vector<std::uintmax_t>& sizes, lhabench::Large kind)
{
    std::printf("\nmemory series: one file of stretches of packed data and of mail text, 1 run each\n");
    std::printf("  %-10s %-14s %8s %8s %8s %10s\n", "file", "step", "wall s", "cpu s", "rss MB", "gzip rss");
    for (const std::uintmax_t size : sizes) {
        const fs::path folder = work / "large", archive = work / "large.lzh", target = work / "large-out";
        fs::remove_all(folder);
        fs::create_directories(work);
        lhabench::largeFile(folder / "attachment.dat", kind, size);
        const Cost gz = measure(shell("gzip -6c " + sq(folder / "attachment.dat") + " > /dev/null"));
        const Cost steps[] = {
            measure({runner, "add", archive, folder, "0"}),
            measure({runner, "check", archive}),
            measure({runner, "extract", archive, target}),
        };
        const char* names[] = {"add", "check", "extract"};
        for (int k = 0; k < 3; ++k)
            std::printf("  %-10s %-14s %8.2f %8.2f %8.1f %10.1f%s\n", k == 0 ? mb(size).c_str() : "", names[k],
                        steps[k].wall, steps[k].cpu, steps[k].rssMb, k == 0 ? gz.rssMb : 0.0, steps[k].ok ? "" : " failed");
        fs::remove_all(folder);
        fs::remove_all(target);
        fs::remove(archive);
    }
}

} // namespace

int main(int argc, char** argv)
{
    runner = (fs::canonical("/proc/self/exe").parent_path() / "lha_bench_run").string();
    int runs = 5;
    std::string parts = "mixed,pet,memory";
    std::vector<std::uintmax_t> sizes = {20000000, 100000000, 1000000000};
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--parts" && i + 1 < argc)
            parts = argv[++i];
        else if (a == "--memory-mb" && i + 1 < argc) {
            sizes.clear();
            for (char* s = std::strtok(argv[++i], ","); s; s = std::strtok(nullptr, ","))
                sizes.push_back(std::uintmax_t(std::atof(s) * 1e6));
        } else if (a == "--keep")
            keep = true;
        else {
            std::fprintf(stderr,
                         "usage: %s [--runs N] [--parts mixed,pet,video,memory] [--memory-mb 20,100,1000] [--keep]\n",
                         argv[0]);
            return 2;
        }
    }
    QCoreApplication app(argc, argv); // the JPEG writer of the pet's photos is a plugin
    const fs::path root = fs::temp_directory_path() / ("kennel-lha-bench-" + std::to_string(::getpid()));
    const bool haveJlha = std::system("command -v jlha >/dev/null 2>&1") == 0;
    if (!haveJlha)
        std::printf("jlha is not installed: its rows are missing\n");
    std::printf("machine: %u cores; load average at start: ", std::thread::hardware_concurrency());
    std::fflush(stdout);
    std::system("cut -d' ' -f1-3 /proc/loadavg");
    auto want = [&parts](const char* part) { return parts.find(part) != std::string::npos; };
    if (want("mixed")) {
        lhabench::mixedCorpus(root / "mixed");
        compare("mixed files (text, mails, C++, a binary, bitmaps, packed and random data)", root / "mixed",
                root / "work-mixed", runs, haveJlha);
    }
    if (want("pet")) {
        lhabench::petCorpus(root / "pet-mail", lhabench::Large::Mail, 20000000);
        compare("pet: mails, bitmaps, JPEG photos, one 20 MB mailbox", root / "pet-mail", root / "work-pet-mail", runs,
                haveJlha);
    }
    if (want("video")) {
        lhabench::petCorpus(root / "pet-video", lhabench::Large::Video, 20000000);
        compare("pet: mails, bitmaps, JPEG photos, one 20 MB video", root / "pet-video", root / "work-pet-video", runs,
                haveJlha);
    }
    if (want("memory"))
        memorySeries(root / "memory", sizes, lhabench::Large::Mixed);
    if (keep)
        std::printf("kept %s\n", root.c_str());
    else
        fs::remove_all(root);
    return 0;
}
