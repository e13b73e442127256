#pragma once

#include "board.h"
#include "diagnostics.h"
#include "mqttclient.h"
#include "network.h"
#include "update.h"
#include "validator.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <memory>

// The proxies the diagnostics read, fed the way their services feed them, over a fake USB device
// tree, SD node and os-release in a temporary folder.
class DiagnosticsRig
{
public:
    DiagnosticsRig()
    {
        m_paths.usbRoot = m_dir.filePath(QStringLiteral("usb"));
        m_paths.sdCard = m_dir.filePath(QStringLiteral("mmcblk1p1"));
        m_paths.virtualPort = m_dir.filePath(QStringLiteral("vcom"));
        m_paths.osRelease = m_dir.filePath(QStringLiteral("os-release"));
        QDir().mkpath(m_paths.usbRoot);
        diagnostics = std::make_unique<Diagnostics>(deviceId, board, network, validator, update, m_paths);
        // No real serial port leaks into a test unless it asks for one.
        diagnostics->setPortLister([] { return QList<SerialPortEntry>(); });
    }

    // A validator mid-test: every service reported, the hub and SD card found, manual results
    // partly given, some of them in Greek.
    void fillKnownState()
    {
        deviceId = QStringLiteral("ΑΘΗ-0042");
        boardStatus(R"({"active": true, "ignition": true, "poleId": "P-17", "temperature": 41.5, "voltage": 24.25,
                        "hardwareStatus": {"rtcFailed": false}})");
        send(QStringLiteral("orvo/board/info"), R"({"device": {"firmwareVersion": "4.2.0"}})");
        send(QStringLiteral("orvo/network/ethernet/state"), R"({"interface": "eth0", "stateStr": "Connected"})");
        send(QStringLiteral("orvo/device/status"), R"({"update": {"software": "2026.11"}})");
        writeFile(m_paths.osRelease, "NAME=\"Orvo OS\"\nIMAGE_VERSION=\"img-7 (Αθήνα)\"\nID=orvo\n");
        ValidatorRfid* rfid = validator.rfid();
        rfid->setActive(true);
        rfid->setFirmware(QStringLiteral("RF 2.1.0"));
        rfid->setSams(QJsonArray { QJsonObject { { "uid", "04A1B2C3" }, { "atr", "3B8F8001" } } });
        validator.barcode()->setActive(true);
        validator.barcode()->setFirmware(QStringLiteral("BC 1.0"));
        addUsbDevice(QStringLiteral("1-1"), "0451", "2077");
        addUsbDevice(QStringLiteral("1-1.3"), "0ab1", "0008");
        writeFile(m_paths.sdCard, "");
        diagnostics->check();
        diagnostics->setBuzzer(QStringLiteral("OK"));
        diagnostics->setLeds(QStringLiteral("ERROR"));
        diagnostics->setSpeaker(QStringLiteral("ΣΦΑΛΜΑ"));
        diagnostics->setCardScan(QStringLiteral("OK"));
        diagnostics->setRgbTest(QStringLiteral("OK"));
    }

    const DiagnosticsPaths& paths() const { return m_paths; }
    QString dir() const { return m_dir.path(); }

    void send(const QString& topic, const QByteArray& payload) { client.dispatch(payload, topic); }
    void boardStatus(const QByteArray& device)
    {
        send(QStringLiteral("orvo/board/status"), R"({"service": true, "device": )" + device + "}");
    }

    // A device directory with the given attribute files; a null text leaves that file out.
    void addUsbDevice(const QString& port, const QByteArray& vendor, const QByteArray& product,
                      const QByteArray& name = QByteArray("Device"))
    {
        const QString directory = m_paths.usbRoot + QLatin1Char('/') + port;
        QDir().mkpath(directory);
        writeFile(directory + QStringLiteral("/idVendor"), vendor);
        writeFile(directory + QStringLiteral("/idProduct"), product);
        writeFile(directory + QStringLiteral("/product"), name);
    }
    static void writeFile(const QString& path, const QByteArray& content)
    {
        if (content.isNull())
            return;
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }

    QString deviceId = QStringLiteral("K12345678");
    manager::MqttClient client;
    manager::Board board { client, QStringLiteral("orvo/board") };
    manager::Network network { client, QStringLiteral("orvo/network") };
    manager::Validator validator { client, QStringLiteral("orvo/blm") };
    manager::Update update { client, QStringLiteral("orvo/device") };
    std::unique_ptr<Diagnostics> diagnostics;

private:
    QTemporaryDir m_dir;
    DiagnosticsPaths m_paths;
};
