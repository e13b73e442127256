#include "diagnosticsrig.h"
#include "guimanager.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtTest>

#include <memory>

// The maintenance page only binds and calls: what it needs of `manager.diagnostics` must work
// from QML, with bindings that follow the values.
class Tst_DiagnosticsQml : public QObject
{
    Q_OBJECT

private slots:
    void managerExposesDiagnostics();
    void pageBindsAndCalls();
};

void Tst_DiagnosticsQml::managerExposesDiagnostics()
{
    const QMetaObject& meta = GUIManager::staticMetaObject;
    const QMetaProperty property = meta.property(meta.indexOfProperty("diagnostics"));
    QVERIFY(property.isValid());
    QCOMPARE(QByteArray(property.typeName()), QByteArray("Diagnostics*"));
    QVERIFY(property.hasNotifySignal() || property.isConstant());
    QVERIFY(!property.isWritable());
}

void Tst_DiagnosticsQml::pageBindsAndCalls()
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

QTEST_MAIN(Tst_DiagnosticsQml)
#include "tst_diagnosticsqml.moc"
