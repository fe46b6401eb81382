// The import dialog driven through its controls, found by objectName.
#include "import/ImportForm.h"
#include "import/ImportOps.h"
#include "tests/support/HostTest.h"
#include "ui/main/Commands.h"
#include "ui/main/MainForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

template <typename T> T* control(QWidget& w, const char* name)
{
    return w.findChild<T*>(QLatin1String(name));
}

} // namespace

class TestImportForm : public HostTest {
    Q_OBJECT

    QString source() const { return root() + QStringLiteral("/src"); }
    // A dialog whose source folder was chosen through the picker (given with a final "/").
    std::unique_ptr<ImportForm> chooseSource()
    {
        auto form = std::make_unique<ImportForm>(tc->ctx);
        picker_.answers << source() + QLatin1Char('/');
        form->BtnRefer_Click();
        return form;
    }

    ScriptedFolderPicker picker_;

private slots:
    void init()
    {
        newHost(QStringLiteral("/host"));
        hostfolder::makeHost(host(), QStringLiteral("host"));
        for (const char* name : {"b.pac", "A.PAC", "read.me", ".hidden.pac"})
            hostfolder::write(source(), QString::fromUtf8(name), name);
        QDir().mkpath(source() + QStringLiteral("/folder.pac"));
        picker_ = ScriptedFolderPicker();
        tc->ctx.folderPicker = &picker_;
        tc->ctx.table.Pet[0] = QStringLiteral("ポチ");
        tc->ctx.table.Pet[1] = QStringLiteral("タマ");
        tc->ctx.table.MaxUser = 1;
        tc->ctx.table.CurrentUser = 0;
    }

    void refer_listsSnackFiles_selectionButtons_cancelKeepsFolder()
    {
        auto form = chooseSource();
        QCOMPARE(form->sourceFolder(), source());
        auto* list = control<QListWidget>(*form, "FileOyatsu");
        QCOMPARE(list->count(), 2); // snack files only, sorted: A.PAC, b.pac

        auto* import = control<QPushButton>(*form, "BtnImport");
        QVERIFY(!import->isEnabled());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QVERIFY(import->isEnabled());
        QCOMPARE(form->selectedFiles(), QStringList{QStringLiteral("b.pac")});
        control<QPushButton>(*form, "BtnNoSel")->click();
        QVERIFY(!import->isEnabled());
        QVERIFY(form->selectedFiles().isEmpty());
        control<QPushButton>(*form, "BtnAll")->click();
        QCOMPARE(form->selectedFiles(), (QStringList{QStringLiteral("A.PAC"), QStringLiteral("b.pac")}));

        form->BtnRefer_Click(); // cancelled: the empty text
        QCOMPARE(form->sourceFolder(), source());
        QCOMPARE(list->count(), 2);
    }

    void import_data()
    {
        QTest::addColumn<bool>("shared");
        QTest::addColumn<bool>("checkAll");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("writtenTo");
        QTest::newRow("one pet") << false << false << QStringLiteral("タマにおやつをインポートします。よろしいですか？")
                                 << QStringLiteral("ユーザー2/おやつ");
        QTest::newRow("all pets") << false << true
                                  << QStringLiteral("すべてのペットにおやつをインポートします。よろしいですか？")
                                  << QStringLiteral("ユーザー1/おやつ");
        QTest::newRow("shared snacks: all pets only, no pet named")
            << true << false << QStringLiteral("おやつをインポートします。よろしいですか？") << QStringLiteral("おやつ");
    }

    void import()
    {
        QFETCH(bool, shared);
        QFETCH(bool, checkAll);
        QFETCH(QString, question);
        QFETCH(QString, writtenTo);
        tc->ctx.table.Oyatsu = shared;
        auto form = chooseSource();
        auto* chkAll = control<QCheckBox>(*form, "ChkAll");
        auto* pets = control<QComboBox>(*form, "CmbPetSel");
        QCOMPARE(chkAll->isChecked(), shared);
        QCOMPARE(chkAll->isEnabled(), !shared);
        QCOMPARE(pets->isEnabled(), !shared);
        if (checkAll)
            chkAll->click();
        QCOMPARE(pets->isEnabled(), !shared && !checkAll);
        pets->setCurrentIndex(1);
        control<QPushButton>(*form, "BtnAll")->click();
        const QString target = host() + QLatin1Char('/') + writtenTo + QStringLiteral("/b.pac");

        tc->messages.answer(MsgAnswer::No);
        form->BtnImport_Click();
        QCOMPARE(tc->messages.texts(), QStringList{question});
        QVERIFY(!hostfolder::exists(target));

        form->BtnImport_Click(); // Yes; the dialog stays for another import
        QCOMPARE(tc->messages.texts().last(), importops::kMsgDone);
        QCOMPARE(hostfolder::read(target), QByteArray("b.pac"));
        QVERIFY(control<QPushButton>(*form, "BtnImport")->isEnabled());
        QCOMPARE(pets->isEnabled(), !shared && !checkAll);
    }

    void import_petDeletedMeanwhile_refusedAndListRefreshed()
    {
        auto form = chooseSource();
        control<QComboBox>(*form, "CmbPetSel")->setCurrentIndex(1);
        tc->ctx.table.MaxUser = 0; // the main window deleted "タマ" while the dialog stayed open
        form->BtnImport_Click();
        QCOMPARE(tc->messages.texts(), QStringList{importops::kMsgNoTargetPet});
        QCOMPARE(control<QComboBox>(*form, "CmbPetSel")->count(), 1);
        QVERIFY(!hostfolder::exists(host() + QStringLiteral("/ユーザー2")));
    }

    void btnOyatsu_refusesWithoutPets_elseOpensOneModelessDialog()
    {
        MainForm main(tc->ctx, true);
        tc->ctx.table.MaxUser = -1;
        BtnOyatsu_Click(main);
        QCOMPARE(tc->messages.texts(), QStringList{importops::kMsgNoPets});
        QVERIFY(!main.findChild<ImportForm*>());

        tc->ctx.table.MaxUser = 1;
        BtnOyatsu_Click(main);
        BtnOyatsu_Click(main);
        const auto forms = main.findChildren<ImportForm*>();
        QCOMPARE(forms.size(), 1);
        QVERIFY(forms[0]->isVisible() && !forms[0]->isModal());
        main.hideAllWindows(); // the host launch
        QVERIFY(!forms[0]->isVisible());
    }
};

QTEST_MAIN(TestImportForm)
#include "test_importform.moc"
