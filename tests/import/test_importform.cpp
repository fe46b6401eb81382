// The import dialog through its controls: the snack list and its selection buttons, shared
// snacks, a pet deleted while the dialog is open, the one modeless dialog.
#include "ui/import/ImportForm.h"
#include "import/ImportOps.h"
#include "tests/support/HostTest.h"
#include "backup/UnlhaLibrary.h"
#include "ui/main/MainForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include <memory>

class TestImportForm : public HostTest {
    Q_OBJECT

    QString source() const { return root() + QStringLiteral("/src"); }
    // A dialog whose source folder was chosen through the picker (given with a final "/").
    std::unique_ptr<ImportForm> chooseSource()
    {
        auto form = std::make_unique<ImportForm>(session());
        tc->picker.answers << source() + QLatin1Char('/');
        form->BtnRefer_Click();
        return form;
    }

private slots:
    void init()
    {
        newHost(QStringLiteral("/host"));
        hostfolder::makeHost(host(), QStringLiteral("host"));
        for (const char* name : {"b.pac", "A.PAC", "read.me", ".hidden.pac"})
            hostfolder::write(source(), QString::fromUtf8(name), name);
        QDir().mkpath(source() + QStringLiteral("/folder.pac"));
        addPets(2, 0);
    }

    void refer_listsSnackFiles_cancelKeepsFolder()
    {
        auto form = chooseSource();
        QCOMPARE(form->sourceFolder(), source());
        auto* list = form->findChild<QListWidget*>("FileOyatsu");
        QCOMPARE(list->count(), 2); // snack files only, sorted: A.PAC, b.pac

        auto* import = form->findChild<QPushButton*>("BtnImport");
        QVERIFY(!import->isEnabled()); // nothing selected yet
        form->findChild<QPushButton*>("BtnAll")->click();
        QVERIFY(import->isEnabled());
        QCOMPARE(form->selectedFiles(), (QStringList{QStringLiteral("A.PAC"), QStringLiteral("b.pac")}));

        form->BtnRefer_Click(); // cancelled: the empty text
        QCOMPARE(form->sourceFolder(), source());
        QCOMPARE(list->count(), 2);
    }

    // Shared snacks: always all pets, and the question names no pet. One pet and all pets unshared are driven in the end-to-end import
    // journey.
    void import_sharedSnacks_allPetsOnly()
    {
        table().Oyatsu = true;
        auto form = chooseSource();
        auto* chkAll = form->findChild<QCheckBox*>("ChkAll");
        auto* pets = form->findChild<QComboBox*>("CmbPetSel");
        QVERIFY(chkAll->isChecked() && !chkAll->isEnabled() && !pets->isEnabled());
        form->findChild<QPushButton*>("BtnAll")->click();
        const QString target = host() + QStringLiteral("/おやつ/b.pac");

        tc->messages.answer(MsgAnswer::No);
        form->BtnImport_Click();
        QCOMPARE(tc->messages.texts(), QStringList{QStringLiteral("おやつをインポートします。よろしいですか？")});
        QVERIFY(!hostfolder::exists(target));

        form->BtnImport_Click(); // Yes; the dialog stays for another import
        QCOMPARE(tc->messages.texts().last(), importops::kMsgDone);
        QCOMPARE(hostfolder::read(target), QByteArray("b.pac"));
        QVERIFY(form->findChild<QPushButton*>("BtnImport")->isEnabled() && !pets->isEnabled());
    }

    void import_petDeletedMeanwhile_refusedAndListRefreshed()
    {
        auto form = chooseSource();
        form->findChild<QComboBox*>("CmbPetSel")->setCurrentIndex(1);
        table().MaxUser = 0; // the main window deleted the second pet while the dialog stayed open
        form->BtnImport_Click();
        QCOMPARE(tc->messages.texts(), QStringList{importops::kMsgNoTargetPet});
        QCOMPARE(form->findChild<QComboBox*>("CmbPetSel")->count(), 1);
        QVERIFY(!hostfolder::exists(host() + QStringLiteral("/ユーザー2")));
    }

    void btnOyatsu_refusesWithoutPets_elseOpensOneModelessDialog()
    {
        UnlhaLibrary library{UnlhaLibrary::Entries{}};
        MainForm main(session(), library, InstanceLock::Held);
        table().MaxUser = -1;
        main.BtnOyatsu_Click();
        QCOMPARE(tc->messages.texts(), QStringList{importops::kMsgNoPets});
        QVERIFY(!main.findChild<ImportForm*>());

        table().MaxUser = 1;
        main.BtnOyatsu_Click();
        main.BtnOyatsu_Click();
        const auto forms = main.findChildren<ImportForm*>();
        QCOMPARE(forms.size(), 1);
        QVERIFY(forms[0]->isVisible() && !forms[0]->isModal());
        main.hideAllWindows(); // the host launch
        QVERIFY(!forms[0]->isVisible());
    }
};

QTEST_MAIN(TestImportForm)
#include "test_importform.moc"
