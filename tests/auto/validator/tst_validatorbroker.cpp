#include "mqttclient.h"
#include "mqttpeer.h"
#include "testbroker.h"
#include "validator.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

using manager::MqttClient;
using manager::Validator;

namespace {

const QString base = QStringLiteral("orvo/blm");
const int wait = 5000;

QByteArray status(int rfidState, bool barcodeEnabled)
{
    const QJsonObject message{
        {"service", true},
        {"state", QJsonObject{{"hasRfid", true}, {"hasRoute", true}, {"hasQr", true},
                              {"hasObu", true}}},
        {"device", QJsonObject{{"rfid", QJsonObject{{"state", rfidState}}},
                               {"barcode", QJsonObject{{"enabled", barcodeEnabled}}}}},
    };
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

QJsonObject object(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

} // namespace

// The proxy against a real broker, with a peer in the role of the validation service and its
// readers.
class Tst_ValidatorBroker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void roundTrip();

private:
    // Publishes the status until the proxy has taken it: the proxy's own subscriptions become
    // active at the broker at a moment the test cannot see.
    bool deliverStatus(const QByteArray& payload, int rfidState);
    // Everything the proxy published before this call has reached the peer once it returns.
    QList<QPair<QString, QByteArray>> drain();

    TestBroker* m_broker = nullptr;
    MqttPeer* m_peer = nullptr;
    MqttClient* m_client = nullptr;
    Validator* m_validator = nullptr;
};

void Tst_ValidatorBroker::initTestCase()
{
    m_broker = new TestBroker;
    QVERIFY(m_broker->start());
    m_peer = new MqttPeer(*m_broker);
    QVERIFY(m_peer->waitConnected(wait));
    for (const char* topic : {"orvo/rfid/enable", "orvo/rfid/disable", "orvo/barcode/enable",
                              "orvo/barcode/disable", "orvo/blm/config/set", "orvo/blm/config/get"})
        m_peer->subscribe(topic);
    QVERIFY(m_peer->sync(wait));

    m_client = new MqttClient;
    m_client->setHostname(m_broker->host());
    m_client->setPort(m_broker->port());
    m_client->setRetryMillis(200);
    m_validator = new Validator(*m_client, base);
    m_client->connect();
    QVERIFY(QTest::qWaitFor([this] { return m_client->isConnected(); }, wait));
}

void Tst_ValidatorBroker::cleanupTestCase()
{
    delete m_validator;
    delete m_client;
    delete m_peer;
    delete m_broker;
}

bool Tst_ValidatorBroker::deliverStatus(const QByteArray& payload, int rfidState)
{
    const QString wanted = ValidatorRfid::mapState(rfidState);
    for (int i = 0; i < wait / 100; ++i) {
        m_peer->publish(base + "/status", payload);
        if (QTest::qWaitFor([&] { return m_validator->rfid()->state() == wanted
                                         && m_validator->status() == "online"; },
                            100))
            return true;
    }
    return false;
}

QList<QPair<QString, QByteArray>> Tst_ValidatorBroker::drain()
{
    // One connection keeps its order: once the unguarded request is through, so is the rest.
    m_validator->refreshConfig();
    if (m_peer->waitFor(base + "/config/get", wait) != "{ }")
        return {{"refreshConfig", "missing"}};
    return m_peer->takeAll();
}

void Tst_ValidatorBroker::roundTrip()
{
    Validator& v = *m_validator;
    using Messages = QList<QPair<QString, QByteArray>>;

    // Status in: readers idle and disabled.
    QVERIFY(deliverStatus(status(1, false), 1));
    QCOMPARE(v.reasonCode(), QString());

    // Enable requests out, on the readers' own topics; disable requests held back.
    v.disableRfid();
    v.disableBarcode();
    v.enableRfid();
    v.enableBarcode();
    QCOMPARE(drain(), (Messages{{"orvo/rfid/enable", "{\n    \"autoread\": true\n}\n"},
                                {"orvo/barcode/enable", ""}}));
    // The guard reads only the mirrored state: until the readers report back, asking again
    // asks again.
    v.enableRfid();
    QCOMPARE(drain(), (Messages{{"orvo/rfid/enable", "{\n    \"autoread\": true\n}\n"}}));

    // The readers report searching and enabled: now only the disable requests go out.
    QVERIFY(deliverStatus(status(2, true), 2));
    v.enableRfid();
    v.enableBarcode();
    v.disableRfid();
    v.disableBarcode();
    QCOMPARE(drain(), (Messages{{"orvo/rfid/disable", ""}, {"orvo/barcode/disable", ""}}));

    // Configuration round trip: the service's strings in, numbers and a boolean out.
    QSignalSpy configSpy(&v, &Validator::configChanged);
    m_peer->publish(base + "/config",
                    R"({"blm": {"obu_host": "10.0.0.5", "obu_port": "0", "obu_username": "obu",
                        "obu_password": "p@ss"},
                        "validator": {"passbackTime": "30", "qr_passback": "true"}})");
    QVERIFY(configSpy.wait(wait));
    v.saveConfig();
    const QByteArray saved = m_peer->waitFor(base + "/config/set", wait);
    const QJsonObject expected{
        {"blm", QJsonObject{{"obu_username", "obu"}, {"obu_password", "p@ss"},
                            {"obu_host", "10.0.0.5"}, {"obu_port", -1}}},
        {"validator", QJsonObject{{"passbackTime", 30}, {"qr_passback", true}}},
    };
    QCOMPARE(object(saved), expected);
    QCOMPARE(saved, QJsonDocument(expected).toJson(QJsonDocument::Indented));

    // What the maintenance screen wrote is what goes out; nothing changes locally.
    v.config()->setObuUrl(QUrl("mqtt://10.0.0.9:1884"));
    v.config()->setPassbackQrEnabled(false);
    v.saveConfig();
    const QJsonObject edited = object(m_peer->waitFor(base + "/config/set", wait));
    QCOMPARE(edited.value("blm").toObject().value("obu_port"), QJsonValue(1884));
    QCOMPARE(edited.value("blm").toObject().value("obu_username"), QJsonValue(""));
    QCOMPARE(edited.value("validator").toObject().value("qr_passback"), QJsonValue(false));
    QCOMPARE(v.config()->obuUrl(), QUrl("mqtt://10.0.0.9:1884"));

    // Scan in, ticketValidated out.
    QVariantMap result;
    connect(&v, &Validator::ticketValidated, this, [&](const Transaction& t) { result = t.toMap(); });
    m_peer->publish(base + "/rfid/scanned",
                    R"({"transaction": {"result": false, "denyReason": {"id": 207}}})");
    QVERIFY(QTest::qWaitFor([&] { return !result.isEmpty(); }, wait));
    QCOMPARE(result.value("denyReasonId"), QVariant(207));
    QCOMPARE(result.value("denyReason"), QVariant("The card has already been validated"));

    // Card presence on the reader's absolute topics.
    QSignalSpy found(&v, &Validator::cardDetected);
    QSignalSpy removed(&v, &Validator::cardRemoved);
    m_peer->publish("orvo/rfid/card/found", R"({"uid": "04A1", "type": 512})");
    m_peer->publish("orvo/rfid/card/removed", "");
    QVERIFY(QTest::qWaitFor([&] { return removed.count() == 1; }, wait));
    QCOMPARE(found.count(), 1);
    QCOMPARE(found.at(0), (QVariantList{"04A1", "EMV"}));

    // Broker gone: offline with "#0001", the rest kept.
    m_broker->kill();
    QVERIFY(QTest::qWaitFor([&] { return v.status() == "offline"; }, wait));
    QCOMPARE(v.reasonCode(), QString("#0001"));
    QCOMPARE(v.reason(), QString("MQTT Disconnected"));
    QCOMPARE(v.rfid()->state(), QString("Searching"));

    // Back again: still offline until the service reports.
    QVERIFY(m_broker->start());
    QVERIFY(QTest::qWaitFor([&] { return m_client->isConnected() && m_peer->isConnected(); },
                            wait));
    QCOMPARE(v.status(), QString("offline"));
    QCOMPARE(v.reasonCode(), QString("#0001"));
    QVERIFY(deliverStatus(status(3, true), 3));
    QCOMPARE(v.reasonCode(), QString());
}

QTEST_GUILESS_MAIN(Tst_ValidatorBroker)
#include "tst_validatorbroker.moc"
