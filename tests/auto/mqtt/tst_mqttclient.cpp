#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include "brokerfixture.h"
#include "fakebroker.h"
#include "logcapture.h"
#include "mqttclient.h"
#include "mqttpeer.h"
#include "testbroker.h"

using manager::MqttClient;
using manager::MqttEngine;

namespace {

const QString TransportInvalidLine = QStringLiteral(
    "[MqttClient] Transport invalid: The underlying transport caused an error. For example, the connection "
    "might have been interrupted unexpectedly.");

void configure(MqttClient& client, const QString& host, quint16 port, unsigned retryMillis = 300)
{
    client.setHostname(host);
    client.setPort(port);
    client.setRetryMillis(retryMillis);
    client.setKeepAlive(60);
}

bool waitConnected(const MqttClient& client, int ms = 5000)
{
    return QTest::qWaitFor([&client] { return client.isConnected(); }, ms);
}

// Publishes from the peer until the client has the message: a SUBSCRIBE the client has just
// sent may reach the broker after the peer's first PUBLISH.
bool deliveredThrough(MqttPeer& peer, QSignalSpy& received, const QString& topic, const QByteArray& payload)
{
    for (int attempt = 0; attempt < 40; ++attempt) {
        peer.publish(topic, payload);
        const bool seen = QTest::qWaitFor(
            [&] {
                for (const QList<QVariant>& args : received) {
                    if (args.at(0).toByteArray() == payload && args.at(1).toByteArray() == topic.toUtf8())
                        return true;
                }
                return false;
            },
            50);
        if (seen)
            return true;
    }
    return false;
}

} // namespace

class Tst_MqttClient : public QObject
{
    Q_OBJECT

private slots:
    void subscriptionsBeforeConnectAreSentOnConnection();
    void subscribeWhileConnectedIsSentAndRecordedOnce();
    void publishWithoutConnectionFails_data();
    void publishWithoutConnectionFails();
    void refusedRequestsReportTheirTopic();
    void reconnectsAfterBrokerRestartWithAllSubscriptions();
    void subscriptionListStableAcrossReconnections();
    void retryTimersUseTheRetryInterval();
    void hangingBrokerIsCutAndRetried();
    void outageIsAnnouncedOnce();
    void portTruncatedAndEncryptionOnlyWarns();
    void credentials();
    void brokerRefusalsAreLoggedWithTheirTexts_data();
    void brokerRefusalsAreLoggedWithTheirTexts();
    void clientIdCannotBeGuessed();
    void payloadLogMasksSecrets_data();
    void payloadLogMasksSecrets();
    void confidentialTopicsShowNoBrokenPayload();
    void routedMessagesReachOnlyTheirProxy();
};

void Tst_MqttClient::subscriptionsBeforeConnectAreSentOnConnection()
{
    TestBroker broker;
    QVERIFY(broker.start());
    LogCapture log;
    MqttClient client;
    QSignalSpy received(&client, &MqttClient::received);
    configure(client, broker.host(), broker.port());
    client.subscribe(QStringLiteral("orvo/τερματικό"));
    client.subscribe(QStringLiteral("orvo/b/#"), 1);
    QCOMPARE(log.countStartingWith(QStringLiteral("[MqttClient] Subscribing to")), 0);
    // Listeners publish when they hear of the connection (the program its status): by then
    // the subscriptions are on their way, so an answer to that publication is not missed.
    int subscribedAtConnected = -1;
    QObject::connect(&client, &MqttClient::connected, this,
                     [&] { subscribedAtConnected = log.countStartingWith(QStringLiteral("[MqttClient] Subscribing to")); });

    client.connect();
    QVERIFY(waitConnected(client));
    QCOMPARE(subscribedAtConnected, 2);
    QCOMPARE(log.count(QStringLiteral("[MqttClient] Connected to broker 127.0.0.1")), 1);
    QCOMPARE(log.count(QStringLiteral("[MqttClient] Subscribing to 'orvo/τερματικό' with QoS = 0")), 1);
    QCOMPARE(log.count(QStringLiteral("[MqttClient] Subscribing to 'orvo/b/#' with QoS = 1")), 1);

    MqttPeer peer(broker);
    QVERIFY(peer.waitConnected(5000));
    // The topic reaches the listeners as its UTF-8 bytes.
    QVERIFY(deliveredThrough(peer, received, QStringLiteral("orvo/τερματικό"), "one"));
    QVERIFY(deliveredThrough(peer, received, QStringLiteral("orvo/b/c"), "two"));
}

void Tst_MqttClient::subscribeWhileConnectedIsSentAndRecordedOnce()
{
    TestBroker broker;
    QVERIFY(broker.start());
    LogCapture log;
    MqttClient client;
    QSignalSpy received(&client, &MqttClient::received);
    configure(client, broker.host(), broker.port());
    client.connect();
    QVERIFY(waitConnected(client));

    client.subscribe(QStringLiteral("orvo/x"));
    QCOMPARE(log.count(QStringLiteral("[MqttClient] Subscribing to 'orvo/x' with QoS = 0")), 1);
    // A repeat is still sent at once (a proxy may rely on it), but recorded only once; another
    // QoS is another entry.
    client.subscribe(QStringLiteral("orvo/x"));
    client.subscribe(QStringLiteral("orvo/x"), 2);
    QCOMPARE(log.count(QStringLiteral("[MqttClient] Subscribing to 'orvo/x' with QoS = 0")), 2);
    const QList<QPair<QString, int>> expected { { QStringLiteral("orvo/x"), 0 }, { QStringLiteral("orvo/x"), 2 } };
    QCOMPARE(client.subscriptions(), expected);

    MqttPeer peer(broker);
    QVERIFY(peer.waitConnected(5000));
    QVERIFY(deliveredThrough(peer, received, QStringLiteral("orvo/x"), "now"));
}

void Tst_MqttClient::publishWithoutConnectionFails_data()
{
    QTest::addColumn<QString>("phase");
    QTest::newRow("before the first connect") << "before";
    QTest::newRow("while connecting") << "connecting";
    QTest::newRow("after the broker went away") << "lost";
}

void Tst_MqttClient::publishWithoutConnectionFails()
{
    QFETCH(QString, phase);
    TestBroker broker;
    QTcpServer silent; // accepts and never answers: the attempt stays pending
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    MqttClient client;
    if (phase == QLatin1String("connecting")) {
        configure(client, QStringLiteral("127.0.0.1"), silent.serverPort(), 60000);
        client.connect();
        QVERIFY(!client.isConnected());
    } else if (phase == QLatin1String("lost")) {
        QVERIFY(broker.start());
        configure(client, broker.host(), broker.port(), 60000);
        client.connect();
        QVERIFY(waitConnected(client));
        QSignalSpy disconnected(&client, &MqttClient::disconnected);
        broker.kill();
        QVERIFY(disconnected.wait(5000));
    }
    QSignalSpy errors(&client, &MqttClient::error);
    LogCapture log;
    QVERIFY(!client.publish("x", QStringLiteral("orvo/a")));
    QVERIFY(!client.publish("x", QStringLiteral("orvo/a"), 1, true));
    QCOMPARE(errors.count(), 0);
    QCOMPARE(log.all(), QStringList());
}

void Tst_MqttClient::refusedRequestsReportTheirTopic()
{
    TestBroker broker;
    QVERIFY(broker.start());
    MqttClient client;
    configure(client, broker.host(), broker.port());
    client.connect();
    QVERIFY(waitConnected(client));
    QSignalSpy errors(&client, &MqttClient::error);

    QVERIFY(!client.publish("x", QStringLiteral("orvo/+/bad")));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.takeFirst().at(0).toString(), QStringLiteral("Publish to orvo/+/bad failed."));
    QVERIFY(!client.publish("x", QStringLiteral("orvo/a"), 3));
    QCOMPARE(errors.takeFirst().at(0).toString(), QStringLiteral("Publish to orvo/a failed."));

    client.subscribe(QStringLiteral("orvo/#/bad"));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.takeFirst().at(0).toString(), QStringLiteral("Subscription to orvo/#/bad failed."));
    // A refused subscription stays recorded and is tried again at the next connection.
    QCOMPARE(client.subscriptions().size(), 1);
    QVERIFY(client.isConnected());
    QVERIFY(client.publish("fine", QStringLiteral("orvo/a")));
}

void Tst_MqttClient::reconnectsAfterBrokerRestartWithAllSubscriptions()
{
    TestBroker broker;
    QVERIFY(broker.start());
    const unsigned retry = 500;
    MqttClient client;
    QSignalSpy received(&client, &MqttClient::received);
    configure(client, broker.host(), broker.port(), retry);
    const QStringList topics { QStringLiteral("orvo/one"), QStringLiteral("orvo/two/#"), QStringLiteral("orvo/3") };
    client.subscribe(topics.at(0));
    client.connect();
    QVERIFY(waitConnected(client));
    client.subscribe(topics.at(1));
    client.subscribe(topics.at(2), 1);

    QSignalSpy disconnected(&client, &MqttClient::disconnected);
    QSignalSpy connected(&client, &MqttClient::connected);
    broker.kill();
    QVERIFY(disconnected.wait(5000));
    QVERIFY(!client.isConnected());
    {
        // A few attempts fail against the closed port.
        LogCapture failing;
        QVERIFY(QTest::qWaitFor([&] { return failing.count(QStringLiteral("[MqttClient] Connecting to host")) >= 2; }, 10000));
    }
    QCOMPARE(connected.count(), 0);

    // While the broker is away the supervision keeps one retry armed at the retry interval, so
    // the program is back within one interval: the first attempt made once the broker listens
    // succeeds (at most one more, begun just before, may still fail). Counted in attempts, not
    // in milliseconds, so a loaded machine cannot make it flaky.
    QVERIFY(client.m_reconnectTimer->isActive() || client.m_attemptTimer->isActive());
    QCOMPARE(client.m_reconnectTimer->interval(), int(retry));
    LogCapture log;
    QVERIFY(broker.start());
    QVERIFY(waitConnected(client, 10000));
    QVERIFY2(log.count(QStringLiteral("[MqttClient] Connecting to host")) <= 2, qPrintable(log.all().join('\n')));

    MqttPeer peer(broker);
    QVERIFY(peer.waitConnected(5000));
    QVERIFY(deliveredThrough(peer, received, QStringLiteral("orvo/one"), "1"));
    QVERIFY(deliveredThrough(peer, received, QStringLiteral("orvo/two/deep"), "2"));
    QVERIFY(deliveredThrough(peer, received, QStringLiteral("orvo/3"), "3"));
}

void Tst_MqttClient::subscriptionListStableAcrossReconnections()
{
    TestBroker broker;
    QVERIFY(broker.start());
    LogCapture log;
    MqttClient client;
    configure(client, broker.host(), broker.port(), 200);
    client.disconnect(); // before the first connect: nothing to do
    // Like the program itself, a listener subscribes to its own topics after every connection.
    const QStringList own { QStringLiteral("orvo/ui/info/get"), QStringLiteral("orvo/ui/status/get"),
                            QStringLiteral("orvo/ui/config/get"), QStringLiteral("orvo/ui/config/set") };
    QObject::connect(&client, &MqttClient::connected, [&] {
        for (const QString& topic : own)
            client.subscribe(topic);
    });
    client.subscribe(QStringLiteral("orvo/blm/status"));
    client.connect();
    QVERIFY(waitConnected(client));
    const auto expected = client.subscriptions();
    QCOMPARE(expected.size(), 5);
    QSignalSpy disconnected(&client, &MqttClient::disconnected);
    QSignalSpy errors(&client, &MqttClient::error);

    for (int i = 0; i < 100; ++i) {
        client.disconnect();
        QVERIFY(disconnected.count() == i + 1 || disconnected.wait(5000));
        // An explicit disconnect is not exempt from the supervision.
        QVERIFY(client.m_reconnectTimer->isActive());
        log.clear();
        if (i > 0) // the first time, let the retry interval run out by itself
            QMetaObject::invokeMethod(&client, "onReconnect");
        QVERIFY(waitConnected(client));
        QCOMPARE(log.count(QStringLiteral("[MqttClient] Connected to broker 127.0.0.1")), 1);
        QCOMPARE(client.subscriptions(), expected);
        // Each connection sends each entry once, plus the listener's own immediate requests.
        QCOMPARE(log.countStartingWith(QStringLiteral("[MqttClient] Subscribing to")), 5 + 4);
    }
    QCOMPARE(disconnected.count(), 100);
    QCOMPARE(errors.count(), 0);
}

void Tst_MqttClient::retryTimersUseTheRetryInterval()
{
    const quint16 closedPort = TestBroker::freePort();
    LogCapture log;
    MqttClient client;
    client.setHostname(QStringLiteral("127.0.0.1"));
    client.setPort(closedPort);
    QCOMPARE(client.retryMillis(), 3000u);
    QSignalSpy errors(&client, &MqttClient::error);
    client.connect();

    // The refused port fails at once: a transport error, and the next attempt is scheduled.
    QVERIFY(!client.isConnected());
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Mqtt client error"));
    QCOMPARE(log.count(TransportInvalidLine), 1);
    QVERIFY(client.m_reconnectTimer->isActive());
    QCOMPARE(client.m_reconnectTimer->interval(), 3000);
    QVERIFY(client.m_reconnectTimer->isSingleShot());
    QCOMPARE(client.m_attemptTimer->interval(), 3000);
    QVERIFY(client.m_attemptTimer->isActive());
    QVERIFY(!client.m_attemptTimer->isSingleShot());
    QCOMPARE(log.count(QStringLiteral("[MqttClient] State is Connecting.")), 1);
    QCOMPARE(log.count(QStringLiteral("[MqttClient] State is Disconnected.")), 1);
    QCOMPARE(log.count(QStringLiteral("[MqttClient] Retry interval millis: 3000")), 1);

    // Its expiry tries again with the settings of the moment, without end.
    client.setRetryMillis(1234);
    for (int attempt = 2; attempt <= 4; ++attempt) {
        QMetaObject::invokeMethod(&client, "onReconnect");
        QCOMPARE(log.count(QStringLiteral("[MqttClient] Connecting to host")), attempt);
        QCOMPARE(errors.count(), attempt);
        QCOMPARE(client.m_reconnectTimer->interval(), 1234);
    }
    // Once connected, a stray expiry starts nothing.
    TestBroker broker;
    QVERIFY(broker.start());
    client.setPort(broker.port());
    QMetaObject::invokeMethod(&client, "onReconnect");
    QVERIFY(waitConnected(client));
    QVERIFY(!client.m_attemptTimer->isActive());
    QMetaObject::invokeMethod(&client, "onReconnect");
    QCOMPARE(log.count(QStringLiteral("[MqttClient] Connecting to host")), 5);
}

void Tst_MqttClient::hangingBrokerIsCutAndRetried()
{
    FakeBroker silent { QByteArray() };
    LogCapture log;
    MqttClient client;
    configure(client, QStringLiteral("127.0.0.1"), silent.port(), 300);
    QSignalSpy errors(&client, &MqttClient::error);
    client.connect();
    QVERIFY(QTest::qWaitFor([&] { return silent.accepted() == 1 && silent.openConnections() == 1; }, 5000));
    QCOMPARE(errors.count(), 0);

    QVERIFY(errors.wait(5000));
    QCOMPARE(log.count(TransportInvalidLine), 1);
    QCOMPARE(log.count(QStringLiteral("[MqttClient] WARN: Cannot reach broker 127.0.0.1:%1 : timed out").arg(silent.port())), 1);
    QVERIFY(QTest::qWaitFor([&] { return silent.openConnections() == 0; }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return silent.accepted() >= 2; }, 5000));
    QVERIFY(!client.isConnected());
    // What reached the listener were CONNECT packets, one per attempt.
    QCOMPARE(quint8(silent.received().at(0)), quint8(0x10));
}

void Tst_MqttClient::outageIsAnnouncedOnce()
{
    // A broker that is down when the program starts: the proxies must hear of it once (they
    // show "offline"), not once per retry.
    TestBroker broker;
    MqttClient client;
    configure(client, broker.host(), broker.port(), 100);
    QSignalSpy connected(&client, &MqttClient::connected);
    QSignalSpy disconnected(&client, &MqttClient::disconnected);
    LogCapture log;
    client.connect();
    QCOMPARE(disconnected.count(), 1);
    QVERIFY(QTest::qWaitFor([&] { return log.count(QStringLiteral("[MqttClient] Connecting to host")) >= 4; }, 5000));
    QCOMPARE(disconnected.count(), 1);
    // Beside the transport text, one line a minute says where and why, in the system's words.
    const QString unreachable = QStringLiteral("[MqttClient] WARN: Cannot reach broker 127.0.0.1:%1 : Connection refused")
                                    .arg(broker.port());
    QCOMPARE(log.count(unreachable), 1);

    // Reached at last, then lost: one more announcement.
    QVERIFY(broker.start());
    QVERIFY(connected.wait(5000));
    broker.kill();
    QVERIFY(QTest::qWaitFor([&] { return disconnected.count() == 2; }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return log.count(QStringLiteral("[MqttClient] Connecting to host")) >= 8; }, 5000));
    QCOMPARE(disconnected.count(), 2);
    QCOMPARE(connected.count(), 1);
    QCOMPARE(log.count(unreachable), 2); // a new outage is reported at once
}

void Tst_MqttClient::portTruncatedAndEncryptionOnlyWarns()
{
    TestBroker broker;
    QVERIFY(broker.start());
    LogCapture log;
    MqttClient client;
    configure(client, broker.host(), broker.port());
    client.setPort(3u * 65536u + broker.port());
    client.setEncrypted(true);
    client.connect();
    QCOMPARE(log.count(QStringLiteral("[MqttClient] Encryption not yet supported")), 1);
    QVERIFY(waitConnected(client)); // in plain TCP, on the low 16 bits of the port
    QCOMPARE(log.count(QStringLiteral("[MqttClient] Port    : %1").arg(3u * 65536u + broker.port())), 1);
}

void Tst_MqttClient::credentials()
{
    TestBroker keys; // only holds the password file
    const QString passwd = keys.writePasswordFile(QStringLiteral("tech"), QStringLiteral("s3cret"));
    TestBroker secured({ QStringLiteral("allow_anonymous false"), QStringLiteral("password_file ") + passwd });
    QVERIFY(secured.start());

    LogCapture log;
    MqttClient client;
    configure(client, secured.host(), secured.port(), 60000);
    client.setClientId(QStringLiteral("validator-7"));
    client.setUsername(QStringLiteral("tech"));
    client.setPassword(QStringLiteral("wrong"));
    QSignalSpy errors(&client, &MqttClient::error);
    client.connect();
    QVERIFY(errors.wait(5000));
    QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Mqtt client error"));
    QCOMPARE(log.count(QStringLiteral("[MqttClient] Not authorized: %1. The client is not authorized to connect.")
                           .arg(client.clientId())),
             1);
    QVERIFY(QTest::qWaitFor([&] { return client.m_reconnectTimer->isActive(); }, 5000));
    QCOMPARE(log.countStartingWith(QStringLiteral("[MqttClient] Password")), 0);
    for (const QString& line : log.all())
        QVERIFY2(!line.contains(QLatin1String("wrong")), qPrintable(line));

    // The next attempt uses the settings of the moment.
    client.setPassword(QStringLiteral("s3cret"));
    QMetaObject::invokeMethod(&client, "onReconnect");
    QVERIFY(waitConnected(client));
    QCOMPARE(errors.count(), 1);
}

void Tst_MqttClient::brokerRefusalsAreLoggedWithTheirTexts_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("line");
    QTest::newRow("1 protocol version")
        << FakeBroker::connack(1)
        << "[MqttClient] Invalid protocol version: 4. Broker does not accept a connection using the specified "
           "protocol version.";
    QTest::newRow("2 id rejected")
        << FakeBroker::connack(2)
        << "[MqttClient] Id rejected: %2. The client ID is malformed. This might be related to its length.";
    QTest::newRow("3 server unavailable")
        << FakeBroker::connack(3)
        << "[MqttClient] Server unavailable: 127.0.0.1:%1. The network connection has been established, but the "
           "service is unavailable on the broker side.";
    QTest::newRow("4 bad credentials")
        << FakeBroker::connack(4)
        << "[MqttClient] Bad username or password. The data in the username or password is malformed.";
    QTest::newRow("5 not authorised")
        << FakeBroker::connack(5)
        << "[MqttClient] Not authorized: %2. The client is not authorized to connect.";
    const QString violation = QStringLiteral(
        "[MqttClient] Protocol violation:The client encountered a protocol violation, and therefore closed the "
        "connection.");
    QTest::newRow("undefined code 6") << FakeBroker::connack(6) << violation;
    QTest::newRow("reserved packet type") << QByteArray::fromHex("00000000") << violation;
    QTest::newRow("length that never ends") << QByteArray::fromHex("20ffffffffff") << violation;
    QTest::newRow("text") << QByteArray("HTTP/1.1 400 Bad Request\r\n").append(200, ' ') << violation;
}

void Tst_MqttClient::brokerRefusalsAreLoggedWithTheirTexts()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, line);
    FakeBroker fake(answer);
    LogCapture log;
    MqttClient client;
    configure(client, QStringLiteral("127.0.0.1"), fake.port(), 60000);
    client.setClientId(QStringLiteral("validator-7"));
    QSignalSpy errors(&client, &MqttClient::error);
    QSignalSpy connected(&client, &MqttClient::connected);
    QSignalSpy disconnected(&client, &MqttClient::disconnected);
    client.connect();
    QVERIFY(errors.wait(5000));
    QVERIFY(QTest::qWaitFor([&] { return client.m_reconnectTimer->isActive(); }, 5000));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Mqtt client error"));
    line.replace(QLatin1String("%1"), QString::number(fake.port())).replace(QLatin1String("%2"), client.clientId());
    QCOMPARE(log.count(line), 1);
    // A refused first attempt never connected, but the owner must still learn it is offline.
    QCOMPARE(connected.count(), 0);
    QCOMPARE(disconnected.count(), 1);
    // Our side closed the socket, so the next attempt starts afresh.
    QVERIFY(QTest::qWaitFor([&] { return fake.openConnections() == 0; }, 5000));
}

void Tst_MqttClient::clientIdCannotBeGuessed()
{
    MqttClient first;
    MqttClient second;
    first.setClientId(QStringLiteral("VovadudozAD_4242"));
    second.setClientId(QStringLiteral("VovadudozAD_4242"));
    const QRegularExpression shape(QStringLiteral("^VovadudozAD_4242_[0-9a-f]{12}$"));
    QVERIFY2(shape.match(first.clientId()).hasMatch(), qPrintable(first.clientId()));
    QVERIFY2(shape.match(second.clientId()).hasMatch(), qPrintable(second.clientId()));
    // Two processes of the same name and pid (a restart in a fresh container) still differ.
    QVERIFY(first.clientId() != second.clientId());
    // The suffix belongs to the client object: a new name keeps it, so the broker sees one
    // client across reconnections.
    const QString suffix = first.clientId().right(12);
    first.setClientId(QStringLiteral("other"));
    QCOMPARE(first.clientId(), QStringLiteral("other_") + suffix);
    first.setClientId(QString());
    QCOMPARE(first.clientId(), QString());

    // And it is the id the engine puts on the wire.
    second.connect();
    QCOMPARE(second.m_client->clientId(), second.clientId());
}

void Tst_MqttClient::payloadLogMasksSecrets_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("secrets");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("settings change")
        << "orvo/ui/config/set"
        << QByteArray(R"({"gui":{"settingsPin":"97531","locale":"el_GR"},"mqtt":{"password":"hunter2","username":"tech"}})")
        << QStringList{"97531", "hunter2"} << QStringList{"el_GR", "tech"};
    QTest::newRow("PIN as a number") << "orvo/ui/config/set" << QByteArray(R"({"gui":{"settingsPin":86420}})")
                                     << QStringList{"86420"} << QStringList{"settingsPin"};
    QTest::newRow("validation configuration")
        << "orvo/blm/config"
        << QByteArray(R"({"blm":{"obu_host":"10.0.0.9","obu_password":"p@ss:word","obu_username":"obu"}})")
        << QStringList{"p@ss:word"} << QStringList{"10.0.0.9", "obu"};
    QTest::newRow("key spelt with an escape") << "orvo/ui/config/set"
                                              << QByteArray(R"({"gui":{"settings\u0050in":"13579"}})")
                                              << QStringList{"13579"} << QStringList{};
    QTest::newRow("broken JSON") << "orvo/ui/config/set"
                                 << QByteArray(R"({"mqtt":{"password":"tr0ub4dor", "port": 1883)")
                                 << QStringList{"tr0ub4dor"} << QStringList{"1883"};
}

void Tst_MqttClient::payloadLogMasksSecrets()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, secrets);
    QFETCH(QStringList, kept);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=true"));
    TestBroker broker;
    QVERIFY(broker.start());
    MqttClient client;
    QSignalSpy received(&client, &MqttClient::received);
    configure(client, broker.host(), broker.port());
    client.subscribe(topic);
    client.connect();
    QVERIFY(waitConnected(client));
    // Our own publication comes back to us: both the publishing and the receiving line count.
    LogCapture log;
    QVERIFY(client.publish(payload, topic));
    QVERIFY(received.wait(5000));
    QLoggingCategory::setFilterRules(QString());

    QCOMPARE(log.countStartingWith(QStringLiteral("[MqttClient] Publishing to topic '%1'").arg(topic)), 1);
    QCOMPARE(log.countStartingWith(QStringLiteral("[MqttClient] Received on topic: %1").arg(topic)), 1);
    for (const QString& line : log.all()) {
        for (const QString& secret : qAsConst(secrets))
            QVERIFY2(!line.contains(secret), qPrintable(line));
    }
    const QString text = log.all().join(QLatin1Char('\n'));
    QCOMPARE(text.count(QStringLiteral("********")), 2 * secrets.size());
    for (const QString& value : qAsConst(kept))
        QVERIFY2(text.contains(value), qPrintable(text));
}

void Tst_MqttClient::confidentialTopicsShowNoBrokenPayload()
{
    // Forms the masking of text did not foresee, on the settings topic and in a maintenance
    // barcode: what does not parse shows as its size, what parses is masked by key name, and a
    // URL password goes with or without a scheme.
    const QString settings = QStringLiteral("orvo/ui/config/set");
    const QString barcode = QStringLiteral("orvo/blm/barcode/maintenance/scanned");
    struct Case
    {
        QString topic;
        QByteArray payload;
        QString secret;
        QString shown;
    };
    const QList<Case> cases {
        { settings, R"({"gui":{"settingsPin"{:"424242"}})", "424242", "(33 bytes, not JSON)" },
        { settings, R"({"gui":{"settingsPin" x:"424243"}})", "424243", "bytes, not JSON)" },
        { settings, R"({"gui":{"settingsPin"%4:"424244"}})", "424244", "bytes, not JSON)" },
        { settings, R"({"gui":{"settingsPin" "424251"}})", "424251", "bytes, not JSON)" },
        { settings, R"({"gui":{"settingsPin"::"424249"}})", "424249", "bytes, not JSON)" },
        { settings, R"({"mqtt":{"password"::"Hunter42"}})", "Hunter42", "bytes, not JSON)" },
        { settings, R"({"mqtt":{"password" "Hunter43"}})", "Hunter43", "bytes, not JSON)" },
        { barcode, R"({"validator":{"obc":"obuuser:ObuPw55@10.0.0.5"}})", "ObuPw55", R"("obc":"obuuser:********@10.0.0.5")" },
        { barcode, R"({"validator":{"obc":"obuuser:ObuPw56@10.0.0.5"})", "ObuPw56", "bytes, not JSON)" },
        { settings, R"({"gui":{"settingsPin":"424250","locale":"el_GR"}})", "424250", R"("locale":"el_GR")" },
        { settings, R"({"gui":{"note":"settingsPin=424252"}})", "424252", R"("note":"settingsPin=********")" },
    };
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=true"));
    TestBroker broker;
    QVERIFY(broker.start());
    MqttClient client;
    client.setConfidential(settings);
    client.setConfidential(QStringLiteral("orvo/blm/barcode/maintenance/+"));
    QSignalSpy received(&client, &MqttClient::received);
    configure(client, broker.host(), broker.port());
    client.subscribe(settings);
    client.subscribe(barcode);
    client.connect();
    QVERIFY(waitConnected(client));
    for (const Case& c : cases) {
        LogCapture log;
        QVERIFY(client.publish(c.payload, c.topic));
        QVERIFY(received.wait(5000));
        const QStringList lines = log.all();
        QCOMPARE(lines.size(), 2); // publishing and receiving
        for (const QString& line : lines) {
            QVERIFY2(!line.contains(c.secret), qPrintable(line));
            QVERIFY2(line.contains(c.shown), qPrintable(line));
        }
    }
    QLoggingCategory::setFilterRules(QString());
    QVERIFY(client.isConfidential(QStringLiteral("orvo/blm/barcode/maintenance/scanned")));
    QVERIFY(!client.isConfidential(QStringLiteral("orvo/blm/barcode/scanned")));
}

void Tst_MqttClient::routedMessagesReachOnlyTheirProxy()
{
    BrokerFixture wire;
    QVERIFY(wire.start({}));
    QObject board;
    QObject gps;
    QStringList boardTopics;
    QStringList gpsTopics;
    wire.client.route(QStringLiteral("orvo/board/status"), &board,
                      [&](const QByteArray&, const QString& topic) { boardTopics << topic; });
    wire.client.route(QStringLiteral("orvo/gps/#"), &gps,
                      [&](const QByteArray&, const QString& topic) { gpsTopics << topic; });
    QSignalSpy received(&wire.client, &MqttClient::received);
    QVERIFY(wire.connectClient());
    // The routes subscribed their filters: the broker sends what they match, and each goes to
    // its own proxy only.
    QVERIFY(deliveredThrough(*wire.peer, received, QStringLiteral("orvo/gps/data"), "1"));
    QVERIFY(deliveredThrough(*wire.peer, received, QStringLiteral("orvo/board/status"), "2"));
    QVERIFY(boardTopics.size() >= 1 && gpsTopics.size() >= 1);
    QCOMPARE(boardTopics.filter(QStringLiteral("orvo/board/status")), boardTopics);
    QCOMPARE(gpsTopics.filter(QStringLiteral("orvo/gps/data")), gpsTopics);
}

QTEST_GUILESS_MAIN(Tst_MqttClient)
#include "tst_mqttclient.moc"
