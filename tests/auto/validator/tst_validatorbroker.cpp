#include "brokerfixture.h"
#include "mqttclient.h"
#include "validator.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

using Messages = QList<QPair<QString, QByteArray>>;

// The validator proxy against a real broker, with a peer playing the validation service and
// its readers.
class Tst_ValidatorBroker : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip();
};

void Tst_ValidatorBroker::roundTrip()
{
    const QString base = "orvo/blm";
    BrokerFixture wire;
    QVERIFY(wire.start({"orvo/rfid/+", "orvo/barcode/+", base + "/config/+"}));
    MqttPeer& peer = *wire.peer;
    manager::MqttClient& client = wire.client;
    client.setRetryMillis(200);
    manager::Validator v(client, base);
    client.connect();

    // The proxy's subscriptions take effect at a moment the test cannot see: repeat the status
    // until it is taken.
    auto deliverStatus = [&](int rfidState, bool barcodeEnabled) {
        const QJsonObject message{{"service", true},
            {"state", QJsonObject{{"hasRfid", true}, {"hasRoute", true}, {"hasQr", true}, {"hasObu", true}}},
            {"device", QJsonObject{{"rfid", QJsonObject{{"state", rfidState}}},
                                   {"barcode", QJsonObject{{"enabled", barcodeEnabled}}}}}};
        for (int i = 0; i < 50; ++i) {
            peer.publish(base + "/status", QJsonDocument(message).toJson());
            if (QTest::qWaitFor([&] { return v.status() == "online"
                                             && v.rfid()->state() == ValidatorRfid::mapState(rfidState); }, 100))
                return true;
        }
        return false;
    };
    // One connection keeps its order: once this unguarded request is through, so is the rest.
    auto drain = [&] {
        v.refreshConfig();
        return peer.waitFor(base + "/config/get", 5000) == "{ }" ? peer.takeAll() : Messages{{"?", "?"}};
    };

    // Readers idle and disabled: only the enable requests go out, the RFID one with autoread.
    QVERIFY(deliverStatus(1, false));
    v.disableRfid();
    v.disableBarcode();
    v.enableRfid();
    v.enableBarcode();
    QCOMPARE(drain(), (Messages{{"orvo/rfid/enable", "{\n    \"autoread\": true\n}\n"},
                                {"orvo/barcode/enable", ""}}));
    // Readers searching and enabled: only the disable requests.
    QVERIFY(deliverStatus(2, true));
    v.enableRfid();
    v.enableBarcode();
    v.disableRfid();
    v.disableBarcode();
    QCOMPARE(drain(), (Messages{{"orvo/rfid/disable", ""}, {"orvo/barcode/disable", ""}}));

    // Configuration round trip: the service's strings in, numbers and a boolean out.
    QSignalSpy configured(&v, &manager::Validator::configChanged);
    peer.publish(base + "/config", R"({"blm": {"obu_host": "10.0.0.5", "obu_port": "0",
        "obu_username": "obu", "obu_password": "p@ss"},
        "validator": {"passbackTime": "30", "qr_passback": "true"}})");
    QVERIFY(configured.wait(5000));
    v.saveConfig();
    const QJsonObject expected{
        {"blm", QJsonObject{{"obu_username", "obu"}, {"obu_password", "p@ss"}, {"obu_host", "10.0.0.5"},
                            {"obu_port", -1}}},
        {"validator", QJsonObject{{"passbackTime", 30}, {"qr_passback", true}}}};
    QCOMPARE(peer.waitFor(base + "/config/set", 5000), QJsonDocument(expected).toJson());
    // What the maintenance screen wrote goes out as it is.
    v.config()->setObuUrl(QUrl("mqtt://10.0.0.9:1884"));
    v.saveConfig();
    const QJsonObject edited = QJsonDocument::fromJson(peer.waitFor(base + "/config/set", 5000)).object();
    QCOMPARE(edited["blm"].toObject(), (QJsonObject{{"obu_username", ""}, {"obu_password", ""},
                                                    {"obu_host", "10.0.0.9"}, {"obu_port", 1884}}));

    // Scan and card presence in, signals out.
    QVariantMap result;
    connect(&v, &manager::Validator::ticketValidated, this, [&](const Transaction& t) { result = t.toMap(); });
    QSignalSpy found(&v, &manager::Validator::cardDetected), removed(&v, &manager::Validator::cardRemoved);
    peer.publish(base + "/rfid/scanned", R"({"transaction": {"denyReason": {"id": 207}}})");
    peer.publish("orvo/rfid/card/found", R"({"uid": "04A1", "type": 512})");
    peer.publish("orvo/rfid/card/removed", "");
    QVERIFY(QTest::qWaitFor([&] { return removed.count() == 1; }, 5000));
    QCOMPARE(result.value("denyReason"), QVariant("The card has already been validated"));
    QCOMPARE(found.value(0), (QVariantList{"04A1", "EMV"}));

    // Broker gone: offline with "#0001", and so it stays after reconnecting until a status.
    wire.broker.kill();
    QVERIFY(QTest::qWaitFor([&] { return v.status() == "offline"; }, 5000));
    QCOMPARE(v.reasonCode() + " " + v.reason(), QString("#0001 MQTT Disconnected"));
    QCOMPARE(v.rfid()->state() + " " + v.config()->obuUrl().host(), QString("Searching 10.0.0.9"));
    QVERIFY(wire.broker.start());
    QVERIFY(QTest::qWaitFor([&] { return client.isConnected() && peer.isConnected(); }, 5000));
    QCOMPARE(v.status() + v.reasonCode(), QString("offline#0001"));
    QVERIFY(deliverStatus(3, true));
}

QTEST_GUILESS_MAIN(Tst_ValidatorBroker)
#include "tst_validatorbroker.moc"
