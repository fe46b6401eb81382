// Message boxes give the Enter and Escape answers of their buttons; the copy window
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
        QTest::addColumn<MsgAnswer>("onEnter");
        QTest::addColumn<MsgAnswer>("onEscape");
        // The yes/no and OK boxes, and the caption, are answered and read in the end-to-end journeys.
        QTest::newRow("ok/cancel") << MsgIcon::Exclamation << MsgButtons::OkCancel << MsgAnswer::Ok << MsgAnswer::Cancel;
        QTest::newRow("retry/cancel") << MsgIcon::Information << MsgButtons::RetryCancel << MsgAnswer::Retry
                                      << MsgAnswer::Cancel;
    }

    void messageBox()
    {
        QFETCH(MsgIcon, icon);
        QFETCH(MsgButtons, buttons);
        QFETCH(MsgAnswer, onEnter);
        QFETCH(MsgAnswer, onEscape);
        QtMessagePort port;
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            QTimer::singleShot(0, this, [&] {
                auto* seen = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(seen);
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
