#include "childprocess.h"

#include <QtTest>

#include <csignal>

// Signal 0 asks the kernel whether a signal could be sent without sending one: kill(-1, 0) and
// kill(0, 0) succeed for any user, so a missing guard shows as "sent" here and harms nothing.
class Tst_ChildProcess : public QObject
{
    Q_OBJECT

private slots:
    void idsThatNameNoChildAreNeverSignalled_data()
    {
        QTest::addColumn<qint64>("pid");
        QTest::newRow("failed start (-1): every process") << qint64(-1);
        QTest::newRow("none (0): the own process group") << qint64(0);
        QTest::newRow("negative: a process group") << qint64(-4242);
        QTest::newRow("2^32 cut to a 32-bit pid_t: 0") << (qint64(1) << 32);
        QTest::newRow("2^32 - 1 cut to a 32-bit pid_t: -1") << ((qint64(1) << 32) - 1);
        QTest::newRow("beyond pid_t") << qint64(std::numeric_limits<pid_t>::max()) + 1;
    }
    void idsThatNameNoChildAreNeverSignalled()
    {
        QFETCH(qint64, pid);
        QVERIFY(!core::ChildProcess::isChildPid(pid));
        QVERIFY(!core::ChildProcess::signalChild(pid, 0));
    }

    void aRunningChildIsKilled()
    {
        core::ChildProcess child;
        child.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(child.waitForStarted(10000));
        QVERIFY(core::ChildProcess::isChildPid(child.processId()));
        QVERIFY(core::ChildProcess::signalChild(child.processId(), 0));
        QVERIFY(child.kill());
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY(!child.kill()); // ended: nothing left to signal
    }
};

QTEST_GUILESS_MAIN(Tst_ChildProcess)
#include "tst_childprocess.moc"
