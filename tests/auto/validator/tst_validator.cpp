#include "mqttclient.h"
#include "validator.h"

#include <QJsonDocument>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

using manager::MqttClient;
using manager::Validator;

namespace {

const QString base = QStringLiteral("orvo/blm");

// Every line the code under test logs, kept for inspection instead of printed.
QList<QPair<QtMsgType, QString>> logLines;

void captureLog(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    logLines.append({type, text});
}

QStringList linesOf(QtMsgType type)
{
    QStringList lines;
    for (const auto& line : qAsConst(logLines)) {
        if (line.first == type)
            lines << line.second;
    }
    return lines;
}

// Counts every signal of one object, by name, in declaration order.
class SignalLog
{
public:
    explicit SignalLog(QObject* watched)
    {
        const QMetaObject* meta = watched->metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() != QMetaMethod::Signal)
                continue;
            // The record of ticketValidated only lives during the emission: count it by hand.
            if (method.name() == "ticketValidated")
                continue;
            m_spies.append(new QSignalSpy(watched, QByteArray("2" + method.methodSignature())));
            m_names.append(method.name());
        }
    }
    ~SignalLog() { qDeleteAll(m_spies); }

    QStringList counts() const
    {
        QStringList result;
        for (int i = 0; i < m_spies.size(); ++i) {
            if (m_spies.at(i)->count() > 0)
                result << QString::fromLatin1(m_names.at(i)) + '='
                        + QString::number(m_spies.at(i)->count());
        }
        return result;
    }

private:
    QList<QSignalSpy*> m_spies;
    QList<QByteArray> m_names;
};

// One proxy on an unconnected client; messages are fed through the client's signal exactly as
// the connection would deliver them.
struct Proxy
{
    MqttClient client;
    Validator validator{client, base};
    QList<QVariantMap> transactions;

    Proxy()
    {
        QObject::connect(&validator, &Validator::ticketValidated, &validator,
                         [this](const Transaction& t) { transactions << t.toMap(); });
    }
    void send(const QString& topic, const QByteArray& payload)
    {
        emit client.received(payload, topic.toUtf8());
    }
    void send(const QString& topic, const QJsonObject& object)
    {
        send(topic, QJsonDocument(object).toJson(QJsonDocument::Compact));
    }
};

QByteArray statusMessage(const char* state, const char* extra = "")
{
    return QByteArray(R"({"service": true, "state": )") + state + extra + "}";
}

const char* allGood = R"({"init": false, "hasRfid": true, "hasRoute": true, "hasQr": true,
                          "hasObu": true})";

// What a bad message must leave alone.
struct Snapshot
{
    QStringList values;
    const void* sam = nullptr;

    explicit Snapshot(Validator& v)
    {
        values << v.status() << v.reason() << v.reasonCode() << v.version() << v.route()
               << v.vehicle() << v.config()->obuUrl().toString()
               << QString::number(v.config()->passbackSecs())
               << QString::number(v.config()->passbackQrEnabled()) << v.rfid()->state()
               << v.rfid()->firmware() << QString::number(v.rfid()->numberOfSlots())
               << QString::number(v.barcode()->enabled()) << v.barcode()->model();
        sam = v.rfid()->sam();
    }
    bool operator==(const Snapshot& other) const
    {
        return values == other.values && sam == other.sam;
    }
};

} // namespace

class Tst_Validator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void subscriptions();
    void statusRules_data();
    void statusRules();
    void statusThenReason();
    void repeatedStatusIsQuiet();
    void modelsAndVehicle();
    void infoMessage();
    void configMessage_data();
    void configMessage();
    void configLogging();
    void cardTypes_data();
    void cardTypes();
    void cardPresence();
    void retry();
    void scans();
    void maintenanceBarcode();
    void foreignTopicsIgnored();
    void disconnection();
    void badInput_data();
    void badInput();
    void largeAndNestedButValid();
    void samObjectsDoNotAccumulate();
};

void Tst_Validator::initTestCase()
{
    qInstallMessageHandler(captureLog);
}

void Tst_Validator::init()
{
    logLines.clear();
}

void Tst_Validator::subscriptions()
{
    MqttClient client;
    Validator validator(client, "x/blm");
    const QList<QPair<QString, int>> expected = {
        {"x/blm/info", 0},
        {"x/blm/status", 0},
        {"x/blm/config", 0},
        {"x/blm/rfid/retry", 0},
        {"x/blm/rfid/removed", 0},
        {"x/blm/rfid/scanned", 0},
        {"x/blm/barcode/scanned", 0},
        {"x/blm/barcode/maintenance/scanned", 0},
        {"orvo/rfid/card/removed", 0},
        {"orvo/rfid/card/found", 0},
    };
    QCOMPARE(client.subscriptions(), expected);
}

void Tst_Validator::statusRules_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("reason");

    const QString down = "BLM service down";
    const QString noRfid = "RFID is not operational";

    // One row per line of the status table...
    QTest::newRow("#0002 service false")
        << QByteArray(R"({"service": false, "state": {"hasRfid": true, "hasRoute": true,
                          "hasQr": true, "hasObu": true}})")
        << "offline" << "#0002" << down;
    QTest::newRow("#0003 rfid updating, reader reported in the same message")
        << statusMessage(R"({"hasRfid": false})", R"(, "device": {"rfid": {"state": 4}})")
        << "offline" << "#0003" << "RFID firmware is updating";
    QTest::newRow("#0004 rfid in error")
        << statusMessage(R"({"hasRfid": false})", R"(, "device": {"rfid": {"state": 5}})")
        << "offline" << "#0004" << noRfid;
    QTest::newRow("#0005 obc lost")
        << statusMessage(R"({"hasRfid": true, "hasRoute": true, "hasQr": true})")
        << "degraded" << "#0005" << "OBC lost";
    QTest::newRow("#0005 barcode")
        << statusMessage(R"({"hasRfid": true, "hasRoute": true, "hasObu": true})")
        << "degraded" << "#0005" << "Barcode not operational";
    QTest::newRow("#0005 both")
        << statusMessage(R"({"hasRfid": true, "hasRoute": true, "hasQr": false, "hasObu": false})")
        << "degraded" << "#0005" << "OBC lost,Barcode not operational";
    QTest::newRow("#0006 no route")
        << statusMessage(R"({"hasRfid": true, "hasQr": true, "hasObu": true})")
        << "out-of-service" << "#0006" << "No route";
    QTest::newRow("#0007 ntp false")
        << statusMessage(R"({"hasRfid": true, "hasNtp": false, "hasRoute": true, "hasQr": true,
                             "hasObu": true})")
        << "offline" << "#0007" << "NTP not synchronized";
    QTest::newRow("init") << statusMessage(R"({"init": true, "hasRfid": true})") << "init" << ""
                          << "";
    QTest::newRow("online") << statusMessage(allGood) << "online" << "" << "";

    // ...and the order in which the rules apply.
    QTest::newRow("service false beats init")
        << QByteArray(R"({"service": false, "state": {"init": true}})") << "offline" << "#0002"
        << down;
    QTest::newRow("init beats every missing flag")
        << statusMessage(R"({"init": true, "hasNtp": false})") << "init" << "" << "";
    QTest::newRow("rfid beats ntp")
        << statusMessage(R"({"hasRfid": false, "hasNtp": false, "hasRoute": true})")
        << "offline" << "#0004" << noRfid;
    QTest::newRow("rfid updating decided on this message's reader state")
        << statusMessage(R"({"hasRfid": false})", R"(, "device": {"rfid": {"state": 4,
                             "firmware": "2.0"}}, "obu": {"vehicleUuid": "V1"})")
        << "offline" << "#0003" << "RFID firmware is updating";
    QTest::newRow("ntp beats route")
        << statusMessage(R"({"hasRfid": true, "hasNtp": false})") << "offline" << "#0007"
        << "NTP not synchronized";
    QTest::newRow("ntp absent is not checked") << statusMessage(allGood) << "online" << "" << "";
    QTest::newRow("ntp true")
        << statusMessage(R"({"hasRfid": true, "hasNtp": true, "hasRoute": true, "hasQr": true,
                             "hasObu": true})")
        << "online" << "" << "";
    QTest::newRow("route beats degraded")
        << statusMessage(R"({"hasRfid": true, "hasQr": false, "hasObu": false})")
        << "out-of-service" << "#0006" << "No route";

    // Missing keys read as false.
    QTest::newRow("empty object: service down") << QByteArray("{}") << "offline" << "#0002" << down;
    QTest::newRow("empty payload: service down") << QByteArray() << "offline" << "#0002" << down;
    QTest::newRow("service true without state: no rfid")
        << QByteArray(R"({"service": true})") << "offline" << "#0004" << noRfid;
    QTest::newRow("rfid state missing: not updating")
        << statusMessage(R"({"hasRfid": false})", R"(, "device": {"rfid": {"firmware": "1"}})")
        << "offline" << "#0004" << noRfid;

    // Wrong JSON types read as the defaults.
    QTest::newRow("service as text: down")
        << QByteArray(R"({"service": "true", "state": {"hasRfid": true}})") << "offline"
        << "#0002" << down;
    QTest::newRow("flags as text: no rfid")
        << statusMessage(R"({"hasRfid": "true", "hasRoute": 1, "hasQr": true, "hasObu": true})")
        << "offline" << "#0004" << noRfid;
    QTest::newRow("state as array: no rfid")
        << statusMessage("[true, true]") << "offline" << "#0004" << noRfid;
}

void Tst_Validator::statusRules()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, status);
    QFETCH(QString, code);
    QFETCH(QString, reason);

    Proxy proxy;
    QSignalSpy statusSpy(&proxy.validator, &Validator::statusChanged);
    QSignalSpy reasonSpy(&proxy.validator, &Validator::reasonChanged);
    proxy.send(base + "/status", payload);

    QCOMPARE(proxy.validator.status(), status);
    QCOMPARE(proxy.validator.reasonCode(), code);
    QCOMPARE(proxy.validator.reason(), reason);
    QCOMPARE(statusSpy.count(), 1);
    // From the initial empty reason, only a non-empty one is a change.
    QCOMPARE(reasonSpy.count(), code.isEmpty() ? 0 : 1);
    QCOMPARE(linesOf(QtWarningMsg), QStringList{"[Validator] Validator status is : " + status});
    QVERIFY(linesOf(QtCriticalMsg).isEmpty());
}

void Tst_Validator::statusThenReason()
{
    Proxy proxy;
    Validator& v = proxy.validator;
    proxy.send(base + "/status", statusMessage(allGood));

    // Receivers of statusChanged still see the old reason; reasonChanged sees the new one.
    QStringList seen;
    connect(&v, &Validator::statusChanged, this,
            [&] { seen << "status " + v.status() + " [" + v.reasonCode() + v.reason() + "]"; });
    connect(&v, &Validator::reasonChanged, this,
            [&] { seen << "reason " + v.status() + " [" + v.reasonCode() + v.reason() + "]"; });

    proxy.send(base + "/status", statusMessage(R"({"hasRfid": true})"));
    proxy.send(base + "/status", QByteArray(R"({"service": false})"));
    proxy.client.disconnected();
    QCOMPARE(seen, (QStringList{"status out-of-service []", "reason out-of-service [#0006No route]",
                                "status offline [#0006No route]",
                                "reason offline [#0002BLM service down]",
                                "reason offline [#0001MQTT Disconnected]"}));
}

void Tst_Validator::repeatedStatusIsQuiet()
{
    Proxy proxy;
    Validator& v = proxy.validator;
    proxy.send(base + "/status", statusMessage(R"({"hasRfid": true, "hasRoute": true,
                                                   "hasQr": true})"));
    logLines.clear();
    SignalLog log(&v);

    // The same word and reason again: no signal, no log line.
    proxy.send(base + "/status", statusMessage(R"({"hasRfid": true, "hasRoute": true,
                                                   "hasQr": true})"));
    QCOMPARE(log.counts(), QStringList());
    QVERIFY(logLines.isEmpty());

    // Same word, other reason: only the reason is announced.
    proxy.send(base + "/status", statusMessage(R"({"hasRfid": true, "hasRoute": true})"));
    QCOMPARE(log.counts(), QStringList{"reasonChanged=1"});
    QCOMPARE(v.reason(), QString("OBC lost,Barcode not operational"));
    QVERIFY(logLines.isEmpty());

    // Other word, same (empty) reason: only the status is announced.
    proxy.send(base + "/status", statusMessage(allGood));
    proxy.send(base + "/status", statusMessage(R"({"init": true})"));
    QCOMPARE(log.counts(), (QStringList{"statusChanged=2", "reasonChanged=2"}));
    QCOMPARE(v.status(), QString("init"));
}

void Tst_Validator::modelsAndVehicle()
{
    Proxy proxy;
    Validator& v = proxy.validator;
    proxy.send(base + "/status",
               statusMessage(allGood, R"(, "obu": {"vehicleUuid": "BUS-12"},
                             "route": {"axisName": "Line 7"},
                             "device": {"rfid": {"state": 2, "sams": [{"slot": 1}]},
                                        "barcode": {"enabled": true, "active": true}})"));
    QCOMPARE(v.vehicle(), QString("BUS-12"));
    QCOMPARE(v.route(), QString("Line 7"));
    QCOMPARE(v.rfid()->state(), QString("Searching"));
    QVERIFY(v.barcode()->enabled());

    SignalLog log(&v);
    // Service down: the readers still follow, vehicle and route stay.
    proxy.send(base + "/status",
               QByteArray(R"({"service": false, "obu": {"vehicleUuid": "BUS-99"},
                              "route": {"axisName": "Line 9"},
                              "device": {"rfid": {"state": 5}, "barcode": {"enabled": false}}})"));
    QCOMPARE(v.vehicle(), QString("BUS-12"));
    QCOMPARE(v.route(), QString("Line 7"));
    QCOMPARE(v.rfid()->state(), QString("Error"));
    QVERIFY(!v.barcode()->enabled());
    QCOMPARE(log.counts(), (QStringList{"statusChanged=1", "reasonChanged=1"}));

    // Service up again: a missing vehicle or route reads as empty, announced once.
    proxy.send(base + "/status", statusMessage(allGood, R"(, "obu": {"vehicleUuid": "BUS-12"})"));
    proxy.send(base + "/status", statusMessage(allGood, R"(, "obu": {"vehicleUuid": "BUS-12"})"));
    QCOMPARE(v.route(), QString());
    QCOMPARE(log.counts(), (QStringList{"statusChanged=2", "reasonChanged=2", "routeChanged=1"}));
}

void Tst_Validator::infoMessage()
{
    Proxy proxy;
    Validator& v = proxy.validator;
    QSignalSpy versionSpy(&v, &Validator::versionChanged);
    proxy.send(base + "/info", QByteArray(R"({"service": {"version": "3.4.1"},
        "device": {"rfid": {"firmware": "R-2.0", "model": "M5", "manufacturer": "Acme",
                            "uid": "04:AA"},
                   "barcode": {"firmware": "B-1.1", "model": "QR", "active": true}}})"));
    QCOMPARE(v.version(), QString("3.4.1"));
    QCOMPARE(v.rfid()->firmware(), QString("R-2.0"));
    QCOMPARE(v.rfid()->deviceUid(), QString("04:AA"));
    QCOMPARE(v.rfid()->state(), QString()); // no status group in this info
    QCOMPARE(v.barcode()->firmware(), QString("B-1.1"));
    QVERIFY(v.barcode()->active());
    QCOMPARE(versionSpy.count(), 1);

    proxy.send(base + "/info", QByteArray(R"({"service": {"version": "3.4.1"}})"));
    QCOMPARE(versionSpy.count(), 1);
    QCOMPARE(v.rfid()->firmware(), QString("R-2.0"));
    QVERIFY(v.status().isEmpty()); // info says nothing about the status

    proxy.send(base + "/info", QByteArray());
    QCOMPARE(v.version(), QString());
    QCOMPARE(versionSpy.count(), 2);
}

void Tst_Validator::configMessage_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("passback");
    QTest::addColumn<bool>("qr");

    QTest::newRow("service strings")
        << QByteArray(R"({"blm": {"obu_host": "10.0.0.5", "obu_port": "1884",
                          "obu_username": "obu", "obu_password": "s3cret"},
                          "validator": {"passbackTime": "30", "qr_passback": "true"}})")
        << "10.0.0.5" << 1884 << "obu" << "s3cret" << 30 << true;
    QTest::newRow("port 0 means none")
        << QByteArray(R"({"blm": {"obu_host": "obc.local", "obu_port": "0"}})")
        << "obc.local" << -1 << "" << "" << 0 << false;
    QTest::newRow("negative port")
        << QByteArray(R"({"blm": {"obu_host": "obc.local", "obu_port": "-5"}})")
        << "obc.local" << -1 << "" << "" << 0 << false;
    QTest::newRow("port beyond 65535 keeps the rest of the URL")
        << QByteArray(R"({"blm": {"obu_host": "obc.local", "obu_port": "70000",
                          "obu_username": "u"}})")
        << "obc.local" << -1 << "u" << "" << 0 << false;
    QTest::newRow("numbers and booleans instead of strings")
        << QByteArray(R"({"blm": {"obu_host": "obc.local", "obu_port": 1884},
                          "validator": {"passbackTime": 30, "qr_passback": true}})")
        << "obc.local" << -1 << "" << "" << 0 << false;
    QTest::newRow("not decimal")
        << QByteArray(R"({"blm": {"obu_host": "h", "obu_port": "0x50"},
                          "validator": {"passbackTime": "12s", "qr_passback": "TRUE"}})")
        << "h" << -1 << "" << "" << 0 << false;
    QTest::newRow("credentials with URL delimiters")
        << QByteArray(R"({"blm": {"obu_host": "h", "obu_port": "1", "obu_username": "a@b:c",
                          "obu_password": "p@ss/w%rd"}})")
        << "h" << 1 << "a@b:c" << "p@ss/w%rd" << 0 << false;
    QTest::newRow("empty") << QByteArray() << "" << -1 << "" << "" << 0 << false;
}

void Tst_Validator::configMessage()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, passback);
    QFETCH(bool, qr);

    Proxy proxy;
    ValidatorConfig* config = proxy.validator.config();
    config->setPassbackSecs(99);
    QSignalSpy changed(&proxy.validator, &Validator::configChanged);
    proxy.send(base + "/config", payload);

    const QUrl url = config->obuUrl();
    QCOMPARE(url.scheme(), QString("mqtt"));
    QCOMPARE(url.host(QUrl::FullyDecoded), host);
    QCOMPARE(url.port(), port);
    QCOMPARE(url.userName(QUrl::FullyDecoded), user);
    QCOMPARE(url.password(QUrl::FullyDecoded), password);
    QCOMPARE(config->passbackSecs(), passback);
    QCOMPARE(config->passbackQrEnabled(), qr);
    QCOMPARE(changed.count(), 1);

    // Announced after every configuration message, even an identical one.
    proxy.send(base + "/config", payload);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(config->obuUrl(), url);
}

void Tst_Validator::configLogging()
{
    Proxy proxy;
    proxy.send(base + "/config",
               QByteArray(R"({"blm": {"obu_host": "10.0.0.5", "obu_port": "1884",
                              "obu_username": "obu", "obu_password": "s3cret"},
                              "validator": {"passbackTime": "30", "qr_passback": "true"}})"));
    // The password never reaches the log.
    QCOMPARE(linesOf(QtWarningMsg),
             (QStringList{"[Validator] Config received : ",
                          "[Validator] OBU URL         : mqtt://obu@10.0.0.5:1884",
                          "[Validator] Passback Time   : 30 sec(s)",
                          "[Validator] Passback QR En  : true"}));
}

void Tst_Validator::cardTypes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");

    const QList<QPair<int, QString>> table = {
        {0, "Unknown"}, {1, "ISO14443-4A"}, {2, "ISO14443-4B"}, {4, "MIFARE Classic 1K"},
        {8, "MIFARE Classic 4K"}, {16, "MIFARE Plus 2K"}, {32, "MIFARE Plus 4K"},
        {64, "MIFARE Ultralight"}, {128, "MIFARE Mini"}, {256, "MIFARE DESFire"}, {512, "EMV"},
        {32768, "Other"},
        // Combinations of bits and values outside the table.
        {3, "Unknown"}, {6, "Unknown"}, {257, "Unknown"}, {32769, "Unknown"}, {1024, "Unknown"},
        {16384, "Unknown"}, {65536, "Unknown"}, {-1, "Unknown"},
    };
    for (const auto& row : table)
        QTest::addRow("%d", row.first) << row.first << row.second;
}

void Tst_Validator::cardTypes()
{
    QFETCH(int, type);
    QFETCH(QString, name);

    QCOMPARE(Validator::mapCardType(type), name);
    Proxy proxy;
    QSignalSpy spy(&proxy.validator, &Validator::cardDetected);
    proxy.send("orvo/rfid/card/found", QJsonObject{{"uid", "04A1B2"}, {"type", type}});
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0), (QVariantList{"04A1B2", name}));
}

void Tst_Validator::cardPresence()
{
    Proxy proxy;
    QSignalSpy found(&proxy.validator, &Validator::cardDetected);
    QSignalSpy removed(&proxy.validator, &Validator::cardRemoved);

    proxy.send("orvo/rfid/card/found", QByteArray(R"({"uid": "AB"})"));
    proxy.send("orvo/rfid/card/found", QByteArray(R"({"uid": 12, "type": "256"})"));
    proxy.send("orvo/rfid/card/found", QByteArray());
    QCOMPARE(found.count(), 3);
    QCOMPARE(found.at(0), (QVariantList{"AB", "Unknown"}));
    QCOMPARE(found.at(1), (QVariantList{"", "Unknown"}));
    QCOMPARE(found.at(2), (QVariantList{"", "Unknown"}));

    // Whatever the reader sends on removal, even broken JSON, counts and is not parsed.
    for (const QByteArray& payload : {QByteArray(), QByteArray("{}"), QByteArray("{oops"),
                                      QByteArray(1 << 20, '[')})
        proxy.send("orvo/rfid/card/removed", payload);
    QCOMPARE(removed.count(), 4);
    QCOMPARE(found.count(), 3);
    QVERIFY(linesOf(QtCriticalMsg).isEmpty());
}

void Tst_Validator::retry()
{
    Proxy proxy;
    QSignalSpy spy(&proxy.validator, &Validator::cardRetry);
    for (const QByteArray& payload : {QByteArray(), QByteArray("{}"), QByteArray("[1, 2]"),
                                      QByteArray(R"({"reason": 5})")})
        proxy.send(base + "/rfid/retry", payload);
    QCOMPARE(spy.count(), 4);
    QVERIFY(linesOf(QtCriticalMsg).isEmpty());

    proxy.send(base + "/rfid/retry", QByteArray("retry please"));
    QCOMPARE(spy.count(), 4);
    QCOMPARE(linesOf(QtCriticalMsg).size(), 1);
    QVERIFY(linesOf(QtCriticalMsg).first().startsWith("[Validator] Failed to parse JSON message: "));
}

void Tst_Validator::scans()
{
    Proxy proxy;
    QPointer<const Transaction> during;
    connect(&proxy.validator, &Validator::ticketValidated, this,
            [&](const Transaction& t) { during = &t; });

    proxy.send(base + "/rfid/scanned",
               QByteArray(R"({"transaction": {"result": true, "type": 2,
                              "fareProductName": "Stored value",
                              "card": {"balanceBefore": 1000, "balanceAfter": 850}}})"));
    QCOMPARE(proxy.transactions.size(), 1);
    QVERIFY(!during); // the record is gone once the emission returns
    const QVariantMap card = proxy.transactions.at(0);
    QCOMPARE(card.value("valid"), QVariant(true));
    QCOMPARE(card.value("fareProduct"), QVariant("Stored value"));
    QCOMPARE(card.value("details").toMap().value("deducted").toDouble(), 1.5);

    proxy.send(base + "/barcode/scanned",
               QByteArray(R"({"transaction": {"result": false, "denyReason": {"id": 103}}})"));
    QCOMPARE(proxy.transactions.size(), 2);
    QCOMPARE(proxy.transactions.at(1).value("denyReasonId"), QVariant(103));
    QCOMPARE(proxy.transactions.at(1).value("valid"), QVariant(false));

    // No "transaction" (or an empty payload) still reports a result: a refusal without reason.
    proxy.send(base + "/rfid/scanned", QByteArray(R"({"result": true})"));
    proxy.send(base + "/barcode/scanned", QByteArray());
    QCOMPARE(proxy.transactions.size(), 4);
    QCOMPARE(proxy.transactions.at(2), Transaction().toMap());
    QCOMPARE(proxy.transactions.at(3).value("denyReason"), QVariant("Unknown Error"));

    // The service's own removal topic is subscribed but carries nothing for us.
    SignalLog log(&proxy.validator);
    proxy.send(base + "/rfid/removed", QByteArray("{}"));
    QCOMPARE(log.counts(), QStringList());
    QCOMPARE(proxy.transactions.size(), 4);
}

void Tst_Validator::maintenanceBarcode()
{
    Proxy proxy;
    QSignalSpy spy(&proxy.validator, &Validator::maintenanceBarcodeScanned);
    const QJsonObject code{{"obu", QJsonObject{{"host", "10.1.1.1"}}}, {"eth0", "dhcp"}};
    proxy.send(base + "/barcode/maintenance/scanned", code);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toJsonObject(), code);
    QVERIFY(proxy.transactions.isEmpty());
}

void Tst_Validator::foreignTopicsIgnored()
{
    Proxy proxy;
    proxy.send(base + "/status", statusMessage(allGood));
    const Snapshot before(proxy.validator);
    SignalLog log(&proxy.validator);
    logLines.clear();

    // Other services' topics arrive here too, in their own formats.
    for (const QString& topic : {QString("orvo/board/status"), base + "/status/get",
                                 base + "/config/set", base, base + "x/status",
                                 QString("orvo/blmx/info"), QString("x") + base + "/status",
                                 QString("orvo/rfid/card/found/x"), QString("orvo/rfid/enable")}) {
        proxy.send(topic, QByteArray("not json at all"));
        proxy.send(topic, QByteArray(R"({"service": false})"));
    }
    QCOMPARE(log.counts(), QStringList());
    QVERIFY(logLines.isEmpty());
    QVERIFY(Snapshot(proxy.validator) == before);
}

void Tst_Validator::disconnection()
{
    Proxy proxy;
    Validator& v = proxy.validator;
    proxy.send(base + "/info", QByteArray(R"({"service": {"version": "3.4.1"}})"));
    proxy.send(base + "/config", QByteArray(R"({"blm": {"obu_host": "h"}})"));
    proxy.send(base + "/status", statusMessage(allGood, R"(, "route": {"axisName": "7"},
                                               "device": {"rfid": {"state": 2}})"));
    QCOMPARE(v.status(), QString("online"));

    QSignalSpy statusSpy(&v, &Validator::statusChanged);
    proxy.client.disconnected();
    QCOMPARE(v.status(), QString("offline"));
    QCOMPARE(v.reasonCode(), QString("#0001"));
    QCOMPARE(v.reason(), QString("MQTT Disconnected"));
    QCOMPARE(statusSpy.count(), 1);
    // Only status and reason change.
    QCOMPARE(v.version(), QString("3.4.1"));
    QCOMPARE(v.route(), QString("7"));
    QCOMPARE(v.config()->obuUrl().host(), QString("h"));
    QCOMPARE(v.rfid()->state(), QString("Searching"));

    // Nothing is asked after reconnecting: the next status message decides.
    proxy.client.connected();
    QCOMPARE(v.status(), QString("offline"));
    QCOMPARE(v.reasonCode(), QString("#0001"));
    proxy.send(base + "/status", statusMessage(allGood));
    QCOMPARE(v.status(), QString("online"));
    QCOMPARE(v.reasonCode(), QString());
}

void Tst_Validator::badInput_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");

    const QList<QPair<const char*, QByteArray>> unparsable = {
        {"broken", QByteArray(R"({"service": true, "state": )")},
        {"text", QByteArray("online")},
        {"binary", QByteArray("\x00\xff\xfe{}", 5)},
        {"1 MB of garbage", QByteArray(1 << 20, 'x')},
        {"1 MB unterminated string", "{\"a\": \"" + QByteArray(1 << 20, 'y')},
        {"deep arrays", QByteArray(100000, '[') + QByteArray(100000, ']')},
        {"deep objects", QByteArray("{\"a\":").repeated(5000) + "1" + QByteArray(5000, '}')},
    };
    const QList<QPair<const char*, QByteArray>> notAnObject = {
        {"array", QByteArray(R"([{"service": true}])")},
        {"number", QByteArray("42")},
        {"string", QByteArray("\"online\"")},
        {"null", QByteArray("null")},
        {"1 MB array", "[" + QByteArray("0,").repeated(1 << 19) + "0]"},
    };
    const QStringList objectTopics = {base + "/info", base + "/status", base + "/config",
                                      base + "/rfid/scanned", base + "/barcode/scanned",
                                      base + "/barcode/maintenance/scanned",
                                      "orvo/rfid/card/found"};
    for (const QString& topic : objectTopics + QStringList{base + "/rfid/retry"}) {
        for (const auto& bad : unparsable)
            QTest::addRow("%s %s", qPrintable(topic), bad.first) << topic << bad.second;
    }
    for (const QString& topic : objectTopics) {
        for (const auto& bad : notAnObject)
            QTest::addRow("%s %s", qPrintable(topic), bad.first) << topic << bad.second;
    }
}

void Tst_Validator::badInput()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);

    Proxy proxy;
    Validator& v = proxy.validator;
    proxy.send(base + "/info", QByteArray(R"({"service": {"version": "1.0"},
                                              "device": {"rfid": {"firmware": "F"}}})"));
    proxy.send(base + "/config", QByteArray(R"({"blm": {"obu_host": "h", "obu_port": "1"},
                                                "validator": {"passbackTime": "5"}})"));
    proxy.send(base + "/status",
               statusMessage(allGood, R"(, "route": {"axisName": "7"}, "obu": {"vehicleUuid": "V"},
                             "device": {"rfid": {"state": 2, "slots": [true],
                                                 "sams": [{"slot": 1}]},
                                        "barcode": {"enabled": true, "model": "Q"}})"));
    const Snapshot before(v);
    SignalLog log(&v);
    logLines.clear();

    proxy.send(topic, payload);

    QVERIFY(Snapshot(v) == before);
    QCOMPARE(log.counts(), QStringList());
    QVERIFY(proxy.transactions.isEmpty());
    const QStringList criticals = linesOf(QtCriticalMsg);
    QCOMPARE(criticals.size(), 1);
    QVERIFY2(criticals.first().startsWith("[Validator] Failed to parse JSON message: "),
             qPrintable(criticals.first()));
    QVERIFY(criticals.first().size() < 200); // the reason, never the payload
    QCOMPARE(logLines.size(), 1);
}

void Tst_Validator::largeAndNestedButValid()
{
    Proxy proxy;
    Validator& v = proxy.validator;
    // A valid status carrying a megabyte of unknown data and a deep but legal structure.
    QByteArray nested = QByteArray("{\"a\":").repeated(500) + "1" + QByteArray(500, '}');
    proxy.send(base + "/status",
               statusMessage(allGood, ", \"junk\": \"" + QByteArray(1 << 20, 'z') + "\", \"deep\": "
                                          + nested));
    QCOMPARE(v.status(), QString("online"));

    QSignalSpy spy(&v, &Validator::maintenanceBarcodeScanned);
    proxy.send(base + "/barcode/maintenance/scanned", "{\"deep\": " + nested + "}");
    QCOMPARE(spy.count(), 1);
    QVERIFY(linesOf(QtCriticalMsg).isEmpty());
}

void Tst_Validator::samObjectsDoNotAccumulate()
{
    // Every status message brings new SAM objects; the old ones must really go once the event
    // loop has run, or a validator on the road for weeks grows without end.
    Proxy proxy;
    ValidatorRfid* rfid = proxy.validator.rfid();
    int created = 0;
    int destroyed = 0;
    connect(rfid, &ValidatorRfid::samChanged, this, [&] {
        for (SAM* sam : rfid->findChildren<SAM*>()) {
            if (sam->property("tracked").toBool())
                continue;
            sam->setProperty("tracked", true);
            ++created;
            connect(sam, &QObject::destroyed, this, [&] { ++destroyed; });
        }
    });

    const QByteArray status = statusMessage(allGood, R"(, "device": {"rfid": {"state": 2,
        "sams": [{"slot": 1, "name": "A", "production": "2019-07-15"},
                 {"slot": 2, "name": "B"}]}})");
    for (int i = 0; i < 10000; ++i) {
        proxy.send(base + "/status", status);
        if (i % 100 == 99)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QCOMPARE(created, 20000);
    QCOMPARE(created - destroyed, 2);
    QCOMPARE(rfid->findChildren<QObject*>().size(), 2);
    QCOMPARE(rfid->sam()->name(), QString("A"));
}

QTEST_GUILESS_MAIN(Tst_Validator)
#include "tst_validator.moc"
