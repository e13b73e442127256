#include "maintenanceservices.h"

#include "event.h"
#include "guimanager.h"
#include "standinmanager.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QQmlContext>

namespace {

DiagnosticsPaths samplePaths(const QString& root)
{
    // Six of the seven devices on their ports, the barcode reader's port empty, an SD card.
    const struct { const char* port; const char* vendor; const char* product; } devices[] = {
        { "1-1", "0451", "2077" }, { "1-1.2", "8087", "0aaa" }, { "1-1.3", "0ab1", "0007" },
        { "1-1.4", "1d6b", "0002" }, { "1-1.5", "0403", "6015" }, { "1-1.7", "222a", "0001" },
    };
    QDir usb(root + QStringLiteral("/usb"));
    for (const auto& device : devices) {
        const QString port = QString::fromLatin1(device.port);
        usb.mkpath(port);
        const auto write = [&](const char* name, const QByteArray& text) {
            QFile file(usb.filePath(port + QLatin1Char('/') + QLatin1String(name)));
            if (file.open(QIODevice::WriteOnly))
                file.write(text + '\n');
        };
        write("idVendor", device.vendor);
        write("idProduct", device.product);
        write("product", "Device");
    }
    QFile sdCard(root + QStringLiteral("/mmcblk1p1"));
    if (sdCard.open(QIODevice::WriteOnly))
        sdCard.close();
    DiagnosticsPaths paths;
    paths.usbRoot = usb.path();
    paths.sdCard = sdCard.fileName();
    paths.virtualPort = root + QStringLiteral("/vcom");
    paths.osRelease = root + QStringLiteral("/os-release");
    return paths;
}

} // namespace

MaintenanceServices::MaintenanceServices()
    : m_config(m_dir.filePath(QStringLiteral("gui.conf")), GUIManager::Defaults)
    , m_validator(m_client, m_config.get(QStringLiteral("topics/blm")).toString())
    , m_board(m_client, m_config.get(QStringLiteral("topics/board")).toString())
    , m_inspector(m_client, m_config.get(QStringLiteral("topics/inspector")).toString())
    , m_network(m_client, m_config.get(QStringLiteral("topics/network")).toString())
    , m_update(m_client, m_config.get(QStringLiteral("topics/device")).toString())
    , m_clock(m_client, m_config.get(QStringLiteral("topics/device")).toString())
    , m_eventLog(m_config, m_dir.path())
    , m_diagnostics(m_deviceId, m_board, m_network, m_validator, m_update, samplePaths(m_dir.path()))
{
    for (const auto& message : sampleState())
        m_client.dispatch(message.second, message.first);

    const QDateTime now = QDateTime::currentDateTime();
    m_eventLog.push(new Event(QStringLiteral("System"), QStringLiteral("Application started"), QString(),
                              now.addDays(-1).addSecs(-3 * 3600)));
    m_eventLog.push(new Event(QStringLiteral("Board"), QStringLiteral("Ignition on"), QString(),
                              now.addDays(-1).addSecs(-3 * 3600 + 40)));
    m_eventLog.push(new Event(QStringLiteral("Board"), QStringLiteral("Ignition off"), QString(),
                              now.addSecs(-5 * 3600)));
    m_eventLog.push(new Event(QStringLiteral("Board"), QStringLiteral("Ignition on"), QString(),
                              now.addSecs(-2 * 3600)));
    m_eventLog.push(new Event(QStringLiteral("User"), QStringLiteral("Login"),
                              QStringLiteral("Maintenance Technician (id 1)"), now.addSecs(-60)));

    m_diagnostics.start(0);
    m_diagnostics.setBuzzer(QStringLiteral("OK"));
    m_diagnostics.setLeds(QStringLiteral("ERROR"));
    m_diagnostics.setSpeaker(QStringLiteral("OK"));
}

void MaintenanceServices::install(QQmlContext* context, StandInManager& manager)
{
    context->setContextProperty(QStringLiteral("board"), &m_board);
    context->setContextProperty(QStringLiteral("inspector"), &m_inspector);
    context->setContextProperty(QStringLiteral("network"), &m_network);
    context->setContextProperty(QStringLiteral("validatorManager"), &m_validator);
    context->setContextProperty(QStringLiteral("eventLogManager"), &m_eventLog);
    manager.setMaintenanceObjects(&m_clock, &m_update, &m_diagnostics);
}
