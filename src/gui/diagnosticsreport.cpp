#include "diagnosticsreport.h"

#include "diagnostics.h"
#include "statusrules.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

const QString NotReported = QStringLiteral("<null>");
const QString DateFormat = QStringLiteral("yyyy-MM-dd hh:mm");

// Value lines: a leading blank, a 16-character label and a blank, then the value right-aligned
// in 35 characters (53 in all); longer values widen the line rather than being cut.
constexpr int ValueWidth = 35;
constexpr int LineWidth = 53;

QString orNull(const QString& value)
{
    return value.isEmpty() ? NotReported : value;
}

} // namespace

DiagnosticsReport::DiagnosticsReport(const Diagnostics& d, const QDateTime& now)
    : m_values {
        { QStringLiteral("deviceUid"), d.deviceId() },
        { QStringLiteral("date"), now.toString(DateFormat) },
        { QStringLiteral("samUid"), d.samUid() },
        { QStringLiteral("barcodeFirmware"), d.barcodeFirmware() },
        { QStringLiteral("rfidFirmware"), d.rfidFirmware() },
        { QStringLiteral("boardFirmware"), d.boardFirmware() },
        { QStringLiteral("appVersion"), QCoreApplication::applicationVersion() },
        { QStringLiteral("bundleVersion"), d.bundleVersion() },
        { QStringLiteral("imageVersion"), d.imageVersion() },
        { QStringLiteral("rtc"), d.rtc() },
        { QStringLiteral("ethernet"), d.ethernet() },
        { QStringLiteral("usbHub"), d.usbHub() },
        { QStringLiteral("mPCIe1"), d.mPCIe1() },
        { QStringLiteral("rfidUsb"), d.rfidUsb() },
        { QStringLiteral("barcodeUsb"), d.barcodeUsb() },
        { QStringLiteral("ftdi"), d.ftdi() },
        { QStringLiteral("usbHost"), d.usbHost() },
        { QStringLiteral("touch"), d.touch() },
        { QStringLiteral("sdCard"), d.sdCard() },
        { QStringLiteral("buzzer"), d.buzzer() },
        { QStringLiteral("leds"), d.leds() },
        { QStringLiteral("ignition"), d.ignition() },
        { QStringLiteral("temperature"), d.temperature() },
        { QStringLiteral("voltage"), d.voltage() },
        { QStringLiteral("sam"), d.sam() },
        { QStringLiteral("speaker"), d.speaker() },
        { QStringLiteral("barcodeScan"), d.barcodeScan() },
        { QStringLiteral("cardScan"), d.cardScan() },
        { QStringLiteral("rfidService"), d.rfidService() },
        { QStringLiteral("barcodeService"), d.barcodeService() },
        { QStringLiteral("boardService"), d.boardService() },
        { QStringLiteral("lightSensor"), d.lightSensor() },
        { QStringLiteral("rgbTest"), d.rgbTest() },
        { QStringLiteral("poleId"), d.poleId() },
        { QStringLiteral("serialPortTest"), d.serialPortTest() },
    }
    , m_time(now.toUTC())
{
}

QString DiagnosticsReport::result(const QList<Value>& values)
{
    const QString good = StatusRules::diagnostics(QStringLiteral("OK"));
    bool passed = values.size() > FactCount;
    for (int i = FactCount; i < values.size() && passed; ++i)
        passed = StatusRules::diagnostics(values.at(i).second) == good;
    return passed ? QStringLiteral("pass") : QStringLiteral("fail");
}

QVariantMap DiagnosticsReport::toPublication() const
{
    return QVariantMap { { QStringLiteral("deviceId"), value(QStringLiteral("deviceUid")) },
                         { QStringLiteral("time"), m_time },
                         { QStringLiteral("result"), result(m_values) },
                         { QStringLiteral("values"), toVariantMap() } };
}

QVariantMap DiagnosticsReport::toVariantMap() const
{
    QVariantMap map;
    for (const Value& value : m_values)
        map.insert(value.first, value.second);
    return map;
}

QString DiagnosticsReport::value(const QString& name) const
{
    for (const Value& value : m_values) {
        if (value.first == name)
            return value.second;
    }
    return QString();
}

QString DiagnosticsReport::fileName(const QDateTime& now)
{
    return QStringLiteral("./%1_%2.txt").arg(QStringLiteral("TestReport"), now.toString(QStringLiteral("yyyyMMdd_hhmm")));
}

QString DiagnosticsReport::text() const
{
    const QString separator(LineWidth, QLatin1Char('-'));
    const auto line = [this](const char* label, const char* name) {
        return QStringLiteral(" %1 %2").arg(QLatin1String(label), -16).arg(value(QLatin1String(name)), ValueWidth);
    };
    const auto orNullLine = [this](const char* label, const char* name) {
        return QStringLiteral(" %1 %2").arg(QLatin1String(label), -16).arg(orNull(value(QLatin1String(name))), ValueWidth);
    };
    const QStringList lines {
        separator,
        QStringLiteral(" DEVICE TEST REPORT"),
        separator,
        line("Device UID", "deviceUid"),
        line("Date", "date"),
        line("SAM", "samUid"),
        line("Barcode Firmware", "barcodeFirmware"),
        line("RFID Firmware", "rfidFirmware"),
        line("Board Firmware", "boardFirmware"),
        line("App Version", "appVersion"),
        orNullLine("Bundle Version", "bundleVersion"),
        orNullLine("Image Version", "imageVersion"),
        separator,
        line("RTC", "rtc"),
        line("Ethernet", "ethernet"),
        line("USB Hub", "usbHub"),
        line("USB Host", "usbHost"),
        line("FTDI", "ftdi"),
        line("mPCIe #1", "mPCIe1"),
        line("Touch", "touch"),
        line("SD Card", "sdCard"),
        line("Ignition", "ignition"),
        line("Temperature", "temperature"),
        line("Voltage", "voltage"),
        line("RFID", "rfidUsb"),
        line("Barcode", "barcodeUsb"),
        line("SAM", "sam"),
        line("Buzzer", "buzzer"),
        line("Front LEDs", "leds"),
        line("Barcode Scan", "barcodeScan"),
        line("Card Scan", "cardScan"),
        line("RFID Manager", "rfidService"),
        // Spelt as the report readers at the depot expect it.
        line("Barocde Manager", "barcodeService"),
        line("Board Manager", "boardService"),
        line("Light Sensor", "lightSensor"),
        line("Display RGB Test", "rgbTest"),
        separator,
    };
    return lines.join(QLatin1Char('\n'));
}

QString DiagnosticsReport::qrPayload() const
{
    QStringList fields;
    for (const Value& value : m_values)
        fields << value.second;
    return fields.join(QLatin1Char(';'));
}
