// The shell copy: files-only wildcard copies, sub-folders with ShellCopyAll, overwrite,
// created targets, copies onto themselves, names as long as a name can be, links copied as
// links and never followed, large files with their times, recent copies redone, changed
// targets rewritten in place only when no other name shares them, leftover temporary files,
// and the one failure message per operation, naming each file and why.
#include "ports/Causes.h"
#include "shell/FaultPoint.h"
#include "shell/ShellCopy.h"
#include "tests/support/HostTest.h"

#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
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

private slots:
    void init()
    {
        newHost();
        write(host(), QStringLiteral("X/おやつ/a.pac"), "a");
        write(host(), QStringLiteral("X/おやつ/noext"), "n");
        write(host(), QStringLiteral("X/おやつ/sub/b.pac"), "b");
        write(host(), QStringLiteral("N/") + kLongName, "l");
    }

    // What a copy that succeeds leaves in the folder it fills, as "name=content" joined by ","
    // (sub-folders end in "/"); nothing is said.
    void copies_data()
    {
        QTest::addColumn<bool>("all"); // ShellCopyAll
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("files");
        const QString whole = QStringLiteral("a.pac=a,noext=n,sub/=,sub/b.pac=b");
        QTest::newRow("wildcard: files only, into a new folder") << false << "X/おやつ/*.*" << "Y/new/" << "Y/new"
                                                                << "a.pac=a,noext=n";
        QTest::newRow("all: sub-folders, an existing file overwritten") << true << "X/おやつ/*.*" << "Z" << "Z" << whole;
        QTest::newRow("one file to a new name") << false << "X/おやつ/a.pac" << "F/renamed.pac" << "F" << "renamed.pac=a";
        QTest::newRow("one file into a folder") << false << "X/おやつ/a.pac" << "G/" << "G" << "a.pac=a";
        QTest::newRow("one file onto itself") << false << "X/おやつ/a.pac" << "X/おやつ/a.pac" << "X/おやつ" << whole;
        QTest::newRow("wildcard onto itself") << false << "X/おやつ/*.*" << "X/おやつ/" << "X/おやつ" << whole;
        QTest::newRow("empty source folder: the target is made") << false << "E/*.*" << "E2/" << "E2" << "";
        QTest::newRow("a name of 253 bytes") << false << "N/*.*" << "N2/" << "N2" << kLongName + "=l";
    }

    void copies()
    {
        QFETCH(bool, all);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, folder);
        write(host(), QStringLiteral("Z/a.pac"), "old and longer");
        QDir().mkpath(p(QStringLiteral("E")));
        QVERIFY(all ? shell().ShellCopyAll(p(from), p(to)) : shell().ShellCopy(p(from), p(to)));
        QStringList files;
        const auto made = hostfolder::snapshot(p(folder));
        for (auto it = made.begin(); it != made.end(); ++it)
            files << it.key() + QLatin1Char('=') + QString::fromUtf8(it.value());
        QTEST(files.join(u','), "files");
        QVERIFY(tc->messages.shown.isEmpty());
    }

    // Links are copied as links, file or folder; a source or target folder that is a link, or
    // lies behind one, is not entered: nothing outside changes.
    void linksNeverFollowed()
    {
        write(host(), QStringLiteral("outside/private.txt"), "private");
        QDir().mkpath(p(QStringLiteral("S/sub")));
        QVERIFY(QFile::link(p(QStringLiteral("outside/private.txt")), p(QStringLiteral("S/mail.mwm"))));
        QVERIFY(QFile::link(p(QStringLiteral("outside")), p(QStringLiteral("S/sub/folder"))));
        QVERIFY(QFile::link(p(QStringLiteral("outside")), p(QStringLiteral("L"))));
        QVERIFY(shell().ShellCopyAll(p(QStringLiteral("S/*.*")), p(QStringLiteral("T/"))));
        QVERIFY(shell().ShellCopyChanged(p(QStringLiteral("S/*.*")), p(QStringLiteral("T/"))));
        QCOMPARE(QFileInfo(p(QStringLiteral("T/mail.mwm"))).symLinkTarget(), p(QStringLiteral("outside/private.txt")));
        QCOMPARE(QFileInfo(p(QStringLiteral("T/sub/folder"))).symLinkTarget(), p(QStringLiteral("outside")));
        const auto outside = hostfolder::snapshot(p(QStringLiteral("outside")));
        QVERIFY(!shell().ShellCopy(p(QStringLiteral("X/おやつ/*.*")), p(QStringLiteral("L/"))));
        QVERIFY(!shell().ShellCopy(p(QStringLiteral("X/おやつ/a.pac")), p(QStringLiteral("L/sub/"))));
        QVERIFY(!shell().ShellCopy(p(QStringLiteral("L/*.*")), p(QStringLiteral("U/"))));
        QCOMPARE(hostfolder::snapshot(p(QStringLiteral("outside"))), outside);
        QVERIFY(!hostfolder::exists(p(QStringLiteral("U/private.txt"))));
    }

    void failuresReportOnceAndNextCopyRuns()
    {
        QVERIFY(!shell().ShellCopy(p(QStringLiteral("missing/*.*")), p(QStringLiteral("T/"))));
        {
            const FileErrorGroup oneBox(tc->messages); // one operation: one box naming every file
            QVERIFY(!shell().ShellCopy(p(QStringLiteral("missing.pac")), p(QStringLiteral("T/"))));
            write(host(), QStringLiteral("S/a.pac"), "a");
            fault::setHandler([](const char*, const QString& path) {
                return path.endsWith(QStringLiteral("a.pac")) ? fault::Action::Fail : fault::Action::Proceed;
            });
            QVERIFY(!shell().ShellCopy(p(QStringLiteral("S/*.*")), p(QStringLiteral("T/"))));
            fault::setHandler(nullptr);
            QCOMPARE(tc->messages.texts().size(), 1);
        }
        const QString file = texts::kMsgFileError + QLatin1Char('\n');
        QCOMPARE(tc->messages.fullTexts(),
                 (QStringList{file + causes::line(p(QStringLiteral("missing")), ENOENT),
                              file + causes::line(p(QStringLiteral("missing.pac")), ENOENT) + QLatin1Char('\n')
                                  + causes::line(p(QStringLiteral("T/a.pac")), ENOSPC)}));
        QVERIFY(shell().ShellCopy(p(QStringLiteral("X/おやつ/a.pac")), p(QStringLiteral("T/"))));
    }

    void partialFailureReportsOnceAndKeepsTheRest()
    {
        write(host(), QStringLiteral("S/1.pac"), "1");
        write(host(), QStringLiteral("S/2.pac"), "2");
        write(host(), QStringLiteral("S/3.pac"), "3");
        write(host(), QStringLiteral("D/2.pac"), "old two");
        // A folder where a file should go makes exactly that file fail.
        QDir().mkpath(p(QStringLiteral("D/3.pac")));
        QVERIFY(!shell().ShellCopy(p(QStringLiteral("S/*.*")), p(QStringLiteral("D/"))));
        QCOMPARE(tc->messages.shown.size(), 1);
        QCOMPARE(read(p(QStringLiteral("D/1.pac"))), QByteArray("1"));
        QCOMPARE(read(p(QStringLiteral("D/2.pac"))), QByteArray("2"));
    }

    // A file of several megabytes arrives whole and keeps its permissions and modification time.
    void largeFileKeepsBytesPermissionsAndTime()
    {
        QByteArray big(3 * 1024 * 1024 + 17, '\0');
        for (qsizetype i = 0; i < big.size(); ++i)
            big[i] = char(i * 7919 >> 3);
        write(host(), QStringLiteral("L/big.bin"), big);
        QCOMPARE(::chmod(p(QStringLiteral("L/big.bin")).toLocal8Bit().constData(), 0640), 0);
        const struct timespec times[2] = {{0, UTIME_OMIT}, {1'500'000'000, 123'456'789}};
        QCOMPARE(::utimensat(AT_FDCWD, p(QStringLiteral("L/big.bin")).toLocal8Bit().constData(), times, 0), 0);
        QVERIFY(shell().ShellCopy(p(QStringLiteral("L/*.*")), p(QStringLiteral("M/"))));
        QCOMPARE(read(p(QStringLiteral("M/big.bin"))), big);
        struct stat st {};
        QCOMPARE(::stat(p(QStringLiteral("M/big.bin")).toLocal8Bit().constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, 0640u);
        QCOMPARE(st.st_mtim.tv_sec, times[1].tv_sec);
        QCOMPARE(st.st_mtim.tv_nsec, times[1].tv_nsec);
    }

    // A file rewritten right after it was copied, with the same size and the copy's time, is
    // copied again: the size and time of so recent a copy are not trusted.
    void rewriteInTheCopysTickIsCopied()
    {
        write(host(), QStringLiteral("S/a.pac"), "one");
        QVERIFY(shell().ShellCopyChanged(p(QStringLiteral("S/*.*")), p(QStringLiteral("T/"))));
        write(host(), QStringLiteral("S/a.pac"), "two");
        struct stat copy {};
        QCOMPARE(::stat(p(QStringLiteral("T/a.pac")).toLocal8Bit().constData(), &copy), 0);
        const struct timespec times[2] = {{0, UTIME_OMIT}, copy.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, p(QStringLiteral("S/a.pac")).toLocal8Bit().constData(), times, 0), 0);
        QVERIFY(shell().ShellCopyChanged(p(QStringLiteral("S/*.*")), p(QStringLiteral("T/"))));
        QCOMPARE(read(p(QStringLiteral("T/a.pac"))), QByteArray("two"));
    }

    // Where the file system shares blocks, a copy is a clone, judged the same as its source by
    // its blocks without a read; a write to it in place, with its size and time put back, is
    // seen at once, before it reaches the disk.
    void clonesJudgedByTheirBlocks_data()
    {
        QTest::addColumn<QString>("type");
        QTest::newRow("btrfs") << QStringLiteral("btrfs");
        QTest::newRow("xfs") << QStringLiteral("xfs");
    }

    void clonesJudgedByTheirBlocks()
    {
        QFETCH(QString, type);
        const QString mkfs = QStandardPaths::findExecutable(QStringLiteral("mkfs.") + type,
                                                            {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        if (::geteuid() != 0 || mkfs.isEmpty())
            QSKIP("needs root and mkfs for the file system");
        const QString image = root() + QStringLiteral("/fs.img");
        const QString mnt = root() + QStringLiteral("/mnt");
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(320 << 20));
        file.close();
        QDir().mkpath(mnt);
        QCOMPARE(QProcess::execute(mkfs, {QStringLiteral("-q"), QStringLiteral("-f"), image}), 0);
        if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("loop"), image, mnt}) != 0)
            QSKIP("loop mounts are refused here");
        const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {mnt}); });
        QByteArray bytes(1 << 20, Qt::Uninitialized);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 2654435761u >> 13);
        write(mnt, QStringLiteral("S/photo.jpg"), bytes);
        QVERIFY(shell().ShellCopyChanged(mnt + QStringLiteral("/S/*.*"), mnt + QStringLiteral("/T/")));
        const QString source = mnt + QStringLiteral("/S/photo.jpg");
        const QString copy = mnt + QStringLiteral("/T/photo.jpg");
        QVERIFY(SameBytes(source, copy));

        struct stat before {};
        QCOMPARE(::stat(copy.toLocal8Bit().constData(), &before), 0);
        const int fd = ::open(copy.toLocal8Bit().constData(), O_WRONLY);
        QCOMPARE(::pwrite(fd, "changed", 7, 300000), 7);
        const struct timespec times[2] = {{0, UTIME_OMIT}, before.st_mtim};
        QCOMPARE(::futimens(fd, times), 0);
        ::close(fd);
        QVERIFY(!SameBytes(source, copy));
        QVERIFY(shell().ShellCopyChanged(mnt + QStringLiteral("/S/*.*"), mnt + QStringLiteral("/T/")));
        QCOMPARE(read(copy), bytes);
    }

    // A changed target is rewritten where it stands, unless it has another name: a hard link
    // is never written through, and a read-only target is still replaced.
    void changedTargetRewrittenOnlyWhenItIsItsOwn()
    {
        write(host(), QStringLiteral("S/own.pac"), "new own");
        write(host(), QStringLiteral("S/linked.pac"), "new linked");
        write(host(), QStringLiteral("S/locked.pac"), "new locked");
        for (const char* name : {"own.pac", "linked.pac", "locked.pac"})
            write(host(), QStringLiteral("T/") + QLatin1String(name), "old");
        QCOMPARE(::link(p(QStringLiteral("T/linked.pac")).toLocal8Bit().constData(),
                        p(QStringLiteral("elsewhere.pac")).toLocal8Bit().constData()), 0);
        QVERIFY(QFile::setPermissions(p(QStringLiteral("T/locked.pac")), QFile::ReadOwner));
        auto inode = [this](const char* name) {
            struct stat st {};
            ::stat(p(QStringLiteral("T/") + QLatin1String(name)).toLocal8Bit().constData(), &st);
            return st.st_ino;
        };
        const ino_t own = inode("own.pac");
        QVERIFY(shell().ShellCopyChanged(p(QStringLiteral("S/*.*")), p(QStringLiteral("T/"))));
        QCOMPARE(inode("own.pac"), own);
        for (const char* name : {"own.pac", "linked.pac", "locked.pac"})
            QCOMPARE(read(p(QStringLiteral("T/") + QLatin1String(name))), read(p(QStringLiteral("S/") + QLatin1String(name))));
        QCOMPARE(read(p(QStringLiteral("elsewhere.pac"))), QByteArray("old"));
        QVERIFY(tc->messages.shown.isEmpty());
    }

    // What an earlier run left under the temporary name does not stop the copy, and a link
    // there is never written through.
    void leftoverTemporaryIsReplaced_data()
    {
        QTest::addColumn<bool>("asLink");
        QTest::newRow("file") << false;
        QTest::newRow("link to a file elsewhere") << true;
    }
    void leftoverTemporaryIsReplaced()
    {
        QFETCH(bool, asLink);
        write(host(), QStringLiteral("outside.txt"), "keep");
        const QString temp = p(QStringLiteral("T/.kennel-copy"));
        write(host(), QStringLiteral("T/other"), "");
        if (asLink)
            QVERIFY(QFile::link(p(QStringLiteral("outside.txt")), temp));
        else
            write(host(), QStringLiteral("T/.kennel-copy"), "stale and longer");
        QVERIFY(shell().ShellCopy(p(QStringLiteral("X/おやつ/a.pac")), p(QStringLiteral("T/"))));
        QCOMPARE(read(p(QStringLiteral("T/a.pac"))), QByteArray("a"));
        QCOMPARE(read(p(QStringLiteral("outside.txt"))), QByteArray("keep"));
        QVERIFY(!QFileInfo(temp).exists() && !QFileInfo(temp).isSymLink());
        QVERIFY(tc->messages.shown.isEmpty());
    }

};

QTEST_GUILESS_MAIN(TestShellCopy)
#include "test_shellcopy.moc"
