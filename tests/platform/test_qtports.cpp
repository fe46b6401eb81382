// Message boxes keep their icon, buttons, Enter and Escape answers and caption; the copy window
// passes Ctrl+Q and a close request on instead of swallowing them.
#include "platform/QtPorts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

Q_DECLARE_METATYPE(MsgIcon)
Q_DECLARE_METATYPE(MsgButtons)
Q_DECLARE_METATYPE(MsgAnswer)

class TestQtPorts : public QObject {
    Q_OBJECT

private slots:
    void messageBox_data()
    {
        QTest::addColumn<MsgIcon>("icon");
        QTest::addColumn<MsgButtons>("buttons");
        QTest::addColumn<int>("qtIcon");
        QTest::addColumn<MsgAnswer>("onEnter");
        QTest::addColumn<MsgAnswer>("onEscape");
        QTest::newRow("critical ok") << MsgIcon::Critical << MsgButtons::Ok << int(QMessageBox::Critical)
                                     << MsgAnswer::Ok << MsgAnswer::Ok;
        QTest::newRow("question yes/no") << MsgIcon::Question << MsgButtons::YesNo << int(QMessageBox::Question)
                                         << MsgAnswer::Yes << MsgAnswer::No;
        QTest::newRow("exclamation ok/cancel") << MsgIcon::Exclamation << MsgButtons::OkCancel
                                               << int(QMessageBox::Warning) << MsgAnswer::Ok << MsgAnswer::Cancel;
        QTest::newRow("information retry/cancel")
            << MsgIcon::Information << MsgButtons::RetryCancel << int(QMessageBox::Information) << MsgAnswer::Retry
            << MsgAnswer::Cancel;
    }

    void messageBox()
    {
        QFETCH(MsgIcon, icon);
        QFETCH(MsgButtons, buttons);
        QFETCH(int, qtIcon);
        QFETCH(MsgAnswer, onEnter);
        QFETCH(MsgAnswer, onEscape);
        QtMessagePort port;
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            QTimer::singleShot(0, this, [&] {
                auto* seen = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(seen);
                QCOMPARE(int(seen->icon()), qtIcon);
                QCOMPARE(seen->windowTitle(), QStringLiteral("Kennel 2001"));
                QTest::keyClick(seen, key);
            });
            const MsgAnswer answer = port.show(QStringLiteral("本文"), icon, buttons);
            QCOMPARE(answer, key == Qt::Key_Return ? onEnter : onEscape);
        }
    }

    void copyWindowPassesCloseOn()
    {
        QtCopyProgress progress;
        progress.setShowDelay(0);
        int asked = 0;
        progress.setCloseRequest([&] { ++asked; });
        progress.copyStarted(100);
        progress.copyAdvanced(50);
        QWidget* window = QApplication::activeModalWidget();
        QVERIFY(progress.isVisible() && window);
        QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!window->close());
        QCOMPARE(asked, 2);
        QVERIFY(progress.isVisible()); // the copy goes on
        progress.copyFinished();
    }
};

QTEST_MAIN(TestQtPorts)
#include "test_qtports.moc"
