// Crash and disk-full harness. Each operation runs in a copy of a realistic program folder
// (four pets, two shared kinds, a template) through kennel_crash_driver: once whole, then
// once per file-system change, ending the process right before that change (or failing
// it as a full disk would), followed by a restart of Kennel (in a sample, killed once more
// while it finishes the work); as root also on a small tmpfs filled to several levels.
// After the restart every pet's data must equal its data before the operation or after it,
// the shared kinds too, no numbered pet folder may exist that Kennel.ini does not list, and
// a run that did not end as the whole run did must have told the user.
#include "registry/RegistryFormat.h"
#include "backup/Backup.h"
#include "backup/UnlhaLibrary.h"
#include "storage/HostLayout.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

using namespace items;

namespace {

using Files = QMap<QString, QByteArray>;
// "pet <name>", "shared <kind>", "stray <folder>" -> files by relative path; "~Kennel.ini".
using State = QMap<QString, Files>;

const QStringList kPets = {QStringLiteral("ポチ"), QStringLiteral("タマ"), QStringLiteral("ハナ"),
                           QStringLiteral("クロ")};

// ---- scenes ---------------------------------------------------------------------------

// One pet's data, every kind (and the host program), content tagged so that mix-ups show;
// file counts differ by seed.
void writePetData(const QString& folder, const QString& tag, int seed)
{
    hostfolder::makeHost(folder, tag);
    for (int i = 0; i < 1 + seed % 3; ++i)
        hostfolder::write(folder, kInbox + QStringLiteral("/more%1.mwm").arg(i), "mail " + tag.toUtf8());
    hostfolder::write(folder, kSnacks + QStringLiteral("/bone.pac"), "snack " + tag.toUtf8());
}

// The folder as it stands after a start-up: every pet stored, the host's places holding the
// current pet (index 1) with the shared snacks and friends book, a template.
void baseScene(const QString& host, bool hostRanSinceStore = false)
{
    HostLayout paths(host);
    PetTable t;
    for (int i = 0; i < kPets.size(); ++i) {
        t.Pet[i] = kPets[i];
        t.Master[i] = QStringLiteral("飼い主") + kPets[i];
        writePetData(paths.PetFolder(i), kPets[i], i);
    }
    t.MaxUser = static_cast<int>(kPets.size()) - 1;
    t.CurrentUser = 1;
    t.Oyatsu = t.Friends = true;
    writePetData(host, kPets[1], 1);
    writePetData(paths.DefaultFolder(), QStringLiteral("template"), 0);
    for (const QString& shared :
         {kSnacks + QStringLiteral("/cake.pac"), kSnacks + QStringLiteral("/bone.pac"), kFriends})
        for (const QString& place : {host, paths.PetFolder(1)})
            hostfolder::write(place, shared, "shared " + shared.toUtf8());
    hostfolder::write(host, QStringLiteral("Kennel.ini"), *formatRegistry(t));
    if (hostRanSinceStore) { // the host ran: new mail, changed settings, a new shared snack
        hostfolder::write(host, kInbox + QStringLiteral("/new.mwm"), "new mail");
        hostfolder::write(host, kSettings, "settings changed by the host");
        hostfolder::write(host, kSnacks + QStringLiteral("/new.pac"), "new snack");
    }
}

// Version 1.0: three mailboxes "ユーザー 1".."ユーザー 3", the second one last used, its live
// data in the host's places (newer than its folder).
void versionOneScene(const QString& host)
{
    HostLayout paths(host);
    for (int n = 1; n <= 3; ++n)
        writePetData(paths.OldPetFolder(n), QStringLiteral("旧%1").arg(n), n);
    writePetData(host, QStringLiteral("旧2"), 2);
    hostfolder::write(host, kInbox + QStringLiteral("/new.mwm"), "new mail");
    hostfolder::write(host, QStringLiteral("Kennel.ini"), "[Kennel]\r\nLastUser = 1\r\n");
}

struct Operation {
    const char* name;
    const char* driverOp;
    void (*scene)(const QString& host);
    QString source; // the backup restored from
};
} // namespace
Q_DECLARE_METATYPE(Operation)
namespace {

// ---- what each pet holds ---------------------------------------------------------------

// The kinds of data a pet holds, with the flag that shares each (nullptr: never shared).
const std::pair<QString, bool PetTable::*> kKinds[] = {
    {kToys, &PetTable::Toys},         {kSnacks, &PetTable::Oyatsu},
    {kInbox, &PetTable::Mails},       {kOutbox, &PetTable::Mails},
    {kAttachments, &PetTable::Mails}, {kTreasures, &PetTable::Treasures},
    {kFriends, &PetTable::Friends},   {kSettings, nullptr},
    {kSettingsBackup, nullptr},
};

QStringList kinds(const PetTable& flags, bool shared)
{
    QStringList out;
    for (const auto& [name, flag] : kKinds)
        if ((flag && flags.*flag) == shared)
            out << name;
    return out;
}

// The files of these kinds in place, by relative path; a missing place is marked.
Files kindFiles(const QString& place, const QStringList& wanted)
{
    if (!QFileInfo(place).isDir())
        return {{QStringLiteral("<no folder>"), {}}};
    Files out;
    const Files all = hostfolder::snapshot(place);
    for (auto it = all.begin(); it != all.end(); ++it)
        if (!it.key().endsWith(QLatin1Char('/')) && wanted.contains(it.key().section(QLatin1Char('/'), 0, 0)))
            out.insert(it.key(), it.value());
    return out;
}

State capture(const QString& host)
{
    State s;
    const HostLayout paths(host);
    const RegistryContent reg = parseRegistry(hostfolder::read(paths.registryFile()));
    PetTable t = reg.table;
    int listed = 0;
    if (!QFileInfo::exists(paths.registryFile()) || reg.kind == RegistryContent::Kind::Broken) {
        s.insert(QStringLiteral("Kennel.ini missing or broken"), {});
    } else if (reg.kind == RegistryContent::Kind::Version1) {
        // The mailboxes, under the names the upgrade gives them.
        t = PetTable();
        for (int n = 1; n <= 3; ++n)
            s.insert(QStringLiteral("pet 旧%1").arg(n),
                     kindFiles(n - 1 == reg.lastUser ? host : paths.OldPetFolder(n), kinds(t, false)));
    } else {
        listed = t.count();
        for (int i = 0; i < listed; ++i)
            s.insert(QStringLiteral("pet ") + t.Pet[i],
                     kindFiles(i == t.CurrentUser ? host : paths.PetFolder(i), kinds(t, false)));
        for (int n = 1; n <= 3; ++n)
            if (QFileInfo::exists(paths.OldPetFolder(n)))
                s.insert(QStringLiteral("stray ") + QFileInfo(paths.OldPetFolder(n)).fileName(), {});
    }
    for (const QString& kind : kinds(t, true))
        s.insert(QStringLiteral("shared ") + kind, kindFiles(host, {kind}));
    for (int n = listed + 1; n <= kMaxPets; ++n)
        if (QFileInfo::exists(paths.PetFolder(n - 1)))
            s.insert(QStringLiteral("stray ") + QFileInfo(paths.PetFolder(n - 1)).fileName(),
                     kindFiles(paths.PetFolder(n - 1), kinds(PetTable(), false)));
    s.insert(QStringLiteral("~Kennel.ini"), {{QString(), hostfolder::read(paths.registryFile())}});
    return s;
}

// The entries that equal neither their value before the operation nor after it (absent counts
// as a value). Which pet is current may differ from both, as after a refused switch.
QStringList judge(const State& before, const State& after, const State& got)
{
    QStringList keys = before.keys() + after.keys() + got.keys();
    keys.removeDuplicates();
    QStringList wrong;
    for (const QString& key : keys) {
        const auto value = [&](const State& s) { return s.contains(key) ? std::optional(s[key]) : std::nullopt; };
        if (!key.startsWith(QLatin1Char('~')) && value(got) != value(before) && value(got) != value(after))
            wrong << key + QStringLiteral(" (") + QStringList(got.value(key).keys()).join(QLatin1Char(',')) +
                         QLatin1Char(')');
    }
    return wrong;
}

// ---- running ---------------------------------------------------------------------------

struct Run {
    int exitCode = -1;
    QStringList points; // "what path", by number - 1
    QStringList messages;
};

Run drive(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(KENNEL_CRASH_DRIVER), args);
    p.waitForFinished(60000);
    Run r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("point ")))
            r.points << line.section(QLatin1Char(' '), 2);
        else if (line.startsWith(QLatin1String("message ")))
            r.messages << line.mid(8);
    }
    return r;
}

void copyTree(const QString& from, const QString& to)
{
    namespace fs = std::filesystem;
    fs::create_directories(to.toStdString());
    fs::copy(from.toStdString(), to.toStdString(), fs::copy_options::recursive);
}

struct Tally {
    int tried = 0, twice = 0;
    QStringList failures;
};

// Runs body(k) for each k on two workers.
template <typename F> void onWorkers(const QList<int>& items, F body)
{
    std::atomic<int> next{0};
    auto work = [&] {
        for (int i; (i = next++) < items.size();)
            body(items[i]);
    };
    std::thread other(work);
    work();
    other.join();
}

} // namespace

class CrashTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString folderBackup, archiveBackup;

    QString path(const QString& rel) const { return dir.path() + QLatin1Char('/') + rel; }

    // The operation's scene, laid out once; its whole run gives the states and the points.
    struct Baseline {
        QString scene;
        State before, after;
        Run run;
    };
    QMap<QString, Baseline> baselines;
    const Baseline& baseline(const Operation& op)
    {
        Baseline& b = baselines[QLatin1String(op.name)];
        if (b.scene.isEmpty()) {
            b.scene = path(QStringLiteral("scene/") + QLatin1String(op.name) + QStringLiteral("/host"));
            op.scene(b.scene);
            b.before = capture(b.scene);
            const QString whole = b.scene + QStringLiteral("-whole");
            copyTree(b.scene, whole);
            b.run = drive({QLatin1String(op.driverOp), whole, QStringLiteral("none"), QStringLiteral("0"), op.source});
            b.after = capture(whole);
        }
        return b;
    }

    // One interrupted or failed run and a restart in work, a copy of the scene; the verdict
    // goes into tally. A departure from the whole run's result must have been told. With a
    // filler, Kennel first starts on the full disk (it may refuse, saying so), then once more
    // after the user made room.
    void trial(const Operation& op, const Baseline& b, const QString& work, const char* mode, int n, Tally& tally,
               std::mutex& lock, const QString& filler = {}, int recoveryKill = 0)
    {
        Run run = drive({QLatin1String(op.driverOp), work, QLatin1String(mode), QString::number(n), op.source});
        // The start-up that finishes the work is killed too (when it gets that far).
        const bool twice =
            recoveryKill > 0 &&
            drive({QStringLiteral("restart"), work, QStringLiteral("kill"), QString::number(recoveryKill)}).exitCode ==
                137;
        if (!filler.isEmpty()) {
            run.messages += drive({QStringLiteral("restart"), work}).messages;
            QFile::remove(filler);
        }
        const Run restart = drive({QStringLiteral("restart"), work});
        const State got = capture(work);
        QStringList wrong = judge(b.before, b.after, got);
        if (restart.exitCode != 0)
            wrong << QStringLiteral("restart ended the program: ") + restart.messages.join(QLatin1String(" / "));
        if (got != b.after && run.messages == b.run.messages && restart.messages.isEmpty() && qstrcmp(mode, "kill"))
            wrong << QStringLiteral("the operation did not complete and nothing was said");
        QDir(work).removeRecursively();
        std::lock_guard<std::mutex> guard(lock);
        ++tally.tried;
        tally.twice += twice;
        QString point = qstrcmp(mode, "none") ? b.run.points.value(n - 1).remove(b.scene + QStringLiteral("-whole"))
                                              : QStringLiteral("%1 pages free").arg(n);
        if (recoveryKill > 0)
            point += QStringLiteral(", start-up killed at its change %1").arg(recoveryKill);
        if (!wrong.isEmpty())
            tally.failures
                << QStringLiteral("%1 %2 at %3: %4").arg(QLatin1String(mode)).arg(n).arg(point, wrong.join("; "));
    }

    void verdict(const Operation& op, const char* what, const Tally& t, qsizetype points)
    {
        const QString line = QStringLiteral("%1 %2: %3 runs (the whole operation makes %4 changes), %5 failed, "
                                            "%6 start-ups killed")
                                 .arg(QLatin1String(op.name), QLatin1String(what))
                                 .arg(t.tried)
                                 .arg(points)
                                 .arg(t.failures.size())
                                 .arg(t.twice);
        qInfo().noquote() << line;
        for (const QString& f : t.failures.mid(0, 12))
            qInfo().noquote() << "   " << f;
        QVERIFY2(t.failures.isEmpty(), qPrintable(line));
    }

    // A trial per item on two workers, each in a fresh copy of the scene; an item is a change
    // number, plus 1000 times the start-up's change at which that is killed too. In mode
    // "none" the item is a number of pages: the copy lies on a small tmpfs of its own, filled
    // up to that many pages short of what the operation needs.
    void sweep(const Operation& op, const char* mode, const QList<int>& items, const char* what, qsizetype total)
    {
        const Baseline& b = baseline(op);
        Tally tally;
        std::mutex lock;
        std::atomic<bool> unmountable = false;
        onWorkers(items, [&](int item) {
            QString work =
                path(QStringLiteral("work/%1/%2/%3").arg(QLatin1String(what), QLatin1String(op.name)).arg(item));
            const QString mount = work;
            QFile filler(work + QStringLiteral("/filler"));
            if (!qstrcmp(mode, "none")) {
                QDir().mkpath(mount);
                if (QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=4m", "tmpfs", mount}) != 0) {
                    unmountable = true;
                    return;
                }
                work += QStringLiteral("/host");
            }
            copyTree(b.scene, work);
            struct statvfs fs {};
            if (!qstrcmp(mode, "none") && statvfs(QFile::encodeName(mount).constData(), &fs) == 0 &&
                filler.open(QIODevice::WriteOnly))
                filler.write(QByteArray(qMax<qint64>(0, qint64(fs.f_bavail) * qint64(fs.f_bsize) - item * 4096), 'x'));
            filler.close();
            trial(op, b, work, mode, item % 1000, tally, lock, filler.exists() ? filler.fileName() : QString(),
                  item / 1000);
            if (!qstrcmp(mode, "none"))
                QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), mount});
        });
        if (unmountable)
            QSKIP("mount -t tmpfs is refused here");
        verdict(op, what, tally, total);
    }

    void addRows()
    {
        QTest::addColumn<Operation>("op");
        const Operation ops[] = {
            {"switch", "switch", [](const QString& h) { baseScene(h); }, {}},
            {"switch from unstored", // the current pet was registered in this run: no folder yet
             "switch",
             [](const QString& h) {
                 baseScene(h, true);
                 QDir(HostLayout(h).PetFolder(1)).removeRecursively();
             },
             {}},
            {"store", "restart", [](const QString& h) { baseScene(h, true); }, {}},
            {"new pet", "newpet", [](const QString& h) { baseScene(h); }, {}},
            {"delete", "delete", [](const QString& h) { baseScene(h); }, {}},
            {"restore folder", "restore", [](const QString& h) { baseScene(h); }, folderBackup},
            {"restore archive", "restore", [](const QString& h) { baseScene(h); }, archiveBackup},
            {"upgrade", "restart", versionOneScene, {}},
        };
        for (const Operation& op : ops)
            if (!op.source.isNull() || qstrcmp(op.driverOp, "restore"))
                QTest::newRow(op.name) << op;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        dir.setAutoRemove(!qEnvironmentVariableIsSet("KENNEL_CRASH_KEEP")); // to look at the scenes
        // The backups restored from: one pet "R" backed up by Kennel as a folder and an archive.
        TestContext tc(path(QStringLiteral("src")));
        hostfolder::write(path(QStringLiteral("src")), QStringLiteral("Mewmail20.exe"), "host");
        writePetData(tc.session.layout().PetFolder(0), QStringLiteral("R"), 2);
        tc.session.table().Pet[0] = QStringLiteral("R");
        tc.session.table().Master[0] = QStringLiteral("主R");
        tc.session.table().MaxUser = 0;
        const QString out = path(QStringLiteral("backups"));
        QDir().mkpath(out);
        const QDate day(2026, 12, 6);
        QVERIFY(BackupToFolder(tc.session, 0, out + QLatin1Char('/'), Steps::none(tc.ctx), day));
        folderBackup = out + QLatin1Char('/') + backupBaseName(QStringLiteral("R"), day);
        UnlhaLibrary library(qEnvironmentVariable("KENNEL_BIN_DIR"));
        if (library.version() > 0 && BackupToArchive(tc.session, library, 0, out, day))
            archiveBackup = folderBackup + QStringLiteral(".lzh");
        else
            qInfo("libunlha32.so is not built: no restore from an archive");
    }

    void killAtEveryPoint_data() { addRows(); }
    // Every change in turn (or a seeded sample of KENNEL_CRASH_SAMPLE changes when set), then a
    // seeded sample of pairs: killed at a change, and once more while the next start finishes
    // the work (an item's thousands give the start-up's change).
    void killAtEveryPoint()
    {
        QFETCH(Operation, op);
        const int total = int(baseline(op).run.points.size());
        QCOMPARE(baseline(op).run.exitCode, 0);
        QList<int> items;
        for (int n = 1; n <= total; ++n)
            items << n;
        const int sample = qEnvironmentVariableIntValue("KENNEL_CRASH_SAMPLE");
        if (sample > 0 && sample < total) {
            std::shuffle(items.begin(), items.end(), QRandomGenerator(20261206));
            items.resize(sample);
        }
        QRandomGenerator random(qHash(QByteArray(op.name)));
        for (int k = 0; k < 16; ++k)
            items << 1 + random.bounded(total) + 1000 * (1 + random.bounded(30));
        sweep(op, "kill", items, "killed", total);
    }

    void failEachCopy_data() { addRows(); }
    // A full disk, cheaply: each change but a deletion fails in turn.
    void failEachCopy()
    {
        QFETCH(Operation, op);
        const QStringList& points = baseline(op).run.points;
        QList<int> failing;
        for (int n = 1; n <= points.size(); ++n)
            if (!points[n - 1].startsWith(QLatin1String("delete")) && !points[n - 1].startsWith(QLatin1String("rmdir")))
                failing << n;
        sweep(op, "fail", failing, "failed", static_cast<int>(points.size()));
    }

    void smallFileSystem_data() { addRows(); }
    // A real full disk: the folder on a small tmpfs, filled up to a few pages short of
    // what the operation needs, at several levels.
    void smallFileSystem()
    {
        QFETCH(Operation, op);
        if (geteuid() != 0)
            QSKIP("mounting a tmpfs needs root");
        sweep(op, "none", {0, 1, 2, 3, 5, 8, 12, 18, 26, 40}, "on a full tmpfs", baseline(op).run.points.size());
    }
};

QTEST_MAIN(CrashTest)
#include "test_crash.moc"
