// Start-up recovery on journals the crash harness cannot produce: one whose work cannot be
// finished, and junk or foreign ones. Kills at every file-system step of each operation are
// the crash harness's (tests/crash).
#include "shell/FaultPoint.h"
#include "app/Startup.h"
#include "tests/support/HostTest.h"

#include <QtTest>

using hostfolder::snapshot;

class TestRecovery : public HostTest {
    Q_OBJECT

    // Pets "ペット0".."ペット2" in folders 1..3, pet 0 current; the host has changed its data.
    void setUp()
    {
        newHost();
        addPets(3, 0);
        session().setRegistryLoaded(true);
        const QStringList tags = {"A", "B", "C"};
        for (int i = 0; i < 3; ++i)
            hostfolder::makeHost(pet(i + 1), tags[i]);
        hostfolder::makeHost(host(), QStringLiteral("A2"));
        QVERIFY(session().WriteRegistry(none()));
    }

private slots:
    void cleanup() { fault::setHandler(nullptr); }

    // The interrupted deletion cannot rename: start-up ends before anything is stored.
    void recoveryThatCannotFinishEndsStartUp()
    {
        setUp();
        const QString trash = host() + QStringLiteral("/.kennel-deleted");
        QVERIFY(session().journal().write(journal::Delete{0, 2, petName(0), trash}));
        const auto before = snapshot(host());
        fault::setHandler([](const char* what, const QString&) {
            return qstrcmp(what, "rename") == 0 ? fault::Action::Fail : fault::Action::Proceed;
        });
        tc = std::make_unique<TestContext>(host());
        QuietStartupWindow window;
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, StartupCheck(session(), window));
        QCOMPARE(tc->messages.texts().last(), kMsgRecoveryFailed);
        QCOMPARE(snapshot(host()), before);
    }

    // A deletion's trash that no journal names any more goes whole.
    void leftoverTrashGoes()
    {
        setUp();
        hostfolder::write(host(), QStringLiteral(".kennel-deleted-2/受信フォルダ/sub/old.mwm"), "old");
        QVERIFY(session().recoverInterruptedWork());
        QVERIFY(!hostfolder::exists(host() + QStringLiteral("/.kennel-deleted-2")));
    }

    // A journal that names no operation, folders not Kennel's own, or pets Kennel.ini does
    // not list changes nothing.
    void junkJournalChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("junk");
        QTest::newRow("no operation") << QByteArray("garbage");
        QTest::newRow("trash outside") << QByteArray("op=delete\npet=0\nmax=2\ntrash=/etc\n");
        QTest::newRow("renames outside") << QByteArray("op=upgrade\nfrom0=/etc\nto0=/tmp/x\n");
        QTest::newRow("unlisted pet") << QByteArray("op=switch\npet=7\nname=x\n");
        QTest::newRow("negative pet") << QByteArray("op=restore\npet=-3\n");
    }

    void junkJournalChangesNothing()
    {
        QFETCH(QByteArray, junk);
        setUp();
        hostfolder::write(host(), QStringLiteral("Kennel.journal"), junk);
        const auto start = snapshot(host());
        QVERIFY(session().recoverInterruptedWork());
        auto now = snapshot(host());
        now.insert(QStringLiteral("Kennel.journal"), junk);
        QCOMPARE(now, start);
    }
};

QTEST_GUILESS_MAIN(TestRecovery)
#include "test_recovery.moc"
