// The upgrade dialog, and start-up's upgrade path from a version 1.0 folder to registered
// pets whose data is intact.
#include "app/Registry.h"
#include "app/Startup.h"
#include "tests/support/HostTest.h"
#include "ui/main/ConvertForm.h"

#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QtTest>

#include <functional>

namespace {

// Start-up's dialogs: the upgrade dialog is driven by the test; the sharing settings record
// how they were opened and choose shared snacks.
class FakeDialogs : public StartupDialogs {
public:
    explicit FakeDialogs(Context& ctx) : ctx_(ctx) {}
    void showConfigForm() override
    {
        configOpenedWithRegistryLoaded << ctx_.RegistryLoaded;
        ctx_.table.Oyatsu = true;
    }
    bool showNewForm() override { return false; }
    void showInitializeForm() override {}
    void showConvertForm() override
    {
        ++convertOpened;
        ConvertForm form(ctx_);
        form.show();
        drive(form);
    }
    void launchHost() override {}

    std::function<void(ConvertForm&)> drive;
    int convertOpened = 0;
    QList<bool> configOpenedWithRegistryLoaded;

private:
    Context& ctx_;
};

} // namespace

class TestConvertForm : public HostTest {
    Q_OBJECT

    void makeMailbox(int n, bool withSettings)
    {
        const QString base = host() + QStringLiteral("/ユーザー ") + QString::number(n);
        hostfolder::write(base, QStringLiteral("おやつ/cake.pac"), "mailbox " + QByteArray::number(n));
        for (const QString& item : items::kFolderOrder)
            QDir().mkpath(base + QLatin1Char('/') + item);
        if (withSettings)
            hostfolder::write(base, items::kSettings, "settings " + QByteArray::number(n));
    }

    static void type(ConvertForm& form, int row, const QString& pet, const QString& master)
    {
        form.findChild<QLineEdit*>(QStringLiteral("TxtNewPet_%1").arg(row))->setText(pet);
        form.findChild<QLineEdit*>(QStringLiteral("TxtNewMaster_%1").arg(row))->setText(master);
    }

private slots:
    void init()
    {
        newHost();
        hostfolder::makeHost(host(), QStringLiteral("live"));
        hostfolder::write(host(), QStringLiteral("Kennel.ini"), "LastUser = 1\r\n");
    }

    void validation_data()
    {
        QTest::addColumn<QStringList>("typed"); // pet and owner of rows 0, 1 and 2
        QTest::addColumn<QStringList>("messages");
        const QString reserved = texts::kNewPetEntry;
        QTest::newRow("empty owner in row 0, reserved name in row 1: both, in order; no duplicate check")
            << QStringList{"ポチ", "", reserved, "花子", "ポチ", "花子"}
            << QStringList{texts::kMsgEnterNames, texts::kMsgReservedName};
        QTest::newRow("rows 0 and 2 with the same pet name")
            << QStringList{"ミケ", "太郎", "タマ", "太郎", "ミケ", "花子"} << QStringList{kMsgUpgradeDuplicatePet};
        QTest::newRow("owner name with a line break")
            << QStringList{"ポチ", "太\n郎", "タマ", "花子", "ミケ", "花子"} << QStringList{texts::kMsgUnstorableName};
    }

    void validation()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, messages);
        for (int n = 1; n <= 3; ++n)
            makeMailbox(n, true);
        tc->ctx.table.CurrentUser = 0;
        const auto before = hostfolder::snapshot(host());
        ConvertForm form(tc->ctx);
        form.show();
        for (int k = 0; k < 3; ++k)
            type(form, k, typed[2 * k], typed[2 * k + 1]);
        form.BtnOK_Click();

        QCOMPARE(tc->messages.texts(), messages);
        QVERIFY(form.isVisible());
        QCOMPARE(hostfolder::snapshot(host()), before);
        QCOMPARE(tc->ctx.table.MaxUser, -1);
    }

    void startup_upgradesAllTheWay()
    {
        makeMailbox(1, true);
        makeMailbox(2, true);
        makeMailbox(3, false); // no data: its folder goes
        FakeDialogs dialogs(tc->ctx);
        tc->ctx.dialogs = &dialogs;
        dialogs.drive = [&](ConvertForm& form) {
            for (int k = 0; k < 3; ++k)
                QCOMPARE(form.findChild<QGroupBox*>(QStringLiteral("FrmOld_%1").arg(k))->isEnabled(), k < 2);
            type(form, 0, QStringLiteral("ポチ"), QStringLiteral("太郎"));
            type(form, 1, QStringLiteral("タマ"), QStringLiteral("花子"));
            form.BtnOK_Click();
            QVERIFY(!form.isVisible());
        };

        StartupCheck(tc->ctx);

        QCOMPARE(dialogs.convertOpened, 1);
        QCOMPARE(dialogs.configOpenedWithRegistryLoaded, QList<bool>{false});
        QCOMPARE(tc->messages.texts(), QStringList{kMsgUpgradeDone});
        const RegistryContent reg = registry();
        QCOMPARE(reg.table.MaxUser, 1);
        QCOMPARE(reg.table.CurrentUser, 1); // "LastUser = 1": mailbox 2
        QVERIFY(reg.table.Oyatsu);          // the sharing choice made after the upgrade is written
        QCOMPARE(tc->view.selector, (QStringList{texts::kNewPetEntry, QStringLiteral("ポチ"), QStringLiteral("タマ")}));
        QCOMPARE(tc->view.current, QStringLiteral("タマ"));

        // Mailbox 1 kept its data: storing the current pet from the host's places did not
        // touch it. The template was taken from the host's places.
        QCOMPARE(hostfolder::read(host() + QStringLiteral("/ユーザー1/おやつ/cake.pac")), QByteArray("mailbox 1"));
        QCOMPARE(hostfolder::read(host() + QStringLiteral("/ユーザー1/Mewmail設定.mwc")), QByteArray("settings 1"));
        QCOMPARE(hostfolder::read(host() + QStringLiteral("/ユーザー2/おやつ/cake.pac")), QByteArray("snack live"));
        QCOMPARE(hostfolder::read(host() + QStringLiteral("/ユーザー2/Mewmail設定.mwc")), QByteArray("settings live"));
        QCOMPARE(hostfolder::read(host() + QStringLiteral("/Default/おやつ/cake.pac")), QByteArray("snack live"));
    }

    void closeBox_endsProgram_nextStartOffersUpgradeAgain()
    {
        makeMailbox(1, true);
        makeMailbox(2, true);
        const auto before = hostfolder::snapshot(host());
        FakeDialogs dialogs(tc->ctx);
        tc->ctx.dialogs = &dialogs;
        dialogs.drive = [&](ConvertForm& form) {
            type(form, 0, QStringLiteral("ポチ"), QStringLiteral("太郎"));
            form.close(); // the close box
        };

        QVERIFY_THROWS_EXCEPTION(ProgramEnded, StartupCheck(tc->ctx));
        QCOMPARE(hostfolder::snapshot(host()), before);

        // The next start finds the version 1.0 file again.
        TestContext next(host());
        FakeDialogs nextDialogs(next.ctx);
        next.ctx.dialogs = &nextDialogs;
        nextDialogs.drive = [](ConvertForm& form) { form.Form_Unload(); };
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, StartupCheck(next.ctx));
        QCOMPARE(nextDialogs.convertOpened, 1);
        QCOMPARE(hostfolder::snapshot(host()), before);
    }
};

QTEST_MAIN(TestConvertForm)
#include "test_convertform.moc"
