// Import steps on real temporary host folders: targets, questions, gauge steps, refusals.
#include "import/ImportOps.h"
#include "storage/HostLayout.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Records where the gauge stood whenever a question was asked.
class GaugeAtQuestion : public ScriptedMessages {
public:
    explicit GaugeAtQuestion(const Context& ctx) : ctx_(ctx) {}
    MsgAnswer show(const QString& caption, const QString& text, MsgIcon icon, MsgButtons buttons) override
    {
        if (buttons == MsgButtons::YesNo)
            gaugeAtQuestion << ctx_.GaugePos;
        return ScriptedMessages::show(caption, text, icon, buttons);
    }
    QList<int> gaugeAtQuestion;

private:
    const Context& ctx_;
};

const QStringList kPets = {QStringLiteral("ポチ"), QStringLiteral("タマ"), QStringLiteral("ミケ")};

}  // namespace

class TestImportOps : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void upperAscii_data();
    void upperAscii();
    void snackFiles_listsPacFilesOnly();

    void onePet_notCurrent_writesOnlyItsStoredFolder();
    void onePet_current_asksSeparatelyForStoredAndHostCopy();
    void allPets_threePetsTwoFiles_eightAttemptsOf16Points();
    void allPets_yesEverywhere_writesCurrentPetTwice();
    void allPets_fileOnlyInPet1_oneQuestionNamingPet1();
    void allPets_noCurrentPet_hostQuestionNamesNoPet();
    void refusals_data();
    void refusals();
    void noFileSelected_fillsGaugeAndCompletes_data();
    void noFileSelected_fillsGaugeAndCompletes();
    void failedCopy_keepsOldSnackAndGoesOn();

private:
    QString program() const { return dir_->path() + QStringLiteral("/host"); }
    QString stored(int i) const { return program() + QStringLiteral("/ユーザー") + QString::number(i + 1) + QStringLiteral("/おやつ"); }
    QString hostSnacks() const { return program() + QStringLiteral("/おやつ"); }
    QString source() const { return dir_->path() + QStringLiteral("/src"); }
    QList<QByteArray> targetsOf(const QString& file) const;

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TestContext> tc_;
    std::unique_ptr<GaugeAtQuestion> messages_;
};

void TestImportOps::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    hostfolder::makeHost(program(), QStringLiteral("host"));
    for (int i = 0; i < 3; ++i)
        QVERIFY(QDir().mkpath(stored(i)));
    hostfolder::write(source(), QStringLiteral("a.pac"), "new a");
    hostfolder::write(source(), QStringLiteral("b.pac"), "new b");
    tc_ = std::make_unique<TestContext>(program());
    messages_ = std::make_unique<GaugeAtQuestion>(tc_->ctx);
    tc_->ctx.messages = messages_.get();
    PetTable& t = tc_->ctx.table;
    for (int i = 0; i < 3; ++i)
        t.Pet[i] = kPets[i];
    t.MaxUser = 2;
    t.CurrentUser = 0;
}

void TestImportOps::cleanup()
{
    messages_.reset();
    tc_.reset();
    dir_.reset();
}

// The file in the host's snack folder, then in the stored folders of pets 0, 1 and 2.
QList<QByteArray> TestImportOps::targetsOf(const QString& file) const
{
    QList<QByteArray> out{hostfolder::read(hostSnacks() + QLatin1Char('/') + file)};
    for (int i = 0; i < 3; ++i)
        out << hostfolder::read(stored(i) + QLatin1Char('/') + file);
    return out;
}

void TestImportOps::upperAscii_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ascii letters") << QStringLiteral("c:\\Mew mail\\おやつ") << QStringLiteral("C:\\MEW MAIL\\おやつ");
    QTest::newRow("cut at first NUL") << QStringLiteral("ab") + QChar(0) + QStringLiteral("cd") << QStringLiteral("AB");
    QTest::newRow("full-width letters stay") << QStringLiteral("ａｂｃ-é") << QStringLiteral("ａｂｃ-é");
    QTest::newRow("only NULs") << QString(3, QChar(0)) << QString();
}

void TestImportOps::upperAscii()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(UpperAscii(text), expected);
}

void TestImportOps::snackFiles_listsPacFilesOnly()
{
    hostfolder::write(source(), QStringLiteral("C.PAC"), "c");
    hostfolder::write(source(), QStringLiteral("note.txt"), "t");
    hostfolder::write(source(), QStringLiteral(".hidden.pac"), "h");
    QVERIFY(QDir().mkpath(source() + QStringLiteral("/folder.pac")));
    QCOMPARE(importops::snackFiles(source()),
             (QStringList{QStringLiteral("a.pac"), QStringLiteral("b.pac"), QStringLiteral("C.PAC")}));
    QVERIFY(importops::snackFiles(QString()).isEmpty());
}

void TestImportOps::onePet_notCurrent_writesOnlyItsStoredFolder()
{
    const auto hostBefore = hostfolder::snapshot(hostSnacks());
    QCOMPARE(ImportToPet(tc_->ctx, 1, source(), {QStringLiteral("a.pac"), QStringLiteral("b.pac")}), ImportResult::Done);

    QCOMPARE(hostfolder::read(stored(1) + QStringLiteral("/a.pac")), QByteArray("new a"));
    QCOMPARE(hostfolder::read(stored(1) + QStringLiteral("/b.pac")), QByteArray("new b"));
    QCOMPARE(hostfolder::snapshot(hostSnacks()), hostBefore);
    QVERIFY(hostfolder::snapshot(stored(0)).isEmpty());
    QVERIFY(hostfolder::snapshot(stored(2)).isEmpty());
    QCOMPARE(messages_->texts(), QStringList{importops::kMsgDone});
    QCOMPARE(messages_->shown.last().icon, MsgIcon::Information);
    QCOMPARE(tc_->view.gauge, 100);
    QCOMPARE(tc_->view.busyOnCount, 1);
    QCOMPARE(tc_->view.busyOffCount, 1);
    QCOMPARE(tc_->ctx.StepSize, 0);
}

void TestImportOps::onePet_current_asksSeparatelyForStoredAndHostCopy()
{
    hostfolder::write(stored(0), QStringLiteral("a.pac"), "old stored");
    hostfolder::write(hostSnacks(), QStringLiteral("a.pac"), "old host");
    messages_->answer(MsgAnswer::Yes);  // stored copy
    messages_->answer(MsgAnswer::No);   // host copy

    QCOMPARE(ImportToPet(tc_->ctx, 0, source(), {QStringLiteral("a.pac"), QStringLiteral("b.pac")}), ImportResult::Done);

    const QString q = QStringLiteral("a.pac はすでに存在します。上書きしますか？");
    QCOMPARE(messages_->texts(), (QStringList{q, q, importops::kMsgDone}));
    QCOMPARE(messages_->shown[0].icon, MsgIcon::Question);
    // 2 files x 2 copies: 25 points per attempt; the host question comes after one step.
    QCOMPARE(messages_->gaugeAtQuestion, (QList<int>{0, 25}));
    QCOMPARE(hostfolder::read(stored(0) + QStringLiteral("/a.pac")), QByteArray("new a"));
    QCOMPARE(hostfolder::read(hostSnacks() + QStringLiteral("/a.pac")), QByteArray("old host"));
    QCOMPARE(hostfolder::read(stored(0) + QStringLiteral("/b.pac")), QByteArray("new b"));
    QCOMPARE(hostfolder::read(hostSnacks() + QStringLiteral("/b.pac")), QByteArray("new b"));
}

void TestImportOps::allPets_threePetsTwoFiles_eightAttemptsOf16Points()
{
    // Every target already holds both files, so every attempt asks; all answers No.
    for (const QString& f : {QStringLiteral("a.pac"), QStringLiteral("b.pac")}) {
        hostfolder::write(hostSnacks(), f, "old");
        for (int i = 0; i < 3; ++i)
            hostfolder::write(stored(i), f, "old");
    }
    for (int k = 0; k < 8; ++k)
        messages_->answer(MsgAnswer::No);

    QCOMPARE(ImportToAllPets(tc_->ctx, source(), {QStringLiteral("a.pac"), QStringLiteral("b.pac")}), ImportResult::Done);

    const QString sfx = QStringLiteral(" はすでに存在します。上書きしますか？");
    QStringList expected;
    for (const QString& f : {QStringLiteral("a.pac"), QStringLiteral("b.pac")}) {
        expected << QStringLiteral("ポチ に ") + f + sfx;  // the host copy names the current pet
        for (const QString& pet : kPets)
            expected << pet + QStringLiteral(" に ") + f + sfx;
    }
    expected << importops::kMsgDone;
    QCOMPARE(messages_->texts(), expected);
    // Skipped copies step the gauge all the same: 16 points each, 100 from the seventh on.
    QCOMPARE(messages_->gaugeAtQuestion, (QList<int>{0, 16, 32, 48, 64, 80, 96, 100}));
    QCOMPARE(tc_->view.gauge, 100);
    QCOMPARE(targetsOf(QStringLiteral("a.pac")), (QList<QByteArray>{"old", "old", "old", "old"}));
}

void TestImportOps::allPets_yesEverywhere_writesCurrentPetTwice()
{
    tc_->ctx.table.CurrentUser = 2;
    hostfolder::write(hostSnacks(), QStringLiteral("a.pac"), "old");
    hostfolder::write(stored(2), QStringLiteral("a.pac"), "old");

    QCOMPARE(ImportToAllPets(tc_->ctx, source(), {QStringLiteral("a.pac")}), ImportResult::Done);

    QCOMPARE(messages_->texts().size(), 3);  // host and stored copy of the current pet, done
    QVERIFY(messages_->texts()[0].startsWith(QStringLiteral("ミケ に a.pac")));
    QVERIFY(messages_->texts()[1].startsWith(QStringLiteral("ミケ に a.pac")));
    QCOMPARE(targetsOf(QStringLiteral("a.pac")), (QList<QByteArray>{"new a", "new a", "new a", "new a"}));
    QVERIFY(!hostfolder::exists(stored(1) + QStringLiteral("/b.pac")));
}

void TestImportOps::allPets_fileOnlyInPet1_oneQuestionNamingPet1()
{
    hostfolder::write(stored(1), QStringLiteral("b.pac"), "old");
    QCOMPARE(ImportToAllPets(tc_->ctx, source(), {QStringLiteral("a.pac"), QStringLiteral("b.pac")}), ImportResult::Done);
    QCOMPARE(messages_->texts(),
             (QStringList{QStringLiteral("タマ に b.pac はすでに存在します。上書きしますか？"), importops::kMsgDone}));
}

void TestImportOps::allPets_noCurrentPet_hostQuestionNamesNoPet()
{
    tc_->ctx.table.CurrentUser = -1;
    hostfolder::write(hostSnacks(), QStringLiteral("a.pac"), "old");
    QCOMPARE(ImportToAllPets(tc_->ctx, source(), {QStringLiteral("a.pac")}), ImportResult::Done);
    QCOMPARE(messages_->texts().first(), QStringLiteral("a.pac はすでに存在します。上書きしますか？"));
    QCOMPARE(hostfolder::read(hostSnacks() + QStringLiteral("/a.pac")), QByteArray("new a"));
}

void TestImportOps::refusals_data()
{
    QTest::addColumn<bool>("allPets");
    QTest::addColumn<int>("pet");
    QTest::addColumn<QString>("sourceKind");
    QTest::addColumn<QString>("expectedMessage");
    const QString same = importops::kMsgSameFolder;
    QTest::newRow("current pet: host folder, other letter case") << false << 0 << "host-upper" << same;
    QTest::newRow("current pet: host folder through a link") << false << 0 << "host-link" << same;
    QTest::newRow("current pet: host folder with ./ and final /") << false << 0 << "host-dot" << same;
    QTest::newRow("pet 1: its own stored folder") << false << 1 << "stored1" << same;
    QTest::newRow("pet 1: its stored folder through a link") << false << 1 << "stored1-link" << same;
    QTest::newRow("pet 1: host folder is another pet's") << false << 1 << "host" << QString();
    QTest::newRow("pet 1: pet 2's stored folder") << false << 1 << "stored2" << QString();
    QTest::newRow("all pets: host folder, other letter case") << true << -1 << "host-upper" << same;
    QTest::newRow("all pets: pet 2's stored folder") << true << -1 << "stored2" << same;
    QTest::newRow("all pets: host folder through a link") << true << -1 << "host-link" << same;
    QTest::newRow("one pet: no folder chosen") << false << 1 << "empty" << importops::kMsgNoSource;
    QTest::newRow("all pets: no folder chosen") << true << -1 << "empty" << importops::kMsgNoSource;
    QTest::newRow("one pet: index beyond the table") << false << 3 << "src" << importops::kMsgNoTargetPet;
}

void TestImportOps::refusals()
{
    QFETCH(bool, allPets);
    QFETCH(int, pet);
    QFETCH(QString, sourceKind);
    QFETCH(QString, expectedMessage);

    const QString link = dir_->path() + QStringLiteral("/link");
    QString from;
    if (sourceKind == QLatin1String("host-upper"))
        from = UpperAscii(hostSnacks());
    else if (sourceKind == QLatin1String("host-link"))
        QVERIFY(QFile::link(hostSnacks(), from = link));
    else if (sourceKind == QLatin1String("host-dot"))
        from = program() + QStringLiteral("/./おやつ/");
    else if (sourceKind == QLatin1String("host"))
        from = hostSnacks();
    else if (sourceKind == QLatin1String("stored1"))
        from = stored(1);
    else if (sourceKind == QLatin1String("stored1-link"))
        QVERIFY(QFile::link(stored(1), from = link));
    else if (sourceKind == QLatin1String("stored2"))
        from = stored(2);
    else if (sourceKind == QLatin1String("src"))
        from = source();
    hostfolder::write(stored(2), QStringLiteral("x.pac"), "x");
    const QStringList files{QStringLiteral("cake.pac")};

    const ImportResult r = allPets ? ImportToAllPets(tc_->ctx, from, files) : ImportToPet(tc_->ctx, pet, from, files);

    if (expectedMessage.isEmpty()) {
        QCOMPARE(r, ImportResult::Done);
        return;
    }
    QCOMPARE(r, ImportResult::Refused);
    QCOMPARE(messages_->texts(), QStringList{expectedMessage});
    QCOMPARE(messages_->shown.first().icon, MsgIcon::Critical);
    QCOMPARE(tc_->view.gaugeUpdates, 0);
    QCOMPARE(tc_->view.busyOnCount, 0);
    for (int i = 0; i < 3; ++i)
        QVERIFY(!hostfolder::exists(stored(i) + QStringLiteral("/cake.pac")));
}

void TestImportOps::noFileSelected_fillsGaugeAndCompletes_data()
{
    QTest::addColumn<bool>("allPets");
    QTest::addColumn<int>("pet");
    QTest::newRow("current pet") << false << 0;
    QTest::newRow("other pet") << false << 2;
    QTest::newRow("all pets") << true << -1;
}

void TestImportOps::noFileSelected_fillsGaugeAndCompletes()
{
    QFETCH(bool, allPets);
    QFETCH(int, pet);
    const auto before = hostfolder::snapshot(program());
    const ImportResult r = allPets ? ImportToAllPets(tc_->ctx, source(), {}) : ImportToPet(tc_->ctx, pet, source(), {});
    QCOMPARE(r, ImportResult::Done);
    QCOMPARE(hostfolder::snapshot(program()), before);
    QCOMPARE(tc_->view.gauge, 100);
    QCOMPARE(messages_->texts(), QStringList{importops::kMsgDone});
}

void TestImportOps::failedCopy_keepsOldSnackAndGoesOn()
{
    hostfolder::write(stored(1), QStringLiteral("gone.pac"), "old gone");
    // "gone.pac" was listed but has left the source folder since.
    QCOMPARE(ImportToPet(tc_->ctx, 1, source(), {QStringLiteral("gone.pac"), QStringLiteral("a.pac")}),
             ImportResult::Done);
    QCOMPARE(messages_->texts(),
             (QStringList{QStringLiteral("gone.pac はすでに存在します。上書きしますか？"), texts::kMsgFileError,
                          importops::kMsgDone}));
    QCOMPARE(hostfolder::read(stored(1) + QStringLiteral("/gone.pac")), QByteArray("old gone"));
    QCOMPARE(hostfolder::read(stored(1) + QStringLiteral("/a.pac")), QByteArray("new a"));
}

QTEST_GUILESS_MAIN(TestImportOps)
#include "test_importops.moc"
