// The backup dialog and the restore dialog through their controls: the
// refusals before anything is read or staged, a plain copy's restore cancelled. What the
// checks and the restore decide is tested in test_backup and test_restore; backing up and
// restoring both ways is driven in the end-to-end backup journey.
#include "ui/backup/BackUpForm.h"
#include "backup/Backup.h"
#include "ui/backup/RestoreForm.h"
#include "ui/controls/cCommonDlg.h"
#include "registry/Texts.h"
#include "tests/support/HostTest.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

class TestBackUpForm : public HostTest {
    Q_OBJECT

    std::unique_ptr<BackUpForm> form;

    template <typename T = QWidget>
    T* child(const char* name, QObject* parent = nullptr)
    {
        T* w = (parent ? parent : form.get())->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    bool enabled(const char* name) { return child(name)->isEnabled(); }
    QLineEdit* archiveText() { return child<QLineEdit>("TxtRestoreFile"); }
    QString info()
    {
        return child<QLabel>("LblRInfo_0")->text() + child<QLabel>("LblRInfo_1")->text() + child<QLabel>("LblRInfo_2")->text();
    }
    // Opens on a tab; on the restore tab with a folder chosen through the picker.
    void open(int tab, const QString& folder = {})
    {
        form = std::make_unique<BackUpForm>(session(), library(), tab);
        form->Form_Load();
        form->show();
        tc->messages.shown.clear(); // no pet to back up
        if (folder.isEmpty())
            return;
        child<QRadioButton>("OptRestore_1")->click();
        tc->picker.answers = {folder};
        form->BtnRefer_Click(1);
    }

private slots:
    void init() { newHostBeside(); }
    void cleanup()
    {
        form.reset();
        BackUpForm::setRestoreRunner({});
        cCommonDlg::setChooser({});
    }

    // Checks that stop before looking at any file or folder: no archive given, no such archive,
    // no folder chosen yet.
    void sourceStops()
    {
        for (const auto& [archive, text, message] : {std::tuple(true, "", kMsgNoFileGiven),
                                                     std::tuple(true, "/nonexistent/ポチ.lzh", kMsgNoSuchFile),
                                                     std::tuple(false, "", kMsgNoFolderGiven)}) {
            cleanup(), init();
            QVERIFY(!archive || loadLibrary());
            open(2);
            archiveText()->setText(QString::fromUtf8(text));
            form->BtnReload_Click();
            QCOMPARE(messages().value(0), message);
            QVERIFY(!enabled("BtnRestore"));
        }
    }

    // A cancelled chooser keeps the typed path; a chosen file is checked at once; an archive read
    // with 情報読込 must be read again once its path is edited.
    void archivePath_chosenOrEditedIsReadAgain()
    {
        REQUIRE_LIBRARY();
        const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("かいぬし"));
        QVERIFY(BackupToArchive(session(), library(), i, outside(), QDate::currentDate()));
        const QString chosen = outside() + QStringLiteral("/b.lzh");
        hostfolder::write(outside(), QStringLiteral("b.lzh"), "x"); // no archive
        open(2);
        archiveText()->setText(QStringLiteral("typed"));
        for (const QString& answer : {QString(), chosen}) {
            cCommonDlg::setChooser([&](const cCommonDlg&) { return answer.isEmpty() ? std::nullopt : std::optional(answer); });
            child<QPushButton>("BtnReferFile")->click();
            QCOMPARE(archiveText()->text(), answer.isEmpty() ? QStringLiteral("typed") : chosen);
            QCOMPARE(messages(), answer.isEmpty() ? QStringList() : QStringList{kMsgNotLhaArchive});
        }
        archiveText()->setText(outside() + '/' + backupBaseName(QStringLiteral("ポチ"), QDate::currentDate()) + ".lzh");
        form->BtnReload_Click();
        QVERIFY(info().startsWith(QStringLiteral(" ポチ")) && enabled("BtnRestore"));
        QTest::keyClick(archiveText(), Qt::Key_Backspace); // the cursor stands at the end of the text set
        QVERIFY(!enabled("BtnRestore"));
    }

    void fullTable_refusesRestoreBeforeStaging()
    {
        const int i = addPet(QStringLiteral("ポチ"), QStringLiteral("かいぬし"));
        BackupToFolder(session(), i, outside() + QLatin1Char('/'), none(), QDate(1999, 10, 31));
        addPets(kMaxPets, 0);
        open(2, outside() + QStringLiteral("/ポチ991031"));
        bool ran = false;
        BackUpForm::setRestoreRunner([&](RestoreForm&) { ran = true; });
        form->BtnRestore_Click();
        QVERIFY(!ran && form->isVisible());
        QCOMPARE(messages(), QStringList{texts::kMsgTooManyPets});
        QVERIFY(!hostfolder::exists(host() + QStringLiteral("/ユーザー101")));
    }

    // A plain copy of a pet folder: the restore dialog shows what it holds; cancelling leaves
    // the backup dialog open and nothing registered.
    void restore_plainCopyCancelled()
    {
        const QString plain = outside() + QStringLiteral("/plain");
        hostfolder::write(plain, items::kSettings, "s");
        hostfolder::write(plain, items::kOutbox + QStringLiteral("/o.mwm"), "o");
        open(2, plain);
        QCOMPARE(info(), QStringLiteral(" 未設定 未設定 不明"));
        BackUpForm::setRestoreRunner([&](RestoreForm& r) {
            r.show();
            for (int row = 0; row < kPresenceRows; ++row)
                QCOMPARE(r.rowPresent(row), row == 0 || row == 4);
            child<QPushButton>("BtnNewNO", &r)->click();
        });
        form->BtnRestore_Click();
        QVERIFY(form->isVisible());
        QCOMPARE(table().MaxUser, -1);
        QVERIFY(!hostfolder::exists(folderOf(0)) && !hostfolder::exists(RestoreStagingFolder(session())));
    }
};

QTEST_MAIN(TestBackUpForm)
#include "test_backupform.moc"
