// Crash and disk-full harness. Each operation runs in a copy of a realistic program folder
// (four pets, two shared kinds, a template) through kennel_crash_driver: once whole, then
// once per file-system change, ending the process right before that change (or failing
// it as a full disk would), followed by a restart of Kennel (in a sample, killed once more
// while it finishes the work); as root also on a small tmpfs filled to several levels.
// After the restart every pet's data must equal its data before the operation or after it,
// the shared kinds too, no numbered pet folder may exist that Kennel.ini does not list, and
// a run that did not end as the whole run did must have told the user.
#include "backup/Backup.h"
#include "backup/UnlhaLibrary.h"
#include "registry/RegistryFormat.h"
#include "storage/HostLayout.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <sys/statvfs.h>
#include <thread>
#include <tuple>
#include <unistd.h>

using namespace items;

namespace {

using Files = QMap<QString, QByteArray>;
// "pet <name>", "shared <kind>", "stray <folder>" -> files by relative path; "~Kennel.ini".
using State = QMap<QString, Files>;

const QStringList kPets = {"ポチ", "タマ", "ハナ", "クロ"};

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

enum Scene { Stored, HostRan, Unstored, VersionOne };

// Stored: the folder as it stands after a start-up: every pet stored, the host's places holding
// the current pet (index 1) with the shared snacks and friends book, a template. HostRan: then
// the host ran (new mail, changed settings, a new shared snack); Unstored: and the current pet
// was registered in this run, so it has no folder yet. VersionOne: three mailboxes "ユーザー 1"..
// "ユーザー 3", the second one last used, its live data in the host's places (newer than its folder).
void layScene(const QString& host, int scene)
{
    HostLayout paths(host);
    if (scene == VersionOne) {
        for (int n = 1; n <= 3; ++n)
            writePetData(paths.OldPetFolder(n), QStringLiteral("旧%1").arg(n), n);
        writePetData(host, QStringLiteral("旧2"), 2);
        hostfolder::write(host, kInbox + QStringLiteral("/new.mwm"), "new mail");
        hostfolder::write(host, QStringLiteral("Kennel.ini"), "[Kennel]\r\nLastUser = 1\r\n");
        return;
    }
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
    if (scene != Stored) {
        hostfolder::write(host, kInbox + QStringLiteral("/new.mwm"), "new mail");
        hostfolder::write(host, kSettings, "settings changed by the host");
        hostfolder::write(host, kSnacks + QStringLiteral("/new.pac"), "new snack");
    }
    if (scene == Unstored)
        QDir(paths.PetFolder(1)).removeRecursively();
}

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
    const HostLayout paths(host);
    const QByteArray ini = hostfolder::read(paths.registryFile());
    const RegistryContent reg = parseRegistry(ini);
    const bool v1 = reg.kind == RegistryContent::Kind::Version1, v2 = reg.kind == RegistryContent::Kind::Version2;
    const PetTable t = v2 ? reg.table : PetTable();
    const int listed = v2 ? t.count() : 0;
    State s{{QStringLiteral("~Kennel.ini"), {{QString(), ini}}}};
    if (!v1 && !v2)
        s.insert(QStringLiteral("Kennel.ini missing or broken"), {});
    // Version 1.0 mailboxes under the names the upgrade gives them.
    for (int i = 0; i < (v1 ? 3 : listed); ++i)
        s.insert(v1 ? QStringLiteral("pet 旧%1").arg(i + 1) : QStringLiteral("pet ") + t.Pet[i],
                 kindFiles(i == (v1 ? reg.lastUser : t.CurrentUser) ? host
                           : v1                                     ? paths.OldPetFolder(i + 1)
                                                                    : paths.PetFolder(i),
                           kinds(t, false)));
    for (const QString& kind : kinds(t, true))
        s.insert(QStringLiteral("shared ") + kind, kindFiles(host, {kind}));
    for (int n = 1; n <= kMaxPets; ++n) // pet folders not listed, mailboxes left after an upgrade
        for (const QString& folder :
             {n > listed ? paths.PetFolder(n - 1) : QString(), v2 && n <= 3 ? paths.OldPetFolder(n) : QString()})
            if (QFileInfo::exists(folder))
                s.insert(QStringLiteral("stray ") + QFileInfo(folder).fileName(),
                         kindFiles(folder, kinds(PetTable(), false)));
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
    Run r{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, {}, {}};
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
    std::filesystem::create_directories(to.toStdString());
    std::filesystem::copy(from.toStdString(), to.toStdString(), std::filesystem::copy_options::recursive);
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

    void sweep_data()
    {
        QTest::addColumn<QString>("mode"); // the driver's: kill, fail, none (on a full tmpfs)
        QTest::addColumn<QString>("op");   // the driver's
        QTest::addColumn<int>("scene");
        QTest::addColumn<QString>("source"); // the backup restored from
        const std::tuple<const char*, const char*, int, QString> ops[] = {
            {"switch", "switch", Stored, {}},
            {"switch from unstored", "switch", Unstored, {}},
            {"store", "restart", HostRan, {}},
            {"new pet", "newpet", Stored, {}},
            {"delete", "delete", Stored, {}},
            {"restore folder", "restore", Stored, folderBackup},
            {"restore archive", "restore", Stored, archiveBackup},
            {"upgrade", "restart", VersionOne, {}},
        };
        for (const char* mode : {"kill", "fail", "none"})
            for (const auto& [name, op, scene, source] : ops)
                if (!source.isNull() || qstrcmp(op, "restore"))
                    QTest::addRow("%s, %s", name, mode)
                        << QString::fromLatin1(mode) << QString::fromLatin1(op) << scene << source;
    }
    // A trial per item on two workers, each in a fresh copy of the scene: the operation run
    // interrupted or failed, then a restart; a departure from the whole run's result must have
    // been told. kill: every change in turn (or a seeded sample of KENNEL_CRASH_SAMPLE changes
    // when set), then a seeded sample of pairs: killed at a change, and once more while the next
    // start finishes the work (an item's thousands give the start-up's change). fail: a full
    // disk, cheaply: each change but a deletion fails in turn. none: a real full disk: the copy
    // lies on a small tmpfs of its own, filled up to a few pages (the item) short of what the
    // operation needs; Kennel first starts on the full disk (it may refuse, saying so), then
    // once more after the user made room.
    void sweep()
    {
        QFETCH(QString, mode);
        QFETCH(QString, op);
        QFETCH(int, scene);
        QFETCH(QString, source);
        const QString name = QString::fromUtf8(QTest::currentDataTag()).section(QStringLiteral(", "), 0, 0);
        const bool kill = mode == QLatin1String("kill"), tmpfs = mode == QLatin1String("none");
        if (tmpfs && geteuid() != 0)
            QSKIP("mounting a tmpfs needs root");
        Baseline& b = baselines[name];
        if (b.scene.isEmpty()) {
            b.scene = path(QStringLiteral("scene/") + name + QStringLiteral("/host"));
            layScene(b.scene, scene);
            b.before = capture(b.scene);
            copyTree(b.scene, b.scene + QStringLiteral("-whole"));
            b.run =
                drive({op, b.scene + QStringLiteral("-whole"), QStringLiteral("none"), QStringLiteral("0"), source});
            b.after = capture(b.scene + QStringLiteral("-whole"));
        }
        QCOMPARE(b.run.exitCode, 0);
        const int total = int(b.run.points.size());
        QList<int> items;
        for (int n = 1; n <= total && !tmpfs; ++n)
            if (kill || !b.run.points[n - 1].contains(QRegularExpression("^(delete|rmdir)")))
                items << n;
        const int sample = qEnvironmentVariableIntValue("KENNEL_CRASH_SAMPLE");
        if (kill && sample > 0 && sample < total) {
            std::shuffle(items.begin(), items.end(), QRandomGenerator(20261206));
            items.resize(sample);
        }
        QRandomGenerator random(qHash(name.toUtf8()));
        for (int k = 0; k < 16 && kill; ++k)
            items << 1 + random.bounded(total) + 1000 * (1 + random.bounded(30));
        if (tmpfs)
            items = {0, 1, 2, 3, 5, 8, 12, 18, 26, 40};

        int tried = 0, twice = 0;
        QStringList failures;
        std::mutex lock;
        std::atomic<bool> unmountable = false;
        std::atomic<int> next{0};
        const auto worker = [&] {
            for (int i; (i = next++) < items.size();) {
                const int n = items[i] % 1000, recoveryKill = items[i] / 1000;
                const QString mount = path(QStringLiteral("work/%1/%2/%3").arg(mode, name).arg(items[i]));
                const QString work = tmpfs ? mount + QStringLiteral("/host") : mount;
                if (tmpfs &&
                    (!QDir().mkpath(mount) ||
                     QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=4m", "tmpfs", mount}))) {
                    unmountable = true;
                    continue;
                }
                copyTree(b.scene, work);
                QFile filler(mount + QStringLiteral("/filler"));
                struct statvfs fs {};
                if (tmpfs && statvfs(QFile::encodeName(mount).constData(), &fs) == 0 &&
                    filler.open(QIODevice::WriteOnly))
                    filler.write(QByteArray(qMax<qint64>(0, qint64(fs.f_bavail) * qint64(fs.f_bsize) - n * 4096), 'x'));
                filler.close();

                Run run = drive({op, work, mode, QString::number(n), source});
                // The start-up that finishes the work is killed too (when it gets that far).
                const bool killedTwice =
                    recoveryKill > 0 && drive({"restart", work, "kill", QString::number(recoveryKill)}).exitCode == 137;
                if (filler.exists()) { // Kennel starts on the full disk first, then the user makes room
                    run.messages += drive({QStringLiteral("restart"), work}).messages;
                    filler.remove();
                }
                const Run restart = drive({QStringLiteral("restart"), work});
                const State got = capture(work);
                QStringList wrong = judge(b.before, b.after, got);
                if (restart.exitCode != 0)
                    wrong << "restart ended the program: " + restart.messages.join(QLatin1String(" / "));
                if (got != b.after && run.messages == b.run.messages && restart.messages.isEmpty() && !kill)
                    wrong << QStringLiteral("the operation did not complete and nothing was said");
                QDir(work).removeRecursively();
                if (tmpfs)
                    QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), mount});
                std::lock_guard<std::mutex> guard(lock);
                ++tried;
                twice += killedTwice;
                if (!wrong.isEmpty()) // the change (or pages free), the start-up's change it was killed at too
                    failures << QStringLiteral("%1 %2 (%3), %4: %5")
                                    .arg(mode, QString::number(n),
                                         tmpfs ? QStringLiteral("pages free") : b.run.points.value(n - 1),
                                         QString::number(recoveryKill), wrong.join(QLatin1String("; ")));
            }
        };
        std::thread other(worker);
        worker();
        other.join();
        if (unmountable)
            QSKIP("mount -t tmpfs is refused here");
        qInfo("%s: %d runs (the whole operation makes %d changes), %d failed, %d start-ups killed",
              QTest::currentDataTag(), tried, total, int(failures.size()), twice);
        for (const QString& f : failures.mid(0, 12))
            qInfo().noquote() << "   " << f;
        QVERIFY2(failures.isEmpty(), qPrintable(failures.value(0)));
    }
};

QTEST_MAIN(CrashTest)
#include "test_crash.moc"
