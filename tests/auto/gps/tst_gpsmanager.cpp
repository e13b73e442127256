#include "badpayloads.h"
#include "gpsmanager.h"
#include "mqttclient.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString Base = QStringLiteral("orvo/gps");

using Numbers = QVector<double>;

Numbers numbers(const manager::GPSManager::Telemetry& t)
{
    return {t.latitude, t.longitude, t.altitude, t.direction, t.groundSpeed,
            t.magneticVariation, t.verticalSpeed, t.verticalAccuracy, t.horizontalAccuracy};
}

const QByteArray FullData = R"({"latitude":"37.9838","longitude":"23.7275","altitude":"70.5","direction":"181.25",
    "groundSpeed":"12.5","magneticVariation":"4.5","verticalSpeed":"-0.5","verticalAccuracy":"3","horizontalAccuracy":"1.5"})";
const QByteArray GoodStatus = R"({"service":true,"device":{"fix":1,"state":4,"error":"prior","simulation":true}})";

void feed(manager::MqttClient& client, const QString& suffix, const QByteArray& payload)
{
    client.dispatch(payload, Base + suffix);
}

} // namespace

class Tst_GPSManager : public QObject
{
    Q_OBJECT

private slots:
    void telemetry_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<Numbers>("expected");
        QTest::newRow("all nine as text") << FullData << Numbers{37.9838, 23.7275, 70.5, 181.25, 12.5, 4.5, -0.5, 3, 1.5};
        QTest::newRow("only latitude, the rest falls to 0")
                << QByteArray(R"({"latitude":"-33.5"})") << Numbers{-33.5, 0, 0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("JSON number reads 0") << QByteArray(R"({"latitude":37.98,"longitude":"23.5"})")
                                             << Numbers{0, 23.5, 0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("null reads 0") << QByteArray(R"({"latitude":null,"altitude":"1e2"})") << Numbers{0, 0, 100, 0, 0, 0, 0, 0, 0};
        QTest::newRow("unparsable text reads 0") << QByteArray(R"({"latitude":"north","longitude":"23.5 E"})")
                                                 << Numbers{0, 0, 0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("non-finite text reads 0") << QByteArray(R"({"latitude":"nan","longitude":"inf","altitude":"1e999"})")
                                                 << Numbers{0, 0, 0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("objects and booleans read 0") << QByteArray(R"({"latitude":{"deg":"37"},"longitude":true})")
                                                     << Numbers{0, 0, 0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("empty object") << QByteArray("{}") << Numbers{0, 0, 0, 0, 0, 0, 0, 0, 0};
    }

    void telemetry()
    {
        QFETCH(QByteArray, payload);
        QFETCH(Numbers, expected);
        manager::MqttClient client;
        manager::GPSManager gps(client, Base);
        feed(client, "/data", FullData);
        QSignalSpy spy(&gps, &manager::GPSManager::telemetryChanged);

        feed(client, "/data", payload);

        QCOMPARE(spy.count(), 1);
        QCOMPARE(numbers(spy.at(0).at(0).value<manager::GPSManager::Telemetry>()), expected);
        QCOMPARE(numbers(gps.telemetry()), expected);
    }

    void status_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("fix");
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("simulation");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("emitted");
        QTest::newRow("running service") << QByteArray(R"({"service":true,"device":{"fix":3,"state":2,"error":"antenna","simulation":false}})")
                                         << 3 << 2 << false << "antenna" << 1;
        QTest::newRow("null error is no error") << QByteArray(R"({"service":true,"device":{"fix":3,"state":2,"error":null}})")
                                                << 3 << 2 << false << "" << 1;
        QTest::newRow("missing keys read as defaults") << QByteArray(R"({"service":true,"device":{}})") << 0 << 0 << false << "" << 1;
        QTest::newRow("service offline") << QByteArray(R"({"service":false,"device":{"fix":3,"state":2,"simulation":true}})")
                                         << 0 << -1 << false << "Manager is offline" << 1;
        QTest::newRow("service missing means offline") << QByteArray("{}") << 0 << -1 << false << "Manager is offline" << 1;
        QTest::newRow("same record signalled again") << GoodStatus << 1 << 4 << true << "prior" << 1;
        QTest::newRow("wrong device types keep the last values")
                << QByteArray(R"({"service":true,"device":{"fix":"3","state":1.5,"error":5,"simulation":"no"}})")
                << 1 << 4 << true << "prior" << 1;
        QTest::newRow("wrong service type keeps the record")
                << QByteArray(R"({"service":"yes","device":{"fix":3}})") << 1 << 4 << true << "prior" << 0;
    }

    void status()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, emitted);
        manager::MqttClient client;
        manager::GPSManager gps(client, Base);
        feed(client, "/status", GoodStatus);
        QSignalSpy spy(&gps, &manager::GPSManager::statusChanged);
        if (QByteArray(QTest::currentDataTag()).startsWith("wrong"))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^\\[GPSManager\\] WARN: "));

        feed(client, "/status", payload);

        QCOMPARE(spy.count(), emitted);
        const manager::GPSManager::Status status = gps.status();
        QTEST(status.fix, "fix");
        QTEST(status.state, "state");
        QTEST(status.simulation, "simulation");
        QTEST(status.error, "error");
        if (emitted)
            QCOMPARE(spy.at(0).at(0).value<manager::GPSManager::Status>().error, status.error);
    }

    void info()
    {
        manager::MqttClient client;
        manager::GPSManager gps(client, Base);
        QCOMPARE(client.subscriptions(), (QList<QPair<QString, int>>{{Base + "/#", 0}}));
        QSignalSpy spy(&gps, &manager::GPSManager::infoChanged);
        const QByteArray full = R"({"device":{"firmware":"F1","manufacturer":"Acme","model":"G7","imei":"356938035643809",
            "assisted":true},"service":{"type":"gnss","version":"2.1"}})";
        feed(client, "/info", full);
        feed(client, "/info", full);
        QCOMPARE(spy.count(), 2); // every report is announced, changed or not
        manager::GPSManager::Info info = spy.at(1).at(0).value<manager::GPSManager::Info>();
        QCOMPARE((QStringList{info.firmware, info.manufacturer, info.model, info.imei, info.serviceType, info.serviceVersion}),
                 (QStringList{"F1", "Acme", "G7", "356938035643809", "gnss", "2.1"}));
        QVERIFY(info.assisted);

        feed(client, "/info", R"({"device":{"model":"G8"}})");
        info = gps.info();
        QCOMPARE((QStringList{info.firmware, info.model, info.imei, info.serviceType}), (QStringList{"", "G8", "", ""}));
        QVERIFY(!info.assisted);

        QTest::ignoreMessage(QtWarningMsg, qPrintable("[GPSManager] WARN: Ignoring wrongly typed values on " + Base + "/info : service, device.model"));
        feed(client, "/info", R"({"device":{"model":8,"firmware":"F2"},"service":"gnss"})");
        QCOMPARE(gps.info().model, QStringLiteral("G8"));
        QCOMPARE(gps.info().firmware, QStringLiteral("F2"));
    }

    void topicsAndBadPayloads_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("critical");
        QTest::newRow("other topic below the base") << Base + "/satellites" << QByteArray(R"({"service":false})") << false;
        QTest::newRow("other service") << "orvo/board/status" << QByteArray(R"({"service":false})") << false;
        QTest::newRow("other service, unparsable") << "orvo/board/status" << QByteArray("{") << false;
        QTest::newRow("case differs") << "orvo/GPS/status" << QByteArray(R"({"service":false})") << false;
        QTest::newRow("below the base, unparsable") << Base + "/satellites" << QByteArray("nonsense") << true;
        QTest::newRow("empty") << Base + "/status" << QByteArray() << true;
        for (const char* suffix : {"/status", "/data", "/info"}) {
            for (const BadPayload& bad : allBadPayloads())
                QTest::addRow("%s %s", suffix, bad.name) << QString(Base + suffix) << bad.payload << true;
        }
    }

    void topicsAndBadPayloads()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(bool, critical);
        manager::MqttClient client;
        manager::GPSManager gps(client, Base);
        feed(client, "/status", GoodStatus);
        feed(client, "/data", FullData);
        QSignalSpy info(&gps, &manager::GPSManager::infoChanged);
        QSignalSpy status(&gps, &manager::GPSManager::statusChanged);
        QSignalSpy telemetry(&gps, &manager::GPSManager::telemetryChanged);
        if (critical)
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^\\[GPSManager\\] Failed to parse JSON message: .{0,300}$"));

        client.dispatch(payload, topic);

        QCOMPARE(info.count() + status.count() + telemetry.count(), 0);
        QCOMPARE(gps.status().error, QStringLiteral("prior"));
        QCOMPARE(gps.telemetry().latitude, 37.9838);
    }
};

QTEST_GUILESS_MAIN(Tst_GPSManager)
#include "tst_gpsmanager.moc"
