// The shell copy: files-only wildcard copies, sub-folders with ShellCopyAll, overwrite,
// created targets, copies onto themselves, large files, leftover temporary files, and the one
// failure message.
#include "shell/ShellCopy.h"
#include "tests/support/HostTest.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using hostfolder::read;
using hostfolder::write;

class TestShellCopy : public HostTest {
    Q_OBJECT

    QString p(const QString& rel) const { return host() + '/' + rel; }

private slots:
    void init()
    {
        newHost();
        write(host(), QStringLiteral("X/おやつ/a.pac"), "a");
        write(host(), QStringLiteral("X/おやつ/noext"), "n");
        write(host(), QStringLiteral("X/おやつ/sub/b.pac"), "b");
    }

    void wildcardCopiesFilesOnlyIntoNewFolder()
    {
        QVERIFY(ShellCopy(tc->ctx, p(QStringLiteral("X/おやつ/*.*")), p(QStringLiteral("Y/new/"))));
        QCOMPARE(read(p(QStringLiteral("Y/new/a.pac"))), QByteArray("a"));
        QCOMPARE(read(p(QStringLiteral("Y/new/noext"))), QByteArray("n"));
        QVERIFY(!hostfolder::exists(p(QStringLiteral("Y/new/sub"))));
        QVERIFY(tc->messages.shown.isEmpty());
    }

    // Sub-folders with ShellCopyAll; an existing file is overwritten without asking or leaving work files.
    void copyAllTakesSubFoldersAndOverwrites()
    {
        write(host(), QStringLiteral("Z/a.pac"), "old and longer");
        QVERIFY(ShellCopyAll(tc->ctx, p(QStringLiteral("X/おやつ/*.*")), p(QStringLiteral("Z"))));
        QCOMPARE(hostfolder::snapshot(p(QStringLiteral("Z"))), hostfolder::snapshot(p(QStringLiteral("X/おやつ"))));
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void singleFileToFileAndIntoFolder()
    {
        QVERIFY(ShellCopy(tc->ctx, p(QStringLiteral("X/おやつ/a.pac")), p(QStringLiteral("F/renamed.pac"))));
        QCOMPARE(read(p(QStringLiteral("F/renamed.pac"))), QByteArray("a"));
        QVERIFY(ShellCopy(tc->ctx, p(QStringLiteral("X/おやつ/a.pac")), p(QStringLiteral("G/"))));
        QCOMPARE(read(p(QStringLiteral("G/a.pac"))), QByteArray("a"));
    }

    void copyOntoItselfKeepsFile()
    {
        QVERIFY(ShellCopy(tc->ctx, p(QStringLiteral("X/おやつ/a.pac")), p(QStringLiteral("X/おやつ/a.pac"))));
        QVERIFY(ShellCopy(tc->ctx, p(QStringLiteral("X/おやつ/*.*")), p(QStringLiteral("X/おやつ/"))));
        QCOMPARE(read(p(QStringLiteral("X/おやつ/a.pac"))), QByteArray("a"));
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void emptySourceFolderIsNoError()
    {
        QDir().mkpath(p(QStringLiteral("E")));
        QVERIFY(ShellCopy(tc->ctx, p(QStringLiteral("E/*.*")), p(QStringLiteral("E2/"))));
        QVERIFY(QFileInfo(p(QStringLiteral("E2"))).isDir());
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void failuresReportOnceAndNextCopyRuns()
    {
        QVERIFY(!ShellCopy(tc->ctx, p(QStringLiteral("missing/*.*")), p(QStringLiteral("T/"))));
        QVERIFY(!ShellCopy(tc->ctx, p(QStringLiteral("missing.pac")), p(QStringLiteral("T/"))));
        QCOMPARE(tc->messages.texts(), (QStringList{texts::kMsgFileError, texts::kMsgFileError}));
        QVERIFY(ShellCopy(tc->ctx, p(QStringLiteral("X/おやつ/a.pac")), p(QStringLiteral("T/"))));
    }

    void partialFailureReportsOnceAndKeepsTheRest()
    {
        write(host(), QStringLiteral("S/1.pac"), "1");
        write(host(), QStringLiteral("S/2.pac"), "2");
        write(host(), QStringLiteral("S/3.pac"), "3");
        write(host(), QStringLiteral("D/2.pac"), "old two");
        // A folder where a file should go makes exactly that file fail.
        QDir().mkpath(p(QStringLiteral("D/3.pac")));
        QVERIFY(!ShellCopy(tc->ctx, p(QStringLiteral("S/*.*")), p(QStringLiteral("D/"))));
        QCOMPARE(tc->messages.shown.size(), 1);
        QCOMPARE(read(p(QStringLiteral("D/1.pac"))), QByteArray("1"));
        QCOMPARE(read(p(QStringLiteral("D/2.pac"))), QByteArray("2"));
    }

    // A file of several megabytes arrives whole and keeps its permissions.
    void largeFileKeepsBytesAndPermissions()
    {
        QByteArray big(3 * 1024 * 1024 + 17, '\0');
        for (qsizetype i = 0; i < big.size(); ++i)
            big[i] = char(i * 7919 >> 3);
        write(host(), QStringLiteral("L/big.bin"), big);
        QCOMPARE(::chmod(p(QStringLiteral("L/big.bin")).toLocal8Bit().constData(), 0640), 0);
        QVERIFY(ShellCopy(tc->ctx, p(QStringLiteral("L/*.*")), p(QStringLiteral("M/"))));
        QCOMPARE(read(p(QStringLiteral("M/big.bin"))), big);
        struct stat st {};
        QCOMPARE(::stat(p(QStringLiteral("M/big.bin")).toLocal8Bit().constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, 0640u);
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
        const QString temp = p(QStringLiteral("T/a.pac.kennel-copy"));
        write(host(), QStringLiteral("T/other"), "");
        if (asLink)
            QVERIFY(QFile::link(p(QStringLiteral("outside.txt")), temp));
        else
            write(host(), QStringLiteral("T/a.pac.kennel-copy"), "stale and longer");
        QVERIFY(ShellCopy(tc->ctx, p(QStringLiteral("X/おやつ/a.pac")), p(QStringLiteral("T/"))));
        QCOMPARE(read(p(QStringLiteral("T/a.pac"))), QByteArray("a"));
        QCOMPARE(read(p(QStringLiteral("outside.txt"))), QByteArray("keep"));
        QVERIFY(!QFileInfo(temp).exists() && !QFileInfo(temp).isSymLink());
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void pickerAndTextHelpers()
    {
        QCOMPARE(BrowseFolder(tc->ctx, QStringLiteral("t")), QString()); // no picker: as cancelled
        QCOMPARE(TrimNulls(QString(QStringLiteral("abc")) + QChar(0) + QChar(0)), QStringLiteral("abc"));
        QCOMPARE(TrimNulls(QString(3, QChar(0))), QString());
        QCOMPARE(TrimNulls(QStringLiteral("a\0b")), QStringLiteral("a\0b"));
    }
};

QTEST_GUILESS_MAIN(TestShellCopy)
#include "test_shellcopy.moc"
