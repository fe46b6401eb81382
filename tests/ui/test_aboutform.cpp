// The about box: its texts, the fold-out and the contact labels' clipboard copies.
#include "app/ContactInfo.h"
#include "tests/support/TestPorts.h"
#include "ui/main/AboutForm.h"
#include "ui/main/Commands.h"
#include "ui/main/MainForm.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestAboutForm : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<TestContext> tc;
    std::unique_ptr<AboutForm> box;

    template <typename T = QLabel>
    T* control(const char* name)
    {
        T* w = box->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }

private slots:
    void init()
    {
        tc = std::make_unique<TestContext>(dir.path());
        box = std::make_unique<AboutForm>(tc->ctx);
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }

    void cleanup() { box.reset(); }

    void texts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tip");
        const QString copyTip = QStringLiteral("ダブルクリックでメールアドレスをクリップボードにコピーします。");
        QTest::newRow("product line") << "LblAbout1" << QStringLiteral("Mew Mail 2001 対応 ペットセレクター") << QString();
        QTest::newRow("name and version") << "LblAbout2" << QStringLiteral("Kennel 2001 Ver.2.31") << QString();
        QTest::newRow("empty line") << "LblAbout4" << QString() << QString();
        QTest::newRow("contact heading") << "LblAbout5" << QStringLiteral("バグ報告・感想は下記までお願いします。") << QString();
        QTest::newRow("board") << "LblBBS" << QStringLiteral("サポート掲示板 : ") + contact::kBoardAddress << copyTip;
        QTest::newRow("home page") << "LblHome" << contact::kHomePageUrl << QString();
        QTest::newRow("mail") << "LblMail" << contact::kAuthorName + QStringLiteral(" : ") + contact::kAuthorAddress << copyTip;
        QTest::newRow("disclaimer heading") << "LblSorry" << QStringLiteral("免責事項") << QString();
        QTest::newRow("disclaimer")
            << "LblMore2" << QStringLiteral("本プログラムを使用して生じた不具合に対する責任の一切は、利用者にあるのものとします。") << QString();
        QTest::newRow("help author wanted")
            << "LblMore3" << QStringLiteral("また、本プログラムのヘルプファイルを作成していただける方を募集しています。") << QString();
    }

    void texts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, tip);
        QLabel* label = control(name.toLatin1().constData());
        QCOMPARE(label->text(), text);
        QCOMPARE(label->toolTip(), tip);
        QCOMPARE(box->windowTitle(), QStringLiteral("Kennel 2001 - バージョン情報"));
        QCOMPARE(control<QPushButton>("BtnClose")->text(), QStringLiteral("閉　じ　る"));
        QCOMPARE(control<QPushButton>("BtnMoreInfo")->toolTip(), QStringLiteral("More Information"));
    }

    void foldsOutAndBack()
    {
        auto* more = control<QPushButton>("BtnMoreInfo");
        auto* frame = control<QGroupBox>("FrmMoreInfo");
        QCOMPARE(box->height(), 296);
        QCOMPARE(more->text(), QStringLiteral("▼"));
        QVERIFY(!frame->isVisible());

        QTest::mouseClick(more, Qt::LeftButton);
        QCOMPARE(box->height(), 443);
        QCOMPARE(more->text(), QStringLiteral("▲"));
        QVERIFY(frame->isVisible());
        QVERIFY(frame->geometry().bottom() < box->height());

        QTest::mouseClick(more, Qt::LeftButton);
        QCOMPARE(box->height(), 296);
        QCOMPARE(more->text(), QStringLiteral("▼"));
        QVERIFY(!frame->isVisible());
    }

    void contactLabelsCopy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<QString>("copied");  // empty: nothing copied
        QTest::addColumn<QString>("message");
        QTest::newRow("board, double-click") << "LblBBS" << true << contact::kBoardAddress
                                             << QStringLiteral("掲示板投稿用メールアドレスをクリップボードにコピーしました。");
        QTest::newRow("board, single click") << "LblBBS" << false << QString() << QString();
        QTest::newRow("home page, single click") << "LblHome" << false << contact::kHomePageUrl
                                                 << QStringLiteral("サポートホームページＵＲＬをクリップボードにコピーしました。");
        QTest::newRow("home page, double-click copies once")
            << "LblHome" << true << contact::kHomePageUrl
            << QStringLiteral("サポートホームページＵＲＬをクリップボードにコピーしました。");
        QTest::newRow("mail, double-click") << "LblMail" << true << contact::kAuthorAddress
                                            << QStringLiteral("メールアドレスをクリップボードにコピーしました。");
        QTest::newRow("mail, single click") << "LblMail" << false << QString() << QString();
    }

    void contactLabelsCopy()
    {
        QFETCH(QString, name);
        QFETCH(bool, doubleClick);
        QFETCH(QString, copied);
        QFETCH(QString, message);
        QLabel* label = control(name.toLatin1().constData());
        if (doubleClick) {
            // What a double-click delivers: press, release, double-click, release.
            QTest::mouseClick(label, Qt::LeftButton);
            QTest::mouseDClick(label, Qt::LeftButton);
        } else {
            QTest::mouseClick(label, Qt::LeftButton);
        }
        if (copied.isEmpty()) {
            QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
            QVERIFY(tc->messages.shown.isEmpty());
            return;
        }
        QCOMPARE(QGuiApplication::clipboard()->text(), copied);
        QCOMPARE(tc->messages.shown.size(), 1);
        QCOMPARE(tc->messages.shown[0].text, message);
        QCOMPARE(tc->messages.shown[0].caption, QStringLiteral("Kennel 2001"));
        QCOMPARE(tc->messages.shown[0].icon, MsgIcon::Information);
        QCOMPARE(tc->messages.shown[0].buttons, MsgButtons::Ok);
    }

    void mainWindowOpensOneModelessBox()
    {
        MainForm main(tc->ctx, true);
        main.show();
        showAboutForm(main);
        showAboutForm(main);
        QList<AboutForm*> boxes = main.findChildren<AboutForm*>();
        QCOMPARE(boxes.size(), 1);
        AboutForm* shown = boxes.first();
        QVERIFY(shown->isVisible());
        QVERIFY(!shown->isModal());
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        // Escape closes it as its button does; the next opening starts folded.
        QTest::mouseClick(shown->findChild<QPushButton*>(QStringLiteral("BtnMoreInfo")), Qt::LeftButton);
        QTest::keyClick(shown, Qt::Key_Escape);
        QTRY_VERIFY(main.findChildren<AboutForm*>().isEmpty());
        showAboutForm(main);
        boxes = main.findChildren<AboutForm*>();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first()->height(), 296);
        QTest::mouseClick(boxes.first()->findChild<QPushButton*>(QStringLiteral("BtnClose")), Qt::LeftButton);
        QTRY_VERIFY(main.findChildren<AboutForm*>().isEmpty());
    }
};

QTEST_MAIN(TestAboutForm)
#include "test_aboutform.moc"
