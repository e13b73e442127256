#include "badpayloads.h"
#include "barcodemanager.h"
#include "brokerfixture.h"
#include "gpsmanager.h"
#include "mqttclient.h"

#include "logcapture.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString Base = QStringLiteral("orvo/barcode");

void feed(manager::MqttClient& client, const QString& suffix, const QByteArray& payload)
{
    client.dispatch(payload, Base + suffix);
}

} // namespace

class Tst_BarcodeManager : public QObject
{
    Q_OBJECT

private slots:
    void statusRule_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("status");
        QTest::newRow("enabled") << QByteArray(R"({"service":true,"device":{"active":true,"enabled":true}})") << "enabled";
        QTest::newRow("disabled") << QByteArray(R"({"service":true,"device":{"active":true,"enabled":false}})") << "disabled";
        QTest::newRow("inactive reader is an error, enabled or not")
                << QByteArray(R"({"service":true,"device":{"active":false,"enabled":true}})") << "error";
        QTest::newRow("no device object is an error") << QByteArray(R"({"service":true})") << "error";
        QTest::newRow("service down wins") << QByteArray(R"({"service":false,"device":{"active":true,"enabled":true}})") << "offline";
        QTest::newRow("service missing is offline") << QByteArray(R"({"device":{"active":true,"enabled":true}})") << "offline";
        QTest::newRow("empty object is offline") << QByteArray("{}") << "offline";
        QTest::newRow("wrongly typed flag makes the report unusable")
                << QByteArray(R"({"service":true,"device":{"active":"yes","enabled":true}})") << "";
        QTest::newRow("wrongly typed device") << QByteArray(R"({"service":true,"device":[true,true]})") << "";
    }

    void statusRule()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, status);
        QCOMPARE(manager::BarcodeManager::statusFor(QJsonDocument::fromJson(payload).object()), status);

        manager::MqttClient client;
        manager::BarcodeManager barcode(client, Base);
        QSignalSpy changed(&barcode, &manager::BarcodeManager::statusChanged);
        LogCapture log;
        feed(client, "/status", payload);
        feed(client, "/status", payload);
        // One report, one line: the status line, or the refusal of a garbled report.
        QCOMPARE(log.entries().size(), 2 - (status.isEmpty() ? 0 : 1));
        QCOMPARE(log.entries().first().first, QtWarningMsg);
        if (status.isEmpty()) {
            QCOMPARE(changed.count(), 0);
            QVERIFY(barcode.status().isEmpty());
        } else {
            QCOMPARE(log.entries().first().second, "[BarcodeManager] Barcode status is : " + status);
            QCOMPARE(changed.count(), 1);
            QCOMPARE(changed.at(0).at(0).toString(), status);
            QCOMPARE(barcode.status(), status);
        }
    }

    void garbledStatusKeepsTheLastWord()
    {
        manager::MqttClient client;
        manager::BarcodeManager barcode(client, Base);
        QTest::ignoreMessage(QtWarningMsg, "[BarcodeManager] Barcode status is : enabled");
        feed(client, "/status", R"({"service":true,"device":{"active":true,"enabled":true}})");
        QTest::ignoreMessage(QtWarningMsg, "[BarcodeManager] WARN: Ignoring status with wrongly typed keys");
        feed(client, "/status", R"({"service":1,"device":{"active":true,"enabled":false}})");
        QCOMPARE(barcode.status(), QStringLiteral("enabled"));
    }

    void info()
    {
        manager::MqttClient client;
        manager::BarcodeManager barcode(client, Base);
        QCOMPARE(client.subscriptions(), (QList<QPair<QString, int>>{{Base + "/#", 0}}));
        feed(client, "/info", R"({"device":{"firmware":"3.1","manufacturer":"Acme","model":"QR-9"},
                                   "service":{"version":"1.4","type":"hid"}})");
        const manager::BarcodeManager::Info& info = barcode.info();
        QCOMPARE((QStringList{info.firmware, info.manufacturer, info.model, info.type, info.version}),
                 (QStringList{"3.1", "Acme", "QR-9", "hid", "1.4"}));

        feed(client, "/info", R"({"device":{"model":"QR-10"}})");
        QCOMPARE((QStringList{info.firmware, info.manufacturer, info.model, info.type, info.version}),
                 (QStringList{"", "", "QR-10", "", ""}));

        QTest::ignoreMessage(QtWarningMsg, qPrintable("[BarcodeManager] WARN: Ignoring wrongly typed values on " + Base + "/info : device.model"));
        feed(client, "/info", R"({"device":{"model":11,"firmware":"3.2"}})");
        QCOMPARE(info.model, QStringLiteral("QR-10"));
        QCOMPARE(info.firmware, QStringLiteral("3.2"));
    }

    void scans_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QStringList>("scanned");
        QTest::newRow("barcode") << Base + "/barcode" << QByteArray(R"({"data":"VDZ:1234"})") << QStringList{"VDZ:1234"};
        QTest::newRow("without data") << Base + "/barcode" << QByteArray("{}") << QStringList{""};
        QTest::newRow("data of the wrong type") << Base + "/barcode" << QByteArray(R"({"data":1234})") << QStringList();
        QTest::newRow("other topic containing the base") << "x/" + Base + "/barcode" << QByteArray(R"({"data":"a"})")
                                                         << QStringList();
        QTest::newRow("below the base, not handled") << Base + "/barcode/raw" << QByteArray(R"({"data":"a"})") << QStringList();
        QTest::newRow("other service") << "orvo/rfid/barcode" << QByteArray(R"({"data":"a"})") << QStringList();
    }

    void scans()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        manager::MqttClient client;
        manager::BarcodeManager barcode(client, Base);
        QSignalSpy scanned(&barcode, &manager::BarcodeManager::barcodeScanned);
        if (QByteArray(QTest::currentDataTag()).contains("wrong"))
            QTest::ignoreMessage(QtWarningMsg, "[BarcodeManager] WARN: Ignoring barcode with wrongly typed key : data");
        client.dispatch(payload, topic);
        QStringList texts;
        for (const QList<QVariant>& arguments : qAsConst(scanned))
            texts << arguments.at(0).toString();
        QTEST(texts, "scanned");
    }

    void badPayloads_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("critical");
        QTest::newRow("empty") << Base + "/status" << QByteArray() << true;
        for (const char* suffix : {"/status", "/info", "/barcode"}) {
            for (const BadPayload& bad : allBadPayloads())
                QTest::addRow("%s %s", suffix, bad.name) << QString(Base + suffix) << bad.payload << true;
        }
        QTest::newRow("unparsable on an unhandled topic below the base") << Base + "/enable" << QByteArray() << true;
        QTest::newRow("unparsable on another service's topic") << "orvo/board/status" << QByteArray("{") << false;
    }

    void badPayloads()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(bool, critical);
        manager::MqttClient client;
        manager::BarcodeManager barcode(client, Base);
        QTest::ignoreMessage(QtWarningMsg, "[BarcodeManager] Barcode status is : disabled");
        feed(client, "/status", R"({"service":true,"device":{"active":true,"enabled":false}})");
        feed(client, "/info", R"({"device":{"model":"QR-9"}})");
        QSignalSpy changed(&barcode, &manager::BarcodeManager::statusChanged);
        QSignalSpy scanned(&barcode, &manager::BarcodeManager::barcodeScanned);
        LogCapture log;

        client.dispatch(payload, topic);

        QCOMPARE(log.entries().size(), critical ? 1 : 0);
        if (critical) {
            QCOMPARE(log.entries().first().first, QtCriticalMsg);
            QVERIFY(log.entries().first().second.startsWith("[BarcodeManager] Failed to parse JSON message: "
                                                          + QString::fromLatin1(payload.left(10))));
            QVERIFY(log.entries().first().second.size() < 1000);
        }
        QCOMPARE(changed.count() + scanned.count(), 0);
        QCOMPARE(barcode.status(), QStringLiteral("disabled"));
        QCOMPARE(barcode.info().model, QStringLiteral("QR-9"));
    }

    // The barcode and GPS proxies share one on/off request: an empty message on the base topic
    // plus "/enable" or "/disable", once. One broker for all four requests.
    void switchRequests()
    {
        const QString gpsBase = QStringLiteral("orvo/gps");
        BrokerFixture wire;
        QVERIFY(wire.start({Base + "/#", gpsBase + "/#"}));
        QVERIFY(wire.connectClient());
        manager::BarcodeManager barcode(wire.client, Base);
        manager::GPSManager gps(wire.client, gpsBase);
        barcode.enable();
        gps.disable();
        barcode.disable();
        gps.enable();
        const QStringList expected {Base + "/enable", gpsBase + "/disable", Base + "/disable", gpsBase + "/enable"};
        QTRY_COMPARE_WITH_TIMEOUT(wire.peer->messages().size(), expected.size(), 5000);
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(wire.peer->messages().at(i).first, expected.at(i));
            QCOMPARE(wire.peer->messages().at(i).second, QByteArray(""));
        }
    }
};

QTEST_GUILESS_MAIN(Tst_BarcodeManager)
#include "tst_barcodemanager.moc"
