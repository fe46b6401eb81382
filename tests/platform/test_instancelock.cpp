// The single-instance lock: a folder that cannot be locked is a failure, not a free pass. (One
// holder per host folder, from any session, free again once its holder ends and leaving nothing
// in the folder: the second-copy refusals and the repeated starts of test_e2e_start.)
#include "platform/InstanceLock.h"

#include <QTemporaryDir>
#include <QtTest>

class TestInstanceLock : public QObject {
    Q_OBJECT

private slots:
    void folderThatCannotBeLocked_failed()
    {
        QTemporaryDir temp;
        QCOMPARE(acquireInstanceLock(temp.filePath(QStringLiteral("missing"))), InstanceLock::Failed);
    }
};

QTEST_GUILESS_MAIN(TestInstanceLock)
#include "test_instancelock.moc"
