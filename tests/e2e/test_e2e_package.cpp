// The Debian package as a user meets it: unpacked into a temporary root, its desktop entry and
// AppStream data valid, its kennel answering --help, --version and a wrong option without a
// display, `kennel --setup` putting Kennel into a host folder (and refusing a folder without
// the host) and writing a desktop entry whose Exec line starts that copy; and the package's
// own menu entry, which asks for the host folder in a window.
#include "tests/e2e/E2eSession.h"
#include "tests/support/HostFolder.h"

#include <QDirIterator>
#include <QImage>
#include <QtTest>

#include <csignal>
#include <tuple>

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

// A program run to its end without a display.
Run runHeadless(const QString& program, const QStringList& arguments)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    return {p.waitForFinished(60000) ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

// The Exec line of a desktop entry as a launcher reads it: the string's escapes, then the
// quoting (a backslash inside quotes takes the next character), then %% for a percent sign.
QStringList execArguments(const QString& entryFile)
{
    const QString line = QString::fromUtf8(hostfolder::read(entryFile))
                             .section(QLatin1String("\nExec="), 1)
                             .section(QLatin1Char('\n'), 0, 0)
                             .replace(QLatin1String("\\s"), QLatin1String(" "))
                             .replace(QLatin1String("\\\\"), QLatin1String("\\"));
    QStringList arguments{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (quoted && line[i] == QLatin1Char('\\'))
            arguments.last() += line[++i];
        else if (line[i] == QLatin1Char('"'))
            quoted = !quoted;
        else if (line[i] == QLatin1Char(' ') && !quoted)
            arguments << QString();
        else
            arguments.last() += line[i];
    }
    return arguments.replaceInStrings(QStringLiteral("%%"), QStringLiteral("%"));
}

} // namespace

class TestE2EPackage : public E2eTest {
    Q_OBJECT

private slots:
    // Unpacked: valid, answering without a display. Then `kennel --setup` refuses a folder
    // without the host and copies the programs into a host whose name holds what an Exec line
    // must quote; last the package's menu entry chooses the folder in a window (it opens in the
    // Wine prefix's drive C) and starts the copy: a process runs from the copy's file.
    void unpacked_setUpAndStartedFromTheMenu()
    {
        const QDir packages(qEnvironmentVariable("KENNEL_PACKAGE_DIR"));
        const QStringList debs = packages.entryList({QStringLiteral("kennel_*.deb")}, QDir::Files, QDir::Time);
        QVERIFY2(!debs.isEmpty(), "no package: cpack first (the test fixture kennel_package does)");
        const QString root = s.path(QStringLiteral("root")), kennel = root + QStringLiteral("/usr/bin/kennel");
        QCOMPARE(QProcess::execute(QStringLiteral("dpkg-deb"), {"-x", packages.filePath(debs.first()), root}), 0);

        const QStringList entries = QDir(root + QStringLiteral("/usr/share/applications")).entryList(QDir::Files);
        QCOMPARE(entries.size(), 1);
        const QString entry = entries.first(), menuEntry = root + QStringLiteral("/usr/share/applications/") + entry;
        QCOMPARE(QProcess::execute(QStringLiteral("desktop-file-validate"), {menuEntry}), 0);
        const QString metainfo =
            QStringLiteral("/usr/share/metainfo/") + entry.chopped(8) + QStringLiteral(".metainfo.xml");
        QCOMPARE(QProcess::execute(QStringLiteral("appstreamcli"), {"validate", "--no-net", root + metainfo}), 0);
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            QCOMPARE(QImage(root + QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/kennel.png").arg(size)).size(),
                     QSize(size, size));
        QVERIFY(QFileInfo(root + QStringLiteral("/usr/share/icons/hicolor/scalable/apps/kennel.svg")).isFile());

        // Each answer: exit code, what standard output starts with, lines on standard error.
        const std::tuple<const char*, int, const char*, int> answers[] = {
            {"--version", 0, "Kennel 2001 Ver.2.31\n", 0}, {"-h", 0, "使い方: kennel", 0}, {"--bogus", 2, "", 1}};
        for (const auto& [option, code, out, errLines] : answers) {
            const Run run = runHeadless(kennel, {QLatin1String(option)});
            QCOMPARE(run.code, code);
            QVERIFY2(*out ? run.out.startsWith(QString::fromUtf8(out)) : run.out.isEmpty(), option);
            QCOMPARE(run.err.count(QLatin1Char('\n')), errLines);
        }

        const QString entryFile = s.path(QStringLiteral("data/applications/")) + entry;
        const QString notHost = s.path(QStringLiteral("not a host"));
        QVERIFY(QDir().mkpath(notHost));
        const Run refused = runHeadless(kennel, {"--setup", notHost});
        QCOMPARE(refused.code, 1);
        QVERIFY2(refused.err.contains(QLatin1String("Mewmail20.exe")), qPrintable(refused.err));
        QVERIFY(QDir(notHost).isEmpty() && !QFileInfo::exists(entryFile));

        // A host with pets already: Kennel.ini, a pet folder and an old kennel.
        const QString host = s.newHost(QStringLiteral("ミュー メール $HOME \"q\" 100%"), QStringLiteral("mike"),
                                       s.table({{"ミケ", "太郎"}}), {"stored"});
        hostfolder::write(host, QStringLiteral("kennel"), "an older kennel");
        auto expected = hostfolder::snapshot(host); // the package's programs in, nothing else changed
        for (const char* file : {"kennel", "libunlha32.so"})
            expected[file] = hostfolder::read(root + QStringLiteral("/usr/lib/kennel/") + QLatin1String(file));
        const Run setup = runHeadless(kennel, {"--setup", host});
        QVERIFY2(setup.code == 0, qPrintable(setup.err));
        QCOMPARE(hostfolder::snapshot(host), expected);
        QCOMPARE(QProcess::execute(QStringLiteral("desktop-file-validate"), {entryFile}), 0);
        QVERIFY(QFileInfo(s.path(QStringLiteral("data/icons/hicolor/48x48/apps/kennel.png"))).isFile());
        QCOMPARE(execArguments(entryFile), QStringList{host + QStringLiteral("/kennel")});

        // The package's menu entry runs `kennel --setup`.
        const QStringList exec = execArguments(menuEntry);
        QCOMPARE(exec, (QStringList{"kennel", "--setup"}));
        const QString copy = s.newHost(QStringLiteral("prefix/drive_c/Mewmail"), QStringLiteral("mike"));
        QFile::remove(copy + QStringLiteral("/kennel"));
        qputenv("WINEPREFIX", QFile::encodeName(s.path(QStringLiteral("prefix"))));
        QProcess& chosen = s.startProgram({root + QStringLiteral("/usr/bin/") + exec[0], exec[1]});
        qunsetenv("WINEPREFIX");
        QVERIFY(s.keys(QStringLiteral("Kennel 2001 - ミューメール（Mewmail20.exe）のフォルダを選択してください"),
                       "'Mewmail' Return"));
        QVERIFY(s.reply(QStringLiteral("Kennel 2001 | information | Kennel を %1 に用意しました。").arg(copy)));
        QCOMPARE(s.waitEnd(chosen), 0);
        QVERIFY(s.waitWindow(kConfig)); // the copy's first run
        // The copy runs on its own; it is ended here.
        int copies = 0;
        for (QDirIterator it(QStringLiteral("/proc")); it.hasNext();) {
            const QString process = it.next();
            if (QFileInfo(process + QStringLiteral("/exe")).symLinkTarget() == copy + QStringLiteral("/kennel"))
                copies += ::kill(process.section(QLatin1Char('/'), -1).toInt(), SIGKILL) == 0;
        }
        QCOMPARE(copies, 1);
        QVERIFY(s.waitNoWindow(kConfig));
    }
};

QTEST_MAIN(TestE2EPackage)
#include "test_e2e_package.moc"
