// The archiver library alone, for lha_bench to measure in a process of its own (no Qt loaded):
//   lha_bench_run add ARCHIVE FOLDER THREADS | check ARCHIVE | extract ARCHIVE TARGET
#include "Add.h"
#include "Archive.h"
#include "Extract.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    const std::string what = argc > 1 ? argv[1] : "";
    std::string message;
    if (what == "add" && argc == 5) {
        unlha::AddOptions o;
        o.archive = argv[2];
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(argv[3]))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        o.sources.push_back({std::string(argv[3]) + "/", names});
        o.threads = std::atoi(argv[4]);
        fs::remove(o.archive);
        return unlha::addToArchive(o, message) == 0 ? 0 : 1;
    }
    if (what == "check" && argc == 3) {
        unlha::ArchiveFile f;
        return f.open(argv[2]) && unlha::checkArchive(f, true) ? 0 : 1;
    }
    if (what == "extract" && argc == 4) {
        unlha::ExtractOptions o;
        o.target = argv[3];
        return unlha::extractArchive(argv[2], o, message) == 0 ? 0 : 1;
    }
    return 2;
}
