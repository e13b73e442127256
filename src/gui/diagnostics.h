#pragma once

#include "diagnosticsreport.h"
#include "serialloopback.h"
#include "serialportlist.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace manager {
class Board;
class Network;
class Update;
class Validator;
} // namespace manager

// Where the diagnostics look. Tests point these into a temporary folder.
struct DiagnosticsPaths
{
    QString usbRoot = QStringLiteral("/sys/bus/usb/devices");
    QString sdCard = QStringLiteral("/dev/mmcblk1p1");
    // A pseudo-terminal link that a desk set-up may offer for the serial test.
    QString virtualPort = QStringLiteral("/tmp/vcom");
    QString osRelease = QStringLiteral("/etc/os-release");
};

// The hardware self-test behind the maintenance "Diagnostics" page, `manager.diagnostics`.
// Every value is a short text: "OK", "ERROR", "MISSING", a text beginning with "ERROR", or
// empty while untested. Three kinds of value meet here:
// - the periodic check (USB devices on their hub ports, SD card, serial loop-back, port list),
//   run by start() and then by the timer while the page is open;
// - values computed from the proxies at every read, notified when the proxy's value changes;
// - manual results that the page writes after asking the technician.
// saveReport() writes the results to a text file in the working directory and generateQr()
// gives the same results as a QR code image; both are made by DiagnosticsReport, and so is the
// copy that saveReport() hands on (reportMade) for the depot. Owned by the GUI manager for the
// program's life; results are never reset.
class Diagnostics : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString rtc READ rtc NOTIFY rtcChanged)
    Q_PROPERTY(QString ethernet READ ethernet NOTIFY ethernetChanged)
    Q_PROPERTY(QString usbHub READ usbHub NOTIFY usbHubChanged)
    Q_PROPERTY(QString mPCIe1 READ mPCIe1 NOTIFY mPCIe1Changed)
    Q_PROPERTY(QString rfidUsb READ rfidUsb NOTIFY rfidUsbChanged)
    Q_PROPERTY(QString barcodeUsb READ barcodeUsb NOTIFY barcodeUsbChanged)
    Q_PROPERTY(QString ftdi READ ftdi NOTIFY ftdiChanged)
    Q_PROPERTY(QString usbHost READ usbHost NOTIFY usbHostChanged)
    Q_PROPERTY(QString touch READ touch NOTIFY touchChanged)
    Q_PROPERTY(QString sdCard READ sdCard NOTIFY sdCardChanged)
    Q_PROPERTY(QString buzzer READ buzzer WRITE setBuzzer NOTIFY buzzerChanged)
    Q_PROPERTY(QString leds READ leds WRITE setLeds NOTIFY ledsChanged)
    Q_PROPERTY(QString ignition READ ignition NOTIFY ignitionChanged)
    Q_PROPERTY(QString temperature READ temperature NOTIFY temperatureChanged)
    Q_PROPERTY(QString voltage READ voltage NOTIFY voltageChanged)
    Q_PROPERTY(QString sam READ sam NOTIFY samChanged)
    Q_PROPERTY(QString speaker READ speaker WRITE setSpeaker NOTIFY speakerChanged)
    Q_PROPERTY(QString barcodeScan READ barcodeScan WRITE setBarcodeScan NOTIFY barcodeScanChanged)
    Q_PROPERTY(QString cardScan READ cardScan WRITE setCardScan NOTIFY cardScanChanged)
    Q_PROPERTY(QString rfidService READ rfidService NOTIFY rfidServiceChanged)
    Q_PROPERTY(QString barcodeService READ barcodeService NOTIFY barcodeServiceChanged)
    Q_PROPERTY(QString boardService READ boardService NOTIFY boardServiceChanged)
    Q_PROPERTY(QString lightSensor READ lightSensor WRITE setLightSensor NOTIFY lightSensorChanged)
    Q_PROPERTY(QString rgbTest READ rgbTest WRITE setRgbTest NOTIFY rgbTestChanged)
    Q_PROPERTY(QString poleId READ poleId NOTIFY poleIdChanged)
    Q_PROPERTY(QString serialPortTest READ serialPortTest NOTIFY serialPortTestChanged)
    Q_PROPERTY(QStringList serialPorts READ serialPorts NOTIFY serialPortsChanged)
    Q_PROPERTY(QString serialPort READ serialPort WRITE setSerialPort NOTIFY serialPortChanged)
    Q_PROPERTY(int serialFlowCtrl READ serialFlowCtrl WRITE setSerialFlowCtrl NOTIFY serialFlowCtrlChanged)

public:
    // One expected USB device: `id` is "vvvv:pppp" in lower-case hexadecimal, or "*" for any
    // device; `port` is its directory name under the USB device root.
    struct UsbDevice
    {
        QString name;
        QString id;
        QString port;
    };
    // Hub, mPCIe slot, RFID reader, USB host, FTDI, barcode reader, touch controller.
    static const QList<UsbDevice>& usbDevices();

    using Paths = DiagnosticsPaths;
    using PortLister = std::function<QList<SerialPortEntry>()>;
    using Clock = std::function<QDateTime()>;

    // Keeps references: the device id and the proxies are read at the moment of use.
    Diagnostics(const QString& deviceId, manager::Board& board, manager::Network& network,
                manager::Validator& validator, const manager::Update& update, const Paths& paths = Paths(),
                QObject* parent = nullptr);

    // Seams for tests and benchmarks: the ports the system reports (empty: the system's own
    // list), and local "now".
    void setPortLister(PortLister lister);
    void setClock(Clock clock);
    // Where the checks look; a test that runs the whole program points them at a fake tree.
    void setPaths(const Paths& paths) { m_paths = paths; }

    QString rtc() const;
    QString ethernet() const;
    QString usbHub() const { return m_usb[0]; }
    QString mPCIe1() const { return m_usb[1]; }
    QString rfidUsb() const { return m_usb[2]; }
    QString usbHost() const { return m_usb[3]; }
    QString ftdi() const { return m_usb[4]; }
    QString barcodeUsb() const { return m_usb[5]; }
    QString touch() const { return m_usb[6]; }
    QString sdCard() const { return m_sdCard; }
    QString buzzer() const { return m_buzzer; }
    QString leds() const { return m_leds; }
    QString ignition() const;
    QString temperature() const;
    QString voltage() const;
    QString sam() const;
    QString speaker() const { return m_speaker; }
    QString barcodeScan() const { return m_barcodeScan; }
    QString cardScan() const { return m_cardScan; }
    QString rfidService() const;
    QString barcodeService() const;
    QString boardService() const;
    QString lightSensor() const { return m_lightSensor; }
    QString rgbTest() const { return m_rgbTest; }
    QString poleId() const;
    QString serialPortTest() const { return m_serialPortTest; }
    QStringList serialPorts() const { return m_serialPorts; }
    QString serialPort() const { return m_serialPort; }
    int serialFlowCtrl() const { return m_serialFlowCtrl; }

    void setBuzzer(const QString& value);
    void setLeds(const QString& value);
    void setSpeaker(const QString& value);
    void setBarcodeScan(const QString& value);
    void setCardScan(const QString& value);
    void setLightSensor(const QString& value);
    void setRgbTest(const QString& value);
    void setSerialPort(const QString& value);
    void setSerialFlowCtrl(int value);

    // One check now: USB devices, SD card, serial loop-back, then the port list.
    void check();
    // The report of the results now (by the clock), as saveReport() writes it and the QR
    // code carries it.
    DiagnosticsReport report() const;
    // The device facts at the head of the report.
    QString deviceId() const { return m_deviceId; }
    QString samUid() const;
    QString barcodeFirmware() const;
    QString rfidFirmware() const;
    QString boardFirmware() const;
    QString bundleVersion() const;
    QString imageVersion() const;

    const QTimer& checkTimer() const { return m_timer; }

public slots:
    void start(int intervalSec);
    void start();
    void stop();
    void saveReport();
    QString generateQr();
    QString serialPortDescr(const QString& portName);

signals:
    void saveReportFinished(bool result, const QString& message);
    // The technician finished the test (saveReport()): the report as the depot reads it
    // (DiagnosticsReport::toPublication()), whether or not the file could be written.
    void reportMade(const QVariantMap& report);

    void rtcChanged();
    void ethernetChanged();
    void usbHubChanged();
    void mPCIe1Changed();
    void rfidUsbChanged();
    void barcodeUsbChanged();
    void ftdiChanged();
    void usbHostChanged();
    void touchChanged();
    void sdCardChanged();
    void buzzerChanged();
    void ledsChanged();
    void ignitionChanged();
    void temperatureChanged();
    void voltageChanged();
    void samChanged();
    void speakerChanged();
    void barcodeScanChanged();
    void cardScanChanged();
    void rfidServiceChanged();
    void barcodeServiceChanged();
    void boardServiceChanged();
    void lightSensorChanged();
    void rgbTestChanged();
    void poleIdChanged();
    void serialPortTestChanged();
    void serialPortsChanged();
    void serialPortChanged();
    void serialFlowCtrlChanged();

private:
    void wire();
    QString testUsb(const UsbDevice& device) const;
    QString readSysfsText(const QString& path) const;
    QString testSerial(const QList<SerialPortEntry>& present) const;
    void refreshSerialPorts(const QList<SerialPortEntry>& present);
    void assign(QString& field, const QString& value, void (Diagnostics::*changed)());

    const QString& m_deviceId;
    manager::Board& m_board;
    manager::Network& m_network;
    manager::Validator& m_validator;
    const manager::Update& m_update;
    Paths m_paths;
    SerialPortList m_systemPorts;
    PortLister m_portLister;
    Clock m_clock;
    QTimer m_timer;

    QString m_usb[7];
    QString m_sdCard;
    QString m_serialPortTest;
    QStringList m_serialPorts;
    QString m_serialPort = QStringLiteral("NONE");
    int m_serialFlowCtrl = SerialLoopback::HardwareFlowControl;

    QString m_buzzer;
    QString m_leds;
    QString m_speaker;
    QString m_barcodeScan;
    QString m_cardScan;
    QString m_lightSensor;
    QString m_rgbTest;
};
