// Message boxes give the Enter and Escape answers of their buttons; the copy window
// passes Ctrl+Q and a close request on instead of swallowing them.
#include "platform/QtPorts.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

class TestQtPorts : public QObject {
    Q_OBJECT

private slots:
    // Enter retries, Escape cancels. (The OK/cancel question is answered both ways at the delete
    // in the end-to-end pets journey; the yes/no and OK boxes, and the caption, in the others.)
    void retryCancelBox()
    {
        QtMessagePort port;
        for (const auto& [key, answer] :
             {std::pair(Qt::Key_Return, MsgAnswer::Retry), std::pair(Qt::Key_Escape, MsgAnswer::Cancel)}) {
            QTimer::singleShot(0, this, [&, key = key] {
                auto* seen = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(seen);
                QTest::keyClick(seen, key);
            });
            QCOMPARE(port.show(QStringLiteral("本文"), MsgIcon::Information, MsgButtons::RetryCancel), answer);
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
