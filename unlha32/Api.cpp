// The exported C entries: command dispatch, archive check and member search.
#include "unlha32.h"

#include "Add.h"
#include "Archive.h"
#include "Command.h"
#include "Extract.h"
#include "NameCodec.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

namespace {

constexpr int kVersion = 100; // 1.00
std::atomic<int> g_running{0};

// The calling thread's progress function (UnlhaSetProgress).
struct ProgressHook {
    UnlhaProgressFn fn = nullptr;
    void* context = nullptr;
};
thread_local ProgressHook t_progress;

unlha::Progress currentProgress()
{
    const ProgressHook hook = t_progress;
    if (!hook.fn)
        return {};
    return [hook](std::uint64_t done, std::uint64_t total) { return hook.fn(hook.context, done, total) == 0; };
}

struct RunningGuard {
    RunningGuard() { ++g_running; }
    ~RunningGuard() { --g_running; }
};

void report(char* output, unsigned long size, const std::string& text)
{
    if (!output || size == 0)
        return;
    const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(output, text.data(), n);
    output[n] = '\0';
}

int run(const std::string& command, std::string& message)
{
    unlha::Command c;
    if (!unlha::parseCommand(command, c, message))
        return UNLHA_E_COMMAND;
    if (c.letter == 'a') {
        unlha::AddOptions o;
        o.archive = c.archive;
        o.sources = c.groups;
        o.effort = c.effort;
        o.folderEntries = c.folderEntries;
        o.codePageMark = c.codePageMark;
        return unlha::addToArchive(o, message, currentProgress());
    }
    unlha::ExtractOptions o;
    o.keepPaths = c.letter == 'x';
    o.createFolderEntries = c.folderEntries;
    o.overwrite = c.overwrite;
    for (const auto& g : c.groups) {
        if (!g.base.empty())
            o.target = g.base;
        o.patterns.insert(o.patterns.end(), g.names.begin(), g.names.end());
    }
    return unlha::extractArchive(c.archive, o, message, currentProgress());
}

struct OpenArchive {
    unlha::Listing listing;
};

} // namespace

extern "C" {

UNLHA32_API int UnlhaGetVersion(void)
{
    return kVersion;
}

UNLHA32_API int UnlhaGetRunning(void)
{
    return g_running.load() > 0 ? -1 : 0;
}

UNLHA32_API int Unlha(void* /*owner*/, const char* command, char* output, unsigned long outputSize)
{
    RunningGuard guard;
    std::string message;
    int rc;
    try {
        rc = command ? run(command, message) : UNLHA_E_COMMAND;
    } catch (const std::exception& e) {
        message = e.what();
        rc = UNLHA_E_WRITE;
    } catch (...) {
        message = "internal failure";
        rc = UNLHA_E_WRITE;
    }
    report(output, outputSize, rc == 0 ? std::string("ok") : message);
    return rc;
}

UNLHA32_API int UnlhaCheckArchive(const char* path, int mode)
{
    try {
        unlha::ArchiveFile file;
        if (!path || !file.open(path))
            return 0;
        return unlha::checkArchive(file, mode != 0, nullptr, currentProgress()) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

UNLHA32_API void* UnlhaOpenArchive(void* /*owner*/, const char* path, unsigned long /*mode*/)
{
    try {
        auto a = std::make_unique<OpenArchive>();
        unlha::ArchiveFile file;
        if (!path || !file.open(path))
            return nullptr;
        a->listing = unlha::listMembers(file);
        if (!a->listing.ok)
            return nullptr;
        return a.release();
    } catch (...) {
        return nullptr;
    }
}

UNLHA32_API int UnlhaFindFirst(void* archive, const char* pattern, UnlhaMemberInfo* info)
{
    if (!archive || !pattern)
        return -1;
    const auto* a = static_cast<const OpenArchive*>(archive);
    for (const unlha::Member& m : a->listing.members) {
        if (m.path.empty())
            continue; // refused names are never reported
        const std::string name = unlha::joinPath(m.path);
        if (!unlha::matchWildcard(pattern, name))
            continue;
        if (info) {
            std::memset(info, 0, sizeof *info);
            info->originalSize = static_cast<unsigned long>(m.originalSize);
            info->packedSize = static_cast<unsigned long>(m.packedSize);
            info->ratio = m.originalSize ? static_cast<unsigned>(m.packedSize * 1000 / m.originalSize) : 0;
            info->crc = m.crc;
            info->mtime = m.mtime;
            std::snprintf(info->method, sizeof info->method, "%s", m.methodId.c_str());
            std::snprintf(info->name, sizeof info->name, "%s", name.c_str());
        }
        return 0;
    }
    return -1;
}

UNLHA32_API void UnlhaSetProgress(UnlhaProgressFn fn, void* context)
{
    t_progress = {fn, context};
}

UNLHA32_API int UnlhaCloseArchive(void* archive)
{
    if (!archive)
        return -1;
    delete static_cast<OpenArchive*>(archive);
    return 0;
}

} // extern "C"
