// The host as users run it: a Windows program under real Wine, its folder inside a Wine prefix
// that nothing names (WINEPREFIX unset). Ctrl+P starts it and Kennel ends with it; the
// bring-home command, from the tray icon's menu (trayer) or from the TaskTray window where no
// tray runs, moves only the date the host sees; with no Wine, Kennel says so and stays.
#include "platform/HostClock.h"
#include "platform/HostCommand.h"
#include "tests/e2e/E2eSession.h"
#include "tests/support/HostFolder.h"
#include "ui/main/HostLaunch.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>

#include <ctime>
#include <unistd.h>

namespace {
const QString kHost = QStringLiteral("Mewmail for Windows ver. 2.0");
const QString kTaskTray = QStringLiteral("Kennel 2001 - TaskTray");
const QString kTrayMenu = QStringLiteral("ﾀｽｸﾄﾚｲﾒﾆｭｰ");
const QString kInbox = QStringLiteral("/受信フォルダ");

// How far the machine's clock stands from its monotonic clock, in seconds: a moved clock moves it.
qint64 clockSkew()
{
    timespec real{};
    timespec mono{};
    clock_gettime(CLOCK_REALTIME, &real);
    clock_gettime(CLOCK_MONOTONIC, &mono);
    return qint64(real.tv_sec - mono.tv_sec);
}
} // namespace

class TestE2EWine : public E2eTest {
    Q_OBJECT
    QString prefix_;
    QElapsedTimer journey_;

    // The Wine prefix of this run, made at the first call; empty (after QSKIP) without Wine.
    QString prefix()
    {
        if (!prefix_.isEmpty())
            return prefix_;
        if (QStandardPaths::findExecutable(QStringLiteral("wine")).isEmpty() ||
            !QFileInfo::exists(qEnvironmentVariable("KENNEL_WIN_HOST")) || HostClock::findFakeTimeLibrary().isEmpty())
            return {};
        QProcess boot;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("WINEPREFIX"), s.path(QStringLiteral("wine")));
        boot.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        boot.start(QStringLiteral("wineboot"), {QStringLiteral("-i")});
        if (!boot.waitForFinished(180000) || boot.exitCode() != 0)
            return {};
        qInfo("Wine prefix made in %.1f s", double(t.elapsed()) / 1000);
        return prefix_ = s.path(QStringLiteral("wine"));
    }

    void wineserver(const char* option)
    {
        QProcess server;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("WINEPREFIX"), prefix_);
        server.setProcessEnvironment(env);
        server.start(QStringLiteral("wineserver"), {QLatin1String(option)});
        server.waitForFinished();
    }

    // A host folder inside the prefix: the Windows stand-in, one pet registered and current,
    // out with a mail until the given day. No Wine process runs: the host starts as on a
    // desktop where Wine has not run yet (its server then starts with the host's date).
    QString newWineHost(const QString& name, const QDate& outUntil = {})
    {
        wineserver("-k");
        const QString host = s.newHost(QStringLiteral("wine/drive_c/") + name, QStringLiteral("mike"));
        QFile::remove(host + QStringLiteral("/Mewmail20.exe"));
        QFile::copy(qEnvironmentVariable("KENNEL_WIN_HOST"), host + QStringLiteral("/Mewmail20.exe"));
        hostfolder::write(host, QStringLiteral("Mewmail設定.mwc"),
                          "[Mewmail 2.0]\n名前=ミケ\n誕生=2001-04-01T09:00:00\n満腹度=50\n受信数=0\nおでかけ=" +
                              outUntil.toString(Qt::ISODate).toUtf8() + '\n');
        PetTable table;
        table.Pet[0] = QStringLiteral("ミケ");
        table.Master[0] = QStringLiteral("太郎");
        table.MaxUser = table.CurrentUser = 0;
        hostfolder::write(host, QStringLiteral("Kennel.ini"), formatRegistry(table).value());
        return host;
    }

    // The date line of the newest mail with this stem in the host's inbox, once one more than
    // `before` has arrived.
    QDate newMail(const QString& host, const QString& stem, qsizetype before)
    {
        QStringList mails;
        const auto arrived = [&] {
            mails = QDir(host + kInbox).entryList({stem + QLatin1Char('*')}, QDir::Files, QDir::Time);
            return mails.size() > before;
        };
        if (!QTest::qWaitFor(arrived, 60000))
            return {};
        const QString text = QString::fromUtf8(hostfolder::read(host + kInbox + QLatin1Char('/') + mails.first()));
        return QDate::fromString(QRegularExpression(QStringLiteral("日付: (\\S+)")).match(text).captured(1),
                                 QStringLiteral("yyyy/MM/dd"));
    }

    // Alt+F, M to the host until a letter arrives (a window that has only just mapped may miss
    // keys on a busy machine): the date the host saw.
    QDate receive(const QString& host)
    {
        const auto count = [&] { return QDir(host + kInbox).entryList({"mail_*"}, QDir::Files).size(); };
        const qsizetype before = count();
        for (int i = 0; i < 5 && count() == before; ++i) {
            if (s.keys(kHost, "Alt+f"))
                QTest::qWait(300); // Wine opens the menu in its own time
            s.keys(kHost, "m");
            (void)QTest::qWaitFor([&] { return count() > before; }, 5000);
        }
        return newMail(host, QStringLiteral("mail_"), before);
    }

    // Ctrl+P in the idle main window: true once the host's window shows.
    bool launch()
    {
        QElapsedTimer t;
        t.start();
        if (!s.keys(kMain, "Ctrl+p") || !s.waitWindow(kHost, 60000))
            return false;
        qInfo("Ctrl+P to the Wine host's window: %.2f s", double(t.elapsed()) / 1000);
        return s.waitNoWindow(kMain);
    }

private slots:
    void init()
    {
        qunsetenv("WINEPREFIX");
        qunsetenv("WINE");
        qputenv("WINEDEBUG", "-all");
        journey_.start();
    }
    void cleanup()
    {
        s.endAll();
        if (QTest::currentTestFailed() && !prefix_.isEmpty())
            wineserver("-k"); // a host left running would refuse the next journey's Kennel
        qInfo("journey took %.1f s", double(journey_.elapsed()) / 1000);
    }
    void cleanupTestCase()
    {
        if (!prefix_.isEmpty())
            wineserver("-k"); // Wine's own processes end before the prefix goes
    }

    // Ctrl+P starts the Windows host, which receives a mail and is closed: Kennel ends with
    // it. The host's window keeps a second Kennel from starting; the next start stores the mail.
    void ctrlP_windowsHost_mailStoredAtNextStart()
    {
        if (prefix().isEmpty())
            QSKIP("needs wine, libfaketime and the Windows stand-in (g++-mingw-w64-x86-64)");
        const QString host = newWineHost(QStringLiteral("ctrlp"));
        const qsizetype shown = s.messages().size();
        QProcess& kennel = s.startKennel(host);
        QVERIFY(s.waitIdle(60000));
        QVERIFY(launch());
        QCOMPARE(receive(host), QDate::currentDate());
        QVERIFY(s.keys(kHost, "Alt+f"));
        QTest::qWait(300);
        QVERIFY(s.keys(kHost, "x"));
        QCOMPARE(s.waitEnd(kennel, 60000), 0);
        QVERIFY(!hostfolder::exists(host + QStringLiteral("/ユーザー1") + kInbox + QStringLiteral("/mail_")));

        QProcess byHand;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("WINEPREFIX"), prefix());
        byHand.setProcessEnvironment(env);
        byHand.start(QStringLiteral("wine"), {host + QStringLiteral("/Mewmail20.exe")});
        QVERIFY(s.waitWindow(kHost, 60000));
        QProcess& refused = s.startKennel(host);
        QCOMPARE(s.nextMessage(60000),
                 QStringLiteral("Kennel 2001 | exclamation | Mew Mail 2001 がすでに起動中です。一度終了してください。"));
        QVERIFY(s.answer("Return"));
        QCOMPARE(s.waitEnd(refused), 0);
        QVERIFY(s.keys(kHost, "Alt+f"));
        QTest::qWait(300);
        QVERIFY(s.keys(kHost, "x"));
        QVERIFY(byHand.waitForFinished(60000));

        QProcess& again = s.startKennel(host);
        QVERIFY(s.waitIdle(60000));
        QCOMPARE(E2eSession::itemData(host + QStringLiteral("/ユーザー1")), E2eSession::itemData(host));
        QVERIFY(s.keys(kMain, "Ctrl+q"));
        QCOMPARE(s.waitEnd(again), 0);
        QCOMPARE(s.messages().size() - shown, 1); // the refusal
    }

    // The pet is out until tomorrow. Kennel runs without the right to set the clock; the
    // command brings the pet home: the host saw tomorrow, then sees today again, and the
    // machine's clock never moved.
    void bringHome_onlyTheHostsDateMoves_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::newRow("tray icon's menu") << true;
        QTest::newRow("TaskTray window, no tray") << false;
    }
    void bringHome_onlyTheHostsDateMoves()
    {
        QFETCH(bool, tray);
        if (prefix().isEmpty())
            QSKIP("needs wine, libfaketime and the Windows stand-in (g++-mingw-w64-x86-64)");
        if (tray && QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
            QSKIP("needs trayer");
        QProcess trayer;
        if (tray) {
            trayer.start(QStringLiteral("trayer"), {"--edge", "bottom", "--align", "right", "--widthtype", "request",
                                                    "--height", "32"});
            QVERIFY(s.waitWindow(QStringLiteral("panel")));
        }
        const QDate today = QDate::currentDate();
        const QString host = newWineHost(QString::fromLatin1(QTest::currentDataTag()).left(4), today.addDays(1));
        const qint64 skew = clockSkew();
        const QStringList unprivileged = {"setpriv", "--bounding-set", "-sys_time", "--inh-caps", "-sys_time"};
        const qsizetype shown = s.messages().size();
        QProcess& kennel = s.startKennel(host, ::geteuid() == 0 ? unprivileged : QStringList());
        QVERIFY(s.waitIdle(60000));
        QVERIFY(launch());

        if (tray) {
            // The icon is embedded in trayer's panel; a right click there opens the menu.
            for (int i = 0; i < 5 && !s.waitWindow(kTrayMenu, 0); ++i) {
                QVERIFY(s.click(QStringLiteral("panel"), 0.5, 0.5, 3));
                s.waitWindow(kTrayMenu, 3000);
            }
            QVERIFY(s.keys(kTrayMenu, "Down Return"));
        } else {
            QVERIFY(s.waitWindow(kTaskTray));
            QVERIFY(s.closeWindow(kTaskTray)); // only minimised: the command stays reachable
            QVERIFY(s.waitWindow(kTaskTray));
            QVERIFY(s.click(kTaskTray, 0.5, 0.5));
        }
        QCOMPARE(newMail(host, QStringLiteral("home_"), 0), today.addDays(1));
        QTRY_VERIFY(hostfolder::read(host + QStringLiteral("/Mewmail設定.mwc")).contains("おでかけ=\n"));
        // The command puts the host's date back after its wait.
        const QStringList controls =
            QDir(s.path(QStringLiteral("tmp"))).entryList({QStringLiteral("Kennel-*")}, QDir::Dirs);
        QCOMPARE(controls.size(), 1);
        const QString control = s.path(QStringLiteral("tmp/") + controls.first() + QStringLiteral("/faketime"));
        QTRY_COMPARE_WITH_TIMEOUT(hostfolder::read(control), QByteArray("+0\n"), 60000);
        QCOMPARE(receive(host), today);

        QVERIFY(s.keys(kHost, "Alt+f"));
        QTest::qWait(300);
        QVERIFY(s.keys(kHost, "x"));
        QCOMPARE(s.waitEnd(kennel, 60000), 0);
        QVERIFY(!hostfolder::exists(control));
        QVERIFY(qAbs(clockSkew() - skew) < 60);
        QCOMPARE(s.messages().size(), shown);
    }

    // No Wine on PATH: Ctrl+P says what to install, nothing changes, and the main window
    // comes back and answers.
    void noWine_toldAndWindowUsable()
    {
        const QString host = s.newHost(QStringLiteral("nowine"), QStringLiteral("mike"));
        hostfolder::write(host, QStringLiteral("Mewmail20.exe"), "MZ, a Windows program");
        PetTable table;
        table.Pet[0] = QStringLiteral("ミケ");
        table.Master[0] = QStringLiteral("太郎");
        table.MaxUser = table.CurrentUser = 0;
        hostfolder::write(host, QStringLiteral("Kennel.ini"), formatRegistry(table).value());
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(s.path(QStringLiteral("home"))));
        QProcess& kennel = s.startKennel(host);
        qputenv("PATH", path);
        QVERIFY(s.waitIdle());
        const auto before = hostfolder::snapshot(host);
        QVERIFY(s.keys(kMain, "Ctrl+p"));
        QCOMPARE(s.nextMessage(), "Kennel 2001 | critical | " + kMsgHostNotStarted);
        QVERIFY(s.output().contains(hosttexts::kNoWine.toUtf8()));
        QVERIFY(s.answer("Return"));
        QCOMPARE(hostfolder::snapshot(host), before);
        QVERIFY(s.keys(kMain, "Ctrl+q"));
        QCOMPARE(s.waitEnd(kennel), 0);
    }
};

QTEST_MAIN(TestE2EWine)
#include "test_e2e_wine.moc"
