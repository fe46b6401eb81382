// The main window driven as a user would: texts, menus, busy state, close guard, keyboard
// order, and the pet switch, deletion, settings and about box reached from it.
#include "app/Registry.h"
#include "tests/support/HostFolder.h"
#include "tests/support/TestPorts.h"
#include "ui/main/AboutForm.h"
#include "ui/main/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>

using hostfolder::read;

namespace {
const QStringList kBusyControls = {"CmbPetSel", "TxtMaster", "BtnLaunch", "BtnOyatsu",
                                   "BtnBackUp", "BtnConfig", "BtnDelete", "BtnExit"};
const QStringList kBusyMenuItems = {"MnuFileLaunch", "MnuFileImport", "MnuPetNew", "MnuPetDel",
                                    "MnuPetBackUp_0", "MnuPetBackUp_1", "MnuSetConfig"};
const QStringList kAlwaysEnabledItems = {"MnuFileExit", "MnuHelpAbout", "MnuHelpUnlha"};
}  // namespace

class TestMainForm : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TestContext> tc;
    std::unique_ptr<MainForm> main;

    QString host() const { return dir->path(); }
    QString pet(int n) const { return host() + QStringLiteral("/ユーザー") + QString::number(n); }
    Context& ctx() { return tc->ctx; }

    template <typename T = QWidget>
    T* control(const QString& name)
    {
        T* w = main->findChild<T*>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    QAction* action(const QString& name) { return control<QAction>(name); }
    QComboBox* selector() { return control<QComboBox>(QStringLiteral("CmbPetSel")); }

    // Runs f on the next modal dialog once it is up (the caller then opens it).
    void whenModal(std::function<void(QWidget*)> f)
    {
        auto* timer = new QTimer(this);
        timer->setInterval(10);
        connect(timer, &QTimer::timeout, this, [timer, f] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                timer->stop();
                timer->deleteLater();
                f(w);
            }
        });
        timer->start();
    }

    // Picks an entry as the keyboard does; the selector reports it like a user's choice.
    void chooseWithKey(Qt::Key key)
    {
        selector()->setFocus();
        QTest::keyClick(selector(), key);
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        hostfolder::makeHost(host(), QStringLiteral("A"));
        hostfolder::makeHost(pet(1), QStringLiteral("A"));
        hostfolder::makeHost(pet(2), QStringLiteral("B"));
        tc = std::make_unique<TestContext>(host());
        PetTable& t = ctx().table;
        t.Pet[0] = QStringLiteral("ぽち");
        t.Master[0] = QStringLiteral("太郎");
        t.Pet[1] = QStringLiteral("たま");
        t.Master[1] = QStringLiteral("花子");
        t.MaxUser = 1;
        t.CurrentUser = 0;
        hostfolder::write(host(), QStringLiteral("Kennel.ini"), *formatRegistry(t));
        t = PetTable();

        main = std::make_unique<MainForm>(ctx(), true);
        main->Form_Load();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        QTRY_VERIFY_WITH_TIMEOUT(!ctx().FileProcessing && ctx().RegistryLoaded, 20000);
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
    }

    void cleanup()
    {
        ctx().FileProcessing = false;
        main.reset();
    }

    void startupLeavesCurrentPetSelectedAndFocused()
    {
        QCOMPARE(selector()->count(), 3);
        QCOMPARE(selector()->itemText(0), QStringLiteral("新規ペット"));
        QCOMPARE(selector()->currentText(), QStringLiteral("ぽち"));
        QCOMPARE(control<QLineEdit>(QStringLiteral("TxtMaster"))->text(), QStringLiteral("太郎"));
        QCOMPARE(QApplication::focusWidget(), selector());
        QVERIFY(control<QLabel>(QStringLiteral("ImgLogo"))->pixmap().width() > 0);
        QVERIFY(!control<QToolButton>(QStringLiteral("BtnLaunch"))->icon().isNull());
    }

    void controlTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("tip");
        QTest::newRow("CmbPetSel") << "CmbPetSel" << QStringLiteral("起動したいペットを選んでください。");
        QTest::newRow("TxtMaster") << "TxtMaster" << QStringLiteral("飼い主の名前");
        QTest::newRow("BtnLaunch") << "BtnLaunch" << QStringLiteral("ミューメールを起動します。");
        QTest::newRow("BtnDelete") << "BtnDelete" << QStringLiteral("現在選択中のペットを削除します。");
        QTest::newRow("BtnBackUp") << "BtnBackUp" << QStringLiteral("ペットをバックアップ・リストアします。");
        QTest::newRow("BtnConfig") << "BtnConfig" << QStringLiteral("環境設定を行います。");
        QTest::newRow("BtnOyatsu") << "BtnOyatsu" << QStringLiteral("おやつをインポートします。");
        QTest::newRow("BtnExit") << "BtnExit" << QStringLiteral("終了します。");
        QTest::newRow("ImgBusy") << "ImgBusy" << QStringLiteral("ビジーランプ");
        QTest::newRow("PicProgress") << "PicProgress" << QStringLiteral("処理状況ゲージ");
    }

    void controlTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, tip);
        QCOMPARE(control(name)->toolTip(), tip);
        QCOMPARE(main->windowTitle(), QStringLiteral("Kennel 2001"));
        QCOMPARE(control<QGroupBox>(QStringLiteral("FrmPetSel"))->title(),
                 QStringLiteral("起動したいペットを選択してください。"));
        QCOMPARE(control<QLabel>(QStringLiteral("LblMaster"))->text(), QStringLiteral("飼い主の名前"));
    }

    void menuItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::newRow("MnuFileLaunch") << "MnuFileLaunch" << QStringLiteral("Mewmailを起動(&P)") << QKeySequence(QStringLiteral("Ctrl+P"));
        QTest::newRow("MnuFileImport") << "MnuFileImport" << QStringLiteral("おやつのｲﾝﾎﾟｰﾄ(&I)") << QKeySequence(QStringLiteral("Ctrl+I"));
        QTest::newRow("MnuFileExit") << "MnuFileExit" << QStringLiteral("閉じる(&X)") << QKeySequence(QStringLiteral("Ctrl+Q"));
        QTest::newRow("MnuPetNew") << "MnuPetNew" << QStringLiteral("新規ﾍﾟｯﾄ(&N)") << QKeySequence(QStringLiteral("Ctrl+N"));
        QTest::newRow("MnuPetDel") << "MnuPetDel" << QStringLiteral("ﾍﾟｯﾄ削除(&D)") << QKeySequence(QStringLiteral("Ctrl+D"));
        QTest::newRow("MnuPetBackUp_0") << "MnuPetBackUp_0" << QStringLiteral("ﾍﾟｯﾄのﾊﾞｯｸｱｯﾌﾟ") << QKeySequence(QStringLiteral("Ctrl+B"));
        QTest::newRow("MnuPetBackUp_1") << "MnuPetBackUp_1" << QStringLiteral("ﾍﾟｯﾄのﾘｽﾄｱ") << QKeySequence(QStringLiteral("Ctrl+R"));
        QTest::newRow("MnuSetConfig") << "MnuSetConfig" << QStringLiteral("環境設定(&C)") << QKeySequence(QStringLiteral("Ctrl+S"));
        QTest::newRow("MnuHelpAbout") << "MnuHelpAbout" << QStringLiteral("Kennel 2001 について") << QKeySequence();
        QTest::newRow("MnuHelpUnlha") << "MnuHelpUnlha" << QStringLiteral("Unlha32.dll について") << QKeySequence();
    }

    void menuItems()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QKeySequence, shortcut);
        QCOMPARE(action(name)->text(), caption);
        QCOMPARE(action(name)->shortcut(), shortcut);
    }

    void menuTitles()
    {
        const QStringList titles = {QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("ﾍﾟｯﾄ(&P)"), QStringLiteral("設定(&S)"),
                                    QStringLiteral("ﾍﾙﾌﾟ(&H)")};
        const QStringList names = {"MnuFile", "MnuPet", "MnuSet", "MnuHelp"};
        for (int k = 0; k < names.size(); ++k)
            QCOMPARE(control<QMenu>(names[k])->title(), titles[k]);
    }

    void busyStateCoversEveryCommand_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("isAction");
        QTest::addColumn<bool>("disabledWhileBusy");
        for (const QString& n : kBusyControls)
            QTest::newRow(qPrintable(n)) << n << false << true;
        for (const QString& n : kBusyMenuItems)
            QTest::newRow(qPrintable(n)) << n << true << true;
        for (const QString& n : kAlwaysEnabledItems)
            QTest::newRow(qPrintable(n)) << n << true << false;
    }

    void busyStateCoversEveryCommand()
    {
        QFETCH(QString, name);
        QFETCH(bool, isAction);
        QFETCH(bool, disabledWhileBusy);
        auto enabled = [&] { return isAction ? action(name)->isEnabled() : control(name)->isEnabled(); };
        auto lamp = [&] { return control<QLabel>(QStringLiteral("ImgBusy"))->pixmap().toImage(); };
        const QImage busyPicture = control<QLabel>(QStringLiteral("PicBusy_0"))->pixmap().toImage();
        const QImage idlePicture = control<QLabel>(QStringLiteral("PicBusy_1"))->pixmap().toImage();
        QVERIFY(busyPicture != idlePicture);
        QCOMPARE(lamp(), idlePicture);

        main->BusyOn();
        QCOMPARE(enabled(), !disabledWhileBusy);
        QVERIFY(ctx().FileProcessing);
        QCOMPARE(lamp(), busyPicture);
        QCOMPARE(main->cursor().shape(), Qt::WaitCursor);

        main->BusyOff();
        QVERIFY(enabled());
        QVERIFY(!ctx().FileProcessing);
        QCOMPARE(lamp(), idlePicture);
        QCOMPARE(main->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(QApplication::focusWidget(), selector());
    }

    void idleWithNewPetEntryKeepsDeleteDisabled()
    {
        chooseWithKey(Qt::Key_Home);
        QCOMPARE(selector()->currentText(), QStringLiteral("新規ペット"));
        main->BusyOn();
        main->BusyOff();
        QVERIFY(!control(QStringLiteral("BtnDelete"))->isEnabled());
        QVERIFY(!action(QStringLiteral("MnuPetDel"))->isEnabled());
        QVERIFY(control(QStringLiteral("BtnLaunch"))->isEnabled());
    }

    void closeGuardWhileBusy()
    {
        main->BusyOn();
        action(QStringLiteral("MnuFileExit"))->trigger();
        QTest::keyClick(main.get(), Qt::Key_Q, Qt::ControlModifier);
        main->close();
        QCOMPARE(tc->messages.texts(), QStringList(3, QStringLiteral("ファイル処理中です。しばらくしてから終了してください。")));
        QCOMPARE(tc->messages.shown[0].icon, MsgIcon::Critical);
        QVERIFY(main->isVisible());
        main->BusyOff();
    }

    void tabOrderFollowsTheWindow()
    {
        QStringList visited;
        selector()->setFocus();
        for (int k = 0; k < 7; ++k) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, (QStringList{"TxtMaster", "BtnLaunch", "BtnDelete", "BtnBackUp", "BtnConfig",
                                       "BtnOyatsu", "BtnExit"}));
    }

    void choosingPetsInTheSelector()
    {
        chooseWithKey(Qt::Key_Down);
        QCOMPARE(selector()->currentText(), QStringLiteral("たま"));
        QCOMPARE(ctx().table.CurrentUser, 1);
        QCOMPARE(control<QLineEdit>(QStringLiteral("TxtMaster"))->text(), QStringLiteral("花子"));
        QCOMPARE(read(host() + QStringLiteral("/おやつ/cake.pac")), QByteArray("snack B"));
        QCOMPARE(parseRegistry(read(host() + QStringLiteral("/Kennel.ini"))).table.CurrentUser, 1);
        QVERIFY(control(QStringLiteral("BtnDelete"))->isEnabled());

        chooseWithKey(Qt::Key_Home);
        QCOMPARE(ctx().table.CurrentUser, -1);
        QVERIFY(control<QLineEdit>(QStringLiteral("TxtMaster"))->text().isEmpty());
        QVERIFY(!control(QStringLiteral("BtnDelete"))->isEnabled());
        QVERIFY(!action(QStringLiteral("MnuPetDel"))->isEnabled());

        chooseWithKey(Qt::Key_Down);
        QCOMPARE(ctx().table.CurrentUser, 0);
        QCOMPARE(read(host() + QStringLiteral("/おやつ/cake.pac")), QByteArray("snack A"));
        QVERIFY(control(QStringLiteral("BtnDelete"))->isEnabled());
        QVERIFY(action(QStringLiteral("MnuPetDel"))->isEnabled());
        QVERIFY(tc->messages.shown.isEmpty());
    }

    void newPetMenuSelectsNewPetEntryFirst()
    {
        QString opened;
        whenModal([&](QWidget* dialog) {
            opened = dialog->objectName();
            dialog->close();
        });
        action(QStringLiteral("MnuPetNew"))->trigger();
        QCOMPARE(opened, QStringLiteral("NewForm"));
        QCOMPARE(selector()->currentText(), QStringLiteral("新規ペット"));
        QCOMPARE(ctx().table.CurrentUser, -1);
        QVERIFY(!control(QStringLiteral("BtnDelete"))->isEnabled());
        QVERIFY(control<QLineEdit>(QStringLiteral("TxtMaster"))->text().isEmpty());
    }

    void deleteFromTheWindow()
    {
        chooseWithKey(Qt::Key_Down);  // たま
        QTest::mouseClick(control(QStringLiteral("BtnDelete")), Qt::LeftButton);
        QCOMPARE(tc->messages.shown.size(), 1);
        QCOMPARE(selector()->count(), 2);
        QCOMPARE(selector()->itemText(1), QStringLiteral("ぽち"));
        QCOMPARE(selector()->currentText(), QStringLiteral("新規ペット"));
        QVERIFY(!control(QStringLiteral("BtnDelete"))->isEnabled());
        QVERIFY(!hostfolder::exists(pet(2)));
        QVERIFY(!ctx().FileProcessing);
    }

    void settingsFromTheWindow()
    {
        whenModal([](QWidget* dialog) {
            QCOMPARE(dialog->objectName(), QStringLiteral("ConfigForm"));
            dialog->findChild<QRadioButton*>(QStringLiteral("OptToys_0"))->click();
            dialog->findChild<QPushButton*>(QStringLiteral("BtnConfigOK"))->click();
        });
        QTest::mouseClick(control(QStringLiteral("BtnConfig")), Qt::LeftButton);
        QVERIFY(ctx().table.Toys);
        QVERIFY(read(host() + QStringLiteral("/Kennel.ini")).contains("Toys = -1\r\n"));
    }

    void logoDoubleClickOpensAboutBox()
    {
        QTest::mouseDClick(control(QStringLiteral("ImgLogo")), Qt::LeftButton);
        QTRY_COMPARE(main->findChildren<AboutForm*>().size(), 1);
        QVERIFY(main->findChildren<AboutForm*>().first()->isVisible());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }
};

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
