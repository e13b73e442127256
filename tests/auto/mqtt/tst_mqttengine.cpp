#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTimer>
#include <QTest>

#include <mosquitto.h>
#include <sys/ioctl.h>

#include "fakebroker.h"
#include "logcapture.h"
#include "mqttengine.h"
#include "mqttpeer.h"
#include "testbroker.h"

using manager::MqttEngine;

namespace {

void aim(MqttEngine& engine, quint16 port)
{
    engine.setHostname(QStringLiteral("127.0.0.1"));
    engine.setPort(port);
}

bool waitState(const MqttEngine& engine, MqttEngine::ClientState state, int ms = 5000)
{
    return QTest::qWaitFor([&] { return engine.state() == state; }, ms);
}

} // namespace

class Tst_MqttEngine : public QObject
{
    Q_OBJECT

private slots:
    // The peer logs every payload at debug level; one of them is a megabyte.
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false")); }
    void connectCarriesTheSettings_data();
    void connectCarriesTheSettings();
    void lostSessionCodes_data();
    void lostSessionCodes();
    void replyQueuedInsideACallbackLeavesAtOnce();
    void payloadsArriveIntact_data();
    void payloadsArriveIntact();
    void oversizedPayloadsAreDroppedWithOneWarningPerTopic();
    void aBurstIsReadInBoundedBatchesInOrder();
    void hostNamesResolveWithoutBlocking();
    void callbacksMayReconnect();
    void closeTransportEndsTheSessionUncleanly();
};

void Tst_MqttEngine::connectCarriesTheSettings_data()
{
    QTest::addColumn<quint16>("keepAlive");
    QTest::addColumn<bool>("clean");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("willTopic");
    QTest::addColumn<quint8>("willQoS");
    QTest::addColumn<bool>("willRetain");
    QTest::addColumn<int>("wireKeepAlive");
    QTest::addColumn<int>("flags");

    QTest::newRow("plain") << quint16(60) << true << "" << "" << "" << quint8(0) << false << 60 << 0x02;
    QTest::newRow("no keep-alive") << quint16(0) << true << "" << "" << "" << quint8(0) << false << 0 << 0x02;
    QTest::newRow("keep-alive below the minimum") << quint16(1) << true << "" << "" << "" << quint8(0) << false << 5 << 0x02;
    QTest::newRow("keep-alive 4") << quint16(4) << true << "" << "" << "" << quint8(0) << false << 5 << 0x02;
    QTest::newRow("largest keep-alive") << quint16(65535) << true << "" << "" << "" << quint8(0) << false << 65535 << 0x02;
    QTest::newRow("persistent session") << quint16(60) << false << "" << "" << "" << quint8(0) << false << 60 << 0x00;
    QTest::newRow("user and password") << quint16(60) << true << "tech" << "pw" << "" << quint8(0) << false << 60 << 0xC2;
    QTest::newRow("user only") << quint16(60) << true << "tech" << "" << "" << quint8(0) << false << 60 << 0x82;
    QTest::newRow("password without user is not sent")
        << quint16(60) << true << "" << "pw" << "" << quint8(0) << false << 60 << 0x02;
    QTest::newRow("will, QoS 1, retained")
        << quint16(60) << true << "" << "" << "orvo/ui/status" << quint8(1) << true << 60 << 0x2E;
    QTest::newRow("will, QoS 2") << quint16(60) << true << "" << "" << "orvo/ui/status" << quint8(2) << false << 60 << 0x16;
    QTest::newRow("will with a wildcard is dropped")
        << quint16(60) << true << "" << "" << "orvo/#" << quint8(1) << true << 60 << 0x02;
}

void Tst_MqttEngine::connectCarriesTheSettings()
{
    QFETCH(quint16, keepAlive);
    QFETCH(bool, clean);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, willTopic);
    QFETCH(quint8, willQoS);
    QFETCH(bool, willRetain);
    QFETCH(int, wireKeepAlive);
    QFETCH(int, flags);

    FakeBroker silent { QByteArray() };
    MqttEngine engine;
    aim(engine, silent.port());
    engine.setClientId(QStringLiteral("validator-7"));
    // What a previous attempt used must not leak into this one.
    engine.setKeepAlive(30);
    engine.setUsername(QStringLiteral("old"));
    engine.connectToHost();
    QVERIFY(QTest::qWaitFor([&] { return silent.received().size() >= 12; }, 5000));
    engine.closeTransport();
    QCOMPARE(engine.state(), MqttEngine::Disconnected);

    engine.setKeepAlive(keepAlive);
    engine.setCleanSession(clean);
    engine.setUsername(user);
    engine.setPassword(password);
    engine.setWillTopic(willTopic);
    engine.setWillMessage("offline");
    engine.setWillQoS(willQoS);
    engine.setWillRetain(willRetain);
    const int first = silent.received().size();
    engine.connectToHost();
    QVERIFY(QTest::qWaitFor([&] { return silent.received().size() >= first + 12; }, 5000));
    const QByteArray connect = silent.received().mid(first);

    QCOMPARE(quint8(connect.at(0)), quint8(0x10));
    QCOMPARE(connect.mid(2, 7), QByteArray("\x00\x04MQTT\x04", 7)); // MQTT 3.1.1
    QCOMPARE(quint8(connect.at(9)), quint8(flags));
    QCOMPARE((quint8(connect.at(10)) << 8) | quint8(connect.at(11)), wireKeepAlive);
    QCOMPARE(connect.mid(12, 13), QByteArray("\x00\x0bvalidator-7", 13));
}

void Tst_MqttEngine::lostSessionCodes_data()
{
    QTest::addColumn<int>("rc");
    QTest::addColumn<MqttEngine::ClientError>("error");
    QTest::newRow("missed pings") << int(MOSQ_ERR_KEEPALIVE) << MqttEngine::ServerUnavailable;
    QTest::newRow("connection lost") << int(MOSQ_ERR_CONN_LOST) << MqttEngine::TransportInvalid;
    QTest::newRow("socket error") << int(MOSQ_ERR_ERRNO) << MqttEngine::TransportInvalid;
    QTest::newRow("protocol") << int(MOSQ_ERR_PROTOCOL) << MqttEngine::ProtocolViolation;
    QTest::newRow("malformed packet") << int(MOSQ_ERR_MALFORMED_PACKET) << MqttEngine::ProtocolViolation;
    QTest::newRow("malformed UTF-8") << int(MOSQ_ERR_MALFORMED_UTF8) << MqttEngine::ProtocolViolation;
}

void Tst_MqttEngine::lostSessionCodes()
{
    QFETCH(int, rc);
    QFETCH(MqttEngine::ClientError, error);
    QCOMPARE(MqttEngine::errorForLostSession(rc), error);
}

void Tst_MqttEngine::replyQueuedInsideACallbackLeavesAtOnce()
{
    TestBroker broker;
    QVERIFY(broker.start());
    MqttEngine engine;
    aim(engine, broker.port());
    QObject::connect(&engine, &MqttEngine::connected, [&] { engine.subscribe(QStringLiteral("bench/ping"), 0); });
    QObject::connect(&engine, &MqttEngine::messageReceived, [&](const QByteArray& payload, const QString&) {
        engine.publish(QStringLiteral("bench/pong"), payload, 0, false);
    });
    engine.connectToHost();
    QVERIFY(waitState(engine, MqttEngine::Connected));
    MqttPeer peer(broker);
    QVERIFY(peer.waitConnected(5000));
    peer.subscribe(QStringLiteral("bench/pong"));
    QVERIFY(peer.sync(5000));

    // The first pings may beat our SUBSCRIBE to the broker.
    QVERIFY(QTest::qWaitFor(
        [&] {
            peer.publish(QStringLiteral("bench/ping"), "warm-up");
            return peer.count(QStringLiteral("bench/pong")) > 0;
        },
        5000));
    peer.takeAll();

    // A reply left waiting for the one-second housekeeping tick would make these 30 round trips
    // take 15 s on average, and one never flushed would stall them. Well under that, with room
    // for a machine busy with other tests.
    QElapsedTimer elapsed;
    elapsed.start();
    for (int i = 0; i < 30; ++i) {
        QVERIFY(peer.publish(QStringLiteral("bench/ping"), QByteArray::number(i)));
        QByteArray pong;
        do // late answers to the warm-up
            pong = peer.waitFor(QStringLiteral("bench/pong"), 5000);
        while (pong == "warm-up");
        QCOMPARE(pong, QByteArray::number(i));
    }
    QVERIFY2(elapsed.elapsed() < 8000, qPrintable(QString::number(elapsed.elapsed())));
}

void Tst_MqttEngine::payloadsArriveIntact_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("binary") << QByteArray("\x00\xff\x00{\"a\":1}\n\x00", 12);
    QTest::newRow("at the size limit") << QByteArray(MqttEngine::MaxPayloadBytes, 'x');
}

void Tst_MqttEngine::payloadsArriveIntact()
{
    QFETCH(QByteArray, payload);
    TestBroker broker;
    QVERIFY(broker.start());
    MqttEngine engine;
    aim(engine, broker.port());
    QSignalSpy received(&engine, &MqttEngine::messageReceived);
    engine.connectToHost();
    QVERIFY(waitState(engine, MqttEngine::Connected));
    MqttPeer peer(broker);
    QVERIFY(peer.waitConnected(5000));
    // Our own message comes back only once our SUBSCRIBE is in force.
    QVERIFY(engine.subscribe(QStringLiteral("orvo/#"), 0));
    QVERIFY(engine.publish(QStringLiteral("orvo/ready"), "ready", 0, false) != -1);
    QVERIFY(received.wait(5000));
    received.clear();
    QVERIFY(peer.publish(QStringLiteral("orvo/ταυτότητα"), payload));
    QVERIFY(received.wait(5000));
    QCOMPARE(received.count(), 1);
    const QByteArray got = received.at(0).at(0).toByteArray();
    QCOMPARE(got.isNull(), false);
    QCOMPARE(got.size(), payload.size());
    QVERIFY(got == payload);
    QCOMPARE(received.at(0).at(1).toString(), QStringLiteral("orvo/ταυτότητα"));
}

void Tst_MqttEngine::oversizedPayloadsAreDroppedWithOneWarningPerTopic()
{
    TestBroker broker;
    QVERIFY(broker.start());
    MqttEngine engine;
    aim(engine, broker.port());
    QSignalSpy received(&engine, &MqttEngine::messageReceived);
    engine.connectToHost();
    QVERIFY(waitState(engine, MqttEngine::Connected));
    MqttPeer peer(broker);
    QVERIFY(peer.waitConnected(5000));
    QVERIFY(engine.subscribe(QStringLiteral("orvo/#"), 0));
    QVERIFY(engine.publish(QStringLiteral("orvo/ready"), "ready", 0, false) != -1);
    QVERIFY(received.wait(5000));
    received.clear();

    LogCapture log;
    const QByteArray tooBig(MqttEngine::MaxPayloadBytes + 1, '{');
    for (int i = 0; i < 3; ++i)
        QVERIFY(peer.publish(QStringLiteral("orvo/board/power"), tooBig));
    QVERIFY(peer.publish(QStringLiteral("orvo/blm/status"), QByteArray(4 << 20, ' ')));
    // Messages arrive in order: once the marker is here, the big ones have been dealt with.
    QVERIFY(peer.publish(QStringLiteral("orvo/marker"), "m"));
    QVERIFY(QTest::qWaitFor([&] { return !received.isEmpty(); }, 10000));
    QCOMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(1).toString(), QStringLiteral("orvo/marker"));

    const QStringList warnings = log.lines(QtWarningMsg);
    QCOMPARE(warnings.size(), 2);
    QCOMPARE(warnings.at(0), QStringLiteral("[MqttClient] WARN: Dropped a message of %1 bytes on 'orvo/board/power': "
                                            "larger than 262144 bytes").arg(tooBig.size()));
    QVERIFY2(warnings.at(1).contains(QLatin1String("on 'orvo/blm/status'")), qPrintable(warnings.at(1)));
}

void Tst_MqttEngine::aBurstIsReadInBoundedBatchesInOrder()
{
    TestBroker broker;
    QVERIFY(broker.start());
    MqttEngine engine;
    aim(engine, broker.port());
    QSignalSpy received(&engine, &MqttEngine::messageReceived);
    engine.connectToHost();
    QVERIFY(waitState(engine, MqttEngine::Connected));
    MqttPeer peer(broker);
    QVERIFY(peer.waitConnected(5000));
    QVERIFY(engine.subscribe(QStringLiteral("orvo/#"), 0));
    QVERIFY(engine.publish(QStringLiteral("orvo/ready"), "ready", 0, false) != -1);
    QVERIFY(received.wait(5000));
    received.clear();

    QSocketNotifier* reader = nullptr;
    for (QSocketNotifier* notifier : engine.findChildren<QSocketNotifier*>()) {
        if (notifier->type() == QSocketNotifier::Read)
            reader = notifier;
    }
    QVERIFY(reader);
    // The whole burst waits in the socket before the engine may read any of it.
    reader->setEnabled(false);
    const int total = 3 * MqttEngine::MaxPacketsPerRead + 7;
    const QString topic = QStringLiteral("orvo/burst");
    qint64 bytes = 0;
    for (int i = 0; i < total; ++i) {
        const QByteArray payload = QByteArray::number(i);
        QVERIFY(peer.publish(topic, payload));
        bytes += 1 + 1 + 2 + topic.size() + payload.size(); // fixed header, length, topic length, topic, payload
    }
    const int fd = int(reader->socket());
    const auto pending = [fd] {
        int n = 0;
        return ::ioctl(fd, FIONREAD, &n) == 0 ? n : -1;
    };
    QVERIFY2(QTest::qWaitFor([&] { return pending() >= bytes; }, 10000), qPrintable(QString::number(pending())));

    // Recorded after the engine's own handler, which was connected first.
    QList<int> batches;
    QObject::connect(reader, &QSocketNotifier::activated, [&] {
        int before = 0;
        for (int b : batches)
            before += b;
        batches << received.count() - before;
    });
    reader->setEnabled(true);
    QVERIFY(QTest::qWaitFor([&] { return received.count() >= total; }, 10000));
    QCOMPARE(received.count(), total);
    for (int i = 0; i < total; ++i) {
        QCOMPARE(received.at(i).at(1).toString(), topic);
        QCOMPARE(received.at(i).at(0).toByteArray(), QByteArray::number(i));
    }
    QVERIFY(batches.size() >= 4);
    QCOMPARE(batches.first(), MqttEngine::MaxPacketsPerRead);
    for (int b : batches)
        QVERIFY2(b <= MqttEngine::MaxPacketsPerRead, qPrintable(QString::number(b)));
}

void Tst_MqttEngine::hostNamesResolveWithoutBlocking()
{
    // A name reserved never to resolve: however long the name server takes to say so, the
    // attempt waits in Connecting while the event loop keeps turning.
    MqttEngine engine;
    engine.setHostname(QStringLiteral("broker.invalid"));
    engine.setPort(1883);
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start();
    engine.connectToHost();
    QCOMPARE(engine.state(), MqttEngine::Connecting);
    QCOMPARE(engine.error(), MqttEngine::NoError);
    QCOMPARE(ticks, 0);
    QVERIFY(QTest::qWaitFor([&ticks] { return ticks >= 5; }, 5000));
    // Cut by the owner (its attempt timer), the attempt ends at once; a late answer is ignored.
    if (engine.state() == MqttEngine::Connecting) {
        engine.closeTransport();
        QCOMPARE(engine.state(), MqttEngine::Disconnected);
    }
    QCOMPARE(engine.error(), MqttEngine::TransportInvalid);

    // A name that resolves still reaches the broker.
    TestBroker broker;
    QVERIFY(broker.start());
    MqttEngine named;
    named.setHostname(QStringLiteral("localhost"));
    named.setPort(broker.port());
    named.connectToHost();
    QCOMPARE(named.state(), MqttEngine::Connecting);
    QVERIFY(waitState(named, MqttEngine::Connected));
}

void Tst_MqttEngine::callbacksMayReconnect()
{
    TestBroker broker;
    QVERIFY(broker.start());
    MqttEngine engine;
    aim(engine, broker.port());
    int connections = 0;
    // Inside the library's own callbacks: leave on a message, come back on the way out.
    QObject::connect(&engine, &MqttEngine::connected, [&] {
        ++connections;
        engine.subscribe(QStringLiteral("orvo/cmd"), 0);
    });
    QObject::connect(&engine, &MqttEngine::messageReceived, [&] { engine.disconnectFromHost(); });
    QObject::connect(&engine, &MqttEngine::disconnected, [&] { engine.connectToHost(); });
    engine.connectToHost();
    QVERIFY(waitState(engine, MqttEngine::Connected));
    MqttPeer peer(broker);
    QVERIFY(peer.waitConnected(5000));
    for (int round = 1; round <= 3; ++round) {
        QVERIFY(QTest::qWaitFor(
            [&] {
                peer.publish(QStringLiteral("orvo/cmd"), "leave");
                return connections > round;
            },
            5000));
        QVERIFY(waitState(engine, MqttEngine::Connected));
    }
    QCOMPARE(engine.error(), MqttEngine::NoError);
}

void Tst_MqttEngine::closeTransportEndsTheSessionUncleanly()
{
    TestBroker broker;
    QVERIFY(broker.start());
    MqttPeer peer(broker);
    QVERIFY(peer.waitConnected(5000));
    peer.subscribe(QStringLiteral("orvo/ui/status"));
    QVERIFY(peer.sync(5000));

    MqttEngine engine;
    aim(engine, broker.port());
    engine.setWillTopic(QStringLiteral("orvo/ui/status"));
    engine.setWillMessage("{\"status\": \"offline\"}");
    QSignalSpy errors(&engine, &MqttEngine::errorChanged);
    QSignalSpy disconnected(&engine, &MqttEngine::disconnected);
    engine.connectToHost();
    QVERIFY(waitState(engine, MqttEngine::Connected));
    // A clean disconnect withholds the last will; a cut transport lets the broker publish it.
    engine.disconnectFromHost();
    QVERIFY(waitState(engine, MqttEngine::Disconnected));
    QCOMPARE(errors.count(), 0);
    engine.connectToHost();
    QVERIFY(waitState(engine, MqttEngine::Connected));
    QVERIFY(peer.sync(5000));
    QCOMPARE(peer.count(QStringLiteral("orvo/ui/status")), 0);

    engine.closeTransport();
    QCOMPARE(engine.state(), MqttEngine::Disconnected);
    QCOMPARE(engine.error(), MqttEngine::TransportInvalid);
    QCOMPARE(disconnected.count(), 2);
    QCOMPARE(peer.waitFor(QStringLiteral("orvo/ui/status"), 5000), QByteArray("{\"status\": \"offline\"}"));
    engine.closeTransport(); // nothing left to close
    QCOMPARE(disconnected.count(), 2);
}

QTEST_GUILESS_MAIN(Tst_MqttEngine)
#include "tst_mqttengine.moc"
