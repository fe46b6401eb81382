// The sharing settings dialog: what it shows, what "O K" and "ｷｬﾝｾﾙ" keep, and the first run.
#include "app/Registry.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"
#include "ui/main/ConfigForm.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

using hostfolder::read;
using hostfolder::snapshot;

namespace {
const QByteArray kMarker = "; written by the test\r\n";
const char* const kPairs[] = {"OptOyatsu", "OptTreasures", "OptFriends", "OptToys", "OptMails"};

bool* flagOf(PetTable& t, int k)
{
    bool* flags[] = {&t.Oyatsu, &t.Treasures, &t.Friends, &t.Toys, &t.Mails};
    return flags[k];
}
}  // namespace

class TestConfigForm : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TestContext> tc;
    std::unique_ptr<ConfigForm> form;

    QString host() const { return dir->path(); }
    Context& ctx() { return tc->ctx; }
    QByteArray registry() const { return read(host() + QStringLiteral("/Kennel.ini")); }

    QRadioButton* option(const char* pair, int item)
    {
        return form->findChild<QRadioButton*>(QLatin1String(pair) + QStringLiteral("_%1").arg(item));
    }
    QPushButton* button(const char* name) { return form->findChild<QPushButton*>(QLatin1String(name)); }

    void open()
    {
        form = std::make_unique<ConfigForm>(ctx());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    // Flags as bits, Oyatsu first.
    void setFlags(int bits)
    {
        for (int k = 0; k < 5; ++k)
            *flagOf(ctx().table, k) = bits & (1 << k);
    }
    int flags()
    {
        int bits = 0;
        for (int k = 0; k < 5; ++k)
            bits |= *flagOf(ctx().table, k) ? (1 << k) : 0;
        return bits;
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        tc = std::make_unique<TestContext>(host());
        hostfolder::makeHost(host(), QStringLiteral("A"));
        hostfolder::makeHost(host() + QStringLiteral("/ユーザー1"), QStringLiteral("A"));
        ctx().table.Pet[0] = QStringLiteral("ぽち");
        ctx().table.Master[0] = QStringLiteral("太郎");
        ctx().table.MaxUser = 0;
        ctx().table.CurrentUser = 0;
        ctx().RegistryLoaded = true;
    }

    void cleanup() { form.reset(); }

    void textsAndDefaults()
    {
        open();
        QCOMPARE(form->windowTitle(), QStringLiteral("Kennel 2001 環境設定"));
        QCOMPARE(button("BtnConfigOK")->text(), QStringLiteral("O K"));
        QCOMPARE(button("BtnConfigOK")->toolTip(), QStringLiteral("この設定で保存します。"));
        QVERIFY(button("BtnConfigOK")->isDefault());
        QCOMPARE(button("BtnConfigNO")->text(), QStringLiteral("ｷｬﾝｾﾙ"));
        QCOMPARE(button("BtnConfigNO")->toolTip(), QStringLiteral("設定内容を破棄して設定を終了します。"));
        const QStringList captions = {QStringLiteral("おやつの共有"), QStringLiteral("宝物の共有"),
                                      QStringLiteral("おともだち帳の共有"), QStringLiteral("おもちゃの共有"),
                                      QStringLiteral("引き出しの共有")};
        const char* const frames[] = {"FrmOyatsu", "FrmTreasures", "FrmFriends", "FrmToys", "FrmMails"};
        for (int k = 0; k < 5; ++k) {
            QCOMPARE(form->findChild<QGroupBox*>(QLatin1String(frames[k]))->title(), captions[k]);
            QCOMPARE(option(kPairs[k], 0)->text(), QStringLiteral("する"));
            QCOMPARE(option(kPairs[k], 1)->text(), QStringLiteral("しない"));
        }
        QCOMPARE(form->findChild<QLabel*>(QStringLiteral("LblCaution"))->text(),
                 QStringLiteral("新たに共有に変更する場合、現在のペットの各内容が共有され、他のペットの内容は上書きされることになります。"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("chosen");
        QTest::newRow("nothing changed") << 0b00000 << 0b00000;
        QTest::newRow("snacks become shared") << 0b00000 << 0b00001;
        QTest::newRow("treasures stop being shared") << 0b00010 << 0b00000;
        QTest::newRow("friends book and mails shared") << 0b00001 << 0b10100;
        QTest::newRow("toys shared, others kept") << 0b10011 << 0b11011;
        QTest::newRow("everything shared") << 0b00000 << 0b11111;
        QTest::newRow("nothing shared any more") << 0b11111 << 0b00000;
    }

    void roundTrip()
    {
        QFETCH(int, before);
        QFETCH(int, chosen);
        setFlags(before);
        hostfolder::write(host(), QStringLiteral("Kennel.ini"), *formatRegistry(ctx().table) + kMarker);
        auto folders = snapshot(host());
        folders.remove(QStringLiteral("Kennel.ini"));
        open();
        for (int k = 0; k < 5; ++k)
            QVERIFY(option(kPairs[k], (before >> k) & 1 ? 0 : 1)->isChecked());

        for (int k = 0; k < 5; ++k)
            QTest::mouseClick(option(kPairs[k], (chosen >> k) & 1 ? 0 : 1), Qt::LeftButton);
        QTest::mouseClick(button("BtnConfigOK"), Qt::LeftButton);

        QCOMPARE(form->result(), int(QDialog::Accepted));
        QVERIFY(!form->isVisible());
        QCOMPARE(flags(), chosen);
        QCOMPARE(registry(), *formatRegistry(ctx().table));  // rewritten whole, marker gone
        const RegistryContent file = parseRegistry(registry());
        QCOMPARE(file.table.Oyatsu, bool(chosen & 1));
        QCOMPARE(file.table.Mails, bool(chosen & 16));
        auto after = snapshot(host());
        after.remove(QStringLiteral("Kennel.ini"));
        QCOMPARE(after, folders);  // no pet data moves

        // Opening again shows what was stored.
        open();
        for (int k = 0; k < 5; ++k)
            QVERIFY(option(kPairs[k], (chosen >> k) & 1 ? 0 : 1)->isChecked());
    }

    void cancelKeepsFlagsAndFile_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("ｷｬﾝｾﾙ button") << false;
        QTest::newRow("Escape key") << true;
    }

    void cancelKeepsFlagsAndFile()
    {
        QFETCH(bool, byEscape);
        setFlags(0b00101);
        hostfolder::write(host(), QStringLiteral("Kennel.ini"), *formatRegistry(ctx().table) + kMarker);
        const QByteArray file = registry();
        open();
        QTest::mouseClick(option("OptToys", 0), Qt::LeftButton);
        QTest::mouseClick(option("OptOyatsu", 1), Qt::LeftButton);
        if (byEscape)
            QTest::keyClick(form.get(), Qt::Key_Escape);
        else
            QTest::mouseClick(button("BtnConfigNO"), Qt::LeftButton);
        QCOMPARE(form->result(), int(QDialog::Rejected));
        QVERIFY(!form->isVisible());
        QCOMPARE(flags(), 0b00101);
        QCOMPARE(registry(), file);
    }

    void firstRunOnlyLeavesWithOk()
    {
        ctx().RegistryLoaded = false;
        setFlags(0b11111);  // whatever the table holds, a first run starts from "しない"
        open();
        QVERIFY(!button("BtnConfigNO")->isEnabled());
        for (int k = 0; k < 5; ++k)
            QVERIFY(option(kPairs[k], 1)->isChecked());
        QTest::keyClick(form.get(), Qt::Key_Escape);
        QVERIFY(form->isVisible());

        QTest::mouseClick(option("OptFriends", 0), Qt::LeftButton);
        QTest::mouseClick(button("BtnConfigOK"), Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(flags(), 0b00100);
        // The registration that follows writes the file.
        QVERIFY(!hostfolder::exists(host() + QStringLiteral("/Kennel.ini")));
    }

    void failedWriteKeepsDialogAndFlags()
    {
        hostfolder::write(host(), QStringLiteral("Kennel.ini"), *formatRegistry(ctx().table) + kMarker);
        ctx().table.Pet[0] = QStringLiteral("ぽ\nち");  // a name the file cannot hold
        open();
        QTest::mouseClick(option("OptOyatsu", 0), Qt::LeftButton);
        QTest::mouseClick(button("BtnConfigOK"), Qt::LeftButton);
        QVERIFY(form->isVisible());
        QCOMPARE(flags(), 0);
        QCOMPARE(tc->messages.texts(), QStringList{kMsgRegistryWriteFailed});
        QVERIFY(registry().contains(kMarker));
    }
};

QTEST_MAIN(TestConfigForm)
#include "test_configform.moc"
