// The real kennel refuses to run, says why (the path and the reason below the text; the log has
// it all), waits for OK and ends, changing no file: a second copy (also one started in another
// session; the first then comes to the front), the host's window open, a folder without the
// host, a damaged Kennel.ini.
#include "app/Causes.h"
#include "app/Registry.h"
#include "app/Startup.h"
#include "tests/e2e/E2eSession.h"
#include "tests/support/HostFolder.h"

#include <QtTest>

#include <cerrno>

namespace {
enum class Case { SecondCopy, SecondCopyOtherSession, HostOpen, NotHostFolder, DamagedRegistry };
} // namespace
Q_DECLARE_METATYPE(Case)

class TestE2ERefusals : public E2eTest {
    Q_OBJECT

private slots:
    void refused_toldAndNothingChanged_data()
    {
        QTest::addColumn<Case>("situation");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("cause"); // the lines below the message (%1: the host folder)
        QTest::newRow("second copy") << Case::SecondCopy
                                     << QStringLiteral("Kennel 2001 | exclamation | Kennel 2001 はすでに起動中です。")
                                     << QString();
        QTest::newRow("second copy, another session")
            << Case::SecondCopyOtherSession << QStringLiteral("Kennel 2001 | exclamation | Kennel 2001 はすでに起動中です。")
            << QString();
        QTest::newRow("host open") << Case::HostOpen
                                   << QStringLiteral("Kennel 2001 | exclamation | Mew Mail 2001 がすでに起動中です。"
                                                     "一度終了してください。")
                                   << QString();
        QTest::newRow("not a host folder")
            << Case::NotHostFolder << QStringLiteral("Kennel 2001 | critical | フォルダが違います。")
            << causes::line(QStringLiteral("%1/Mewmail20.exe"), ENOENT) + QStringLiteral("\n") + kMsgUseSetup;
        QTest::newRow("damaged Kennel.ini")
            << Case::DamagedRegistry
            << QStringLiteral("Kennel 2001 | critical | INIファイルエラーが発生しました。強制終了します。")
            << QStringLiteral("%1/Kennel.ini（内容を読み取れません）");
    }
    void refused_toldAndNothingChanged()
    {
        QFETCH(Case, situation);
        QFETCH(QString, message);
        QFETCH(QString, cause);
        const QString host = s.newHost(QString::fromLatin1(QTest::currentDataTag()), QStringLiteral("mike"));
        PetTable table;
        table.Pet[0] = QStringLiteral("ミケ");
        table.Master[0] = QStringLiteral("太郎");
        table.MaxUser = table.CurrentUser = 0;
        hostfolder::write(host, QStringLiteral("Kennel.ini"), formatRegistry(table).value());

        QProcess* first = nullptr;
        QProcess hostProgram;
        if (situation == Case::SecondCopy || situation == Case::SecondCopyOtherSession) {
            first = &s.startKennel(host);
            QVERIFY(s.waitIdle());
        } else if (situation == Case::HostOpen) {
            hostProgram.start(host + QStringLiteral("/Mewmail20.exe"));
            QVERIFY(s.waitWindow(QStringLiteral("Mewmail for Windows ver. 2.0")));
        } else if (situation == Case::NotHostFolder) {
            QVERIFY(QFile::remove(host + QStringLiteral("/Mewmail20.exe")));
        } else {
            hostfolder::write(host, QStringLiteral("Kennel.ini"),
                              "Version = 2.0\r\nCurrentUser = 0\r\nMaxUser = 0\r\nMaster 0 = m\r\nPet 0 = p\r\n");
        }
        const auto before = hostfolder::snapshot(host);

        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (situation == Case::SecondCopyOtherSession) // another user's or session's runtime folder
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(s.path(QStringLiteral("run2"))));
        QProcess& kennel = s.startKennel(host);
        qputenv("XDG_RUNTIME_DIR", runtime);
        QCOMPARE(s.nextMessage(), message);
        QCOMPARE(kennel.state(), QProcess::Running); // until the message is answered
        QVERIFY(s.answer("Return"));
        QCOMPARE(s.waitEnd(kennel), 0);
        QCOMPARE(hostfolder::snapshot(host), before);
        // The log holds the message and the lines below it, indented.
        QString logged = (message.section(QStringLiteral(" | "), 2) + QLatin1Char('\n') + cause).trimmed();
        logged.replace(QStringLiteral("%1"), host).replace(QStringLiteral("\n"), QStringLiteral("\n    "));
        QVERIFY(hostfolder::read(s.path(QStringLiteral("state/kennel/kennel.log"))).contains(logged.toUtf8()));

        if (first) { // the first copy goes on undisturbed, and comes to the front
            QCOMPARE(first->state(), QProcess::Running);
            QVERIFY(s.waitFocus(kMain));
            QVERIFY(s.keys(kMain, "Ctrl+q"));
            QCOMPARE(s.waitEnd(*first), 0);
        }
        if (hostProgram.state() == QProcess::Running) {
            QVERIFY(s.closeWindow(QStringLiteral("Mewmail for Windows ver. 2.0")));
            QVERIFY(hostProgram.waitForFinished(10000));
        }
        QCOMPARE(s.nextMessage(0), QString()); // nothing else was said
    }
};

QTEST_MAIN(TestE2ERefusals)
#include "test_e2e_refusals.moc"
