// The shell copy: files-only wildcard copies, sub-folders with ShellCopyAll, overwrite,
// created targets, copies onto themselves, names as long as a name can be, links copied as
// links and never followed, large files with their times, recent copies redone, changed
// targets rewritten in place only when no other name shares them, leftover temporary files,
// and the one failure message per operation, naming each file and why.
#include "ports/Causes.h"
#include "shell/FaultPoint.h"
#include "shell/ShellCopy.h"
#include "tests/support/HostTest.h"

#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using hostfolder::read;
using hostfolder::write;

namespace {
// 83 Japanese characters and ".mwm": 253 bytes, close to the longest name a folder holds.
const QString kLongName = QString(83, QChar(0x3042)) + QStringLiteral(".mwm");
} // namespace

class TestShellCopy : public HostTest {
    Q_OBJECT

    QString p(const QString& rel) const { return host() + '/' + rel; }
    Shell& shell() { return session().shell(); }
    static struct stat statOf(const QString& path)
    {
        struct stat st {};
        ::stat(QFile::encodeName(path).constData(), &st);
        return st;
    }
    static int setTime(const QString& path, const timespec& mtime)
    {
        const struct timespec times[2] = {{0, UTIME_OMIT}, mtime};
        return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
    }

private slots:
    void init()
    {
        newHost();
        write(host(), "X/おやつ/a.pac", "a");
        write(host(), "X/おやつ/noext", "n");
        write(host(), "X/おやつ/sub/b.pac", "b");
        write(host(), "N/" + kLongName, "l");
    }

    // What a copy that succeeds leaves in the folder it fills, as "name=content" joined by ","
    // (sub-folders end in "/"); nothing is said.
    void copies()
    {
        write(host(), "Z/a.pac", "old and longer");
        QDir().mkpath(p("E"));
        const QString whole = QStringLiteral("a.pac=a,noext=n,sub/=,sub/b.pac=b");
        // all: ShellCopyAll; folder: the one the copy fills, its files as "name=content" joined by ",".
        const auto row = [&](const char* name, bool all, const QString& from, const QString& to, const QString& folder,
                             const QString& files) {
            QVERIFY2(all ? shell().ShellCopyAll(p(from), p(to)) : shell().ShellCopy(p(from), p(to)), name);
            QStringList got;
            const auto made = hostfolder::snapshot(p(folder));
            for (auto it = made.begin(); it != made.end(); ++it)
                got << it.key() + QLatin1Char('=') + QString::fromUtf8(it.value());
            QVERIFY2(got.join(u',') == files, qPrintable(name + (": " + got.join(u','))));
        };
        row("wildcard: files only, into a new folder", false, "X/おやつ/*.*", "Y/new/", "Y/new", "a.pac=a,noext=n");
        row("all: sub-folders, an existing file overwritten", true, "X/おやつ/*.*", "Z", "Z", whole);
        row("one file to a new name", false, "X/おやつ/a.pac", "F/renamed.pac", "F", "renamed.pac=a");
        row("one file into a folder", false, "X/おやつ/a.pac", "G/", "G", "a.pac=a");
        row("one file onto itself", false, "X/おやつ/a.pac", "X/おやつ/a.pac", "X/おやつ", whole);
        row("wildcard onto itself", false, "X/おやつ/*.*", "X/おやつ/", "X/おやつ", whole);
        row("empty source folder: the target is made", false, "E/*.*", "E2/", "E2", "");
        row("a name of 253 bytes", false, "N/*.*", "N2/", "N2", kLongName + "=l");
        QVERIFY(tc->messages.shown.isEmpty());
    }

    // Links are copied as links, file or folder; a source or target folder that is a link, or
    // lies behind one, is not entered: nothing outside changes.
    void linksNeverFollowed()
    {
        write(host(), "outside/private.txt", "private");
        QDir().mkpath(p("S/sub"));
        QVERIFY(QFile::link(p("outside/private.txt"), p("S/mail.mwm")));
        QVERIFY(QFile::link(p("outside"), p("S/sub/folder")));
        QVERIFY(QFile::link(p("outside"), p("L")));
        QVERIFY(shell().ShellCopyAll(p("S/*.*"), p("T/")) && shell().ShellCopyChanged(p("S/*.*"), p("T/")));
        QCOMPARE(QFileInfo(p("T/mail.mwm")).symLinkTarget(), p("outside/private.txt"));
        QCOMPARE(QFileInfo(p("T/sub/folder")).symLinkTarget(), p("outside"));
        const auto outside = hostfolder::snapshot(p("outside"));
        QVERIFY(!shell().ShellCopy(p("X/おやつ/*.*"), p("L/")) &&
                !shell().ShellCopy(p("X/おやつ/a.pac"), p("L/sub/")) && !shell().ShellCopy(p("L/*.*"), p("U/")));
        QCOMPARE(hostfolder::snapshot(p("outside")), outside);
        QVERIFY(!hostfolder::exists(p("U/private.txt")));
    }

    // One box per operation naming every file and why; a file that fails leaves the others
    // copied; the next copy runs.
    void failuresReportOnceAndNextCopyRuns()
    {
        QVERIFY(!shell().ShellCopy(p("missing/*.*"), p("T/")));
        {
            const FileErrorGroup oneBox(tc->messages); // one operation: one box naming every file
            QVERIFY(!shell().ShellCopy(p("missing.pac"), p("T/")));
            write(host(), "S/a.pac", "a");
            fault::setHandler([](const char*, const QString& path) {
                return path.endsWith(QStringLiteral("a.pac")) ? fault::Action::Fail : fault::Action::Proceed;
            });
            QVERIFY(!shell().ShellCopy(p("S/*.*"), p("T/")));
            fault::setHandler(nullptr);
            QCOMPARE(tc->messages.texts().size(), 1);
        }
        const QString file = texts::kMsgFileError + QLatin1Char('\n');
        QCOMPARE(tc->messages.fullTexts(), (QStringList{file + causes::line(p("missing"), ENOENT),
                                                        file + causes::line(p("missing.pac"), ENOENT) +
                                                            QLatin1Char('\n') + causes::line(p("T/a.pac"), ENOSPC)}));
        QVERIFY(shell().ShellCopy(p("X/おやつ/a.pac"), p("T/")));
        for (const char* n : {"1", "2", "3"})
            write(host(), QStringLiteral("P/%1.pac").arg(n), n);
        write(host(), "D/2.pac", "old two");
        QDir().mkpath(p("D/3.pac")); // a folder where a file should go makes exactly that file fail
        QVERIFY(!shell().ShellCopy(p("P/*.*"), p("D/")));
        QCOMPARE(tc->messages.shown.size(), 3);
        QVERIFY(read(p("D/1.pac")) == "1" && read(p("D/2.pac")) == "2");
    }

    // A file of several megabytes arrives whole and keeps its permissions and modification time.
    void largeFileKeepsBytesPermissionsAndTime()
    {
        QByteArray big(3 * 1024 * 1024 + 17, '\0');
        for (qsizetype i = 0; i < big.size(); ++i)
            big[i] = char(i * 7919 >> 3);
        write(host(), "L/big.bin", big);
        QCOMPARE(::chmod(QFile::encodeName(p("L/big.bin")).constData(), 0640), 0);
        QCOMPARE(setTime(p("L/big.bin"), {1'500'000'000, 123'456'789}), 0);
        QVERIFY(shell().ShellCopy(p("L/*.*"), p("M/")));
        QCOMPARE(read(p("M/big.bin")), big);
        const struct stat st = statOf(p("M/big.bin"));
        QCOMPARE(st.st_mode & 07777, 0640u);
        QVERIFY(st.st_mtim.tv_sec == 1'500'000'000 && st.st_mtim.tv_nsec == 123'456'789);
    }

    // Where the file system shares blocks, a copy is a clone, judged the same as its source by
    // its blocks without a read; a write to it in place, with its size and time put back, is
    // seen at once, before it reaches the disk.
    void clonesJudgedByTheirBlocks()
    {
        for (const QString type : {"btrfs", "xfs"}) {
            init();
            const QString mkfs = QStandardPaths::findExecutable("mkfs." + type, {"/usr/sbin", "/sbin"});
            if (::geteuid() != 0 || mkfs.isEmpty())
                QSKIP("needs root and mkfs for the file system");
            const QString image = root() + QStringLiteral("/fs.img"), mnt = root() + QStringLiteral("/mnt");
            write(root(), QStringLiteral("fs.img"), {});
            QVERIFY(QFile::resize(image, 320 << 20) && QDir().mkpath(mnt));
            QCOMPARE(QProcess::execute(mkfs, {"-q", "-f", image}), 0);
            if (QProcess::execute("mount", {"-o", "loop", image, mnt}) != 0)
                QSKIP("loop mounts are refused here");
            const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {mnt}); });
            QByteArray bytes(1 << 20, Qt::Uninitialized);
            for (qsizetype i = 0; i < bytes.size(); ++i)
                bytes[i] = char(i * 2654435761u >> 13);
            write(mnt, QStringLiteral("S/photo.jpg"), bytes);
            QVERIFY(shell().ShellCopyChanged(mnt + QStringLiteral("/S/*.*"), mnt + QStringLiteral("/T/")));
            const QString source = mnt + QStringLiteral("/S/photo.jpg"), copy = mnt + QStringLiteral("/T/photo.jpg");
            QVERIFY(SameBytes(source, copy));
            const struct stat before = statOf(copy);
            const int fd = ::open(QFile::encodeName(copy).constData(), O_WRONLY);
            QCOMPARE(::pwrite(fd, "changed", 7, 300000), 7);
            ::close(fd);
            QCOMPARE(setTime(copy, before.st_mtim), 0);
            QVERIFY(!SameBytes(source, copy));
            QVERIFY(shell().ShellCopyChanged(mnt + QStringLiteral("/S/*.*"), mnt + QStringLiteral("/T/")));
            QCOMPARE(read(copy), bytes);
        }
    }

    // A file rewritten right after it was copied, with the same size and the copy's time, is
    // copied again: the size and time of so recent a copy are not trusted. A changed target is
    // rewritten where it stands, unless it has another name: a hard link is never written
    // through, and a read-only target is still replaced.
    void changedTargetRewrittenOnlyWhenItIsItsOwn()
    {
        write(host(), "S/a.pac", "one");
        QVERIFY(shell().ShellCopyChanged(p("S/*.*"), p("T/")));
        write(host(), "S/a.pac", "two");
        QCOMPARE(setTime(p("S/a.pac"), statOf(p("T/a.pac")).st_mtim), 0);
        QVERIFY(shell().ShellCopyChanged(p("S/*.*"), p("T/")));
        QCOMPARE(read(p("T/a.pac")), QByteArray("two"));
        const QStringList names{"own.pac", "linked.pac", "locked.pac"};
        for (const QString& name : names)
            write(host(), "S/" + name, "new " + name.toUtf8()), write(host(), "T/" + name, "old");
        QCOMPARE(::link(qPrintable(p("T/linked.pac")), qPrintable(p("elsewhere.pac"))), 0);
        QVERIFY(QFile::setPermissions(p("T/locked.pac"), QFile::ReadOwner));
        const ino_t own = statOf(p("T/own.pac")).st_ino;
        QVERIFY(shell().ShellCopyChanged(p("S/*.*"), p("T/")));
        QCOMPARE(statOf(p("T/own.pac")).st_ino, own);
        for (const QString& name : names)
            QCOMPARE(read(p("T/" + name)), read(p("S/" + name)));
        QCOMPARE(read(p("elsewhere.pac")), QByteArray("old"));
        QVERIFY(tc->messages.shown.isEmpty());
    }

    // What an earlier run left under the temporary name does not stop the copy, and a link
    // there is never written through.
    void leftoverTemporaryIsReplaced()
    {
        write(host(), "outside.txt", "keep");
        const QString temp = p("T/.kennel-copy");
        for (bool asLink : {false, true}) { // a stale file, then a link to a file elsewhere
            write(host(), "T/other", "");
            if (asLink)
                QVERIFY(QFile::remove(p("T/a.pac")) && QFile::link(p("outside.txt"), temp));
            else
                write(host(), "T/.kennel-copy", "stale and longer");
            QVERIFY(shell().ShellCopy(p("X/おやつ/a.pac"), p("T/")));
            QVERIFY(read(p("T/a.pac")) == "a" && read(p("outside.txt")) == "keep");
            QVERIFY(!QFileInfo(temp).exists() && !QFileInfo(temp).isSymLink());
        }
        QVERIFY(tc->messages.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestShellCopy)
#include "test_shellcopy.moc"
