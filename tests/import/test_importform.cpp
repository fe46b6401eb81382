// The import dialog driven through its controls, found by objectName.
#include "import/ImportForm.h"
#include "import/ImportOps.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"
#include "ui/main/Commands.h"
#include "ui/main/MainForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <deque>
#include <memory>

namespace {

class ScriptedPicker : public FolderPickerPort {
public:
    QString pickFolder(const QString& title) override
    {
        titles << title;
        QString next = answers.empty() ? QString() : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return next;
    }
    std::deque<QString> answers;
    QStringList titles;
};

}  // namespace

class TestImportForm : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void formLoad_listsPetsAndStartsDisabled();
    void formLoad_sharedSnacks_allPetsOnly();
    void refer_listsSnackFiles_cancelKeepsPreviousFolder();
    void selectionButtons_enableAndDisableImport();
    void importQuestion_data();
    void importQuestion();
    void import_noFolderChosen_refused();
    void import_petDeletedMeanwhile_refusedAndListRefreshed();
    void btnOyatsu_noPets_refusesWithoutDialog();
    void btnOyatsu_opensOneModelessDialog();

private:
    template <typename T>
    T* control(QWidget& w, const char* name) { return w.findChild<T*>(QLatin1String(name)); }
    QString program() const { return dir_->path() + QStringLiteral("/host"); }
    QString source() const { return dir_->path() + QStringLiteral("/src"); }
    std::unique_ptr<ImportForm> chooseSource();

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TestContext> tc_;
    ScriptedPicker picker_;
};

void TestImportForm::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    hostfolder::makeHost(program(), QStringLiteral("host"));
    hostfolder::write(source(), QStringLiteral("b.pac"), "b");
    hostfolder::write(source(), QStringLiteral("a.pac"), "a");
    hostfolder::write(source(), QStringLiteral("read.me"), "r");
    tc_ = std::make_unique<TestContext>(program());
    picker_ = ScriptedPicker();
    tc_->ctx.folderPicker = &picker_;
    PetTable& t = tc_->ctx.table;
    t.Pet[0] = QStringLiteral("ポチ");
    t.Pet[1] = QStringLiteral("タマ");
    t.MaxUser = 1;
    t.CurrentUser = 0;
}

void TestImportForm::cleanup()
{
    tc_.reset();
    dir_.reset();
}

// A dialog with the source folder chosen through the picker (given with a final "/").
std::unique_ptr<ImportForm> TestImportForm::chooseSource()
{
    auto form = std::make_unique<ImportForm>(tc_->ctx);
    picker_.answers.push_back(source() + QLatin1Char('/'));
    form->BtnRefer_Click();
    return form;
}

void TestImportForm::formLoad_listsPetsAndStartsDisabled()
{
    ImportForm form(tc_->ctx);
    QCOMPARE(form.windowTitle(), QStringLiteral("Kennel 2001 - おやつのインポート"));
    auto* pets = control<QComboBox>(form, "CmbPetSel");
    QCOMPARE(pets->count(), 2);
    QCOMPARE(pets->currentText(), QStringLiteral("ポチ"));
    QVERIFY(pets->isEnabled());
    QVERIFY(!control<QCheckBox>(form, "ChkAll")->isChecked());
    QVERIFY(!control<QPushButton>(form, "BtnImport")->isEnabled());
    QVERIFY(control<QLabel>(form, "LblPath")->text().isEmpty());
    QCOMPARE(control<QListWidget>(form, "FileOyatsu")->count(), 0);
    QCOMPARE(control<QListWidget>(form, "FileOyatsu")->selectionMode(), QAbstractItemView::ExtendedSelection);

    control<QCheckBox>(form, "ChkAll")->click();
    QVERIFY(!pets->isEnabled());
    control<QCheckBox>(form, "ChkAll")->click();
    QVERIFY(pets->isEnabled());
}

void TestImportForm::formLoad_sharedSnacks_allPetsOnly()
{
    tc_->ctx.table.Oyatsu = true;
    ImportForm form(tc_->ctx);
    QVERIFY(control<QCheckBox>(form, "ChkAll")->isChecked());
    QVERIFY(!control<QCheckBox>(form, "ChkAll")->isEnabled());
    QVERIFY(!control<QComboBox>(form, "CmbPetSel")->isEnabled());
}

void TestImportForm::refer_listsSnackFiles_cancelKeepsPreviousFolder()
{
    auto form = chooseSource();
    QCOMPARE(picker_.titles, QStringList{QStringLiteral("おやつファイルのあるフォルダを選択してください")});
    QCOMPARE(form->sourceFolder(), source());
    auto* list = control<QListWidget>(*form, "FileOyatsu");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("a.pac"));

    form->BtnRefer_Click();  // cancelled: the empty text
    QCOMPARE(form->sourceFolder(), source());
    QCOMPARE(list->count(), 2);
}

void TestImportForm::selectionButtons_enableAndDisableImport()
{
    auto form = chooseSource();
    auto* list = control<QListWidget>(*form, "FileOyatsu");
    auto* import = control<QPushButton>(*form, "BtnImport");
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    QVERIFY(import->isEnabled());
    QCOMPARE(form->selectedFiles(), QStringList{QStringLiteral("b.pac")});

    control<QPushButton>(*form, "BtnNoSel")->click();
    QVERIFY(!import->isEnabled());
    QVERIFY(form->selectedFiles().isEmpty());

    control<QPushButton>(*form, "BtnAll")->click();
    QCOMPARE(form->selectedFiles(), (QStringList{QStringLiteral("a.pac"), QStringLiteral("b.pac")}));
}

void TestImportForm::importQuestion_data()
{
    QTest::addColumn<bool>("shared");
    QTest::addColumn<bool>("all");
    QTest::addColumn<int>("pet");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("writtenTo");
    QTest::newRow("one pet") << false << false << 1 << QStringLiteral("タマにおやつをインポートします。よろしいですか？")
                             << QStringLiteral("ユーザー2/おやつ");
    QTest::newRow("all pets") << false << true << 0 << QStringLiteral("すべてのペットにおやつをインポートします。よろしいですか？")
                              << QStringLiteral("ユーザー2/おやつ");
    QTest::newRow("shared snacks") << true << true << 0 << QStringLiteral("おやつをインポートします。よろしいですか？")
                                   << QStringLiteral("おやつ");
}

void TestImportForm::importQuestion()
{
    QFETCH(bool, shared);
    QFETCH(bool, all);
    QFETCH(int, pet);
    QFETCH(QString, question);
    QFETCH(QString, writtenTo);
    tc_->ctx.table.Oyatsu = shared;
    auto form = chooseSource();
    if (all && !shared)
        control<QCheckBox>(*form, "ChkAll")->click();
    control<QComboBox>(*form, "CmbPetSel")->setCurrentIndex(pet);
    control<QPushButton>(*form, "BtnAll")->click();
    const QString target = program() + QLatin1Char('/') + writtenTo + QStringLiteral("/a.pac");

    tc_->messages.answer(MsgAnswer::No);
    form->BtnImport_Click();
    QCOMPARE(tc_->messages.texts(), QStringList{question});
    QCOMPARE(tc_->messages.shown[0].icon, MsgIcon::Question);
    QVERIFY(!hostfolder::exists(target));

    form->BtnImport_Click();  // Yes; the dialog stays for another import
    QCOMPARE(tc_->messages.texts().last(), importops::kMsgDone);
    QCOMPARE(hostfolder::read(target), QByteArray("a"));
}

void TestImportForm::import_noFolderChosen_refused()
{
    ImportForm form(tc_->ctx);
    form.BtnImport_Click();
    QCOMPARE(tc_->messages.texts(),
             (QStringList{QStringLiteral("ポチにおやつをインポートします。よろしいですか？"), importops::kMsgNoSource}));
    QCOMPARE(tc_->view.busyOnCount, 0);
}

void TestImportForm::import_petDeletedMeanwhile_refusedAndListRefreshed()
{
    auto form = chooseSource();
    control<QComboBox>(*form, "CmbPetSel")->setCurrentIndex(1);
    // The main window deleted "タマ" while the dialog stayed open.
    tc_->ctx.table.MaxUser = 0;
    form->BtnImport_Click();
    QCOMPARE(tc_->messages.texts(), QStringList{importops::kMsgNoTargetPet});
    QCOMPARE(control<QComboBox>(*form, "CmbPetSel")->count(), 1);
    QVERIFY(!hostfolder::exists(program() + QStringLiteral("/ユーザー2")));
}

void TestImportForm::btnOyatsu_noPets_refusesWithoutDialog()
{
    tc_->ctx.table.MaxUser = -1;
    tc_->ctx.table.CurrentUser = -1;
    MainForm main(tc_->ctx, true);
    BtnOyatsu_Click(main);
    QCOMPARE(tc_->messages.texts(), QStringList{importops::kMsgNoPets});
    QCOMPARE(tc_->messages.shown[0].icon, MsgIcon::Critical);
    QVERIFY(!main.findChild<ImportForm*>());
}

void TestImportForm::btnOyatsu_opensOneModelessDialog()
{
    MainForm main(tc_->ctx, true);
    BtnOyatsu_Click(main);
    BtnOyatsu_Click(main);
    const auto forms = main.findChildren<ImportForm*>();
    QCOMPARE(forms.size(), 1);
    QVERIFY(forms[0]->isVisible());
    QVERIFY(!forms[0]->isModal());
    QVERIFY(tc_->messages.shown.isEmpty());
    main.hideAllWindows();
    QVERIFY(!forms[0]->isVisible());
}

QTEST_MAIN(TestImportForm)
#include "test_importform.moc"
