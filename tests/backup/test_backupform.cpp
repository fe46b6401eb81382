// The backup dialog and the restore dialog through their controls: what opens enabled, the
// refusals before anything is read or staged, a plain copy's restore cancelled. Backing up
// and restoring both ways is driven in the end-to-end backup journey.
#include "ui/backup/BackUpForm.h"
#include "backup/Backup.h"
#include "ui/backup/RestoreForm.h"
#include "ui/controls/cCommonDlg.h"
#include "ui/controls/cTabStrip.h"
#include "registry/Texts.h"
#include "tests/support/HostTest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {

template <typename T = QWidget>
T* child(QObject* parent, const char* name)
{
    T* w = parent->findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}
} // namespace

class TestBackUpForm : public HostTest {
    Q_OBJECT

    QString folderOf(int i) const { return session().layout().PetFolder(i); }
    std::unique_ptr<BackUpForm> form;

    void open(int tab)
    {
        form = std::make_unique<BackUpForm>(session(), library(), tab);
        form->Form_Load();
        form->show();
    }
    bool enabled(const char* name) { return child(form.get(), name)->isEnabled(); }
    QString text(const char* name) { return child<QLabel>(form.get(), name)->text(); }
    QLineEdit* archiveText() { return child<QLineEdit>(form.get(), "TxtRestoreFile"); }
    QString info() { return text("LblRInfo_0") + text("LblRInfo_1") + text("LblRInfo_2"); }
    // A backup folder of ポチ in outside/, made on 31 October 1999; the pet stays registered.
    QString backupFolder()
    {
        const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("かいぬし"));
        BackupToFolder(session(), i, outside() + QLatin1Char('/'), none(), QDate(1999, 10, 31));
        return outside() + QStringLiteral("/ポチ991031");
    }
    // Restore tab with a folder source chosen through the picker.
    void openOnFolder(const QString& folder)
    {
        open(2);
        child<QRadioButton>(form.get(), "OptRestore_1")->click();
        tc->picker.answers = {folder};
        form->BtnRefer_Click(1);
    }
    QString todaysBackup() const
    {
        return outside() + QLatin1Char('/') + backupBaseName(QStringLiteral("ポチ"), QDate::currentDate());
    }

private slots:
    void init()
    {
        newHost(QStringLiteral("/host"));
        QDir().mkpath(outside());
        hostfolder::write(host(), QStringLiteral("Mewmail20.exe"), "host");
    }
    void cleanup()
    {
        form.reset();
        BackUpForm::setRestoreRunner({});
        cCommonDlg::setChooser({});
    }

    // Without the library only folders: no compression, no archive source. Without pets only restoring.
    void opening_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<int>("pets");
        QTest::newRow("backup tab, library installed") << 1 << true << 2;
        QTest::newRow("restore tab, library missing") << 2 << false << 2;
        QTest::newRow("no pet: restore tab, backup disabled") << 1 << true << 0;
    }

    void opening()
    {
        QFETCH(int, tab);
        QFETCH(bool, installed);
        QFETCH(int, pets);
        for (int i = 0; i < pets; ++i)
            addPet(QStringLiteral("p%1").arg(i), QStringLiteral("o"));
        if (installed)
            QVERIFY(loadLibrary());
        open(tab);
        QCOMPARE(form->tabStrip().SelectedItem(), pets ? tab : 2);
        QCOMPARE(child(form.get(), "FrmTabSheet_1")->isVisible(), !pets || tab == 2);
        QCOMPARE(child<QComboBox>(form.get(), "CmbPetSel")->count(), pets);
        QCOMPARE(enabled("CmbPetSel") && enabled("BtnRefer_0"), pets > 0);
        QVERIFY(!enabled("BtnBackup"));
        QCOMPARE(child<QCheckBox>(form.get(), "ChkLha")->isChecked() && enabled("ChkLha"), installed);
        QCOMPARE(child<QRadioButton>(form.get(), "OptRestore_0")->isChecked() && enabled("OptRestore_0"), installed);
        QCOMPARE(enabled("BtnReferFile"), installed);
        QCOMPARE(enabled("BtnRefer_1"), !installed);
        QCOMPARE(tc->messages.texts(), pets ? QStringList() : QStringList{QStringLiteral("バックアップするペットが存在しません。")});
    }

    // Checks that stop before looking at any file or folder.
    void sourceStops_data()
    {
        QTest::addColumn<bool>("archive");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("no archive given") << true << "" << kMsgNoFileGiven;
        QTest::newRow("no such archive") << true << "/nonexistent/ポチ.lzh" << kMsgNoSuchFile;
        QTest::newRow("no folder chosen yet") << false << "" << kMsgNoFolderGiven;
    }

    void sourceStops()
    {
        QFETCH(bool, archive);
        QFETCH(QString, text);
        QFETCH(QString, message);
        if (archive)
            QVERIFY(loadLibrary());
        open(2);
        tc->messages.shown.clear(); // no pet to back up
        archiveText()->setText(text);
        form->BtnReload_Click();
        QCOMPARE(tc->messages.texts(), QStringList{message});
        QVERIFY(!enabled("BtnRestore"));
    }

    void archiveChooser_cancelKeepsText_choiceChecks()
    {
        QVERIFY(loadLibrary()); // the file chosen is no archive
        hostfolder::write(outside(), QStringLiteral("b.lzh"), "x");
        open(2);
        tc->messages.shown.clear(); // no pet to back up
        archiveText()->setText(QStringLiteral("typed"));
        cCommonDlg::setChooser([](const cCommonDlg&) { return std::optional<QString>(); });
        child<QPushButton>(form.get(), "BtnReferFile")->click();
        QCOMPARE(archiveText()->text(), QStringLiteral("typed"));
        QVERIFY(tc->messages.shown.isEmpty());

        const QString chosen = outside() + QStringLiteral("/b.lzh");
        cCommonDlg::setChooser([&](const cCommonDlg&) { return std::optional<QString>(chosen); });
        child<QPushButton>(form.get(), "BtnReferFile")->click();
        QCOMPARE(archiveText()->text(), chosen);
        QCOMPARE(tc->messages.texts(), QStringList{kMsgNotLhaArchive});
    }

    void fullTable_refusesRestoreBeforeStaging()
    {
        const QString backup = backupFolder();
        for (int i = 1; i < kMaxPets; ++i)
            table().Pet[i] = QStringLiteral("p%1").arg(i);
        table().MaxUser = kMaxPets - 1;
        openOnFolder(backup);
        bool ran = false;
        BackUpForm::setRestoreRunner([&](RestoreForm&) { ran = true; });
        form->BtnRestore_Click();
        QVERIFY(!ran);
        QCOMPARE(tc->messages.texts(), QStringList{texts::kMsgTooManyPets});
        QVERIFY(!hostfolder::exists(host() + QStringLiteral("/ユーザー101")));
        QVERIFY(form->isVisible());
    }

    // A plain copy of a pet folder: the restore dialog shows what it holds; cancelling removes
    // the staged folder and leaves the backup dialog open.
    void restore_plainCopyCancelled()
    {
        const QString plain = outside() + QStringLiteral("/plain");
        hostfolder::write(plain, items::kSettings, "s");
        hostfolder::write(plain, items::kOutbox + QStringLiteral("/o.mwm"), "o");
        openOnFolder(plain);
        QCOMPARE(info(), QStringLiteral(" 未設定 未設定 不明"));
        BackUpForm::setRestoreRunner([&](RestoreForm& r) {
            r.show();
            QCOMPARE(child<QLineEdit>(&r, "TxtNewPet")->text(), QStringLiteral("未設定"));
            for (int row = 0; row < kPresenceRows; ++row)
                QCOMPARE(r.rowPresent(row), row == 0 || row == 4);
            QVERIFY(hostfolder::exists(RestoreStagingFolder(session()) + items::kSettings));
            child<QPushButton>(&r, "BtnNewNO")->click();
        });
        form->BtnRestore_Click();
        QVERIFY(form->isVisible());
        QCOMPARE(table().MaxUser, -1);
        QVERIFY(!hostfolder::exists(folderOf(0)));
        QVERIFY(!hostfolder::exists(RestoreStagingFolder(session())));
    }

    // An archive read with 情報読込 must be read again once its path is edited.
    void archive_editedPathMustBeReadAgain()
    {
        if (!loadLibrary())
            QSKIP("libunlha32.so is not built in KENNEL_BIN_DIR yet");
        const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("かいぬし"));
        QVERIFY(BackupToArchive(session(), library(), i, outside(), QDate::currentDate()));
        open(2);
        archiveText()->setText(todaysBackup() + QStringLiteral(".lzh"));
        form->BtnReload_Click();
        QVERIFY(info().startsWith(QStringLiteral(" ポチ")));
        QVERIFY(enabled("BtnRestore"));
        QTest::keyClick(archiveText(), Qt::Key_End);
        QTest::keyClick(archiveText(), Qt::Key_Backspace);
        QVERIFY(!enabled("BtnRestore"));
    }
};

QTEST_MAIN(TestBackUpForm)
#include "test_backupform.moc"
