// First runs of the real kennel, end to end: with the host's pet, and with none (then the
// host is started, changes a file and is closed; the next start stores the change).
#include "storage/HostLayout.h"
#include "tests/e2e/E2eSession.h"
#include "tests/support/HostFolder.h"

#include <QtTest>

namespace {
const QString kInitialize = QStringLiteral("Kennel 2001 - 新規登録");
const QString kNewPet = QStringLiteral("Kennel 2001 - 新規ペット登録");
const QString kHost = QStringLiteral("Mewmail for Windows ver. 2.0");
} // namespace

class TestE2EFirstRun : public E2eTest {
    Q_OBJECT

private slots:
    // The host holds a pet: sharing settings, registration with Japanese names (an empty
    // owner refused first), folder 1 and the template filled, Kennel.ini written.
    void firstRun_petInHost_registered()
    {
        const QString host = s.newHost(QStringLiteral("withpet"), QStringLiteral("mike"));
        const auto before = E2eSession::itemData(host);
        QProcess& kennel = s.startKennel(host);

        // Snacks and toys shared: Tab moves from one pair to the next, onto "する".
        QVERIFY(s.waitWindow(kConfig));
        QVERIFY(s.keys(kConfig, "space Tab Tab Tab space Return"));

        QVERIFY(s.waitWindow(kInitialize));
        QVERIFY(s.type(kInitialize, QStringLiteral("ミケ")));
        QVERIFY(s.keys(kInitialize, "Return"));
        QCOMPARE(s.nextMessage(), QStringLiteral("Kennel 2001 | critical | 名前を入力してください。"));
        QVERIFY(s.answer("Return"));
        QVERIFY(s.keys(kInitialize, "Tab"));
        QVERIFY(s.type(kInitialize, QStringLiteral("山田 太郎")));
        QVERIFY(s.keys(kInitialize, "Return"));
        QVERIFY(s.waitIdle());

        const RegistryContent r = E2eSession::registry(host);
        QCOMPARE(r.kind, RegistryContent::Kind::Version2);
        QCOMPARE(r.table.Pet[0], QStringLiteral("ミケ"));
        QCOMPARE(r.table.Master[0], QStringLiteral("山田 太郎"));
        QCOMPARE(std::pair(r.table.CurrentUser, r.table.MaxUser), std::pair(0, 0));
        QCOMPARE((QList<bool>{r.table.Oyatsu, r.table.Treasures, r.table.Friends, r.table.Toys, r.table.Mails}),
                 (QList<bool>{true, false, false, true, false}));
        QCOMPARE(E2eSession::itemData(host + QStringLiteral("/ユーザー1")), before);
        QCOMPARE(E2eSession::itemData(host + QStringLiteral("/Default")), before);

        QVERIFY(s.keys(kMain, "Ctrl+q"));
        QCOMPARE(s.waitEnd(kennel), 0);
        QCOMPARE(s.messages().size(), 1); // the empty owner's
    }

    // No pet in the host. The new pet dialog cancelled leaves no Kennel.ini: the next start is
    // a first run again. There a new pet is registered and the host started at once, Kennel
    // hides; the host receives a mail and is closed, Kennel ends without storing; the next
    // start stores the host's data, the new mail included, into the pet's folder, and Ctrl+P
    // starts the host again.
    void firstRun_noPet_hostRunsAndNextStartStores()
    {
        hostfolder::makeHost(s.path(QStringLiteral("nopet")), QStringLiteral("tama"), false);
        const QString host = s.newHost(QStringLiteral("nopet"));
        const QString pet = host + QStringLiteral("/ユーザー1");
        const QString inbox = QStringLiteral("/") + items::kInbox;
        const qsizetype shown = s.messages().size();
        QProcess& cancelled = s.startKennel(host);
        QVERIFY(s.waitWindow(kConfig));
        QVERIFY(s.keys(kConfig, "Return"));
        QVERIFY(s.waitWindow(kNewPet));
        QVERIFY(s.keys(kNewPet, "Escape"));
        QVERIFY(s.waitIdle());
        QVERIFY(!hostfolder::exists(host + QStringLiteral("/Kennel.ini")));
        QVERIFY(s.keys(kMain, "Alt+f x"));
        QCOMPARE(s.waitEnd(cancelled), 0);

        QProcess& kennel = s.startKennel(host);
        QVERIFY(s.waitWindow(kConfig));
        QVERIFY(s.keys(kConfig, "Return"));
        QVERIFY(s.waitWindow(kNewPet));
        QVERIFY(s.type(kNewPet, QStringLiteral("タマ")));
        QVERIFY(s.keys(kNewPet, "Tab"));
        QVERIFY(s.type(kNewPet, QStringLiteral("花子")));
        QVERIFY(s.keys(kNewPet, "Return"));
        QVERIFY(s.waitWindow(kHost));
        QVERIFY(s.waitNoWindow(kMain)); // hidden while the host runs
        const RegistryContent r = E2eSession::registry(host);
        QCOMPARE(r.kind, RegistryContent::Kind::Version2);
        QCOMPARE(std::pair(r.table.Pet[0], r.table.Master[0]),
                 std::pair(QStringLiteral("タマ"), QStringLiteral("花子")));
        QCOMPARE(std::pair(r.table.CurrentUser, r.table.MaxUser), std::pair(0, 0));

        // A host that has only just mapped its window may miss the first keys on a busy machine.
        const QString receiving = QStringLiteral("メールを受信中");
        const auto mails = [&] { return QDir(host + inbox).entryList(QDir::Files).size(); };
        for (int i = 0; i < 5 && !s.waitWindow(receiving, 0) && mails() == 1; ++i) {
            QVERIFY(s.keys(kHost, "Alt+f m"));
            s.waitWindow(receiving, 3000);
        }
        QVERIFY(s.waitNoWindow(receiving));
        QTRY_VERIFY(mails() > 1);
        QVERIFY(s.closeWindow(kHost));
        QCOMPARE(s.waitEnd(kennel), 0);
        QVERIFY(!hostfolder::exists(pet + inbox)); // nothing stored when the host ends

        QProcess& again = s.startKennel(host);
        QVERIFY(s.waitIdle());
        QVERIFY(s.waitNoWindow(kHost, 0)); // idle, not launching anything
        QCOMPARE(E2eSession::itemData(pet), E2eSession::itemData(host));
        QCOMPARE(QDir(pet + inbox).entryList(QDir::Files).size(), mails());
        QVERIFY(hostfolder::exists(pet + QLatin1Char('/') + items::kSettings)); // made by the host

        // The launch command of the main window starts the host for the stored pet.
        QVERIFY(s.keys(kMain, "Ctrl+p"));
        QVERIFY(s.waitWindow(kHost));
        QVERIFY(s.waitNoWindow(kMain));
        QVERIFY(s.closeWindow(kHost));
        QCOMPARE(s.waitEnd(again), 0);
        QCOMPARE(s.messages().mid(shown), QStringList()); // no message on the whole way
    }
};

QTEST_MAIN(TestE2EFirstRun)
#include "test_e2e_firstrun.moc"
