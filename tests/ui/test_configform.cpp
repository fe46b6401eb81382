// The sharing settings dialog: what "O K" and "ｷｬﾝｾﾙ" keep, and the first run.
#include "storage/Session.h"
#include "tests/support/HostTest.h"
#include "ui/main/ConfigForm.h"

#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

class TestConfigForm : public HostTest {
    Q_OBJECT

    std::unique_ptr<ConfigForm> form;

    QPushButton* button(const char* name) { return form->findChild<QPushButton*>(QLatin1String(name)); }
    // Pair k (Oyatsu, Treasures, Friends, Toys, Mails), item 0 "する" or 1 "しない".
    QRadioButton* option(int k, int item)
    {
        const char* const pairs[] = {"OptOyatsu", "OptTreasures", "OptFriends", "OptToys", "OptMails"};
        return form->findChild<QRadioButton*>(QLatin1String(pairs[k]) + QStringLiteral("_%1").arg(item));
    }
    // The five flags as bits, Oyatsu first.
    int flags() { return table().Oyatsu | table().Treasures << 1 | table().Friends << 2 | table().Toys << 3 | table().Mails << 4; }
    // Opens the dialog over these flags; Kennel.ini carries a line a rewrite would drop.
    void open(int bits)
    {
        PetTable& t = table();
        std::tie(t.Oyatsu, t.Treasures, t.Friends, t.Toys, t.Mails) =
            std::tuple(bits & 1, bits & 2, bits & 4, bits & 8, bits & 16);
        if (session().registryLoaded())
            hostfolder::write(host(), QStringLiteral("Kennel.ini"), *formatRegistry(t) + "; test\r\n");
        form = std::make_unique<ConfigForm>(session());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void choose(int bits)
    {
        for (int k = 0; k < 5; ++k)
            QTest::mouseClick(option(k, bits & (1 << k) ? 0 : 1), Qt::LeftButton);
    }

private slots:
    void init()
    {
        newHost();
        hostfolder::makeHost(host(), QStringLiteral("A"));
        hostfolder::makeHost(pet(1), QStringLiteral("A"));
        addPets(1, 0);
        session().setRegistryLoaded(true);
    }

    void cleanup() { form.reset(); }

    // Return is "O K": the choice is kept and Kennel.ini rewritten whole, even unchanged; Escape keeps all.
    void okStoresTheChoice_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<int>("key");
        QTest::newRow("friends book and mails shared") << 0b00010 << 0b10100 << int(Qt::Key_Return);
        QTest::newRow("escape cancels") << 0b00101 << 0b11010 << int(Qt::Key_Escape);
    }

    void okStoresTheChoice()
    {
        QFETCH(int, before);
        QFETCH(int, chosen);
        QFETCH(int, key);
        open(before);
        auto expected = hostfolder::snapshot(host());
        for (int k = 0; k < 5; ++k)
            QVERIFY(option(k, (before >> k) & 1 ? 0 : 1)->isChecked());
        choose(chosen);
        QTest::keyClick(form.get(), Qt::Key(key));

        const bool ok = key == Qt::Key_Return;
        QCOMPARE(form->result(), int(ok ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(flags(), ok ? chosen : before);
        if (ok) // Kennel.ini rewritten whole (the extra line goes); no pet data moves either way
            expected.insert(QStringLiteral("Kennel.ini"), *formatRegistry(table()));
        QCOMPARE(hostfolder::snapshot(host()), expected);
    }

    // A first run cannot be cancelled and starts from "しない". (Its OK keeps the choice for the
    // registration that follows and writes nothing: the first runs of test_e2e_start.)
    void firstRun_startsUnsharedAndOnlyOkLeaves()
    {
        session().setRegistryLoaded(false);
        open(0b11111); // whatever the table holds, a first run starts from "しない"
        QVERIFY(!button("BtnConfigNO")->isEnabled());
        for (int k = 0; k < 5; ++k)
            QVERIFY(option(k, 1)->isChecked());
        QTest::keyClick(form.get(), Qt::Key_Escape);
        QVERIFY(form->isVisible());
    }

    void failedWriteKeepsDialogAndFlags()
    {
        open(0);
        table().Pet[0] = QStringLiteral("ぽ\nち"); // a name the file cannot hold
        choose(0b00001);
        QTest::mouseClick(button("BtnConfigOK"), Qt::LeftButton);
        QVERIFY(form->isVisible() && flags() == 0);
        QCOMPARE(messages(), QStringList{kMsgRegistryWriteFailed});
        QVERIFY(hostfolder::read(ini()).endsWith("; test\r\n"));
    }
};

QTEST_MAIN(TestConfigForm)
#include "test_configform.moc"
