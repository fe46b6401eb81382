// Kennel's first starts in a host folder, end to end: a first run with the host's pet, one with
// none (then the host is started, changes a file and is closed; the next start stores the
// change), a version 1.0 installation upgraded; and the starts it refuses, saying why (the
// path and the reason below the text; the log has it all) and changing no file.
#include "app/Startup.h"
#include "ports/Causes.h"
#include "storage/HostLayout.h"
#include "tests/e2e/E2eSession.h"
#include "tests/support/HostFolder.h"

#include <QtTest>

#include <cerrno>

class TestE2EStart : public E2eTest {
    Q_OBJECT

private slots:
    // The host holds a pet: sharing settings, registration with Japanese names (an empty
    // owner refused first), folder 1 and the template filled, Kennel.ini written.
    void firstRun_petInHost_registered()
    {
        const QString host = s.newHost(QStringLiteral("withpet"), QStringLiteral("mike"));
        const auto before = s.itemData(host);
        QProcess& kennel = s.startKennel(host);
        // Snacks and toys shared: Tab moves from one pair to the next, onto "する".
        QVERIFY(s.keys(kConfig, "space Tab Tab Tab space Return"));
        const QString initialize = QStringLiteral("Kennel 2001 - 新規登録");
        QVERIFY(s.keys(initialize, "'ミケ' Return") && s.reply("Kennel 2001 | critical | 名前を入力してください。"));
        QVERIFY(s.keys(initialize, "Tab '山田 太郎' Return") && s.waitIdle());

        PetTable expected = s.table({{"ミケ", "山田 太郎"}});
        expected.Oyatsu = expected.Toys = true;
        QCOMPARE(s.ini(host), s.ini(expected));
        QCOMPARE(s.itemData(s.pet(host, 0)), before);
        QCOMPARE(s.itemData(host + QStringLiteral("/Default")), before);
        QCOMPARE(s.quit(kennel), 0);
    }

    // No pet in the host. The new pet dialog cancelled leaves no Kennel.ini: the next start is
    // a first run again. There a new pet is registered and the host started at once, Kennel
    // hides; the host writes its settings and is closed, Kennel ends without storing; the next
    // start stores the host's data into the pet's folder. (Ctrl+P and the end with the host
    // are the Wine journey's.)
    void firstRun_noPet_hostRunsAndNextStartStores()
    {
        hostfolder::makeHost(s.path(QStringLiteral("nopet")), QStringLiteral("tama"), false);
        const QString host = s.newHost(QStringLiteral("nopet"));
        const QString pet = s.pet(host, 0);
        const QString newPet = QStringLiteral("Kennel 2001 - 新規ペット登録");
        QProcess& cancelled = s.startKennel(host);
        QVERIFY(s.keys(kConfig, "Return"));
        QVERIFY(s.keys(newPet, "Escape") && s.waitIdle());
        QVERIFY(!hostfolder::exists(host + QStringLiteral("/Kennel.ini")));
        QVERIFY(s.keys(kMain, "Alt+f x")); // ﾌｧｲﾙ(&F), 閉じる(&X)
        QCOMPARE(s.waitEnd(cancelled), 0);

        QProcess& kennel = s.startKennel(host);
        QVERIFY(s.keys(kConfig, "Return"));
        QVERIFY(s.keys(newPet, "'タマ' Tab '花子' Return"));
        QVERIFY(s.waitWindow(kHost));
        QVERIFY(s.waitNoWindow(kMain)); // hidden while the host runs
        QCOMPARE(s.ini(host), s.ini(s.table({{"タマ", "花子"}})));
        QTRY_VERIFY(hostfolder::exists(host + QLatin1Char('/') + items::kSettings));
        QVERIFY(s.closeWindow(kHost));
        QCOMPARE(s.waitEnd(kennel), 0);
        QVERIFY(!hostfolder::exists(pet + QLatin1Char('/') + items::kInbox)); // nothing stored when the host ends

        QProcess& again = s.startKennel(host);
        QVERIFY(s.waitIdle());
        QVERIFY(s.waitNoWindow(kHost, 0)); // idle, not launching anything
        QCOMPARE(s.itemData(pet), s.itemData(host));
        QVERIFY(hostfolder::exists(pet + QLatin1Char('/') + items::kSettings)); // made by the host
        QCOMPARE(s.quit(again), 0);
    }

    // Mailboxes 1 and 2 hold data, 2 was used last and is in the host's places; mailbox 3 has
    // files but no settings, so it counts as unused. Closing the dialog ends the program with
    // nothing changed; then names typed, two refused, and the conversion done.
    void version1Installation_upgraded()
    {
        const QString host = s.newHost(QStringLiteral("upgrade"), QStringLiteral("B"));
        const QString old = host + QStringLiteral("/ユーザー ");
        for (int k = 1; k <= 3; ++k)
            hostfolder::makePet(old + QString::number(k), QStringLiteral("ABC").mid(k - 1, 1), true, k != 3);
        hostfolder::write(host, QStringLiteral("Kennel.ini"), "LastUser = 1\r\n");
        const auto before = hostfolder::snapshot(host);
        const auto mailbox1 = s.itemData(old + QLatin1Char('1'));
        const auto live = s.itemData(host);

        const QString convert = QStringLiteral("Kennel 2001 - 設定更新");
        QProcess& closed = s.startKennel(host);
        QVERIFY(s.waitWindow(convert));
        QVERIFY(s.closeWindow(convert));
        QCOMPARE(s.waitEnd(closed), 0);
        QCOMPARE(hostfolder::snapshot(host), before);

        // The next start offers it again. An empty owner, then a pet name used twice, are
        // refused; Return presses "O K" from any box.
        QProcess& kennel = s.startKennel(host);
        QVERIFY(s.keys(convert, "'ミケ' Tab '山田 太郎' Tab 'ミケ' Tab Return"));
        QVERIFY(s.reply("Kennel 2001 | critical | 名前を入力してください。"));
        QVERIFY(s.keys(convert, "'花子' Return"));
        QVERIFY(s.reply("Kennel 2001 | critical | 同名のペットを複数登録できません。"));
        QCOMPARE(hostfolder::snapshot(host), before);
        QVERIFY(s.keys(convert, "Shift+Tab Ctrl+a 'タマ' Return"));
        QVERIFY(s.keys(kConfig, "Return")); // sharing settings, nothing shared
        QVERIFY(s.reply("Kennel 2001 | information | Ver.2.0への更新が完了しました。"));
        QVERIFY(s.waitIdle());

        // Mailbox k is pet folder k, the unused mailbox is gone, the last used one is current
        // and was stored at the start; the template holds the host's data.
        QCOMPARE(s.ini(host), s.ini(s.table({{"ミケ", "山田 太郎"}, {"タマ", "花子"}}, 1)));
        QCOMPARE(s.itemData(s.pet(host, 0)), mailbox1);
        QCOMPARE(s.itemData(s.pet(host, 1)), live);
        QCOMPARE(s.itemData(host + QStringLiteral("/Default")), live);
        for (int k = 1; k <= 3; ++k)
            QVERIFY(!hostfolder::exists(old + QString::number(k)));

        // Up in the pet selector switches to the first pet: mailbox 1's data comes back.
        QVERIFY(s.keys(kMain, "Up") && s.waitIdle());
        QCOMPARE(s.itemData(host), mailbox1);
        QCOMPARE(s.quit(kennel), 0);
    }

    // A second copy (also one started in another session; the first then comes to the front),
    // the host's window open, a folder without the host, a damaged Kennel.ini: the message, OK,
    // the end, no file changed.
    void refused_toldAndNothingChanged_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("cause"); // the lines below the message (%1: the host folder)
        const QString running = QStringLiteral("exclamation | Kennel 2001 はすでに起動中です。");
        QTest::newRow("second copy") << running << QString();
        QTest::newRow("second copy, another session") << running << QString();
        QTest::newRow("host open") << "exclamation | Mew Mail 2001 がすでに起動中です。一度終了してください。"
                                   << QString();
        QTest::newRow("not a host folder")
            << "critical | フォルダが違います。" << causes::line("%1/Mewmail20.exe", ENOENT) + "\n" + kMsgUseSetup;
        QTest::newRow("damaged Kennel.ini") << "critical | INIファイルエラーが発生しました。強制終了します。"
                                            << "%1/Kennel.ini（内容を読み取れません）";
    }
    void refused_toldAndNothingChanged()
    {
        QFETCH(QString, message);
        QFETCH(QString, cause);
        const QString situation = QString::fromLatin1(QTest::currentDataTag());
        const QString host = s.newHost(situation, QStringLiteral("mike"), s.table({{"ミケ", "太郎"}}));
        QProcess* first = nullptr;
        if (situation.startsWith(QLatin1String("second copy"))) {
            first = &s.startKennel(host);
            QVERIFY(s.waitIdle());
        } else if (situation == QLatin1String("host open")) {
            s.startProgram({host + QStringLiteral("/Mewmail20.exe")});
            QVERIFY(s.waitWindow(kHost));
        } else if (situation == QLatin1String("not a host folder")) {
            QVERIFY(QFile::remove(host + QStringLiteral("/Mewmail20.exe")));
        } else {
            hostfolder::write(host, QStringLiteral("Kennel.ini"),
                              "Version = 2.0\r\nCurrentUser = 0\r\nMaxUser = 0\r\nMaster 0 = m\r\nPet 0 = p\r\n");
        }
        const auto before = hostfolder::snapshot(host);

        // Another session: another user's or session's runtime folder instead of the session's own.
        const QString runtime = s.path(situation.endsWith(QLatin1String("another session")) ? "run2" : "run");
        QProcess& kennel = s.startKennel(host, {}, {{QStringLiteral("XDG_RUNTIME_DIR"), runtime}});
        QVERIFY(s.reply("Kennel 2001 | " + message)); // the box stays until answered
        QCOMPARE(s.waitEnd(kennel), 0);
        QCOMPARE(hostfolder::snapshot(host), before);
        // The log holds the message and the lines below it, indented.
        QString logged = (message.section(QStringLiteral(" | "), 1) + QLatin1Char('\n') + cause).trimmed();
        logged.replace(QStringLiteral("%1"), host).replace(QStringLiteral("\n"), QStringLiteral("\n    "));
        QVERIFY(hostfolder::read(s.path(QStringLiteral("state/kennel/kennel.log"))).contains(logged.toUtf8()));
        if (first) { // the first copy goes on undisturbed, and comes to the front
            QVERIFY(s.waitFocus(kMain));
            QCOMPARE(s.quit(*first), 0);
        }
    }
};

QTEST_MAIN(TestE2EStart)
#include "test_e2e_start.moc"
