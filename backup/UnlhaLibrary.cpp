#include "backup/UnlhaLibrary.h"

#include "ports/Messages.h"
#include "ports/Ports.h"
#include "storage/HostLayout.h"
#include "unlha32/unlha32.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include <dlfcn.h>

namespace {

constexpr unsigned long kOpenMode = 4194306; // 4194304 + 2
constexpr int kCheckMode = 1;

QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// The library's argument syntax: a blank, then the argument in double quotes, each quote in
// it doubled (pet names, and so archive names, may hold quotes).
QString quoted(QString arg)
{
    return QStringLiteral(" \"") + arg.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

bool complete(const UnlhaLibrary::Entries& e)
{
    return e.getVersion && e.getRunning && e.run && e.checkArchive && e.openArchive && e.findFirst && e.closeArchive;
}

// How long the waiting thread handles events between looks at the worker: the latest the
// gauge and the end of a call are noticed.
constexpr int kLookMs = 10;

// What a worker tells the thread that waits for it.
struct WorkerState {
    std::atomic<unsigned long long> done{0};
    std::atomic<unsigned long long> total{0};
    std::atomic<bool> finished{false};
};

int noteProgress(void* context, unsigned long long done, unsigned long long total)
{
    auto* state = static_cast<WorkerState*>(context);
    state->total.store(total, std::memory_order_relaxed);
    state->done.store(done, std::memory_order_relaxed);
    return 0; // Kennel never cancels
}

} // namespace

struct UnlhaLibrary::Impl {
    void* handle = nullptr;
    Entries entries;
    bool loaded = false;
    QString error;
    QString output;
    KeepAlivePort* keepAlive = nullptr;

    ~Impl()
    {
        if (handle)
            dlclose(handle);
    }

    // Runs work as UnlhaWait says; see UnlhaLibrary.h.
    template <typename Work> bool call(const UnlhaWait& wait, const Work& work)
    {
        KeepAlivePort* const port = wait.keepAlive ? wait.keepAlive : keepAlive;
        if (!port)
            return work();
        WorkerState state;
        bool result = false;
        std::jthread worker;
        try {
            worker = std::jthread([&] {
                if (entries.setProgress)
                    entries.setProgress(&noteProgress, &state);
                result = work();
                if (entries.setProgress)
                    entries.setProgress(nullptr, nullptr);
                state.finished.store(true, std::memory_order_release);
            });
        } catch (const std::system_error&) {
            return work(); // no thread to be had: the window waits, as it did before
        }
        unsigned long long told = 0;
        const auto tell = [&] {
            const unsigned long long total = state.total.load(std::memory_order_relaxed);
            const unsigned long long done = std::min(state.done.load(std::memory_order_relaxed), total);
            if (wait.progress && total > 0 && done != told) {
                told = done;
                wait.progress(static_cast<qint64>(done), static_cast<qint64>(total));
            }
        };
        while (!state.finished.load(std::memory_order_acquire)) {
            port->keepAlive(kLookMs);
            tell();
        }
        tell();
        return result;
    }

    template <typename F> bool resolve(F& slot, const char* name)
    {
        slot = reinterpret_cast<F>(dlsym(handle, name));
        if (!slot)
            error = QStringLiteral("missing entry %1").arg(QString::fromLatin1(name));
        return slot != nullptr;
    }
};

UnlhaLibrary::UnlhaLibrary(const QString& programFolder) : d(std::make_unique<Impl>())
{
    const QString path = QDir(programFolder).filePath(texts::kLibraryFile);
    if (!QFileInfo(path).isFile()) {
        d->error = QStringLiteral("%1 not found").arg(path);
        return;
    }
    d->handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!d->handle) {
        d->error = QString::fromLocal8Bit(dlerror());
        return;
    }
    Entries& e = d->entries;
    d->loaded = d->resolve(e.getVersion, "UnlhaGetVersion") && d->resolve(e.getRunning, "UnlhaGetRunning") &&
                d->resolve(e.run, "Unlha") && d->resolve(e.checkArchive, "UnlhaCheckArchive") &&
                d->resolve(e.openArchive, "UnlhaOpenArchive") && d->resolve(e.findFirst, "UnlhaFindFirst") &&
                d->resolve(e.closeArchive, "UnlhaCloseArchive");
    // An older library without the progress entry works the same, without progress.
    e.setProgress = reinterpret_cast<decltype(e.setProgress)>(dlsym(d->handle, "UnlhaSetProgress"));
    if (!d->loaded) {
        dlclose(d->handle);
        d->handle = nullptr;
        d->entries = Entries();
    }
}

UnlhaLibrary::UnlhaLibrary(const Entries& entries) : d(std::make_unique<Impl>())
{
    d->loaded = complete(entries);
    if (d->loaded)
        d->entries = entries;
    else
        d->error = QStringLiteral("incomplete entries");
}

UnlhaLibrary::~UnlhaLibrary() = default;

bool UnlhaLibrary::isLoaded() const
{
    return d->loaded;
}

QString UnlhaLibrary::loadError() const
{
    return d->error;
}

void UnlhaLibrary::setKeepAlive(KeepAlivePort* port)
{
    d->keepAlive = port;
}

int UnlhaLibrary::version() const
{
    return d->loaded ? d->entries.getVersion() : 0;
}

bool UnlhaLibrary::isBusy() const
{
    return d->loaded && d->entries.getRunning() == -1;
}

bool UnlhaLibrary::RunUnlha(const QString& command, void* owner, const UnlhaWait& wait)
{
    d->output.clear();
    if (!d->loaded)
        return false;
    char output[1024] = {};
    const QByteArray utf8 = command.toUtf8();
    const bool ok = d->call(wait, [&] { return d->entries.run(owner, utf8.constData(), output, sizeof output) == 0; });
    output[sizeof output - 1] = '\0';
    d->output = QString::fromUtf8(output);
    return ok;
}

QString UnlhaLibrary::lastOutput() const
{
    return d->output;
}

bool UnlhaLibrary::checkArchive(const QString& path, const UnlhaWait& wait) const
{
    if (!d->loaded)
        return false;
    const QByteArray utf8 = path.toUtf8();
    return d->call(wait, [&] { return d->entries.checkArchive(utf8.constData(), kCheckMode) != 0; });
}

bool UnlhaLibrary::hasMember(const QString& archive, const QString& member, void* owner, const UnlhaWait& wait) const
{
    if (!d->loaded)
        return false;
    const QByteArray path = archive.toUtf8();
    const QByteArray pattern = member.toUtf8();
    return d->call(wait, [&] {
        void* handle = d->entries.openArchive(owner, path.constData(), kOpenMode);
        if (!handle)
            return false;
        UnlhaMemberInfo info{};
        const bool found = d->entries.findFirst(handle, pattern.constData(), &info) != -1;
        d->entries.closeArchive(handle);
        return found;
    });
}

bool WaitUnlhaIdle(MessagePort& messages, const UnlhaLibrary& library)
{
    while (library.isBusy()) {
        if (messages.show(QStringLiteral("Unlha32.dll が使用中です。"), MsgIcon::Exclamation, MsgButtons::RetryCancel) !=
            MsgAnswer::Retry)
            return false;
    }
    return true;
}

bool isArchiveFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

QString unlhaAddCommand(const QString& archive, const QString& tempFolder, const QString& petFolder,
                        bool withAttachmentFolder)
{
    QStringList entries{QStringLiteral("*.*"),          QStringLiteral("おもちゃ"),     QStringLiteral("おやつ"),
                        QStringLiteral("受信フォルダ"), QStringLiteral("送信フォルダ"), QStringLiteral("宝物")};
    if (withAttachmentFolder)
        entries << QStringLiteral("添付書類ﾌｫﾙﾀﾞ");
    QString cmd = QStringLiteral("a -+ -d1 -n0 -jm4 -gn1") + quoted(archive) + quoted(withSlash(tempFolder));
    for (const QString& e : entries)
        cmd += quoted(withSlash(petFolder)) + quoted(e);
    return cmd;
}

QString unlhaExtractOneCommand(const QString& archive, const QString& tempFolder)
{
    return QStringLiteral("e -+ -a2 -d1 -f1 -n1 -y1 -jyc0 -jyd0 -jyk0 -jyn0 -jyo0") + quoted(archive) +
           quoted(withSlash(tempFolder)) + quoted(QStringLiteral("BackUp.ini"));
}

QString unlhaExtractAllCommand(const QString& archive, const QString& target)
{
    return QStringLiteral("x -+ -a2 -d1 -f1 -n0 -y1 -jyc0 -jyd0 -jyk0 -jyn0 -jyo0") + quoted(archive) +
           quoted(withSlash(target)) + quoted(QStringLiteral("*.*"));
}

QString unlhaVersionLine(int version)
{
    if (version <= 0)
        return QStringLiteral("未インストールです。");
    return QStringLiteral("Ver.%1.%2 がインストールされています。")
        .arg(version / 100)
        .arg(version % 100, 2, 10, QLatin1Char('0'));
}
