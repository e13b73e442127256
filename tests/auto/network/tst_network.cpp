#include "badpayloads.h"
#include "brokerfixture.h"
#include "connection.h"
#include "ethernet.h"
#include "ipv4.h"
#include "logcapture.h"
#include "mqttclient.h"
#include "network.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString Base = QStringLiteral("orvo/network");
const QString Eth = QStringLiteral("orvo/network/ethernet");

QVariantMap fields(const IPv4& ip)
{
    return {{"address", ip.address()}, {"mask", ip.mask()}, {"gateway", ip.gateway()},
            {"dns0", ip.dns0()}, {"dns1", ip.dns1()}};
}

// Everything the screens can read of the network and its Ethernet object.
QVariantMap snapshot(manager::Network& network)
{
    manager::Ethernet* eth = network.ethernet();
    manager::Connection* primary = network.primaryConnection();
    return {{"state", network.connectionState()}, {"connectivity", network.connectivity()},
            {"hostname", network.hostname()}, {"pInterface", primary->interface()},
            {"pState", primary->state()}, {"pType", primary->type()}, {"pIpv4", fields(*primary->ipv4())},
            {"interface", eth->interface()}, {"type", eth->type()}, {"eState", eth->state()},
            {"reason", eth->reason()}, {"mac", eth->mac()}, {"method", eth->method()},
            {"ipv4", fields(*eth->ipv4())}, {"config", fields(*eth->config())}};
}

const QByteArray Status = R"({"stateStr": "Connected", "connectivityStr": "Full", "hostname": "val-0042",
    "primaryConnection": {"interface": "eth0", "stateStr": "Activated", "typeStr": "Ethernet",
        "ipv4": {"address": "10.0.0.42", "netmask": "255.255.255.0", "gateway": "10.0.0.1",
                 "dns0": "10.0.0.1", "dns1": "8.8.4.4"}}})";
const QByteArray State = R"({"interface": "eth0", "typeStr": "Ethernet", "stateStr": "Activated",
    "reasonStr": "None", "mac": "02:00:00:00:00:42",
    "ipv4": {"address": "10.0.0.42", "netmask": "255.255.255.0", "gateway": "10.0.0.1", "dns0": "10.0.0.1",
             "dns1": ""}})";
const QByteArray Config = R"({"interface": "eth0", "method": "manual", "address": "10.0.0.42",
    "netmask": "255.255.255.0", "gateway": "10.0.0.1", "dns0": "10.0.0.1", "dns1": "1.1.1.1"})";

} // namespace

class Tst_Network : public QObject
{
    Q_OBJECT

private:
    void send(manager::MqttClient& client, const QString& topic, const QByteArray& payload)
    {
        client.dispatch(payload, topic);
    }

private slots:
    void ipv4Record();
    void connectionFromMap();
    void networkStatus();
    void ethernetState();
    void ethernetConfig();
    void usb0Ignored_data();
    void usb0Ignored();
    void topicsKeptApart();
    void badInputKeepsState_data();
    void badInputKeepsState();
    void save_data();
    void save();
    void resetAndRefreshOnTheWire();
};

void Tst_Network::ipv4Record()
{
    IPv4 ip;
    QSignalSpy maskSpy(&ip, &IPv4::maskChanged);
    QSignalSpy addressSpy(&ip, &IPv4::addressChanged);
    ip.setMask("255.255.0.0");
    ip.setMask("255.255.0.0");
    QCOMPARE(maskSpy.count(), 1);
    // The service names it "netmask"; "mask" must not leak into what is sent.
    QCOMPARE(ip.toMap(), (QVariantMap{{"netmask", "255.255.0.0"}}));
    ip.setAddress(QString());
    QCOMPARE(addressSpy.count(), 0);

    QSignalSpy gatewaySpy(&ip, &IPv4::gatewayChanged);
    QSignalSpy dns0Spy(&ip, &IPv4::dns0Changed);
    QSignalSpy dns1Spy(&ip, &IPv4::dns1Changed);
    ip.fromMap({{"address", "192.168.1.5"}, {"netmask", "255.255.0.0"}, {"gateway", "192.168.1.1"},
                {"mask", "0.0.0.0"}});
    QCOMPARE(ip.address(), QString("192.168.1.5"));
    QCOMPARE(ip.mask(), QString("255.255.0.0"));
    QCOMPARE(ip.gateway(), QString("192.168.1.1"));
    QCOMPARE(addressSpy.count(), 1);
    QCOMPARE(maskSpy.count(), 1);
    QCOMPARE(gatewaySpy.count(), 1);
    QCOMPARE(dns0Spy.count() + dns1Spy.count(), 0);
    // Keys the map lacks read as empty and clear the field.
    ip.fromMap({{"dns1", "9.9.9.9"}});
    QCOMPARE(fields(ip), (QVariantMap{{"address", ""}, {"mask", ""}, {"gateway", ""}, {"dns0", ""},
                                      {"dns1", "9.9.9.9"}}));
    QCOMPARE(addressSpy.count(), 2);
    QCOMPARE(dns1Spy.count(), 1);
}

void Tst_Network::connectionFromMap()
{
    const QVariantMap ipv4{{"address", "10.1.1.1"}, {"netmask", "255.0.0.0"}};
    manager::Connection connection({{"interface", "wlan0"}, {"stateStr", "Activated"}, {"typeStr", "Wi-Fi"},
                                    {"ipv4", ipv4}});
    QCOMPARE(connection.interface(), QString("wlan0"));
    QCOMPARE(connection.state(), QString("Activated"));
    QCOMPARE(connection.type(), QString("Wi-Fi"));
    QCOMPARE(connection.ipv4()->mask(), QString("255.0.0.0"));

    QSignalSpy interfaceSpy(&connection, &manager::Connection::interfaceChanged);
    QSignalSpy stateSpy(&connection, &manager::Connection::stateChanged);
    QSignalSpy ipv4Spy(&connection, &manager::Connection::ipv4Changed);
    connection.fromMap({{"interface", "wlan0"}, {"stateStr", "Deactivated"}, {"typeStr", "Wi-Fi"}, {"ipv4", ipv4}});
    QCOMPARE(interfaceSpy.count(), 0);
    QCOMPARE(stateSpy.count(), 1);
    QCOMPARE(ipv4Spy.count(), 0);
    connection.fromMap({{"interface", "wlan0"}, {"stateStr", "Deactivated"}, {"typeStr", "Wi-Fi"}});
    QCOMPARE(ipv4Spy.count(), 1);
    QCOMPARE(connection.ipv4()->address(), QString());
}

void Tst_Network::networkStatus()
{
    manager::MqttClient client;
    manager::Network network(client, Base);
    QSignalSpy stateSpy(&network, &manager::Network::connectionStateChanged);
    QSignalSpy connectivitySpy(&network, &manager::Network::connectivityChanged);
    QSignalSpy hostnameSpy(&network, &manager::Network::hostnameChanged);
    QSignalSpy primarySpy(&network, &manager::Network::primaryConnectionChanged);

    send(client, Base + "/status", Status);
    QCOMPARE(network.connectionState(), QString("Connected"));
    QCOMPARE(network.connectivity(), QString("Full"));
    QCOMPARE(network.hostname(), QString("val-0042"));
    manager::Connection* primary = network.primaryConnection();
    QCOMPARE(primary->interface(), QString("eth0"));
    QCOMPARE(primary->type(), QString("Ethernet"));
    QCOMPARE(primary->ipv4()->mask(), QString("255.255.255.0"));
    QCOMPARE(primary->ipv4()->dns1(), QString("8.8.4.4"));

    // The primary connection is signalled on every status, the rest only on change.
    QSignalSpy primaryIpv4Spy(primary, &manager::Connection::ipv4Changed);
    send(client, Base + "/status", Status);
    QCOMPARE(primarySpy.count(), 2);
    QCOMPARE(primaryIpv4Spy.count(), 0);
    QCOMPARE(stateSpy.count() + connectivitySpy.count() + hostnameSpy.count(), 3);

    // Missing keys read as empty: no host name, no primary connection.
    send(client, Base + "/status", R"({"stateStr": "Disconnected", "connectivityStr": "None"})");
    QCOMPARE(network.hostname(), QString());
    QCOMPARE(hostnameSpy.count(), 2);
    QCOMPARE(primary->interface(), QString());
    QCOMPARE(primary->ipv4()->address(), QString());
    QCOMPARE(primarySpy.count(), 3);

    // "/info" is only logged.
    LogCapture log;
    send(client, Base + "/info", R"({"service": {"version": "2.0"}})");
    QCOMPARE(log.all(), QStringList{"[Network] Processing info topic orvo/network/info"});
}

void Tst_Network::ethernetState()
{
    manager::MqttClient client;
    manager::Network network(client, Base);
    manager::Ethernet* eth = network.ethernet();
    QCOMPARE(eth->parent(), &network);
    QSignalSpy ipv4Spy(eth, &manager::Ethernet::ipv4Changed);
    QSignalSpy macSpy(eth, &manager::Ethernet::macChanged);
    QSignalSpy reasonSpy(eth, &manager::Ethernet::reasonChanged);
    {
        LogCapture log;
        send(client, Eth + "/state", State);
        QVERIFY(log.lines(QtInfoMsg).contains("[Network][Ethernet] MAC changed : 02:00:00:00:00:42"));
        QVERIFY(log.lines(QtInfoMsg).contains("[Network][Ethernet] Interface changed : eth0"));
    }
    QCOMPARE(eth->interface(), QString("eth0"));
    QCOMPARE(eth->type(), QString("Ethernet"));
    QCOMPARE(eth->state(), QString("Activated"));
    QCOMPARE(eth->reason(), QString("None"));
    QCOMPARE(eth->mac(), QString("02:00:00:00:00:42"));
    QCOMPARE(eth->ipv4()->address(), QString("10.0.0.42"));
    QCOMPARE(eth->ipv4()->gateway(), QString("10.0.0.1"));
    QCOMPARE(ipv4Spy.count(), 1);

    send(client, Eth + "/state", R"({"interface": "eth0", "typeStr": "Ethernet", "stateStr": "Unavailable",
        "reasonStr": "Carrier", "mac": "02:00:00:00:00:42"})");
    QCOMPARE(eth->state(), QString("Unavailable"));
    QCOMPARE(reasonSpy.count(), 2);
    QCOMPARE(macSpy.count(), 1);
    QCOMPARE(ipv4Spy.count(), 2);
    QCOMPARE(eth->ipv4()->address(), QString());
    // The live address is not the stored configuration.
    QCOMPARE(eth->config()->toMap(), QVariantMap());
}

void Tst_Network::ethernetConfig()
{
    manager::MqttClient client;
    manager::Network network(client, Base);
    manager::Ethernet* eth = network.ethernet();
    QSignalSpy methodSpy(eth, &manager::Ethernet::methodChanged);
    QSignalSpy configSpy(eth, &manager::Ethernet::configChanged);
    send(client, Eth + "/config", Config);
    QCOMPARE(eth->method(), QString("manual"));
    QCOMPARE(fields(*eth->config()), (QVariantMap{{"address", "10.0.0.42"}, {"mask", "255.255.255.0"},
                                                  {"gateway", "10.0.0.1"}, {"dns0", "10.0.0.1"},
                                                  {"dns1", "1.1.1.1"}}));
    QCOMPARE(methodSpy.count(), 1);
    QCOMPARE(configSpy.count(), 1);

    // The report carries "interface", so it never equals the five-field record: configChanged
    // fires on every report, the field signals only for fields that changed.
    QSignalSpy dns1Spy(eth->config(), &IPv4::dns1Changed);
    QSignalSpy addressSpy(eth->config(), &IPv4::addressChanged);
    {
        LogCapture log;
        send(client, Eth + "/config", Config);
        QCOMPARE(log.lines(QtInfoMsg).filter("IPv4 changed : ").size(), 1);
    }
    QCOMPARE(configSpy.count(), 2);
    QCOMPARE(methodSpy.count(), 1);
    QCOMPARE(dns1Spy.count() + addressSpy.count(), 0);

    // Local edits are signalled but not sent, and the next report overwrites them.
    eth->setMethod("auto");
    eth->config()->setAddress("10.9.9.9");
    QCOMPARE(methodSpy.count(), 2);
    send(client, Eth + "/config", Config);
    QCOMPARE(eth->method(), QString("manual"));
    QCOMPARE(eth->config()->address(), QString("10.0.0.42"));
}

void Tst_Network::usb0Ignored_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("state") << "/state" << QByteArray(R"({"interface": "usb0", "typeStr": "Gadget",
        "stateStr": "Activated", "mac": "02:11:11:11:11:11", "ipv4": {"address": "192.168.7.2"}})");
    QTest::newRow("config") << "/config" << QByteArray(R"({"interface": "usb0", "method": "auto",
        "address": "192.168.7.2"})");
}

void Tst_Network::usb0Ignored()
{
    QFETCH(QString, suffix);
    QFETCH(QByteArray, payload);
    manager::MqttClient client;
    manager::Network network(client, Base);
    send(client, Eth + "/state", State);
    send(client, Eth + "/config", Config);
    const QVariantMap before = snapshot(network);
    QSignalSpy ipv4Spy(network.ethernet(), &manager::Ethernet::ipv4Changed);
    QSignalSpy configSpy(network.ethernet(), &manager::Ethernet::configChanged);
    LogCapture log;
    send(client, Eth + suffix, payload);
    QCOMPARE(snapshot(network), before);
    QCOMPARE(ipv4Spy.count() + configSpy.count(), 0);
    QCOMPARE(log.all(), QStringList{"[Network][Ethernet] Processing " + QString(suffix == "/state" ? "state" : "config")
                                    + " topic " + Eth + suffix});
}

void Tst_Network::topicsKeptApart()
{
    manager::MqttClient client;
    manager::Network network(client, Base);
    QSignalSpy primarySpy(&network, &manager::Network::primaryConnectionChanged);
    QSignalSpy hostnameSpy(&network, &manager::Network::hostnameChanged);
    // The Ethernet state topic contains the network base topic, and reaches the network object too.
    send(client, Eth + "/state", State);
    QCOMPARE(primarySpy.count(), 0);
    QCOMPARE(network.ethernet()->interface(), QString("eth0"));
    // The network status is not the Ethernet object's.
    QSignalSpy interfaceSpy(network.ethernet(), &manager::Ethernet::interfaceChanged);
    send(client, Base + "/status", R"({"interface": "eth1", "hostname": "h"})");
    QCOMPARE(interfaceSpy.count(), 0);
    QCOMPARE(hostnameSpy.count(), 1);
    // Other services, request topics and case variants are nobody's.
    for (const char* topic : {"orvo/board/status", "orvo/network/status/get", "orvo/network/ethernet/state/get",
                              "ORVO/network/status", "orvo/networkx/status"})
        send(client, QString::fromLatin1(topic), R"({"hostname": "x", "interface": "eth9"})");
    QCOMPARE(network.hostname(), QString("h"));
    QCOMPARE(network.ethernet()->interface(), QString("eth0"));
}

void Tst_Network::badInputKeepsState_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("line");

    const QString networkParse = "[Network] Failed to parse JSON message: ";
    const QString ethParse = "[Network][Ethernet] Failed to parse JSON message: ";
    for (const QString& topic : {Base + "/status", Base + "/info", Eth + "/state", Eth + "/config"}) {
        // Ethernet topics contain the network topic: only the Ethernet object speaks of them.
        const QString parse = topic.startsWith(Eth) ? ethParse : networkParse;
        for (const BadPayload& bad : allBadPayloads())
            QTest::addRow("%s %s", qPrintable(topic), bad.name) << topic << bad.payload << parse;
    }
    const QString networkWrong = "[Network] WARN: Ignoring wrongly typed values on ";
    const QString ethWrong = "[Network][Ethernet] WARN: Ignoring wrongly typed values on ";
    QTest::newRow("status wrong types")
            << Base + "/status"
            << QByteArray(R"({"stateStr": "Connected", "connectivityStr": "Full", "hostname": 42,
                "primaryConnection": {"interface": ["eth0"], "stateStr": "Activated", "typeStr": "Ethernet",
                "ipv4": {"address": "10.0.0.42", "netmask": 255, "gateway": "10.0.0.1", "dns0": "10.0.0.1",
                "dns1": "8.8.4.4"}}})")
            << networkWrong + Base + "/status : hostname, primaryConnection.interface, primaryConnection.ipv4.netmask";
    QTest::newRow("primary connection not an object")
            << Base + "/status"
            << QByteArray(R"({"stateStr": "Connected", "connectivityStr": "Full", "hostname": "val-0042",
                "primaryConnection": "eth0"})")
            << networkWrong + Base + "/status : primaryConnection";
    QTest::newRow("state wrong types")
            << Eth + "/state"
            << QByteArray(R"({"interface": "eth0", "typeStr": "Ethernet", "stateStr": 100, "reasonStr": "None",
                "mac": "02:00:00:00:00:42", "ipv4": ["10.0.0.42"]})")
            << ethWrong + Eth + "/state : stateStr, ipv4";
    QTest::newRow("config wrong types")
            << Eth + "/config"
            << QByteArray(R"({"interface": "eth0", "method": true, "address": "10.0.0.42",
                "netmask": 24, "gateway": "10.0.0.1", "dns0": "10.0.0.1", "dns1": "1.1.1.1"})")
            << ethWrong + Eth + "/config : method, netmask";
}

void Tst_Network::badInputKeepsState()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QFETCH(QString, line);

    manager::MqttClient client;
    manager::Network network(client, Base);
    send(client, Base + "/status", Status);
    send(client, Eth + "/state", State);
    send(client, Eth + "/config", Config);
    const QVariantMap before = snapshot(network);

    LogCapture log;
    send(client, topic, payload);
    QCOMPARE(snapshot(network), before);
    const QStringList problems = log.problems();
    QCOMPARE(problems.size(), 1);
    QVERIFY2(problems.first().startsWith(line), qPrintable(problems.first()));
    for (const QString& text : log.all())
        QVERIFY(text.size() < 1000);
}

void Tst_Network::save_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<bool>("addresses");
    QTest::newRow("manual") << "manual" << true;
    QTest::newRow("auto") << "auto" << false;
    QTest::newRow("capital M") << "Manual" << false;
    QTest::newRow("trailing blank") << "manual " << false;
    QTest::newRow("no method") << "" << false;
}

void Tst_Network::save()
{
    QFETCH(QString, method);
    QFETCH(bool, addresses);

    BrokerFixture wire;
    QVERIFY(wire.start({Eth + "/config/set"}));
    MqttPeer& peer = *wire.peer;
    manager::MqttClient& client = wire.client;
    manager::Network network(client, Base);
    QVERIFY(wire.connectClient());

    manager::Ethernet* eth = network.ethernet();
    send(client, Eth + "/state", State);
    send(client, Eth + "/config", Config);
    eth->setMethod(method);
    eth->config()->setMask("255.255.0.0");
    const QVariantMap before = snapshot(network);
    eth->save();
    const QByteArray payload = peer.waitFor(Eth + "/config/set", 5000);
    QVERIFY(!payload.isNull());
    const QJsonObject sent = QJsonDocument::fromJson(payload).object();
    QCOMPARE(sent.keys(), (QStringList{"address", "dns0", "dns1", "gateway", "interface", "method", "netmask"}));
    QCOMPARE(sent.value("interface").toString(), QString("eth0"));
    QCOMPARE(sent.value("method").toString(), method);
    QCOMPARE(sent.value("netmask").toString(), addresses ? QString("255.255.0.0") : QString());
    QCOMPARE(sent.value("address").toString(), addresses ? QString("10.0.0.42") : QString());
    QCOMPARE(sent.value("dns1").toString(), addresses ? QString("1.1.1.1") : QString());
    // As published: indented, keys sorted.
    QCOMPARE(payload, QJsonDocument(sent).toJson(QJsonDocument::Indented));
    if (addresses)
        QVERIFY(payload.startsWith("{\n    \"address\": \"10.0.0.42\",\n    \"dns0\": \"10.0.0.1\",\n"));
    // Saving changes nothing here: the service reports back.
    QCOMPARE(snapshot(network), before);
}

void Tst_Network::resetAndRefreshOnTheWire()
{
    BrokerFixture wire;
    QVERIFY(wire.start({Base + "/#"}));
    MqttPeer& peer = *wire.peer;
    manager::MqttClient& client = wire.client;
    client.setRetryMillis(200);
    manager::Network network(client, Base);
    QStringList subscribed;
    for (const auto& subscription : client.subscriptions())
        subscribed << subscription.first;
    QCOMPARE(subscribed, (QStringList{Eth + "/state", Eth + "/config", Base + "/info", Base + "/status"}));
    QVERIFY(!network.isConnected());
    client.connect();

    // Each connection asks for the Ethernet state and configuration, in that order.
    QVERIFY(QTest::qWaitFor([&] { return peer.count(Eth + "/config/get") == 1; }, 5000));
    QCOMPARE(peer.takeAll(), (QList<QPair<QString, QByteArray>>{{Eth + "/state/get", "{}"},
                                                                 {Eth + "/config/get", "{}"}}));

    // The network object asks for nothing: monitoring and a manual reset publish only the reset.
    network.monitor(5000);
    QVERIFY(network.monitorTimer().isActive());
    QCOMPARE(network.monitorTimer().interval(), 5000);
    network.monitor(0);
    QVERIFY(!network.monitorTimer().isActive());
    network.ethernet()->reset();
    QVERIFY(QTest::qWaitFor([&] { return peer.count(Eth + "/config/get") == 1; }, 5000));
    QCOMPARE(peer.takeAll().size(), 2);

    client.disconnect();
    QVERIFY(QTest::qWaitFor([&] { return peer.count(Eth + "/config/get") == 1; }, 10000));
    QCOMPARE(peer.count(Eth + "/state/get"), 1);
}

QTEST_GUILESS_MAIN(Tst_Network)
#include "tst_network.moc"
