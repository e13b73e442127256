#include "badpayloads.h"
#include "logcapture.h"
#include "mqttclient.h"
#include "validator.h"

#include <QJsonDocument>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using manager::Validator;

namespace {

const QString base = "orvo/blm";
const QByteArray allGood = R"("hasRfid": true, "hasRoute": true, "hasQr": true, "hasObu": true)";

// What the code under test logged, one capture per test function.
std::unique_ptr<LogCapture> g_log;

QStringList lines(QtMsgType type)
{
    return g_log->lines(type);
}

// A status message with service up, the given "state" members and more top-level members.
QByteArray status(const QByteArray& state, const QByteArray& extra = "")
{
    return R"({"service": true, "state": {)" + state + "}" + extra + "}";
}

// One proxy on an unconnected client, fed exactly as the connection would feed it.
struct Proxy
{
    manager::MqttClient client;
    Validator v{client, base};
    QList<QVariantMap> results;
    QSignalSpy statusSpy{&v, &Validator::statusChanged};
    QSignalSpy reasonSpy{&v, &Validator::reasonChanged};

    Proxy()
    {
        QObject::connect(&v, &Validator::ticketValidated, &v,
                         [this](const Transaction& t) { results << t.toMap(); });
    }
    void send(const QString& topic, const QByteArray& payload) { client.dispatch(payload, topic); }
    // Everything a bad message must leave alone.
    QStringList state()
    {
        return {v.status(), v.reason(), v.reasonCode(), v.version(), v.route(), v.vehicle(),
                v.config()->obuUrl().toString(), QString::number(v.config()->passbackSecs()),
                v.rfid()->state(), v.rfid()->firmware(), QString::number(quintptr(v.rfid()->sam())),
                QString::number(v.barcode()->enabled()),
                QString::number(statusSpy.count() + reasonSpy.count() + results.size())};
    }
};

} // namespace

class Tst_Validator : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        g_log.reset();
        g_log = std::make_unique<LogCapture>();
    }
    void cleanup() { g_log.reset(); }
    void subscriptions();
    void statusRules_data();
    void statusRules();
    void statusSignals();
    void readersVersionVehicleRoute();
    void configMessage_data();
    void configMessage();
    void wronglyTypedGatesKeepLastStatus_data();
    void wronglyTypedGatesKeepLastStatus();
    void cardTypes_data();
    void cardTypes();
    void cardsRetryScansAndMaintenance();
    void maintenanceBarcodeIsTyped_data();
    void maintenanceBarcodeIsTyped();
    void badInput_data();
    void badInput();
    void samObjectsDoNotAccumulate();
};


void Tst_Validator::subscriptions()
{
    manager::MqttClient client;
    Validator validator(client, "x/blm");
    QStringList topics;
    for (const auto& subscription : client.subscriptions())
        topics << subscription.first + " " + QString::number(subscription.second);
    QCOMPARE(topics, (QStringList{"x/blm/info 0", "x/blm/status 0", "x/blm/config 0",
        "x/blm/rfid/retry 0", "x/blm/rfid/removed 0", "x/blm/rfid/scanned 0",
        "x/blm/barcode/scanned 0", "x/blm/barcode/maintenance/scanned 0",
        "orvo/rfid/card/removed 0", "orvo/rfid/card/found 0"}));
}

void Tst_Validator::statusRules_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("reason");
    const QString down = "BLM service down", noRfid = "RFID is not operational";
    const QByteArray updating = R"(, "device": {"rfid": {"state": 4}})";

    // Every line of the status table...
    QTest::newRow("#0002") << QByteArray(R"({"service": false, "state": {)" + allGood + "}}")
                           << "offline" << "#0002" << down;
    QTest::newRow("#0003, reader updated first") << status(R"("hasRfid": false)", updating)
                                                 << "offline" << "#0003" << "RFID firmware is updating";
    QTest::newRow("#0004") << status(R"("hasRfid": false)", R"(, "device": {"rfid": {"state": 5}})")
                           << "offline" << "#0004" << noRfid;
    QTest::newRow("#0005 obc") << status(allGood + R"(, "hasObu": false)") << "degraded" << "#0005"
                               << "OBC lost";
    QTest::newRow("#0005 qr") << status(R"("hasRfid": true, "hasRoute": true, "hasObu": true)")
                              << "degraded" << "#0005" << "Barcode not operational";
    QTest::newRow("#0005 both") << status(R"("hasRfid": true, "hasRoute": true)") << "degraded"
                                << "#0005" << "OBC lost,Barcode not operational";
    QTest::newRow("#0006") << status(R"("hasRfid": true, "hasQr": true, "hasObu": true)")
                           << "out-of-service" << "#0006" << "No route";
    QTest::newRow("#0007") << status(allGood + R"(, "hasNtp": false)") << "offline" << "#0007"
                           << "NTP not synchronized";
    QTest::newRow("init") << status(R"("init": true)") << "init" << "" << "";
    QTest::newRow("online, hasNtp absent") << status(allGood) << "online" << "" << "";
    QTest::newRow("online, hasNtp true") << status(allGood + R"(, "hasNtp": true)") << "online"
                                         << "" << "";
    // ...the order of the rules...
    QTest::newRow("service before init") << QByteArray(R"({"service": false, "state": {"init": true}})")
                                         << "offline" << "#0002" << down;
    QTest::newRow("init before rfid and ntp") << status(R"("init": true, "hasNtp": false)")
                                              << "init" << "" << "";
    QTest::newRow("rfid before ntp") << status(R"("hasNtp": false, "hasRoute": true)", updating)
                                     << "offline" << "#0003" << "RFID firmware is updating";
    QTest::newRow("ntp before route") << status(R"("hasRfid": true, "hasNtp": false)") << "offline"
                                      << "#0007" << "NTP not synchronized";
    QTest::newRow("route before degraded") << status(R"("hasRfid": true)") << "out-of-service"
                                           << "#0006" << "No route";
    // ...and missing keys reading as false.
    QTest::newRow("empty payload") << QByteArray() << "offline" << "#0002" << down;
    QTest::newRow("no state") << QByteArray(R"({"service": true})") << "offline" << "#0004" << noRfid;
}

void Tst_Validator::wronglyTypedGatesKeepLastStatus_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("service as text") << QByteArray(R"({"service": "true"})");
    QTest::newRow("flag as text") << status(R"("hasRfid": "true", "hasRoute": true, "hasQr": true)");
    QTest::newRow("flag as number") << status(allGood + R"(, "hasObu": 0)");
    QTest::newRow("state as array") << QByteArray(R"({"service": true, "state": [true]})");
}

void Tst_Validator::wronglyTypedGatesKeepLastStatus()
{
    QFETCH(QByteArray, payload);
    Proxy p;
    p.send(base + "/status", status(allGood));
    QCOMPARE(p.v.status(), QStringLiteral("online"));
    g_log->clear();
    const int reasons = p.reasonSpy.count();

    p.send(base + "/status", payload);
    QCOMPARE(p.v.status(), QStringLiteral("online"));
    QCOMPARE(p.v.reasonCode(), QString());
    QCOMPARE(p.reasonSpy.count(), reasons);
    QCOMPARE(lines(QtWarningMsg).size(), 1);
    QVERIFY(lines(QtWarningMsg).first().startsWith("[Validator] WARN: Ignoring status with wrongly typed values on "));
}

void Tst_Validator::statusRules()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, status);
    QFETCH(QString, code);
    QFETCH(QString, reason);
    Proxy p;
    p.send(base + "/status", payload);
    QCOMPARE(p.v.status(), status);
    QCOMPARE(p.v.reasonCode(), code);
    QCOMPARE(p.v.reason(), reason);
    QCOMPARE(p.reasonSpy.count(), code.isEmpty() ? 0 : 1);
    QCOMPARE(g_log->entries(), (QList<QPair<QtMsgType, QString>>{
                           {QtWarningMsg, "[Validator] Validator status is : " + status}}));
}

void Tst_Validator::statusSignals()
{
    Proxy p;
    // Receivers of statusChanged still see the old reason; reasonChanged comes second.
    QStringList seen;
    connect(&p.v, &Validator::statusChanged, this, [&] { seen << p.v.status() + " " + p.v.reasonCode(); });
    connect(&p.v, &Validator::reasonChanged, this, [&] { seen << "reason " + p.v.reasonCode(); });
    const QByteArray noQr = status(R"("hasRfid": true, "hasRoute": true, "hasObu": true)");
    for (const QByteArray& message : {status(allGood), status(R"("hasRfid": true)"), noQr, noQr,
                                      status(R"("hasRfid": true, "hasRoute": true)"),
                                      status(R"("init": true)"), status(allGood)})
        p.send(base + "/status", message);
    p.client.disconnected();
    QCOMPARE(seen, (QStringList{"online ", "out-of-service ", "reason #0006", "degraded #0006",
                                "reason #0005", /* repeated: nothing; same word: reason only */
                                "reason #0005", "init #0005", "reason ", "online ", "offline ",
                                "reason #0001"}));
    QCOMPARE(lines(QtWarningMsg).size(), 6); // one line per status change
}

void Tst_Validator::readersVersionVehicleRoute()
{
    Proxy p;
    QSignalSpy vehicle(&p.v, &Validator::vehicleChanged), route(&p.v, &Validator::routeChanged),
        version(&p.v, &Validator::versionChanged);
    p.send(base + "/info", R"({"service": {"version": "3.4"}, "device": {"rfid": {"firmware": "R2"},
                               "barcode": {"model": "QR"}}})");
    p.send(base + "/info", R"({"service": {"version": "3.4"}})");
    QCOMPARE(p.v.version(), QString("3.4"));
    QCOMPARE(p.v.rfid()->firmware(), QString("R2"));
    QCOMPARE(p.v.barcode()->model(), QString("QR"));
    QVERIFY(p.v.status().isEmpty()); // info says nothing about the status

    const QByteArray where = R"(, "obu": {"vehicleUuid": "BUS-12"}, "route": {"axisName": "7"})";
    p.send(base + "/status", status(allGood, where + R"(, "device": {"rfid": {"state": 2}})"));
    p.send(base + "/status", status(allGood, where));
    // Service down: readers still follow, vehicle and route stay.
    p.send(base + "/status", R"({"service": false, "obu": {"vehicleUuid": "X"},
                                 "device": {"rfid": {"state": 5}, "barcode": {"enabled": true}}})");
    QCOMPARE(p.v.vehicle(), QString("BUS-12"));
    QCOMPARE(p.v.route(), QString("7"));
    QCOMPARE(p.v.rfid()->state(), QString("Error"));
    QVERIFY(p.v.barcode()->enabled());
    p.send(base + "/status", status(allGood));
    QCOMPARE(p.v.route(), QString());
    QCOMPARE(QList<int>({version.count(), vehicle.count(), route.count()}), QList<int>({1, 2, 2}));
}

void Tst_Validator::configMessage_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("url"); // user name, password, host and port, fully decoded
    QTest::addColumn<int>("passback");
    QTest::addColumn<bool>("qr");

    QTest::newRow("service strings") << QByteArray(R"({"blm": {"obu_host": "10.0.0.5",
        "obu_port": "1884", "obu_username": "obu", "obu_password": "s3cret"},
        "validator": {"passbackTime": "30", "qr_passback": "true"}})")
        << "obu s3cret 10.0.0.5 1884" << 30 << true;
    QTest::newRow("port 0 is none") << QByteArray(R"({"blm": {"obu_host": "h", "obu_port": "0"}})")
                                    << "  h -1" << 0 << false;
    QTest::newRow("port beyond 65535 keeps the rest") << QByteArray(R"({"blm": {"obu_host": "h",
        "obu_port": "70000", "obu_username": "u"}})") << "u  h -1" << 0 << false;
    QTest::newRow("JSON numbers and booleans") << QByteArray(R"({"blm": {"obu_host": "h",
        "obu_port": 1884}, "validator": {"passbackTime": 30, "qr_passback": true}})")
        << "  h -1" << 0 << false;
    QTest::newRow("not decimal, not exactly true") << QByteArray(R"({"blm": {"obu_port": "0x50"},
        "validator": {"passbackTime": "12s", "qr_passback": "TRUE"}})") << "   -1" << 0 << false;
    QTest::newRow("URL delimiters in credentials") << QByteArray(R"({"blm": {"obu_host": "h",
        "obu_port": "-5", "obu_username": "a@b:c", "obu_password": "p@ss/w%rd"}})")
        << "a@b:c p@ss/w%rd h -1" << 0 << false;
}

void Tst_Validator::configMessage()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, url);
    QFETCH(int, passback);
    QFETCH(bool, qr);
    Proxy p;
    p.v.config()->setPassbackSecs(99);
    QSignalSpy changed(&p.v, &Validator::configChanged);
    p.send(base + "/config", payload);
    p.send(base + "/config", payload); // announced even when nothing changed
    const QUrl obu = p.v.config()->obuUrl();
    QCOMPARE(obu.scheme(), QString("mqtt"));
    QCOMPARE(QStringList({obu.userName(QUrl::FullyDecoded), obu.password(QUrl::FullyDecoded),
                          obu.host(QUrl::FullyDecoded), QString::number(obu.port())}).join(' '), url);
    QCOMPARE(p.v.config()->passbackSecs(), passback);
    QCOMPARE(p.v.config()->passbackQrEnabled(), qr);
    QCOMPARE(changed.count(), 2);
    if (QTest::currentDataTag() == QByteArray("service strings")) // no password in the log
        QCOMPARE(lines(QtWarningMsg).mid(0, 4), (QStringList{"[Validator] Config received : ",
            "[Validator] OBU URL         : mqtt://obu@10.0.0.5:1884",
            "[Validator] Passback Time   : 30 sec(s)", "[Validator] Passback QR En  : true"}));
}

void Tst_Validator::cardTypes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    const QStringList names = {"ISO14443-4A", "ISO14443-4B", "MIFARE Classic 1K", "MIFARE Classic 4K",
        "MIFARE Plus 2K", "MIFARE Plus 4K", "MIFARE Ultralight", "MIFARE Mini", "MIFARE DESFire", "EMV"};
    for (int bit = 0; bit < names.size(); ++bit)
        QTest::addRow("%d", 1 << bit) << (1 << bit) << names.at(bit);
    QTest::newRow("32768") << 32768 << "Other";
    for (int type : {0, 3, 257, 1024, 32769, 65536, -1}) // combinations of bits, unknown values
        QTest::addRow("%d", type) << type << "Unknown";
}

void Tst_Validator::cardTypes()
{
    QFETCH(int, type);
    QFETCH(QString, name);
    Proxy p;
    QSignalSpy detected(&p.v, &Validator::cardDetected);
    p.send("orvo/rfid/card/found", QJsonDocument({{"uid", "04A1"}, {"type", type}}).toJson());
    QCOMPARE(detected.takeFirst(), (QVariantList{"04A1", name}));
}

void Tst_Validator::cardsRetryScansAndMaintenance()
{
    Proxy p;
    QSignalSpy found(&p.v, &Validator::cardDetected), removed(&p.v, &Validator::cardRemoved),
        retry(&p.v, &Validator::cardRetry), maintenance(&p.v, &Validator::maintenanceBarcodeScanned);
    p.send("orvo/rfid/card/found", R"({"uid": 12, "type": "256"})");
    // Removal counts whatever the payload, unparsed; retry takes any JSON, or nothing.
    for (const QByteArray& payload : {QByteArray(), QByteArray("{oops"), QByteArray("[1]")})
        p.send("orvo/rfid/card/removed", payload);
    for (const QByteArray& payload : {QByteArray(), QByteArray("{}"), QByteArray("[1]")})
        p.send(base + "/rfid/retry", payload);
    QCOMPARE(found.takeFirst(), (QVariantList{"", "Unknown"}));
    QCOMPARE(QList<int>({removed.count(), retry.count()}), QList<int>({3, 3}));

    QPointer<const Transaction> record;
    connect(&p.v, &Validator::ticketValidated, this, [&](const Transaction& t) { record = &t; });
    p.send(base + "/rfid/scanned", R"({"transaction": {"result": true, "type": 2,
                                   "card": {"balanceBefore": 1000, "balanceAfter": 850}}})");
    QVERIFY(!record); // gone once the emission returns
    p.send(base + "/barcode/scanned", R"({"transaction": {"denyReason": {"id": 103}}})");
    p.send(base + "/rfid/scanned", R"({"result": true})"); // no "transaction": an empty record
    p.send(base + "/rfid/removed", "{}"); // subscribed, but nothing for us
    QCOMPARE(p.results.size(), 3);
    QCOMPARE(p.results.at(0).value("details").toMap().value("deducted"), QVariant(1.5));
    QCOMPARE(p.results.at(1).value("denyReasonId"), QVariant(103));
    QCOMPARE(p.results.at(2), Transaction().toMap());

    p.send(base + "/barcode/maintenance/scanned", R"({"validator": {"obc": "mqtt://10.1.1.1:1883"}})");
    QCOMPARE(maintenance.count(), 1);
    QCOMPARE(maintenance.takeFirst().at(0).value<manager::MaintenanceBarcode>().obc, QStringLiteral("mqtt://10.1.1.1:1883"));
    QVERIFY(lines(QtCriticalMsg).isEmpty());
}

void Tst_Validator::maintenanceBarcodeIsTyped_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("fields"); // hasValidator, obc, hasEthernet, method, address, netmask, gateway, dns0, dns1
    QTest::addColumn<bool>("urlValid");
    QTest::addColumn<QString>("warning");
    QTest::newRow("both") << QByteArray(R"({"validator": {"obc": "mqtt://u:p@10.0.0.9:1883"},
        "network": {"eth0": {"method": "manual", "address": "10.0.0.20", "netmask": "255.255.255.0",
                             "gateway": "10.0.0.1", "dns0": "10.0.0.2", "dns1": "10.0.0.3"}}})")
                          << QStringList{"1", "mqtt://u:p@10.0.0.9:1883", "1", "manual", "10.0.0.20", "255.255.255.0",
                                         "10.0.0.1", "10.0.0.2", "10.0.0.3"}
                          << true << "";
    QTest::newRow("automatic addressing") << QByteArray(R"({"network": {"eth0": {"method": "dhcp"}}})")
                                          << QStringList{"0", "", "1", "dhcp", "", "", "", "", ""} << false << "";
    QTest::newRow("validator without address") << QByteArray(R"({"validator": {}})")
                                               << QStringList{"1", "", "0", "", "", "", "", "", ""} << false << "";
    QTest::newRow("another interface") << QByteArray(R"({"network": {"wlan0": {"method": "manual"}}})")
                                       << QStringList{"0", "", "0", "", "", "", "", "", ""} << false << "";
    QTest::newRow("wrong types read empty, one warning")
        << QByteArray(R"({"validator": {"obc": 17}, "network": {"eth0": {"method": "manual", "address": [10, 0, 0, 20]}}})")
        << QStringList{"1", "", "1", "manual", "", "", "", "", ""} << false
        << "[Validator] WARN: Ignoring wrongly typed values on orvo/blm/barcode/maintenance/scanned : validator.obc, "
           "network.eth0.address";
    QTest::newRow("network not an object") << QByteArray(R"({"network": "eth0"})")
                                           << QStringList{"0", "", "0", "", "", "", "", "", ""} << false
                                           << "[Validator] WARN: Ignoring wrongly typed values on "
                                              "orvo/blm/barcode/maintenance/scanned : network";
}

void Tst_Validator::maintenanceBarcodeIsTyped()
{
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, fields);
    QFETCH(bool, urlValid);
    QFETCH(QString, warning);
    Proxy p;
    QSignalSpy maintenance(&p.v, &Validator::maintenanceBarcodeScanned);
    p.send(base + "/barcode/maintenance/scanned", payload);
    QCOMPARE(maintenance.count(), 1);
    const auto barcode = maintenance.at(0).at(0).value<manager::MaintenanceBarcode>();
    const QStringList got{barcode.hasValidator ? "1" : "0", barcode.obc, barcode.hasEthernet ? "1" : "0",
                          barcode.method, barcode.address, barcode.netmask, barcode.gateway, barcode.dns0, barcode.dns1};
    QCOMPARE(got, fields);
    QCOMPARE(barcode.obcUrl().isValid(), urlValid);
    QCOMPARE(lines(QtWarningMsg), warning.isEmpty() ? QStringList() : QStringList{warning});
}

void Tst_Validator::badInput_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("criticals");

    const QStringList topics = {base + "/info", base + "/status", base + "/config", base + "/rfid/retry",
        base + "/rfid/scanned", base + "/barcode/scanned", base + "/barcode/maintenance/scanned",
        "orvo/rfid/card/found"};
    for (const QString& topic : topics) {
        for (const BadPayload& bad : unparsablePayloads())
            QTest::addRow("%s %s", qPrintable(topic), bad.name) << topic << bad.payload << 1;
        for (const BadPayload& bad : nonObjectPayloads()) {
            if (!topic.endsWith("/retry")) // any JSON is a retry
                QTest::addRow("%s %s", qPrintable(topic), bad.name) << topic << bad.payload << 1;
        }
    }
    // Other services' topics arrive too and are not even parsed.
    for (const QString& topic : {QString("orvo/board/status"), base + "/status/get", base,
                                 base + "x/status", "x" + base + "/info", QString("orvo/rfid/enable")})
        QTest::addRow("%s", qPrintable(topic)) << topic << QByteArray("{ not json") << 0;
    QTest::newRow("valid but large and deep") << base + "/status"
        << status(allGood, R"(, "route": {"axisName": "7"}, "obu": {"vehicleUuid": "V"}, "junk": ")"
                  + QByteArray(1 << 20, 'z') + "\", \"deep\": "
                  + QByteArray("[").repeated(500) + QByteArray("]").repeated(500)) << 0;
}

void Tst_Validator::badInput()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QFETCH(int, criticals);
    Proxy p;
    p.send(base + "/info", R"({"service": {"version": "1.0"}, "device": {"rfid": {"firmware": "F"}}})");
    p.send(base + "/config", R"({"blm": {"obu_host": "h", "obu_port": "1"}, "validator": {"passbackTime": "5"}})");
    p.send(base + "/status", status(allGood, R"(, "route": {"axisName": "7"}, "obu": {"vehicleUuid": "V"},
        "device": {"rfid": {"state": 2, "sams": [{}]}, "barcode": {"enabled": true}})"));
    QCOMPARE(p.v.status() + p.v.vehicle() + p.v.config()->obuUrl().host(), QString("onlineVh"));
    const QStringList before = p.state();
    g_log->clear();
    p.send(topic, payload);
    QCOMPARE(p.state(), before);
    QCOMPARE(g_log->entries().size(), criticals);
    QCOMPARE(lines(QtCriticalMsg).size(), criticals);
    // One line with the reason, never the payload.
    if (criticals)
        QVERIFY(lines(QtCriticalMsg).first().startsWith("[Validator] Failed to parse JSON message: ")
                && lines(QtCriticalMsg).first().size() < 200);
}

void Tst_Validator::samObjectsDoNotAccumulate()
{
    // Each status message brings new SAM objects; the old ones must really go once the event
    // loop has run, or a validator on the road for weeks grows without end.
    Proxy p;
    ValidatorRfid* rfid = p.v.rfid();
    int live = 0;
    connect(rfid, &ValidatorRfid::samChanged, this, [&] {
        for (SAM* sam : rfid->findChildren<SAM*>()) {
            if (!sam->property("counted").toBool()) {
                sam->setProperty("counted", true);
                ++live;
                connect(sam, &QObject::destroyed, this, [&] { --live; });
            }
        }
    });
    const QByteArray message = status(allGood, R"(, "device": {"rfid": {"state": 2,
        "sams": [{"slot": 1, "name": "A", "production": "2019-07-15"}, {"slot": 2}]}})");
    for (int i = 1; i <= 10000; ++i) {
        p.send(base + "/status", message);
        if (i % 100 == 0)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QCOMPARE(live, 2);
    QCOMPARE(rfid->children().size(), 2);
}

QTEST_GUILESS_MAIN(Tst_Validator)
#include "tst_validator.moc"
