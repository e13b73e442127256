#include "diagnosticsrig.h"
#include "logcapture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaProperty>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// The change signal of a property of Diagnostics, by the property's name.
QMetaMethod notifier(const char* property)
{
    const QMetaObject& meta = Diagnostics::staticMetaObject;
    return meta.property(meta.indexOfProperty(property)).notifySignal();
}

QString value(const Diagnostics& diagnostics, const char* property)
{
    return diagnostics.property(property).toString();
}

} // namespace

using Change = std::function<void(DiagnosticsRig&)>;
Q_DECLARE_METATYPE(Change)

class Tst_Diagnostics : public QObject
{
    Q_OBJECT

private slots:
    void usbRules_data();
    void usbRules();
    void usbDeviceLandsInItsProperty_data();
    void usbDeviceLandsInItsProperty();
    void checkSignalsOnlyChanges();
    void sdCard();
    void boardRanges_data();
    void boardRanges();
    void samRule_data();
    void samRule();
    void computedFollowProxies_data();
    void computedFollowProxies();
    void followsDeviceIdReference();
    void manualResults();
    void pageBindsAndCalls();
    void serialSettersLog();
    void startAndStop();
};

void Tst_Diagnostics::usbRules_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QByteArray>("vendor");
    QTest::addColumn<QByteArray>("product");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("unreadable"); // the file named in the critical line, if any

    const QByteArray none; // file left out
    QTest::newRow("RFID reader with its id") << "1-1.3" << QByteArray("0ab1") << QByteArray("0007")
                                             << QByteArray("rfidUsb") << "OK" << QString();
    QTest::newRow("ids as sysfs writes them, newline and blanks")
            << "1-1" << QByteArray("0451\n") << QByteArray(" 2077 \n") << QByteArray("usbHub") << "OK" << QString();
    QTest::newRow("same vendor, another product") << "1-1.3" << QByteArray("0ab1") << QByteArray("0008")
                                                  << QByteArray("rfidUsb") << "ERROR" << QString();
    QTest::newRow("another vendor, same product") << "1-1.7" << QByteArray("222b") << QByteArray("0001")
                                                  << QByteArray("touch") << "ERROR" << QString();
    QTest::newRow("FTDI with its id") << "1-1.5" << QByteArray("0403") << QByteArray("6015")
                                                  << QByteArray("ftdi") << "OK" << QString();
    QTest::newRow("upper-case id is another id") << "1-1.5" << QByteArray("0403") << QByteArray("601A")
                                                 << QByteArray("ftdi") << "ERROR" << QString();
    QTest::newRow("any device: ids never read") << "1-1.2" << none << none << QByteArray("mPCIe1") << "OK" << QString();
    QTest::newRow("any device on the barcode port") << "1-1.6" << none << none << QByteArray("barcodeUsb") << "OK"
                                                    << QString();
    QTest::newRow("unreadable product id") << "1-1.3" << QByteArray("0ab1") << none << QByteArray("rfidUsb")
                                           << "ERROR" << "1-1.3/idProduct";
    QTest::newRow("unreadable vendor id") << "1-1.7" << none << QByteArray("0001") << QByteArray("touch")
                                          << "ERROR" << "1-1.7/idVendor";
    QTest::newRow("no directory on the port") << "" << none << none << QByteArray("usbHost") << "MISSING"
                                              << QString();
}

void Tst_Diagnostics::usbRules()
{
    QFETCH(QString, port);
    QFETCH(QByteArray, vendor);
    QFETCH(QByteArray, product);
    QFETCH(QByteArray, property);
    QFETCH(QString, expected);
    QFETCH(QString, unreadable);

    DiagnosticsRig rig;
    if (!port.isEmpty())
        rig.addUsbDevice(port, vendor, product);
    LogCapture log;
    rig.diagnostics->check();
    QCOMPARE(value(*rig.diagnostics, property.constData()), expected);

    const QStringList critical = log.lines(QtCriticalMsg);
    if (unreadable.isEmpty()) {
        QVERIFY2(critical.isEmpty(), qPrintable(critical.join('\n')));
    } else {
        QCOMPARE(critical,
                 QStringList { "[Diagnostics] ERROR: Failed to open fle : " + rig.paths().usbRoot + '/' + unreadable });
    }
}

void Tst_Diagnostics::usbDeviceLandsInItsProperty_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("property");

    QTest::newRow("hub") << 0 << QByteArray("usbHub");
    QTest::newRow("mPCIe slot") << 1 << QByteArray("mPCIe1");
    QTest::newRow("RFID reader") << 2 << QByteArray("rfidUsb");
    QTest::newRow("USB host") << 3 << QByteArray("usbHost");
    QTest::newRow("FTDI") << 4 << QByteArray("ftdi");
    QTest::newRow("barcode reader") << 5 << QByteArray("barcodeUsb");
    QTest::newRow("touch") << 6 << QByteArray("touch");
}

// One device present at a time, with the expected id: only its own property reads "OK".
void Tst_Diagnostics::usbDeviceLandsInItsProperty()
{
    QFETCH(int, index);
    QFETCH(QByteArray, property);

    const Diagnostics::UsbDevice device = Diagnostics::usbDevices().at(index);
    const QStringList id = device.id.split(':');
    DiagnosticsRig rig;
    rig.diagnostics->check(); // nothing plugged in
    const QByteArrayList all { "usbHub", "mPCIe1", "rfidUsb", "usbHost", "ftdi", "barcodeUsb", "touch" };
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const QByteArray& name : all)
        spies.push_back(std::make_unique<QSignalSpy>(rig.diagnostics.get(), notifier(name.constData())));

    rig.addUsbDevice(device.port, id.value(0).toLatin1(), id.value(1).toLatin1());
    rig.diagnostics->check();
    for (int i = 0; i < all.size(); ++i) {
        const bool own = all.at(i) == property;
        QCOMPARE(value(*rig.diagnostics, all.at(i).constData()), own ? QString("OK") : QString("MISSING"));
        QCOMPARE(spies.at(size_t(i))->count(), own ? 1 : 0);
    }
}

void Tst_Diagnostics::checkSignalsOnlyChanges()
{
    DiagnosticsRig rig;
    Diagnostics& diagnostics = *rig.diagnostics;
    QSignalSpy rfid(&diagnostics, &Diagnostics::rfidUsbChanged);
    QSignalSpy hub(&diagnostics, &Diagnostics::usbHubChanged);
    QSignalSpy sd(&diagnostics, &Diagnostics::sdCardChanged);
    QSignalSpy serial(&diagnostics, &Diagnostics::serialPortTestChanged);
    QSignalSpy ports(&diagnostics, &Diagnostics::serialPortsChanged);

    diagnostics.check(); // from empty to the first results
    QCOMPARE(rfid.count(), 1);
    QCOMPARE(hub.count(), 1);
    QCOMPARE(sd.count(), 1);
    QCOMPARE(serial.count(), 1);
    QCOMPARE(ports.count(), 1);
    QCOMPARE(diagnostics.serialPorts(), QStringList { "NONE" });

    diagnostics.check(); // nothing moved
    QCOMPARE(rfid.count(), 1);
    QCOMPARE(hub.count(), 1);
    QCOMPARE(sd.count(), 1);
    QCOMPARE(serial.count(), 1);
    QCOMPARE(ports.count(), 1);

    rig.addUsbDevice("1-1.3", "0ab1", "0007"); // the reader is plugged in
    diagnostics.check();
    QCOMPARE(rfid.count(), 2);
    QCOMPARE(diagnostics.rfidUsb(), QString("OK"));
    QCOMPARE(hub.count(), 1);
}

void Tst_Diagnostics::sdCard()
{
    DiagnosticsRig rig;
    rig.diagnostics->check();
    QCOMPARE(rig.diagnostics->sdCard(), QString("MISSING"));
    DiagnosticsRig::writeFile(rig.paths().sdCard, "");
    rig.diagnostics->check();
    QCOMPARE(rig.diagnostics->sdCard(), QString("OK"));
}

void Tst_Diagnostics::boardRanges_data()
{
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char* name, const char* device, const char* property, const char* expected) {
        QTest::newRow(name) << QByteArray(device) << QByteArray(property) << QString(expected);
    };
    row("15.0 degrees is too cold", R"({"active": true, "temperature": 15.0})", "temperature", "ERROR");
    row("15.1 degrees", R"({"active": true, "temperature": 15.1})", "temperature", "OK");
    row("69.9 degrees", R"({"active": true, "temperature": 69.9})", "temperature", "OK");
    row("70.0 degrees is too hot", R"({"active": true, "temperature": 70.0})", "temperature", "ERROR");
    row("below freezing", R"({"active": true, "temperature": -5})", "temperature", "ERROR");
    row("9.0 volts is too low", R"({"active": true, "voltage": 9.0})", "voltage", "ERROR");
    row("24.0 volts", R"({"active": true, "voltage": 24.0})", "voltage", "OK");
    row("40.0 volts is too high", R"({"active": true, "voltage": 40.0})", "voltage", "ERROR");
    row("39.9 volts", R"({"active": true, "voltage": 39.9})", "voltage", "OK");
    row("never reported voltage", R"({"active": true})", "voltage", "ERROR");
    row("never reported pole id", R"({"active": true})", "poleId", "MISSING");
    row("empty pole id", R"({"active": true, "poleId": ""})", "poleId", "MISSING");
    row("sixteen zeros", R"({"active": true, "poleId": "0000000000000000"})", "poleId", "ERROR");
    row("fifteen zeros is an id", R"({"active": true, "poleId": "000000000000000"})", "poleId", "OK");
    row("pole id", R"({"active": true, "poleId": "P-17"})", "poleId", "OK");
    row("ignition on", R"({"active": true, "ignition": true})", "ignition", "OK");
    row("ignition off", R"({"active": true, "ignition": false})", "ignition", "ERROR");
    row("clock failed", R"({"active": true, "hardwareStatus": {"rtcFailed": true}})", "rtc", "ERROR");
    row("clock fine", R"({"active": true, "hardwareStatus": {"rtcFailed": false}})", "rtc", "OK");
    row("board online", R"({"active": true})", "boardService", "OK");
    row("board inactive", R"({"active": false})", "boardService", "ERROR");
}

void Tst_Diagnostics::boardRanges()
{
    QFETCH(QByteArray, device);
    QFETCH(QByteArray, property);
    QFETCH(QString, expected);

    DiagnosticsRig rig;
    rig.boardStatus(device);
    QCOMPARE(value(*rig.diagnostics, property.constData()), expected);
}

void Tst_Diagnostics::samRule_data()
{
    QTest::addColumn<bool>("active");
    QTest::addColumn<QByteArray>("sams");
    QTest::addColumn<QString>("expected");

    QTest::newRow("reader inactive, SAM fine") << false << QByteArray(R"([{"atr": "3B8F8001"}])") << "ERROR";
    QTest::newRow("reader inactive, no SAM") << false << QByteArray("[]") << "ERROR";
    QTest::newRow("no SAM record") << true << QByteArray("[]") << "MISSING";
    QTest::newRow("SAM answers to reset") << true << QByteArray(R"([{"atr": "3B8F8001", "uid": "04A1"}])") << "OK";
    QTest::newRow("SAM without an answer to reset") << true << QByteArray(R"([{"uid": "04A1"}])") << "ERROR";
    QTest::newRow("only the first SAM counts") << true << QByteArray(R"([{"atr": ""}, {"atr": "3B"}])") << "ERROR";
}

void Tst_Diagnostics::samRule()
{
    QFETCH(bool, active);
    QFETCH(QByteArray, sams);
    QFETCH(QString, expected);

    DiagnosticsRig rig;
    ValidatorRfid* rfid = rig.validator.rfid();
    rfid->setActive(active);
    rfid->setSams(QJsonDocument::fromJson(sams).array());
    QCOMPARE(rig.diagnostics->sam(), expected);
}

void Tst_Diagnostics::computedFollowProxies_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<Change>("change");

    const auto board = [](const char* device) -> Change {
        return [device](DiagnosticsRig& rig) { rig.boardStatus(device); };
    };
    QTest::newRow("rtc") << QByteArray("rtc") << "OK" << "ERROR"
                         << board(R"({"active": true, "hardwareStatus": {"rtcFailed": true}})");
    QTest::newRow("ignition") << QByteArray("ignition") << "OK" << "ERROR" << board(R"({"active": true, "ignition": false})");
    QTest::newRow("temperature") << QByteArray("temperature") << "ERROR" << "OK"
                                 << board(R"({"active": true, "temperature": 40})");
    QTest::newRow("voltage") << QByteArray("voltage") << "ERROR" << "OK" << board(R"({"active": true, "voltage": 24})");
    QTest::newRow("pole id") << QByteArray("poleId") << "MISSING" << "OK" << board(R"({"active": true, "poleId": "P1"})");
    QTest::newRow("board service") << QByteArray("boardService") << "ERROR" << "OK" << board(R"({"active": true})");
    QTest::newRow("ethernet link up") << QByteArray("ethernet") << "ERROR" << "OK" << Change([](DiagnosticsRig& rig) {
        rig.send("orvo/network/ethernet/state", R"({"interface": "eth0", "stateStr": "Connected"})");
    });
    QTest::newRow("RFID service") << QByteArray("rfidService") << "ERROR" << "OK"
                                  << Change([](DiagnosticsRig& rig) { rig.validator.rfid()->setActive(true); });
    QTest::newRow("SAM follows the reader") << QByteArray("sam") << "ERROR" << "MISSING"
                                            << Change([](DiagnosticsRig& rig) { rig.validator.rfid()->setActive(true); });
    QTest::newRow("SAM follows its record") << QByteArray("sam") << "ERROR" << "OK" << Change([](DiagnosticsRig& rig) {
        rig.validator.rfid()->fromJson(QJsonDocument::fromJson(R"({"state": 1, "active": true, "sams": [{"atr": "3B"}]})").object());
    });
    QTest::newRow("barcode service") << QByteArray("barcodeService") << "ERROR" << "OK"
                                     << Change([](DiagnosticsRig& rig) { rig.validator.barcode()->setActive(true); });
}

// Computed values are never stored: the value the page reads after the proxy's change signal
// is the new one, and the page is told.
void Tst_Diagnostics::computedFollowProxies()
{
    QFETCH(QByteArray, property);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(Change, change);

    DiagnosticsRig rig;
    QCOMPARE(value(*rig.diagnostics, property.constData()), before);
    QSignalSpy spy(rig.diagnostics.get(), notifier(property.constData()));
    QVERIFY(spy.isValid());
    change(rig);
    QVERIFY(spy.count() >= 1);
    QCOMPARE(value(*rig.diagnostics, property.constData()), after);
}

void Tst_Diagnostics::followsDeviceIdReference()
{
    DiagnosticsRig rig;
    const QDateTime now(QDate(2026, 12, 7), QTime(10, 2));
    QVERIFY(DiagnosticsReport(*rig.diagnostics, now).qrPayload().startsWith("K12345678;"));
    rig.deviceId = QStringLiteral("K87654321"); // what a saved serial number does to the manager's member
    QVERIFY(DiagnosticsReport(*rig.diagnostics, now).qrPayload().startsWith("K87654321;"));
}

// The results a technician gives by hand: each setter writes its own value and signals its own
// change only (a copied setter that writes or signals a neighbour shows here), and a check
// leaves them alone.
void Tst_Diagnostics::manualResults()
{
    const std::vector<const char*> names { "buzzer", "leds", "speaker", "barcodeScan", "cardScan", "lightSensor", "rgbTest" };
    DiagnosticsRig rig;
    Diagnostics& diagnostics = *rig.diagnostics;
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const char* name : names) {
        QCOMPARE(value(diagnostics, name), QString()); // untested
        spies.push_back(std::make_unique<QSignalSpy>(&diagnostics, notifier(name)));
    }
    for (size_t i = 0; i < names.size(); ++i) {
        const QString result = i % 2 ? QStringLiteral("ERROR: ΔΕΝ ΑΚΟΥΣΤΗΚΕ %1").arg(i) : QStringLiteral("OK");
        QVERIFY(diagnostics.setProperty(names[i], result));
        QVERIFY(diagnostics.setProperty(names[i], result)); // the same again: no change
        for (size_t j = 0; j < names.size(); ++j)
            QCOMPARE(spies[j]->count(), j <= i ? 1 : 0);
        QCOMPARE(value(diagnostics, names[i]), result);
    }
    diagnostics.check();
    for (size_t i = 0; i < names.size(); ++i) {
        QCOMPARE(spies[i]->count(), 1);
        QCOMPARE(value(diagnostics, names[i]), i % 2 ? QStringLiteral("ERROR: ΔΕΝ ΑΚΟΥΣΤΗΚΕ %1").arg(i) : QStringLiteral("OK"));
    }
}

void Tst_Diagnostics::serialSettersLog()
{
    DiagnosticsRig rig;
    Diagnostics& diagnostics = *rig.diagnostics;
    QCOMPARE(diagnostics.serialPort(), QString("NONE"));
    QCOMPARE(diagnostics.serialFlowCtrl(), 1);

    QSignalSpy port(&diagnostics, &Diagnostics::serialPortChanged);
    QSignalSpy flow(&diagnostics, &Diagnostics::serialFlowCtrlChanged);
    LogCapture log;
    diagnostics.setSerialPort("ttyS2");
    diagnostics.setSerialPort("ttyS2");
    diagnostics.setSerialFlowCtrl(2);
    diagnostics.setSerialFlowCtrl(2);
    diagnostics.setSerialFlowCtrl(1);
    QCOMPARE(port.count(), 1);
    QCOMPARE(flow.count(), 2);
    QCOMPARE(log.lines(QtWarningMsg), (QStringList { "[Diagnostics] ------------- Serial Port changed : ttyS2",
                                                     "[Diagnostics] ------------- Serial Flow ctrl changed : 2",
                                                     "[Diagnostics] ------------- Serial Flow ctrl changed : 1" }));
}

void Tst_Diagnostics::startAndStop()
{
    DiagnosticsRig rig;
    Diagnostics& diagnostics = *rig.diagnostics;
    const QTimer& timer = diagnostics.checkTimer();
    LogCapture log;

    diagnostics.start(); // checks at once, then every second
    QCOMPARE(diagnostics.usbHub(), QString("MISSING"));
    QVERIFY(timer.isActive());
    QCOMPARE(timer.interval(), 1000);
    QVERIFY(!timer.isSingleShot());

    // A tick runs the whole check again.
    rig.addUsbDevice("1-1", "0451", "2077");
    QMetaObject::invokeMethod(const_cast<QTimer*>(&timer), "timeout");
    QCOMPARE(diagnostics.usbHub(), QString("OK"));

    diagnostics.start(30);
    QVERIFY(timer.isActive());
    QCOMPARE(timer.interval(), 30000);

    diagnostics.stop();
    QVERIFY(!timer.isActive());

    diagnostics.start(0); // once, no repeat
    QVERIFY(!timer.isActive());
    diagnostics.start(-3);
    QVERIFY(!timer.isActive());

    const QStringList info = log.lines(QtInfoMsg);
    QCOMPARE(info, (QStringList { "[Diagnostics] Starting Diagnostic check (interval=1 sec)",
                                  "[Diagnostics] Starting Diagnostic check (interval=30 sec)",
                                  "[Diagnostics] Stopping Diagnostic check",
                                  "[Diagnostics] Starting Diagnostic check (interval=0 sec)",
                                  "[Diagnostics] Starting Diagnostic check (interval=-3 sec)" }));
}

// The maintenance page only binds and calls: what it needs of `manager.diagnostics` works from
// QML, with bindings that follow the values.
void Tst_Diagnostics::pageBindsAndCalls()
{
    DiagnosticsRig rig;
    rig.diagnostics->setPortLister([] { return QList<SerialPortEntry> { { "ttyUSB0", "/nonexistent/ttyUSB0", "FT230X" } }; });

    QQmlEngine engine;
    engine.rootContext()->setContextProperty("diagnostics", rig.diagnostics.get());
    QQmlComponent component(&engine);
    component.setData(R"(
import QtQml 2.15
QtObject {
    // Every value the page shows, bound as the page binds it.
    property var shown: [diagnostics.rtc, diagnostics.ethernet, diagnostics.usbHub, diagnostics.mPCIe1,
        diagnostics.rfidUsb, diagnostics.barcodeUsb, diagnostics.ftdi, diagnostics.usbHost, diagnostics.touch,
        diagnostics.sdCard, diagnostics.buzzer, diagnostics.leds, diagnostics.ignition, diagnostics.temperature,
        diagnostics.voltage, diagnostics.sam, diagnostics.speaker, diagnostics.barcodeScan, diagnostics.cardScan,
        diagnostics.rfidService, diagnostics.barcodeService, diagnostics.boardService, diagnostics.lightSensor,
        diagnostics.rgbTest, diagnostics.poleId, diagnostics.serialPortTest]
    property var ports: diagnostics.serialPorts
    property string port: diagnostics.serialPort
    property int flow: diagnostics.serialFlowCtrl
    property string qr
    property string description
    property var report: []
    property Connections saved: Connections {
        target: diagnostics
        function onSaveReportFinished(result, message) { report = [result, message] }
    }
    function run() {
        diagnostics.start()
        diagnostics.buzzer = "OK"
        diagnostics.leds = "ERROR"
        diagnostics.speaker = "OK"
        diagnostics.barcodeScan = "OK"
        diagnostics.cardScan = "ERROR"
        diagnostics.lightSensor = "OK"
        diagnostics.rgbTest = "OK"
        diagnostics.serialFlowCtrl = 0
        description = diagnostics.serialPortDescr("ttyUSB0")
        qr = diagnostics.generateQr()
        diagnostics.stop()
        diagnostics.saveReport()
    }
}
)",
                      QUrl());
    std::unique_ptr<QObject> page(component.create());
    QVERIFY2(page, qPrintable(component.errorString()));
    QCOMPARE(page->property("shown").toStringList().size(), 26);
    QCOMPARE(page->property("port").toString(), QString("NONE"));
    QCOMPARE(page->property("flow").toInt(), 1);

    QTemporaryDir work;
    const QString startDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));
    QMetaObject::invokeMethod(page.get(), "run");
    QDir::setCurrent(startDir);

    const QStringList shown = page->property("shown").toStringList();
    QCOMPARE(shown.at(2), QString("MISSING")); // usbHub, from the check start() ran
    QCOMPARE(shown.at(10), QString("OK"));     // buzzer, written by the page
    QCOMPARE(shown.at(11), QString("ERROR"));
    QCOMPARE(shown.at(25), QString("MISSING")); // the serial test ran before "ttyUSB0" was listed
    QCOMPARE(page->property("ports").toStringList(), (QStringList { "NONE", "ttyUSB0" }));
    QCOMPARE(page->property("port").toString(), QString("ttyUSB0"));
    QCOMPARE(page->property("flow").toInt(), 0);
    QCOMPARE(page->property("description").toString(), QString("FT230X"));
    QVERIFY(page->property("qr").toString().startsWith("data:image/svg,<?xml"));
    QVERIFY(!rig.diagnostics->checkTimer().isActive());
    const QVariantList report = page->property("report").toList();
    QCOMPARE(report.size(), 2);
    QCOMPARE(report.at(0).toBool(), true);
    QVERIFY(report.at(1).toString().startsWith("Test report saved successfully:\n./TestReport_"));
    QCOMPARE(rig.diagnostics->cardScan(), QString("ERROR"));
    QCOMPARE(rig.diagnostics->rgbTest(), QString("OK"));
}

QTEST_GUILESS_MAIN(Tst_Diagnostics)
#include "tst_diagnostics.moc"
