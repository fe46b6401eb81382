// Interoperability with the independent LHA tools of Debian, both ways: archives we write are
// extracted byte for byte (names included, after decoding code page 932) by lhasa, bsdtar, 7z
// and jlha; archives jlha writes are checked, searched and extracted by us.
#include "LhaTestUtil.h"

#include "NameCodec.h"

#include "backup/UnlhaLibrary.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace lhatest;

namespace {

// How a tool hands out the names it read.
// lhasa writes each byte of a name as one Latin-1 character unless it decoded the name itself.
enum class Names { Utf8, RawCp932, Latin1OfCp932 };

QString decodeAs(Names how, const std::string& raw)
{
    if (how == Names::Utf8)
        return QString::fromStdString(raw);
    std::string bytes = raw;
    if (how == Names::Latin1OfCp932) {
        const QString text = QString::fromUtf8(raw.c_str());
        if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; }))
            return text;
        bytes = text.toLatin1().toStdString();
    }
    const auto decoded = unlha::decodeCp932(bytes);
    return decoded ? QString::fromStdString(*decoded) : QStringLiteral("<undecodable>");
}

// Runs a tool with a UTF-8 locale and, for the Java tool, a Japanese default so that it
// reads and writes Shift-JIS names.
bool runTool(const QString& program, const QStringList& args, const QString& cwd, QString* log)
{
    QProcess p;
    p.setEnvironment(QProcess::systemEnvironment() << "LC_ALL=C.UTF-8"
                                                   << "JAVA_TOOL_OPTIONS=-Duser.language=ja -Duser.country=JP");
    p.setWorkingDirectory(cwd);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool finished = p.waitForFinished(120000);
    if (!finished)
        p.kill(), p.waitForFinished();
    *log = finished ? QString::fromLocal8Bit(p.readAll()) : QStringLiteral("timed out");
    return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

class TestLhaInterop : public QObject {
    Q_OBJECT
private:
    QTemporaryDir tmp_;
    std::unique_ptr<UnlhaLibrary> lib_;

private slots:
    void init()
    {
        QVERIFY(tmp_.isValid());
        lib_ = std::make_unique<UnlhaLibrary>(qEnvironmentVariable("KENNEL_BIN_DIR"));
        QVERIFY2(lib_->isLoaded(), qPrintable(lib_->loadError()));
    }
    void cleanup() { clearFolder(tmp_.path()); }

    void oursReadByPeer_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("names");
        QTest::addColumn<bool>("names0x5c");
        QTest::newRow("lhasa") << "lha" << QStringList{"xq", "%A"} << int(Names::Latin1OfCp932) << true;
        QTest::newRow("bsdtar") << "bsdtar" << QStringList{"-xf", "%A"} << int(Names::Utf8) << true;
        // 7z splits names at every 0x5C byte, so its row keeps to names without one.
        QTest::newRow("7z") << "7z" << QStringList{"x", "-y", "%A"} << int(Names::RawCp932) << false;
        QTest::newRow("jlha") << "jlha" << QStringList{"x", "%A"} << int(Names::Utf8) << true;
    }
    void oursReadByPeer()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(int, names);
        QFETCH(bool, names0x5c);
        if (QStandardPaths::findExecutable(program).isEmpty())
            QSKIP(qPrintable(program +
                             " is not installed (CI installs it: lhasa, libarchive-tools, p7zip-full, jlha-utils)"));
        const QString pet = tmp_.filePath("pet");
        const QString archive = tmp_.filePath("ours.lzh");
        makePetFolder(pet, names0x5c);
        QVERIFY(lib_->RunUnlha(unlhaAddCommand(archive, tmp_.filePath("work/"), pet, true)));
        const QString dest = tmp_.filePath("out");
        QDir().mkpath(dest);
        QString log;
        QVERIFY2(runTool(program, args.replaceInStrings("%A", archive), dest, &log), qPrintable(log));
        // Empty folders count too: every tool recreates them.
        const auto got = snapshot(dest, [names](const std::string& raw) { return decodeAs(Names(names), raw); });
        const auto want = snapshot(pet);
        QStringList differ;
        for (const QString& k : want.keys() + got.keys())
            if (got.value(k, "<missing>") != want.value(k, "<missing>"))
                differ << k;
        QVERIFY2(differ.isEmpty(), qPrintable(differ.join(", ")));
    }

    // jlha's header levels 0 to 2 and methods lh5 to lh7 and stored: checked, searched, extracted.
    void peerReadByUs()
    {
        if (QStandardPaths::findExecutable("jlha").isEmpty())
            QSKIP("jlha is not installed (CI installs jlha-utils)");
        const QString pet = tmp_.filePath("pet"), archive = tmp_.filePath("jlha.lzh"), work = tmp_.filePath("work/");
        makePetFolder(pet);
        for (QString switches : {"c2o5", "c2o7", "c1o6", "c0o5", "c2z"}) {
            QFile::remove(archive);
            QString log;
            const QStringList args =
                QStringList{switches, archive} + QDir(pet).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
            QVERIFY2(runTool("jlha", args, pet, &log), qPrintable(log));
            QVERIFY2(lib_->checkArchive(archive), qPrintable(switches));
            QVERIFY(lib_->hasMember(archive, "Backup.ini") && lib_->hasMember(archive, "おもちゃ/ソ表予能.txt"));
            QVERIFY(lib_->RunUnlha(unlhaExtractOneCommand(archive, work)));
            QCOMPARE(readFile(work + "BackUp.ini"), readFile(pet + "/BackUp.ini"));
            const QString dest = tmp_.filePath("restored/") + switches;
            QVERIFY2(lib_->RunUnlha(unlhaExtractAllCommand(archive, dest)), qPrintable(lib_->lastOutput()));
            QCOMPARE(snapshot(dest), snapshot(pet)); // folder entries too, the empty one included
        }
    }
};

QTEST_GUILESS_MAIN(TestLhaInterop)
#include "test_lha_interop.moc"
