// The host as users run it: a Windows program under real Wine, its folder inside a Wine prefix
// that nothing names (WINEPREFIX unset). Ctrl+P starts it and Kennel ends with it; the
// bring-home command, from the tray icon's menu (trayer) or from the TaskTray window where no
// tray runs, finds the host's Wine window and moves only the date the host sees; with no Wine,
// Kennel says so and stays.
#include "app/HostLaunch.h"
#include "platform/HostClock.h"
#include "platform/HostCommand.h"
#include "tests/e2e/E2eSession.h"

#include <QRegularExpression>
#include <QtTest>

#include <chrono>
#include <unistd.h>

namespace {
// How far the machine's clock stands from its monotonic clock, in seconds: a moved clock moves it.
long long clockSkew()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch() - steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

class TestE2EWine : public E2eTest {
    Q_OBJECT
    const QString prefix_ = s.path(QStringLiteral("wine"));
    bool booted() const { return QFileInfo::exists(prefix_ + QStringLiteral("/system.reg")); }

    // Runs a Wine program in this run's prefix to its end.
    bool wine(const QString& command)
    {
        return s.waitEnd(s.startProgram(command.split(' '), {{QStringLiteral("WINEPREFIX"), prefix_}}), 180000) != -1;
    }

    // A host folder with one pet registered and current, out until tomorrow; inside this run's
    // prefix (made at the first call: wineboot takes about 12 s), with the Windows stand-in
    // and no Wine process running, as on a desktop where Wine has not run yet. Empty without
    // what that needs.
    QString newHost(const QString& name)
    {
        if (QStandardPaths::findExecutable(QStringLiteral("wine")).isEmpty() ||
            !QFileInfo::exists(qEnvironmentVariable("KENNEL_WIN_HOST")) || HostClock::findFakeTimeLibrary().isEmpty() ||
            (!booted() && !wine(QStringLiteral("wineboot -i"))))
            return {};
        wine(QStringLiteral("wineserver -k"));
        const QString host = s.newHost("wine/drive_c/" + name, QStringLiteral("mike"), s.table({{"ミケ", "太郎"}}));
        QFile::remove(host + QStringLiteral("/Mewmail20.exe"));
        QFile::copy(qEnvironmentVariable("KENNEL_WIN_HOST"), host + QStringLiteral("/Mewmail20.exe"));
        hostfolder::write(host, QStringLiteral("Mewmail設定.mwc"),
                          "[Mewmail 2.0]\n名前=ミケ\n誕生=2001-04-01T09:00:00\nおでかけ=" +
                              QDate::currentDate().addDays(1).toString(Qt::ISODate).toUtf8() + '\n');
        return host;
    }

    // Alt+F, then chord, to the host's menu (Wine opens it in its own time).
    bool menu(const QString& chord)
    {
        const bool opened = s.keys(kHost, QStringLiteral("Alt+f"));
        QTest::qWait(300);
        return opened && s.keys(kHost, chord);
    }

    // The date in the newest mail named stem* in the host's inbox, once a new one is there and
    // the host has written it; invalid on timeout. With a chord, the host's menu is sent it
    // until the mail arrives (a window that has only just mapped may miss keys on a busy machine).
    QDate newMail(const QString& host, const QString& stem, const QString& chord = {})
    {
        const QString inbox = host + QStringLiteral("/受信フォルダ/");
        const auto mails = [&] { return QDir(inbox).entryList({stem + '*'}, QDir::Files, QDir::Time); };
        const qsizetype before = chord.isEmpty() ? 0 : mails().size();
        for (int i = 0; i < 5 && !chord.isEmpty() && mails().size() == before; ++i)
            if (menu(chord))
                (void)QTest::qWaitFor([&] { return mails().size() > before; }, 5000);
        QDate date;
        static const QRegularExpression dated(QStringLiteral("日付: (\\S+)"));
        (void)QTest::qWaitFor(
            [&] {
                const QStringList all = mails();
                const QString text = all.size() > before ? hostfolder::read(inbox + all.first()) : "";
                date = QDate::fromString(dated.match(text).captured(1), QStringLiteral("yyyy/MM/dd"));
                return date.isValid();
            },
            60000);
        return date;
    }

private slots:
    void init()
    {
        qunsetenv("WINEPREFIX");
        qunsetenv("WINE");
        qputenv("WINEDEBUG", "-all");
    }
    void cleanupTestCase()
    {
        if (booted()) // Wine's own processes end before the prefix goes
            wine(QStringLiteral("wineserver -k"));
    }

    // The pet is out until tomorrow. Kennel, without the right to set the clock, starts the
    // Windows host with Ctrl+P; the command brings the pet home: the host saw tomorrow, then
    // sees today again, and the machine's clock never moved. The host is closed, Kennel ends
    // with it, and the next start stores what the host received.
    void bringHome_onlyTheHostsDateMoves_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::newRow("tray icon's menu") << true;
        QTest::newRow("TaskTray window, no tray") << false;
    }
    void bringHome_onlyTheHostsDateMoves()
    {
        QFETCH(bool, tray);
        const QDate today = QDate::currentDate();
        const QString host = newHost(tray ? QStringLiteral("tray") : QStringLiteral("notray"));
        if (host.isEmpty() || (tray && QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty()))
            QSKIP("needs wine, libfaketime, trayer and the Windows stand-in (g++-mingw-w64-x86-64)");
        if (tray) {
            s.startProgram({"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request"});
            QVERIFY(s.waitWindow(QStringLiteral("panel")));
        }
        const long long skew = clockSkew();
        const QStringList unprivileged = {"setpriv", "--bounding-set", "-sys_time", "--inh-caps", "-sys_time"};
        QProcess& kennel = s.startKennel(host, ::geteuid() == 0 ? unprivileged : QStringList());
        QVERIFY(s.waitIdle(60000));
        QVERIFY(s.keys(kMain, "Ctrl+p"));
        QVERIFY(s.waitWindow(kHost, 60000));
        QVERIFY(s.waitNoWindow(kMain));

        if (tray) { // a right click on the icon in trayer's panel opens the menu
            const QString menu = QStringLiteral("ﾀｽｸﾄﾚｲﾒﾆｭｰ");
            for (int i = 0; i < 5 && !s.waitWindow(menu, 0); ++i) {
                QVERIFY(s.click(QStringLiteral("panel"), 0.5, 0.5, 3));
                s.waitWindow(menu, 3000);
            }
            QVERIFY(s.keys(menu, "Down Return"));
        } else {
            const QString taskTray = QStringLiteral("Kennel 2001 - TaskTray");
            QVERIFY(s.closeWindow(taskTray)); // only minimised: the command stays reachable
            QVERIFY(s.waitWindow(taskTray));
            QVERIFY(s.click(taskTray, 0.5, 0.5));
        }
        QCOMPARE(newMail(host, QStringLiteral("home_")), today.addDays(1));
        // The command puts the host's date back after its wait.
        const QDir tmp(s.path(QStringLiteral("tmp")));
        const QString control =
            tmp.filePath(tmp.entryList({QStringLiteral("Kennel-*")}, QDir::Dirs, QDir::Time).value(0) + "/faketime");
        QTRY_COMPARE_WITH_TIMEOUT(hostfolder::read(control), QByteArray("+0\n"), 60000);
        QCOMPARE(newMail(host, QStringLiteral("mail_"), QStringLiteral("m")), today);
        QTRY_VERIFY(hostfolder::read(host + QStringLiteral("/Mewmail設定.mwc")).contains("おでかけ=\n"));

        QVERIFY(menu(QStringLiteral("x")));
        QCOMPARE(s.waitEnd(kennel, 60000), 0);
        QVERIFY(!hostfolder::exists(control));
        QVERIFY(qAbs(clockSkew() - skew) < 60);
        QProcess& again = s.startKennel(host);
        QVERIFY(s.waitIdle(60000));
        QCOMPARE(s.itemData(s.pet(host, 0)), s.itemData(host));
        QCOMPARE(s.quit(again), 0);
    }

    // No Wine on PATH: Ctrl+P says what to install, nothing changes, and the main window
    // comes back and answers.
    void noWine_toldAndWindowUsable()
    {
        if (booted()) // a host left running by a failed journey would refuse Kennel
            wine(QStringLiteral("wineserver -k"));
        const QString host = s.newHost(QStringLiteral("nowine"), QStringLiteral("mike"), s.table({{"ミケ", "太郎"}}));
        hostfolder::write(host, QStringLiteral("Mewmail20.exe"), "MZ, a Windows program");
        QProcess& kennel = s.startKennel(host, {}, {{QStringLiteral("PATH"), s.path(QStringLiteral("home"))}});
        QVERIFY(s.waitIdle());
        const auto before = hostfolder::snapshot(host);
        QVERIFY(s.keys(kMain, "Ctrl+p") && s.reply("Kennel 2001 | critical | " + kMsgHostNotStarted));
        QVERIFY(s.output().contains(hosttexts::kNoWine.toUtf8()));
        QCOMPARE(hostfolder::snapshot(host), before);
        QCOMPARE(s.quit(kennel), 0);
    }
};

QTEST_MAIN(TestE2EWine)
#include "test_e2e_wine.moc"
