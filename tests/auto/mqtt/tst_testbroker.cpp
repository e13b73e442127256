// The private broker the tests start must come up on a port of its own even when other tests,
// running beside it under ctest -j, take ports at the same moment.
#include <QTcpServer>
#include <QTest>

#include "mqttpeer.h"
#include "testbroker.h"

class Tst_TestBroker : public QObject
{
    Q_OBJECT

private slots:
    void startsOnAnotherPortWhenItsOwnWasTaken();
    void restartKeepsThePort();
};

void Tst_TestBroker::startsOnAnotherPortWhenItsOwnWasTaken()
{
    TestBroker broker;
    // Someone else binds the chosen port between the choice and the start.
    QTcpServer thief;
    QVERIFY(thief.listen(QHostAddress::LocalHost, broker.port()));
    QVERIFY(broker.start());
    QVERIFY(broker.isRunning());
    QVERIFY(broker.port() != thief.serverPort());
    // And what listens there is mosquitto: a client gets its session.
    MqttPeer peer(broker);
    QVERIFY(peer.waitConnected(5000));
    QCOMPARE(thief.hasPendingConnections(), false);
}

void Tst_TestBroker::restartKeepsThePort()
{
    TestBroker broker;
    QVERIFY(broker.start());
    const quint16 port = broker.port();
    MqttPeer peer(broker);
    QVERIFY(peer.waitConnected(5000));
    broker.kill();
    QVERIFY(QTest::qWaitFor([&] { return !peer.isConnected(); }, 5000));
    QVERIFY(broker.start());
    QCOMPARE(broker.port(), port);
    QVERIFY(peer.waitConnected(5000));
}

QTEST_GUILESS_MAIN(Tst_TestBroker)
#include "tst_testbroker.moc"
