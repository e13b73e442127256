#include "diagnostics.h"

#include "board.h"
#include "ethernet.h"
#include "network.h"
#include "qrcodegenerator.h"
#include "sam.h"
#include "update.h"
#include "validator.h"
#include "validatorbarcode.h"
#include "validatorrfid.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>

namespace {

const QString Ok = QStringLiteral("OK");
const QString Error = QStringLiteral("ERROR");
const QString Missing = QStringLiteral("MISSING");
const QString NoPort = QStringLiteral("NONE");
const QString PreferredPort = QStringLiteral("ttyUSB0");
const QString NoSam = QStringLiteral("SAM not present");

// sysfs attributes are one short line; a fake or broken tree must not make us read more.
constexpr qint64 MaxSysfsBytes = 4096;
constexpr qint64 MaxOsReleaseBytes = 64 * 1024;

QString okIf(bool condition)
{
    return condition ? Ok : Error;
}

// A value of /etc/os-release: KEY=value, optionally in single or double quotes.
QString osReleaseValue(const QString& path, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    const QList<QByteArray> lines = file.read(MaxOsReleaseBytes).split('\n');
    const QByteArray prefix = key.toUtf8() + '=';
    for (const QByteArray& raw : lines) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith(prefix))
            continue;
        QByteArray value = line.mid(prefix.size());
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return QString::fromUtf8(value);
    }
    return QString();
}

} // namespace

const QList<Diagnostics::UsbDevice>& Diagnostics::usbDevices()
{
    static const QList<UsbDevice> devices {
        { QStringLiteral("USB Hub #1"), QStringLiteral("0451:2077"), QStringLiteral("1-1") },
        { QStringLiteral("mPCIE #1"), QStringLiteral("*"), QStringLiteral("1-1.2") },
        { QStringLiteral("RFID"), QStringLiteral("0ab1:0007"), QStringLiteral("1-1.3") },
        { QStringLiteral("USB Host"), QStringLiteral("*"), QStringLiteral("1-1.4") },
        { QStringLiteral("FTDI"), QStringLiteral("0403:6015"), QStringLiteral("1-1.5") },
        { QStringLiteral("Barcode"), QStringLiteral("*"), QStringLiteral("1-1.6") },
        { QStringLiteral("Touch"), QStringLiteral("222a:0001"), QStringLiteral("1-1.7") },
    };
    return devices;
}

Diagnostics::Diagnostics(const QString& deviceId, manager::Board& board, manager::Network& network,
                         manager::Validator& validator, const manager::Update& update, const Paths& paths,
                         QObject* parent)
    : QObject(parent)
    , m_deviceId(deviceId)
    , m_board(board)
    , m_network(network)
    , m_validator(validator)
    , m_update(update)
    , m_paths(paths)
    , m_portLister([this] { return m_systemPorts.ports(); })
    , m_clock(&QDateTime::currentDateTime)
{
    m_timer.setObjectName(QStringLiteral("diagnosticsTimer"));
    connect(&m_timer, &QTimer::timeout, this, &Diagnostics::check);
    wire();
}

void Diagnostics::setPortLister(PortLister lister)
{
    if (!lister)
        lister = [this] { return m_systemPorts.ports(); };
    m_portLister = std::move(lister);
}

void Diagnostics::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(&QDateTime::currentDateTime);
}

void Diagnostics::wire()
{
    connect(&m_board, &manager::Board::rtcFailedChanged, this, &Diagnostics::rtcChanged);
    connect(&m_board, &manager::Board::ignitionChanged, this, &Diagnostics::ignitionChanged);
    connect(&m_board, &manager::Board::temperatureChanged, this, &Diagnostics::temperatureChanged);
    connect(&m_board, &manager::Board::voltageChanged, this, &Diagnostics::voltageChanged);
    connect(&m_board, &manager::Board::statusChanged, this, &Diagnostics::boardServiceChanged);
    connect(&m_board, &manager::Board::poleIdChanged, this, &Diagnostics::poleIdChanged);
    // The network proxy keeps one Ethernet object for life and never signals a new one; the
    // link state changes inside it.
    connect(&m_network, &manager::Network::ethernetChanged, this, &Diagnostics::ethernetChanged);
    if (manager::Ethernet* ethernet = m_network.ethernet())
        connect(ethernet, &manager::Ethernet::stateChanged, this, &Diagnostics::ethernetChanged);
    ValidatorRfid* rfid = m_validator.rfid();
    connect(rfid, &ValidatorRfid::activeChanged, this, &Diagnostics::rfidServiceChanged);
    // The SAM verdict depends on the reader being active as much as on its SAM record.
    connect(rfid, &ValidatorRfid::samChanged, this, &Diagnostics::samChanged);
    connect(rfid, &ValidatorRfid::activeChanged, this, &Diagnostics::samChanged);
    connect(m_validator.barcode(), &ValidatorBarcode::activeChanged, this, &Diagnostics::barcodeServiceChanged);
}

// ---------------------------------------------------------------------------------------------
// Computed values

QString Diagnostics::rtc() const
{
    return okIf(!m_board.rtcFailed());
}

QString Diagnostics::ethernet() const
{
    const manager::Ethernet* ethernet = m_network.ethernet();
    return okIf(ethernet && ethernet->state() == QLatin1String("Connected"));
}

QString Diagnostics::ignition() const
{
    return okIf(m_board.ignition());
}

QString Diagnostics::temperature() const
{
    const double celsius = m_board.temperature();
    return okIf(celsius > 15.0 && celsius < 70.0);
}

QString Diagnostics::voltage() const
{
    const double volts = m_board.voltage();
    return okIf(volts > 9.0 && volts < 40.0);
}

QString Diagnostics::sam() const
{
    const ValidatorRfid* rfid = m_validator.rfid();
    if (!rfid->active())
        return Error;
    const SAM* sam = rfid->sam();
    if (!sam)
        return Missing;
    return okIf(!sam->atr().isEmpty());
}

QString Diagnostics::rfidService() const
{
    return okIf(m_validator.rfid()->active());
}

QString Diagnostics::barcodeService() const
{
    return okIf(m_validator.barcode()->active());
}

QString Diagnostics::boardService() const
{
    return okIf(m_board.status() == QLatin1String("online"));
}

QString Diagnostics::poleId() const
{
    const QString id = m_board.poleId();
    if (id.isEmpty())
        return Missing;
    return okIf(id != QLatin1String("0000000000000000"));
}

// ---------------------------------------------------------------------------------------------
// Writable values

void Diagnostics::assign(QString& field, const QString& value, void (Diagnostics::*changed)())
{
    if (field == value)
        return;
    field = value;
    emit(this->*changed)();
}

void Diagnostics::setBuzzer(const QString& value)
{
    assign(m_buzzer, value, &Diagnostics::buzzerChanged);
}

void Diagnostics::setLeds(const QString& value)
{
    assign(m_leds, value, &Diagnostics::ledsChanged);
}

void Diagnostics::setSpeaker(const QString& value)
{
    assign(m_speaker, value, &Diagnostics::speakerChanged);
}

void Diagnostics::setBarcodeScan(const QString& value)
{
    assign(m_barcodeScan, value, &Diagnostics::barcodeScanChanged);
}

void Diagnostics::setCardScan(const QString& value)
{
    assign(m_cardScan, value, &Diagnostics::cardScanChanged);
}

void Diagnostics::setLightSensor(const QString& value)
{
    assign(m_lightSensor, value, &Diagnostics::lightSensorChanged);
}

void Diagnostics::setRgbTest(const QString& value)
{
    assign(m_rgbTest, value, &Diagnostics::rgbTestChanged);
}

void Diagnostics::setSerialPort(const QString& value)
{
    if (m_serialPort == value)
        return;
    qWarning().noquote().nospace() << "[Diagnostics] ------------- Serial Port changed : " << value;
    m_serialPort = value;
    emit serialPortChanged();
}

void Diagnostics::setSerialFlowCtrl(int value)
{
    if (m_serialFlowCtrl == value)
        return;
    qWarning().noquote().nospace() << "[Diagnostics] ------------- Serial Flow ctrl changed : " << value;
    m_serialFlowCtrl = value;
    emit serialFlowCtrlChanged();
}

// ---------------------------------------------------------------------------------------------
// The check

void Diagnostics::start(int intervalSec)
{
    qInfo().noquote().nospace() << "[Diagnostics] Starting Diagnostic check (interval=" << intervalSec << " sec)";
    check();
    if (intervalSec > 0) {
        m_timer.start(int(qMin<qint64>(qint64(intervalSec) * 1000, std::numeric_limits<int>::max())));
    } else {
        // A negative interval cannot repeat; 0 is the documented "once".
        if (intervalSec < 0)
            qWarning().noquote().nospace() << "[Diagnostics] WARN: Negative check interval, checked once";
        m_timer.stop();
    }
}

void Diagnostics::start()
{
    start(1);
}

void Diagnostics::stop()
{
    qInfo().noquote().nospace() << "[Diagnostics] Stopping Diagnostic check";
    m_timer.stop();
}

void Diagnostics::check()
{
    static void (Diagnostics::*const usbSignals[7])() = {
        &Diagnostics::usbHubChanged, &Diagnostics::mPCIe1Changed, &Diagnostics::rfidUsbChanged,
        &Diagnostics::usbHostChanged, &Diagnostics::ftdiChanged, &Diagnostics::barcodeUsbChanged,
        &Diagnostics::touchChanged,
    };
    const QList<UsbDevice>& devices = usbDevices();
    for (int i = 0; i < devices.size(); ++i)
        assign(m_usb[i], testUsb(devices.at(i)), usbSignals[i]);

    assign(m_sdCard, QFileInfo::exists(m_paths.sdCard) ? Ok : Missing, &Diagnostics::sdCardChanged);

    // One look at the system serves both steps; the loop-back still runs before the list
    // changes, so a newly found "ttyUSB0" is tested from the next check on.
    const QList<SerialPortEntry> present = m_portLister();
    assign(m_serialPortTest, testSerial(present), &Diagnostics::serialPortTestChanged);
    refreshSerialPorts(present);
}

QString Diagnostics::readSysfsText(const QString& path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qCritical().noquote().nospace() << "[Diagnostics] ERROR: Failed to open fle : " << path;
        return QString();
    }
    return QString::fromUtf8(file.read(MaxSysfsBytes)).trimmed();
}

QString Diagnostics::testUsb(const UsbDevice& device) const
{
    const QString directory = m_paths.usbRoot + QLatin1Char('/') + device.port;
    if (!QFileInfo(directory).isDir())
        return Missing;
    // Slots that take whatever is plugged in only need something there.
    if (device.id == QLatin1String("*") || device.id == QLatin1String("any"))
        return Ok;
    const QString prefix = directory + QLatin1Char('/');
    const QString found = readSysfsText(prefix + QStringLiteral("idVendor")) + QLatin1Char(':')
        + readSysfsText(prefix + QStringLiteral("idProduct"));
    const QString product = readSysfsText(prefix + QStringLiteral("product"));
    qDebug().noquote().nospace() << "[Diagnostics] name=" << device.name << " deviceId=" << found
                                 << " expected=" << device.id << " product=" << product;
    return okIf(found.contains(device.id));
}

QString Diagnostics::testSerial(const QList<SerialPortEntry>& present) const
{
    if (m_serialPort.isEmpty() || m_serialPort == NoPort)
        return Missing;
    // A name the system does not list is opened as given, so a path such as "/tmp/vcom" works.
    QString location = m_serialPort;
    for (const SerialPortEntry& port : present) {
        if (port.name == m_serialPort) {
            location = port.systemLocation;
            break;
        }
    }
    return SerialLoopback::run(location, m_serialFlowCtrl);
}

void Diagnostics::refreshSerialPorts(const QList<SerialPortEntry>& present)
{
    QStringList ports { NoPort };
    for (const SerialPortEntry& port : present)
        ports.append(port.name);
    if (QFileInfo::exists(m_paths.virtualPort))
        ports.append(m_paths.virtualPort);
    if (ports != m_serialPorts) {
        m_serialPorts = ports;
        emit serialPortsChanged();
    }
    // The production loop-back plug sits on the USB serial adapter: whenever it is there it is
    // the port tested, whatever was picked in between.
    if (m_serialPorts.contains(PreferredPort))
        setSerialPort(PreferredPort);
}

QString Diagnostics::serialPortDescr(const QString& portName)
{
    const QList<SerialPortEntry> present = m_portLister();
    for (const SerialPortEntry& port : present) {
        if (port.name == portName)
            return port.description;
    }
    return QString();
}

// ---------------------------------------------------------------------------------------------
// Report and QR code

DiagnosticsReport Diagnostics::report() const
{
    return DiagnosticsReport(*this, m_clock());
}

QString Diagnostics::samUid() const
{
    const SAM* sam = m_validator.rfid()->sam();
    return sam ? sam->uid() : NoSam;
}

QString Diagnostics::barcodeFirmware() const
{
    return m_validator.barcode()->firmware();
}

QString Diagnostics::rfidFirmware() const
{
    return m_validator.rfid()->firmware();
}

QString Diagnostics::boardFirmware() const
{
    return m_board.info().value(QStringLiteral("firmware")).toString();
}

QString Diagnostics::bundleVersion() const
{
    return m_update.current();
}

QString Diagnostics::imageVersion() const
{
    return osReleaseValue(m_paths.osRelease, QStringLiteral("IMAGE_VERSION"));
}

void Diagnostics::saveReport()
{
    const QDateTime now = m_clock();
    const DiagnosticsReport report(*this, now);
    emit reportMade(report.toPublication());
    const QString text = report.text();
    const QString fileName = DiagnosticsReport::fileName(now);
    qInfo().noquote().nospace() << "[Diagnostics] \n" << text;
    qInfo().noquote().nospace() << "[Diagnostics] Saving Diagnostics report to : " << fileName;

    // Written beside and renamed over: a power cut leaves the old file or the whole new one.
    QSaveFile file(fileName);
    QString error;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        error = file.errorString();
    } else {
        const QByteArray bytes = text.toUtf8();
        if (file.write(bytes) != bytes.size() || !file.commit())
            error = file.errorString();
    }
    if (!error.isEmpty()) {
        qCritical().noquote().nospace() << "[Diagnostics] ERROR: Could not save file : " << error;
        emit saveReportFinished(false, QStringLiteral("Could not save Test Report\nERROR: ") + error);
        return;
    }
    emit saveReportFinished(true, QStringLiteral("Test report saved successfully:\n") + fileName);
}

QString Diagnostics::generateQr()
{
    const QString svg = QrCodeGenerator().generateSvgQr(report().qrPayload(), 1, qrcodegen::QrCode::Ecc::MEDIUM);
    // No image rather than a broken one: the page shows nothing for an empty source.
    if (svg.isEmpty())
        return QString();
    return QStringLiteral("data:image/svg,") + svg;
}
