// The backup dialog and the restore dialog, driven through their controls and handlers.
#include "backup/BackUpForm.h"
#include "backup/Backup.h"
#include "backup/RestoreForm.h"
#include "controls/cCommonDlg.h"
#include "controls/cTabStrip.h"
#include "tests/backup/BackupFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {
const QString kDone = QStringLiteral("バックアップが完了しました。");
const QString kFailed = QStringLiteral("バックアップに失敗しました。");
const QString kNoPet = QStringLiteral("バックアップするペットが存在しません。");

template <typename T>
T* child(QObject* parent, const char* name)
{
    T* w = parent->findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}
}  // namespace

class TestBackUpForm : public QObject {
    Q_OBJECT

    std::unique_ptr<BackupFixture> fx;
    std::unique_ptr<BackUpForm> form;

    BackUpForm& open(int tab = 1)
    {
        fx->ctx().BackupTab = tab;
        form = std::make_unique<BackUpForm>(fx->ctx());
        form->Form_Load();
        form->show();
        return *form;
    }
    QLabel* label(const char* name) { return child<QLabel>(form.get(), name); }
    QPushButton* button(const char* name) { return child<QPushButton>(form.get(), name); }
    QStringList infoTexts()
    {
        return {label("LblRInfo_0")->text(), label("LblRInfo_1")->text(), label("LblRInfo_2")->text()};
    }
    // A backup folder of ポチ in outside/, made on 31 October 1999; the pet stays registered.
    QString backupFolder()
    {
        const int i = fx->addPet(QStringLiteral("ポチ"), QStringLiteral("かいぬし"));
        BackupToFolder(fx->ctx(), i, fx->outside() + QLatin1Char('/'), QDate(1999, 10, 31));
        return fx->outside() + QStringLiteral("/ポチ991031");
    }

private slots:
    void init() { fx = std::make_unique<BackupFixture>(); }
    void cleanup()
    {
        form.reset();
        BackUpForm::setRestoreRunner({});
        cCommonDlg::setChooser({});
    }

    void opening_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("installed");
        QTest::newRow("backup tab, library installed") << 1 << true;
        QTest::newRow("restore tab, library missing") << 2 << false;
    }

    void opening()
    {
        QFETCH(int, tab);
        QFETCH(bool, installed);
        fx->addPet(QStringLiteral("ポチ"), QStringLiteral("a"));
        fx->addPet(QStringLiteral("タマ"), QStringLiteral("b"));
        fx->ctx().UnlhaInstalled = installed;
        open(tab);
        QCOMPARE(form->tabStrip().SelectedItem(), tab);
        QCOMPARE(child<QFrame>(form.get(), "FrmTabSheet_0")->isVisible(), tab == 1);
        QCOMPARE(child<QFrame>(form.get(), "FrmTabSheet_1")->isVisible(), tab == 2);
        QCOMPARE(child<QComboBox>(form.get(), "CmbPetSel")->count(), 2);
        QVERIFY(!button("BtnBackup")->isEnabled());
        // Without the library only folders: no compression, no archive source.
        auto* lha = child<QCheckBox>(form.get(), "ChkLha");
        QCOMPARE(lha->isChecked() && lha->isEnabled(), installed);
        QCOMPARE(child<QRadioButton>(form.get(), "OptRestore_0")->isChecked(), installed);
        QCOMPARE(child<QRadioButton>(form.get(), "OptRestore_0")->isEnabled(), installed);
        QCOMPARE(button("BtnReferFile")->isEnabled(), installed);
        QCOMPARE(button("BtnRefer_1")->isEnabled(), !installed);
        QVERIFY(fx->tc->messages.shown.isEmpty());
    }

    void noPet_opensOnRestoreWithBackupDisabled()
    {
        open(1);
        QCOMPARE(fx->tc->messages.texts(), QStringList{kNoPet});
        QCOMPARE(fx->tc->messages.shown.first().icon, MsgIcon::Critical);
        QCOMPARE(form->tabStrip().SelectedItem(), 2);
        QVERIFY(child<QFrame>(form.get(), "FrmTabSheet_1")->isVisible());
        QVERIFY(!child<QComboBox>(form.get(), "CmbPetSel")->isEnabled());
        QVERIFY(!button("BtnRefer_0")->isEnabled());
        QVERIFY(!button("BtnBackup")->isEnabled());
    }

    void cancelledPicker_keepsDestination()
    {
        fx->addPet(QStringLiteral("ポチ"), QStringLiteral("a"));
        open(1);
        fx->picker.answers = {QString(), fx->outside(), QString()};
        form->BtnRefer_Click(0);
        QCOMPARE(label("LblPath_0")->text(), QString());
        QVERIFY(!button("BtnBackup")->isEnabled());
        form->BtnRefer_Click(0);
        QCOMPARE(label("LblPath_0")->text(), fx->outside() + QLatin1Char('/'));
        QVERIFY(button("BtnBackup")->isEnabled());
        form->BtnRefer_Click(0);
        QCOMPARE(label("LblPath_0")->text(), fx->outside() + QLatin1Char('/'));
        QCOMPARE(fx->picker.titles.first(), QStringLiteral("バックアップ先のフォルダを選択してください"));
        QVERIFY(fx->tc->messages.shown.isEmpty());
    }

    void backupButton_data()
    {
        QTest::addColumn<bool>("agree");
        QTest::newRow("new folder: complete") << true;
        QTest::newRow("overwrite declined: failed") << false;
    }

    void backupButton()
    {
        QFETCH(bool, agree);
        fx->addPet(QStringLiteral("タマ"), QStringLiteral("b"));
        fx->addPet(QStringLiteral("ポチ"), QStringLiteral("a"));
        const QString target = fx->outside() + QLatin1Char('/') + backupBaseName(QStringLiteral("ポチ"), QDate::currentDate());
        if (!agree) {
            QDir().mkpath(target);
            fx->tc->messages.answer(MsgAnswer::No);
        }
        open(1);
        child<QComboBox>(form.get(), "CmbPetSel")->setCurrentIndex(1);
        fx->picker.answers = {fx->outside()};
        form->BtnRefer_Click(0);
        button("BtnBackup")->click();

        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QCOMPARE(fx->tc->view.busyOnCount, 1);
        QCOMPARE(fx->tc->view.busyOffCount, 1);
        QCOMPARE(fx->ctx().GaugePos, 100);
        QCOMPARE(fx->ctx().StepSize, 0);
        const auto& last = fx->tc->messages.shown.last();
        QCOMPARE(last.text, agree ? kDone : kFailed);
        QCOMPARE(last.icon, agree ? MsgIcon::Information : MsgIcon::Critical);
        QCOMPARE(QFileInfo(target + QStringLiteral("/おもちゃ/ball.pty")).isFile(), agree);
    }

    void folderSource_showsInformation()
    {
        const QString backup = backupFolder();
        fx->ctx().UnlhaInstalled = true;
        open(2);
        child<QRadioButton>(form.get(), "OptRestore_1")->click();
        fx->picker.answers = {backup, QString()};
        form->BtnRefer_Click(1);
        QCOMPARE(label("LblPath_1")->text(), backup + QLatin1Char('/'));
        QCOMPARE(infoTexts(), (QStringList{QStringLiteral(" ポチ"), QStringLiteral(" かいぬし"), QStringLiteral(" 1999年10月31日")}));
        QVERIFY(button("BtnRestore")->isEnabled());
        // A cancelled picker changes nothing and checks nothing.
        form->BtnRefer_Click(1);
        QCOMPARE(label("LblPath_1")->text(), backup + QLatin1Char('/'));
        QVERIFY(button("BtnRestore")->isEnabled());
        QVERIFY(fx->tc->messages.shown.isEmpty());
        // Switching the source kind clears the display.
        child<QRadioButton>(form.get(), "OptRestore_0")->click();
        QCOMPARE(infoTexts(), (QStringList{QString(), QString(), QString()}));
        QVERIFY(!button("BtnRestore")->isEnabled());
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
        fx->ctx().UnlhaInstalled = archive;
        open(2);
        fx->tc->messages.shown.clear();  // no pet to back up
        child<QLineEdit>(form.get(), "TxtRestoreFile")->setText(text);
        form->BtnReload_Click();
        QCOMPARE(fx->tc->messages.texts(), QStringList{message});
        QVERIFY(!button("BtnRestore")->isEnabled());
    }

    void archiveChooser_cancelKeepsText_choiceChecks()
    {
        fx->ctx().UnlhaInstalled = true;  // but no library: every archive is refused
        hostfolder::write(fx->outside(), QStringLiteral("b.lzh"), "x");
        open(2);
        fx->tc->messages.shown.clear();  // no pet to back up
        auto* text = child<QLineEdit>(form.get(), "TxtRestoreFile");
        text->setText(QStringLiteral("typed"));
        QString title;
        cCommonDlg::setChooser([&](const cCommonDlg& d, int) {
            title = d.DialogTitle();
            return std::optional<QString>();
        });
        button("BtnReferFile")->click();
        QCOMPARE(title, QStringLiteral("ﾌｧｲﾙの選択"));
        QCOMPARE(text->text(), QStringLiteral("typed"));
        QVERIFY(fx->tc->messages.shown.isEmpty());

        const QString chosen = fx->outside() + QStringLiteral("/b.lzh");
        cCommonDlg::setChooser([&](const cCommonDlg&, int) { return std::optional<QString>(chosen); });
        button("BtnReferFile")->click();
        QCOMPARE(text->text(), chosen);
        QCOMPARE(fx->tc->messages.texts(), QStringList{kMsgNotLhaArchive});
    }

    void fullTable_refusesRestoreBeforeStaging()
    {
        const QString backup = backupFolder();
        for (int i = 1; i < kMaxPets; ++i)
            fx->ctx().table.Pet[i] = QStringLiteral("p%1").arg(i);
        fx->ctx().table.MaxUser = kMaxPets - 1;
        open(2);
        child<QRadioButton>(form.get(), "OptRestore_1")->click();
        fx->picker.answers = {backup};
        form->BtnRefer_Click(1);
        bool ran = false;
        BackUpForm::setRestoreRunner([&](RestoreForm&) { ran = true; });
        form->BtnRestore_Click();
        QVERIFY(!ran);
        QCOMPARE(fx->tc->messages.texts(), QStringList{texts::kMsgTooManyPets});
        QVERIFY(!hostfolder::exists(fx->host() + QStringLiteral("/ユーザー101")));
        QVERIFY(form->isVisible());
    }

    void restore_register_closesBothAndKeepsFolder()
    {
        const QString backup = backupFolder();
        open(2);
        child<QRadioButton>(form.get(), "OptRestore_1")->click();
        fx->picker.answers = {backup};
        form->BtnRefer_Click(1);
        BackUpForm::setRestoreRunner([&](RestoreForm& r) {
            r.show();
            QCOMPARE(child<QLineEdit>(&r, "TxtNewPet")->text(), QStringLiteral("ポチ"));
            QCOMPARE(child<QLineEdit>(&r, "TxtNewMaster")->text(), QStringLiteral("かいぬし"));
            for (int row = 0; row < kPresenceRows; ++row)
                QVERIFY(r.rowPresent(row));
            child<QLineEdit>(&r, "TxtNewPet")->setText(QStringLiteral("ポチ二世"));
            child<QPushButton>(&r, "BtnNewPet")->click();
            QVERIFY(!r.isVisible());
        });
        form->BtnRestore_Click();
        QVERIFY(fx->ctx().NewPetRegistered);
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QVERIFY(!form->isVisible());
        QCOMPARE(fx->ctx().table.MaxUser, 1);
        QCOMPARE(fx->ctx().table.Pet[1], QStringLiteral("ポチ二世"));
        QCOMPARE(dataOf(fx->pet(1)), dataOf(fx->pet(0)));
        QCOMPARE(fx->tc->messages.texts().last(), kMsgRestoreDone);
    }

    void restore_cancel_removesFolderAndStaysOpen()
    {
        const QString backup = fx->outside() + QStringLiteral("/plain");
        hostfolder::write(backup, items::kSettings, "s");
        hostfolder::write(backup, items::kOutbox + QStringLiteral("/o.mwm"), "o");
        open(2);
        child<QRadioButton>(form.get(), "OptRestore_1")->click();
        fx->picker.answers = {backup};
        form->BtnRefer_Click(1);
        QCOMPARE(infoTexts(), (QStringList{QStringLiteral(" 未設定"), QStringLiteral(" 未設定"), QStringLiteral(" 不明")}));
        BackUpForm::setRestoreRunner([&](RestoreForm& r) {
            r.show();
            QCOMPARE(child<QLineEdit>(&r, "TxtNewPet")->text(), QStringLiteral("未設定"));
            const QList<bool> expected{true, false, false, false, true, false};
            for (int row = 0; row < kPresenceRows; ++row)
                QCOMPARE(r.rowPresent(row), expected[row]);
            QVERIFY(hostfolder::exists(fx->pet(0) + QLatin1Char('/') + items::kSettings));
            child<QPushButton>(&r, "BtnNewNO")->click();
        });
        form->BtnRestore_Click();
        QVERIFY(!hostfolder::exists(fx->pet(0)));
        QVERIFY(!fx->ctx().NewPetRegistered);
        QVERIFY(form->isVisible());
        QCOMPARE(fx->ctx().table.MaxUser, -1);
    }

    void archive_backupAndRestoreThroughTheDialogs()
    {
        if (!fx->loadLibrary())
            QSKIP("libunlha32.so is not built in KENNEL_BIN_DIR yet");
        fx->addPet(QStringLiteral("ポチ"), QStringLiteral("かいぬし"));
        open(1);
        QVERIFY(child<QCheckBox>(form.get(), "ChkLha")->isChecked());
        fx->picker.answers = {fx->outside()};
        form->BtnRefer_Click(0);
        form->BtnBackup_Click();
        QCOMPARE(fx->tc->messages.texts(), QStringList{kDone});
        const QString lzh = fx->outside() + QLatin1Char('/') + backupBaseName(QStringLiteral("ポチ"), QDate::currentDate())
                            + QStringLiteral(".lzh");
        QVERIFY(QFileInfo(lzh).isFile());

        open(2);
        child<QLineEdit>(form.get(), "TxtRestoreFile")->setText(lzh);
        form->BtnReload_Click();
        QCOMPARE(infoTexts().at(0), QStringLiteral(" ポチ"));
        QVERIFY(button("BtnRestore")->isEnabled());
        // A changed path must be checked again.
        QTest::keyClick(child<QLineEdit>(form.get(), "TxtRestoreFile"), Qt::Key_End);
        QTest::keyClick(child<QLineEdit>(form.get(), "TxtRestoreFile"), Qt::Key_Backspace);
        QVERIFY(!button("BtnRestore")->isEnabled());
        child<QLineEdit>(form.get(), "TxtRestoreFile")->setText(lzh);
        form->BtnReload_Click();
        QVERIFY(button("BtnRestore")->isEnabled());
        BackUpForm::setRestoreRunner([&](RestoreForm& r) {
            child<QLineEdit>(&r, "TxtNewPet")->setText(QStringLiteral("ポチ2"));
            r.BtnNewPet_Click();
        });
        form->BtnRestore_Click();
        QVERIFY(fx->ctx().NewPetRegistered);
        QCOMPARE(dataOf(fx->pet(1)), dataOf(fx->pet(0)));
    }
};

QTEST_MAIN(TestBackUpForm)
#include "test_backupform.moc"
