// A version 1.0 installation upgraded by the real kennel, end to end: the dialog closed first
// (the program ends, nothing changed), then names typed, two refused, and the conversion done.
#include "storage/HostLayout.h"
#include "tests/e2e/E2eSession.h"
#include "tests/support/HostFolder.h"

#include <QtTest>

namespace {
const QString kConvert = QStringLiteral("Kennel 2001 - 設定更新");
} // namespace

class TestE2EUpgrade : public E2eTest {
    Q_OBJECT

private slots:
    void version1Installation_upgraded()
    {
        // Mailboxes 1 and 2 hold data, 2 was used last and is in the host's places; mailbox 3
        // has files but no settings, so it counts as unused.
        const QString host = s.newHost(QStringLiteral("upgrade"), QStringLiteral("B"));
        const QString old = host + QStringLiteral("/ユーザー ");
        hostfolder::makeHost(old + QLatin1Char('1'), QStringLiteral("A"));
        hostfolder::makeHost(old + QLatin1Char('2'), QStringLiteral("B"));
        hostfolder::makeHost(old + QLatin1Char('3'), QStringLiteral("C"), false);
        for (const char n : {'1', '2', '3'})
            QFile::remove(old + QLatin1Char(n) + QStringLiteral("/Mewmail20.exe"));
        hostfolder::write(host, QStringLiteral("Kennel.ini"), "LastUser = 1\r\n");
        const auto before = hostfolder::snapshot(host);
        const auto mailbox1 = E2eSession::itemData(old + QLatin1Char('1'));
        const auto live = E2eSession::itemData(host);

        // Closing the dialog ends the program without a change.
        QProcess& closed = s.startKennel(host);
        QVERIFY(s.waitWindow(kConvert));
        QVERIFY(s.closeWindow(kConvert));
        QCOMPARE(s.waitEnd(closed), 0);
        QCOMPARE(hostfolder::snapshot(host), before);

        // The next start offers it again. An empty owner, then a pet name used twice, are
        // refused; Return presses "O K" from any box.
        QProcess& kennel = s.startKennel(host);
        QVERIFY(s.waitWindow(kConvert));
        QVERIFY(s.type(kConvert, QStringLiteral("ミケ")));
        QVERIFY(s.keys(kConvert, "Tab"));
        QVERIFY(s.type(kConvert, QStringLiteral("山田 太郎")));
        QVERIFY(s.keys(kConvert, "Tab"));
        QVERIFY(s.type(kConvert, QStringLiteral("ミケ")));
        QVERIFY(s.keys(kConvert, "Tab Return"));
        QCOMPARE(s.nextMessage(), QStringLiteral("Kennel 2001 | critical | 名前を入力してください。"));
        QVERIFY(s.answer("Return"));
        QVERIFY(s.type(kConvert, QStringLiteral("花子")));
        QVERIFY(s.keys(kConvert, "Return"));
        QCOMPARE(s.nextMessage(), QStringLiteral("Kennel 2001 | critical | 同名のペットを複数登録できません。"));
        QVERIFY(s.answer("Return"));
        QCOMPARE(hostfolder::snapshot(host), before);
        QVERIFY(s.keys(kConvert, "Shift+Tab Ctrl+a"));
        QVERIFY(s.type(kConvert, QStringLiteral("タマ")));
        QVERIFY(s.keys(kConvert, "Return"));
        QVERIFY(s.waitWindow(kConfig)); // sharing settings, nothing shared
        QVERIFY(s.keys(kConfig, "Return"));
        QCOMPARE(s.nextMessage(), QStringLiteral("Kennel 2001 | information | Ver.2.0への更新が完了しました。"));
        QVERIFY(s.answer("Return"));
        QVERIFY(s.waitIdle());

        // Mailbox k is pet folder k, the unused mailbox is gone, the last used one is current
        // and was stored at the start; the template holds the host's data.
        const RegistryContent r = E2eSession::registry(host);
        QCOMPARE(r.kind, RegistryContent::Kind::Version2);
        QCOMPARE((QStringList{r.table.Pet[0], r.table.Master[0], r.table.Pet[1], r.table.Master[1]}),
                 (QStringList{QStringLiteral("ミケ"), QStringLiteral("山田 太郎"), QStringLiteral("タマ"),
                              QStringLiteral("花子")}));
        QCOMPARE(std::pair(r.table.CurrentUser, r.table.MaxUser), std::pair(1, 1));
        QCOMPARE((QList<bool>{r.table.Oyatsu, r.table.Treasures, r.table.Friends, r.table.Toys, r.table.Mails}),
                 (QList<bool>(5, false)));
        QCOMPARE(E2eSession::itemData(host + QStringLiteral("/ユーザー1")), mailbox1);
        QCOMPARE(E2eSession::itemData(host + QStringLiteral("/ユーザー2")), live);
        QCOMPARE(E2eSession::itemData(host + QStringLiteral("/Default")), live);
        for (const char n : {'1', '2', '3'})
            QVERIFY(!hostfolder::exists(old + QLatin1Char(n)));
        QCOMPARE(s.nextMessage(0), QString());

        // Up in the pet selector switches to the first pet: mailbox 1's data comes back.
        QVERIFY(s.keys(kMain, "Up"));
        QVERIFY(s.waitIdle());
        QCOMPARE(E2eSession::itemData(host), mailbox1);
        QVERIFY(s.keys(kMain, "Ctrl+q"));
        QCOMPARE(s.waitEnd(kennel), 0);
    }
};

QTEST_MAIN(TestE2EUpgrade)
#include "test_e2e_upgrade.moc"
