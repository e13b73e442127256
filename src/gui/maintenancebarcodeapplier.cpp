#include "maintenancebarcodeapplier.h"

#include "board.h"
#include "ethernet.h"
#include "inspector.h"
#include "ipv4.h"
#include "maintenancebarcode.h"
#include "network.h"
#include "secretmask.h"
#include "sessionmanager.h"
#include "sounds.h"
#include "validator.h"
#include "validatorconfig.h"

#include <QDebug>
#include <QUrl>

MaintenanceBarcodeApplier::MaintenanceBarcodeApplier(const SessionManager& session, manager::Validator& validator,
                                                     manager::Network& network, manager::Inspector& inspector,
                                                     manager::Board& board, QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_validator(validator)
    , m_network(network)
    , m_inspector(inspector)
    , m_board(board)
{
}

void MaintenanceBarcodeApplier::apply(const manager::MaintenanceBarcode& barcode)
{
    qInfo().noquote().nospace() << "[GUIManager] Maintenance Barcode scanned";
    if (!m_session.sessionActive()) {
        qWarning().noquote().nospace() << "[GUIManager] WARN: Maintenance session is not active. Ignoring.";
        return;
    }
    QStringList lines;
    if (barcode.hasValidator)
        applyValidator(barcode, lines);
    if (barcode.hasEthernet)
        applyEthernet(barcode, lines);
    if (!lines.isEmpty()) {
        m_inspector.audioPlay(Sounds::valid());
        m_board.setLedValid();
        emit applied(lines);
    }
}

void MaintenanceBarcodeApplier::applyValidator(const manager::MaintenanceBarcode& barcode, QStringList& lines)
{
    const QUrl url = barcode.obcUrl();
    if (!url.isValid()) {
        qWarning().noquote().nospace() << "[GUIManager] WARN: OBC URL is not valid : " << SecretMask::maskUrls(barcode.obc);
        return;
    }
    qInfo().noquote().nospace() << "[GUIManager] Applying Validator configuration";
    // Shown on the screen and logged: the address, never the password in it.
    lines << QStringLiteral("OBC : %1").arg(SecretMask::maskUrls(url.toString()));
    m_validator.config()->setObuUrl(url);
    m_validator.saveConfig();
}

void MaintenanceBarcodeApplier::applyEthernet(const manager::MaintenanceBarcode& barcode, QStringList& lines)
{
    manager::Ethernet* ethernet = m_network.ethernet();
    if (ethernet->interface() != QLatin1String("eth0")) {
        qWarning().noquote().nospace() << "[GUIManager] WARN: Active ethernet interface is not 'eth0' : "
                                       << ethernet->interface();
        return;
    }
    lines << QStringLiteral("Method : %1").arg(barcode.method) << QStringLiteral("Address : %1").arg(barcode.address)
          << QStringLiteral("Netmask : %1").arg(barcode.netmask) << QStringLiteral("Gateway : %1").arg(barcode.gateway)
          << QStringLiteral("DNS #0 : %1").arg(barcode.dns0) << QStringLiteral("DNS #1 : %1").arg(barcode.dns1);
    const bool manual = barcode.isManual();
    IPv4* config = ethernet->config();
    ethernet->setMethod(manual ? QStringLiteral("manual") : QStringLiteral("auto"));
    config->setAddress(manual ? barcode.address : QString());
    config->setMask(manual ? barcode.netmask : QString());
    config->setGateway(manual ? barcode.gateway : QString());
    config->setDns0(manual ? barcode.dns0 : QString());
    config->setDns1(manual ? barcode.dns1 : QString());
    qInfo().noquote().nospace() << "[GUIManager] Applying Ethernet configuration to eth0";
    ethernet->save();
}
