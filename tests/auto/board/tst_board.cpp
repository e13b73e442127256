#include "badpayloads.h"
#include "board.h"
#include "brokerfixture.h"
#include "logcapture.h"
#include "mqttclient.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString Base = QStringLiteral("orvo/board");

// What the screens can see of the board, to tell whether a message changed anything.
QVariantMap snapshot(const manager::Board& board)
{
    QVariantMap map;
    for (int i = manager::Board::staticMetaObject.propertyOffset();
         i < manager::Board::staticMetaObject.propertyCount(); ++i) {
        const QMetaProperty property = manager::Board::staticMetaObject.property(i);
        map.insert(QString::fromLatin1(property.name()), property.read(&board));
    }
    map.insert(QStringLiteral("status"), board.status());
    map.insert(QStringLiteral("uptime"), board.uptime());
    return map;
}

const QByteArray OnlineStatus = R"({"service": true, "device": {"active": true, "ignition": false,
    "poleId": "P-17", "temperature": 41.5, "voltage": 24.25, "uptime": 3600,
    "hardwareStatus": {"rtcFailed": true}}})";

} // namespace

class Tst_Board : public QObject
{
    Q_OBJECT

private:
    void send(manager::MqttClient& client, const QString& suffix, const QByteArray& payload)
    {
        client.dispatch(payload, Base + suffix);
    }

private slots:
    void statusGates_data();
    void statusGates();
    void statusSignalsOnlyChanges();
    void infoAndConfig();
    void displayResetsMissingKeys();
    void power();
    void powerMapStaysBounded_data();
    void powerMapStaysBounded();
    void ignitionEvent_data();
    void ignitionEvent();
    void audio();
    void foreignTopicsIgnored_data();
    void foreignTopicsIgnored();
    void badInputKeepsState_data();
    void badInputKeepsState();
    void requestsOnTheWire();
    void refreshOnConnection();
};

void Tst_Board::statusGates_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("status");
    QTest::addColumn<double>("temperature");

    QTest::newRow("empty payload reads as { }") << QByteArray() << "offline" << 0.0;
    QTest::newRow("service down keeps values")
            << QByteArray(R"({"service": false, "device": {"active": true, "temperature": 50}})") << "offline" << 0.0;
    QTest::newRow("board inactive keeps values")
            << QByteArray(R"({"service": true, "device": {"active": false, "temperature": 50}})") << "error" << 0.0;
    QTest::newRow("no device object") << QByteArray(R"({"service": true})") << "error" << 0.0;
    QTest::newRow("online") << QByteArray(R"({"service": true, "device": {"active": true, "temperature": 50}})")
                            << "online" << 50.0;
}

void Tst_Board::statusGates()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, status);
    QFETCH(double, temperature);

    manager::MqttClient client;
    manager::Board board(client, Base);
    QSignalSpy statusSpy(&board, &manager::Board::statusChanged);
    QSignalSpy ignitionSpy(&board, &manager::Board::ignitionChanged);
    send(client, "/status", payload);
    QCOMPARE(board.status(), status);
    QCOMPARE(statusSpy.count(), 1);
    QCOMPARE(board.temperature(), temperature);
    // Only a live board reports the ignition; a missing key reads as off.
    QCOMPARE(board.ignition(), status != QLatin1String("online"));
    QCOMPARE(ignitionSpy.count(), status == QLatin1String("online") ? 1 : 0);

    // The same status again is no change.
    send(client, "/status", payload);
    QCOMPARE(statusSpy.count(), 1);
}

void Tst_Board::statusSignalsOnlyChanges()
{
    manager::MqttClient client;
    manager::Board board(client, Base);
    QSignalSpy poleSpy(&board, &manager::Board::poleIdChanged);
    QSignalSpy temperatureSpy(&board, &manager::Board::temperatureChanged);
    QSignalSpy voltageSpy(&board, &manager::Board::voltageChanged);
    QSignalSpy uptimeSpy(&board, &manager::Board::uptimeChanged);
    QSignalSpy rtcSpy(&board, &manager::Board::rtcFailedChanged);
    QSignalSpy ignitionSpy(&board, &manager::Board::ignitionChanged);

    {
        LogCapture log;
        send(client, "/status", OnlineStatus);
        QVERIFY(log.lines(QtInfoMsg).contains("[Board] RTC Status changed : FAIL"));
        QVERIFY(log.lines(QtInfoMsg).contains("[Board] Status changed : online"));
        QVERIFY(log.lines(QtDebugMsg).contains("[Board] Temperature changed : 41.5"));
    }
    QCOMPARE(board.poleId(), QString("P-17"));
    QCOMPARE(board.temperature(), 41.5);
    QCOMPARE(board.voltage(), 24.25);
    QCOMPARE(board.uptime(), 3600);
    QVERIFY(board.rtcFailed());
    QVERIFY(!board.ignition());
    for (QSignalSpy* spy : {&poleSpy, &temperatureSpy, &voltageSpy, &uptimeSpy, &rtcSpy, &ignitionSpy})
        QCOMPARE(spy->count(), 1);

    send(client, "/status", OnlineStatus);
    for (QSignalSpy* spy : {&poleSpy, &temperatureSpy, &voltageSpy, &uptimeSpy, &rtcSpy, &ignitionSpy})
        QCOMPARE(spy->count(), 1);

    // Only what differs is signalled; keys left out read as defaults.
    send(client, "/status", R"({"service": true, "device": {"active": true, "ignition": false,
        "poleId": "P-17", "temperature": 42, "voltage": 24.25}})");
    QCOMPARE(temperatureSpy.count(), 2);
    QCOMPARE(uptimeSpy.count(), 2);
    QCOMPARE(rtcSpy.count(), 2);
    QCOMPARE(board.uptime(), 0);
    QVERIFY(!board.rtcFailed());
    QCOMPARE(poleSpy.count(), 1);
    QCOMPARE(voltageSpy.count(), 1);
    QCOMPARE(ignitionSpy.count(), 1);
}

void Tst_Board::infoAndConfig()
{
    manager::MqttClient client;
    manager::Board board(client, Base);
    QSignalSpy infoSpy(&board, &manager::Board::infoChanged);
    const QByteArray info = R"({"device": {"firmwareVersion": "fw-2.1", "hardwareId": "HW-9",
        "hardwareVersion": "rev C"}, "service": {"version": "1.4.0"}})";
    send(client, "/info", info);
    send(client, "/info", info);
    QCOMPARE(infoSpy.count(), 2);
    QCOMPARE(board.info(), (QVariantMap{{"firmware", "fw-2.1"}, {"hardwareId", "HW-9"},
                                        {"hardware", "rev C"}, {"version", "1.4.0"}}));

    QSignalSpy delaySpy(&board, &manager::Board::delayShutdownForChanged);
    {
        LogCapture log;
        send(client, "/config", R"({"device": {"delayShutdownFor": 120}})");
        QVERIFY(log.lines(QtInfoMsg).contains("[Board] Board shutdown delay changed : 120 sec(s)"));
    }
    send(client, "/config", R"({"device": {"delayShutdownFor": 120}})");
    QCOMPARE(board.delayShutdownFor(), 120);
    QCOMPARE(delaySpy.count(), 1);
    // A fraction or an out-of-range number is no delay in seconds: kept, and said so.
    LogCapture log;
    send(client, "/config", R"({"device": {"delayShutdownFor": 12.5}})");
    send(client, "/config", R"({"device": {"delayShutdownFor": 1e12}})");
    QCOMPARE(board.delayShutdownFor(), 120);
    QCOMPARE(log.lines(QtWarningMsg).size(), 2);
}

void Tst_Board::displayResetsMissingKeys()
{
    manager::MqttClient client;
    manager::Board board(client, Base);
    send(client, "/display", R"({"brightness": 80, "sensor": 35, "mode": "auto"})");
    QCOMPARE(board.displayBrightness(), 80);
    QCOMPARE(board.ambientLightSensor(), 35);
    QCOMPARE(board.displayBrightnessMode(), QString("auto"));

    QSignalSpy brightnessSpy(&board, &manager::Board::displayBrightnessChanged);
    QSignalSpy sensorSpy(&board, &manager::Board::ambientLightSensorChanged);
    QSignalSpy modeSpy(&board, &manager::Board::displayBrightnessModeChanged);
    send(client, "/display", R"({"mode": "manual"})");
    QCOMPARE(board.displayBrightness(), 0);
    QCOMPARE(board.ambientLightSensor(), 0);
    QCOMPARE(board.displayBrightnessMode(), QString("manual"));
    QCOMPARE(brightnessSpy.count(), 1);
    QCOMPARE(sensorSpy.count(), 1);
    QCOMPARE(modeSpy.count(), 1);
    send(client, "/display", R"({"mode": "manual"})");
    QCOMPARE(brightnessSpy.count() + sensorSpy.count() + modeSpy.count(), 3);
}

void Tst_Board::power()
{
    manager::MqttClient client;
    manager::Board board(client, Base);
    QSignalSpy powerSpy(&board, &manager::Board::peripheralPowerChanged);
    QSignalSpy listSpy(&board, &manager::Board::peripheralsChanged);

    send(client, "/power", R"({"usbHub": true, "display": true, "modem": false})");
    // One signal per changed key, in key order, then the list once.
    QCOMPARE(powerSpy.count(), 3);
    QCOMPARE(powerSpy.at(0), (QVariantList{"display", true}));
    QCOMPARE(powerSpy.at(1), (QVariantList{"modem", false}));
    QCOMPARE(powerSpy.at(2), (QVariantList{"usbHub", true}));
    QCOMPARE(listSpy.count(), 1);
    const QVariantList expected{
        QVariantMap{{"item", "display"}, {"descr", "Display"}, {"value", true}},
        QVariantMap{{"item", "modem"}, {"descr", ""}, {"value", false}},
        QVariantMap{{"item", "usbHub"}, {"descr", "USB Hub"}, {"value", true}},
    };
    QCOMPARE(board.peripherals(), expected);

    send(client, "/power", R"({"usbHub": true, "display": true, "modem": false})");
    QCOMPARE(powerSpy.count(), 3);
    QCOMPARE(listSpy.count(), 1);

    // null and omitted keys leave the stored flag; a wrongly typed one too, with a warning.
    LogCapture log;
    send(client, "/power", R"({"usbHub": null, "display": "off", "modem": true})");
    QCOMPARE(powerSpy.count(), 4);
    QCOMPARE(powerSpy.last(), (QVariantList{"modem", true}));
    QCOMPARE(listSpy.count(), 2);
    QVERIFY(board.peripheralPower("usbHub"));
    QVERIFY(board.peripheralPower("display"));
    QVERIFY(!board.peripheralPower("touch"));
    QCOMPARE(log.lines(QtWarningMsg), QStringList{"[Board] WARN: Ignoring wrongly typed values on orvo/board/power : display"});
    QVERIFY(log.lines(QtInfoMsg).contains("[Board] Peripheral power changed 'modem' : true"));

    // The list is the power state's to build; writing it only warns.
    board.setPeripherals({});
    QCOMPARE(board.peripherals().size(), 3);
}

namespace {
// A power message with count boolean keys no board has ("bogus0000", ...).
QByteArray bogusPower(int count, const QByteArray& extra = QByteArray())
{
    QByteArray payload = "{" + extra;
    for (int i = 0; i < count; ++i)
        payload += (i || !extra.isEmpty() ? "," : "") + QStringLiteral("\"bogus%1\":true").arg(i, 4, 10, QLatin1Char('0')).toUtf8();
    return payload + "}";
}
} // namespace

void Tst_Board::powerMapStaysBounded_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("flood");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<int>("ignored");
    // The board answers "/power/get" with all its switches; what comes later cannot add any
    // outside the name table.
    QTest::newRow("flood after the board's report")
        << QByteArray(R"({"display":true,"modem":false,"usbHub":false})") << bogusPower(3000, R"("touch":true)")
        << QStringList{"display", "modem", "touch", "usbHub"} << 3000;
    // A flood that comes first admits a few switches outside the table, no more.
    QTest::newRow("flood first") << bogusPower(3000) << bogusPower(3000, R"("display":true)")
                                 << QStringList{"bogus0000", "bogus0001", "bogus0002", "bogus0003", "bogus0004",
                                                "bogus0005", "bogus0006", "bogus0007", "display"}
                                 << 2992;
}

void Tst_Board::powerMapStaysBounded()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, flood);
    QFETCH(QStringList, kept);
    QFETCH(int, ignored);
    manager::MqttClient client;
    manager::Board board(client, Base);
    send(client, "/power", first);
    QSignalSpy powerSpy(&board, &manager::Board::peripheralPowerChanged);

    LogCapture log;
    send(client, "/power", flood);

    QStringList items;
    for (const QVariant& entry : board.peripherals())
        items << entry.toMap().value("item").toString();
    QCOMPARE(items, kept);
    for (const QList<QVariant>& arguments : qAsConst(powerSpy))
        QVERIFY2(kept.contains(arguments.at(0).toString()), qPrintable(arguments.at(0).toString()));
    // One warning for the whole message, and no line per key.
    const QStringList warnings = log.lines(QtWarningMsg);
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings.first().startsWith(QStringLiteral("[Board] WARN: Ignoring %1 unknown peripheral(s) on "
                                                        "orvo/board/power : bogus").arg(ignored)),
             qPrintable(warnings.first()));
    QVERIFY2(warnings.first().endsWith(QStringLiteral(" and %1 more").arg(ignored - 5)), qPrintable(warnings.first()));
    QVERIFY2(log.all().size() <= 2, qPrintable(log.all().join('\n')));
}

void Tst_Board::ignitionEvent_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("ignition");

    QTest::newRow("string 0") << QByteArray(R"({"name": "IgnitionChanged", "data": "0"})") << false;
    QTest::newRow("number 0") << QByteArray(R"({"name": "IgnitionChanged", "data": 0})") << false;
    QTest::newRow("string 1") << QByteArray(R"({"name": "IgnitionChanged", "data": "1"})") << true;
    QTest::newRow("number 1") << QByteArray(R"({"name": "IgnitionChanged", "data": 1})") << true;
    QTest::newRow("true") << QByteArray(R"({"name": "IgnitionChanged", "data": true})") << true;
    QTest::newRow("no data") << QByteArray(R"({"name": "IgnitionChanged"})") << true;
    QTest::newRow("string 00") << QByteArray(R"({"name": "IgnitionChanged", "data": "00"})") << true;
}

void Tst_Board::ignitionEvent()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, ignition);

    manager::MqttClient client;
    manager::Board board(client, Base);
    send(client, "/status", OnlineStatus);   // ignition off
    QVERIFY(!board.ignition());
    QSignalSpy spy(&board, &manager::Board::ignitionChanged);
    send(client, "/event", payload);
    QCOMPARE(board.ignition(), ignition);
    // Signalled on every such event, changed or not.
    send(client, "/event", payload);
    QCOMPARE(spy.count(), 2);
    // Other events are only logged.
    send(client, "/event", R"({"name": "ButtonPressed", "data": 0})");
    QCOMPARE(spy.count(), 2);
    QCOMPARE(board.ignition(), ignition);
}

void Tst_Board::audio()
{
    manager::MqttClient client;
    manager::Board board(client, Base);
    QSignalSpy spy(&board, &manager::Board::audioEnabledChanged);
    QVERIFY(board.audioEnabled());
    send(client, "/audio", R"({"mute": false})");
    QCOMPARE(spy.count(), 0);
    send(client, "/audio", R"({"mute": true})");
    QVERIFY(!board.audioEnabled());
    send(client, "/audio", "");
    QVERIFY(board.audioEnabled());
    QCOMPARE(spy.count(), 2);
}

void Tst_Board::foreignTopicsIgnored_data()
{
    QTest::addColumn<QString>("topic");
    QTest::newRow("other service") << "orvo/inspector/status";
    QTest::newRow("case differs") << "ORVO/BOARD/status";
    QTest::newRow("request topic") << "orvo/board/status/get";
    QTest::newRow("longer base") << "orvo/boardroom/status";
    QTest::newRow("base inside another topic") << "site/orvo/board/status";
}

void Tst_Board::foreignTopicsIgnored()
{
    QFETCH(QString, topic);
    manager::MqttClient client;
    manager::Board board(client, Base);
    QSignalSpy spy(&board, &manager::Board::statusChanged);
    LogCapture log;
    client.dispatch(QByteArray(), topic);
    client.dispatch("not json", topic);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(board.status(), QString());
    // Not the board's: not even parsed, so nothing to report.
    QCOMPARE(log.lines(QtCriticalMsg).size(), 0);
}

void Tst_Board::badInputKeepsState_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("levelValue");

    for (const char* suffix : {"/info", "/status", "/config", "/display", "/power", "/audio", "/event"}) {
        for (const BadPayload& bad : allBadPayloads())
            QTest::addRow("%s %s", suffix, bad.name) << QString::fromLatin1(suffix) << bad.payload << int(QtCriticalMsg);
    }
    // Wrong types are dropped key by key with one warning.
    QTest::newRow("status gate wrong type") << "/status" << QByteArray(R"({"service": "yes"})") << int(QtWarningMsg);
    QTest::newRow("device not an object") << "/status" << QByteArray(R"({"service": true, "device": [1]})")
                                          << int(QtWarningMsg);
    QTest::newRow("status values wrong types")
            << "/status"
            << QByteArray(R"({"service": true, "device": {"active": true, "ignition": false, "poleId": 17,
                "temperature": "41.5", "voltage": 24.25, "uptime": 3600, "hardwareStatus": true}})")
            << int(QtWarningMsg);
    QTest::newRow("info wrong types") << "/info"
                                      << QByteArray(R"({"device": {"firmwareVersion": 2, "hardwareId": "HW-9",
                                            "hardwareVersion": "rev C"}, "service": "1.4"})")
                                      << int(QtWarningMsg);
    QTest::newRow("display wrong types") << "/display" << QByteArray(R"({"brightness": "80", "sensor": 35,
                                             "mode": ["auto"]})") << int(QtWarningMsg);
    QTest::newRow("audio wrong type") << "/audio" << QByteArray(R"({"mute": "true"})") << int(QtWarningMsg);
    QTest::newRow("config wrong type") << "/config" << QByteArray(R"({"device": 5})") << int(QtWarningMsg);
}

void Tst_Board::badInputKeepsState()
{
    QFETCH(QString, suffix);
    QFETCH(QByteArray, payload);
    QFETCH(int, levelValue);
    const QtMsgType level = QtMsgType(levelValue);

    manager::MqttClient client;
    manager::Board board(client, Base);
    send(client, "/status", OnlineStatus);
    send(client, "/info", R"({"device": {"firmwareVersion": "fw", "hardwareId": "HW-9", "hardwareVersion": "rev C"},
        "service": {"version": "1.4.0"}})");
    send(client, "/config", R"({"device": {"delayShutdownFor": 30}})");
    send(client, "/display", R"({"brightness": 80, "sensor": 35, "mode": "auto"})");
    send(client, "/power", R"({"display": true})");
    send(client, "/audio", R"({"mute": true})");
    const QVariantMap before = snapshot(board);

    LogCapture log;
    send(client, suffix, payload);
    QCOMPARE(snapshot(board), before);
    QCOMPARE(log.lines(level).size(), 1);
    if (level == QtCriticalMsg)
        QVERIFY(log.lines(level).first().startsWith("[Board] Failed to parse JSON message: "));
    else
        QVERIFY(log.lines(level).first().startsWith("[Board] WARN: Ignoring wrongly typed values on " + Base + suffix));
    QCOMPARE(log.problems().size(), 1);
    // No line carries the megabyte along.
    for (const QString& line : log.all())
        QVERIFY(line.size() < 1000);
}

void Tst_Board::requestsOnTheWire()
{
    BrokerFixture wire;
    QVERIFY(wire.start({Base + "/#"}));
    MqttPeer& peer = *wire.peer;
    manager::Board board(wire.client, Base);
    QVERIFY(wire.connectClient());
    QVERIFY(!peer.waitFor(Base + "/audio/get", 5000).isNull());
    peer.takeAll();
    const QVariantMap before = snapshot(board);

    board.setLedValid();
    QCOMPARE(peer.waitFor(Base + "/led/play/request/1", 5000),
             QByteArray("{\n    \"repeat\": 3,\n    \"steps\": [\n"
                        "        {\n            \"color\": {\n                \"b\": 0,\n                \"g\": 255,\n"
                        "                \"r\": 0\n            },\n            \"duration\": 100\n        },\n"
                        "        {\n            \"color\": {\n                \"b\": 0,\n                \"g\": 0,\n"
                        "                \"r\": 0\n            },\n            \"duration\": 50\n        }\n"
                        "    ]\n}\n"));
    board.setLedInvalid();
    const QJsonObject invalid = QJsonDocument::fromJson(peer.waitFor(Base + "/led/play/request/1", 5000)).object();
    QCOMPARE(invalid.value("steps")[0]["color"].toObject(), (QJsonObject{{"r", 255}, {"g", 0}, {"b", 0}}));
    board.setLedTestPattern();
    const QJsonObject test = QJsonDocument::fromJson(peer.waitFor(Base + "/led/play/request/1", 5000)).object();
    QCOMPARE(test.value("repeat").toInt(), 30);
    QCOMPARE(test.value("steps").toArray().size(), 4);
    QCOMPARE(test.value("steps")[2]["color"].toObject(), (QJsonObject{{"r", 0}, {"g", 255}, {"b", 0}}));
    QCOMPARE(test.value("steps")[3]["duration"].toInt(), 200);
    board.setLedOff();
    const QByteArray off = peer.waitFor(Base + "/led/off/request/1", 5000);
    QVERIFY(!off.isNull());
    QCOMPARE(off, QByteArray(""));

    board.playBuzzer(100, 200);
    QCOMPARE(peer.waitFor(Base + "/buzzer/play/request/1", 5000),
             QByteArray("{\n    \"offMsec\": 200,\n    \"onMsec\": 100,\n    \"repeat\": 0\n}\n"));
    board.setPeripheralPower("usbHub", false);
    QCOMPARE(peer.waitFor(Base + "/power/set", 5000), QByteArray("{\n    \"usbHub\": false\n}\n"));
    board.setDisplayBrightness(40);
    QCOMPARE(peer.waitFor(Base + "/display/set", 5000), QByteArray("{\n    \"brightness\": 40\n}\n"));
    board.setDisplayBrightnessMode("manual");
    QCOMPARE(peer.waitFor(Base + "/display/set", 5000), QByteArray("{\n    \"mode\": \"manual\"\n}\n"));
    board.setAudioEnabled(false);
    QCOMPARE(peer.waitFor(Base + "/audio/set", 5000), QByteArray("{\n    \"mute\": true\n}\n"));

    // The current delay is not sent again; another one is, nested under "device".
    board.setDelayShutdownFor(0);
    board.setDelayShutdownFor(90);
    QCOMPARE(peer.waitFor(Base + "/config/set", 5000),
             QByteArray("{\n    \"device\": {\n        \"delayShutdownFor\": 90\n    }\n}\n"));
    QVERIFY(peer.sync(5000));
    QCOMPARE(peer.count(Base + "/config/set"), 0);

    // Requests change nothing locally: the service reports back.
    QCOMPARE(snapshot(board), before);

    board.monitor(1000);
    QCOMPARE(board.monitorTimer().interval(), 1000);
    QVERIFY(board.monitorTimer().isActive() && !board.monitorTimer().isSingleShot());
    for (const char* suffix : {"/status/get", "/display/get", "/power/get", "/audio/get"})
        QCOMPARE(peer.waitFor(Base + suffix, 5000), QByteArray("{}"));
    board.monitor(-5);   // a bad period stops rather than spins
    QVERIFY(!board.monitorTimer().isActive());
}

void Tst_Board::refreshOnConnection()
{
    BrokerFixture wire;
    QVERIFY(wire.start({Base + "/#"}));
    MqttPeer& peer = *wire.peer;
    manager::MqttClient& client = wire.client;
    client.setRetryMillis(200);
    manager::Board board(client, Base);
    client.connect();
    QVERIFY(QTest::qWaitFor([&] { return peer.count(Base + "/audio/get") == 1; }, 5000));
    QStringList order;
    for (const auto& message : peer.takeAll()) {
        order << message.first.mid(Base.size());
        QCOMPARE(message.second, QByteArray("{}"));
    }
    QCOMPARE(order, (QStringList{"/status/get", "/display/get", "/power/get", "/audio/get"}));

    // The state topics reach the proxy: it subscribed to each of them.
    QStringList subscribed;
    for (const auto& subscription : client.subscriptions())
        subscribed << subscription.first.mid(Base.size());
    QCOMPARE(subscribed, (QStringList{"/info", "/status", "/config", "/display", "/power", "/audio", "/event"}));
    QVERIFY(peer.publish(Base + "/status", OnlineStatus));
    QTRY_COMPARE_WITH_TIMEOUT(board.status(), QString("online"), 5000);
}

QTEST_GUILESS_MAIN(Tst_Board)
#include "tst_board.moc"
