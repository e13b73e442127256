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
    // A barcode is checked whole before anything is sent: a half-applied one (the address
    // of the on-board computer wiped, the interface given markup for an address) would leave
    // the validator worse off than a refused one.
    const QString fault = firstFault(barcode);
    if (!fault.isEmpty()) {
        qWarning().noquote().nospace() << "[GUIManager] WARN: Maintenance barcode refused : " << fault;
        m_inspector.audioPlay(Sounds::invalid());
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

QString MaintenanceBarcodeApplier::firstFault(const manager::MaintenanceBarcode& barcode)
{
    // What reaches the log of a scanned text: the password of an address masked while the
    // text is one whole value, then plain and bounded.
    const auto shown = [](const QString& text) {
        const QString masked = SecretMask::maskUrlValue(text);
        return masked.size() > 64 ? masked.left(64) + QStringLiteral("...") : masked;
    };
    if (barcode.hasValidator) {
        // The validation service reads host, port, user and password out of it; without the
        // scheme a text such as "user:password@host" reads as a scheme and a path.
        const QUrl url = barcode.obcUrl();
        if (!url.isValid() || url.scheme() != QLatin1String("mqtt") || url.host().isEmpty())
            return QStringLiteral("OBC URL is not valid (mqtt://host expected) : ") + shown(barcode.obc);
    }
    if (barcode.hasEthernet && barcode.isManual()) {
        // As the Ethernet page checks its fields: address and netmask needed, the rest optional.
        const QList<QPair<QString, QString>> fields {
            { QStringLiteral("Address"), barcode.address }, { QStringLiteral("Netmask"), barcode.netmask },
            { QStringLiteral("Gateway"), barcode.gateway }, { QStringLiteral("DNS #0"), barcode.dns0 },
            { QStringLiteral("DNS #1"), barcode.dns1 },
        };
        for (int i = 0; i < fields.size(); ++i) {
            const QString& value = fields.at(i).second;
            if ((i < 2 || !value.isEmpty()) && !IPv4::isAddress(value))
                return fields.at(i).first + QStringLiteral(" is not a valid IPv4 address : ") + shown(value);
        }
    }
    return QString();
}

void MaintenanceBarcodeApplier::applyValidator(const manager::MaintenanceBarcode& barcode, QStringList& lines)
{
    const QUrl url = barcode.obcUrl();
    qInfo().noquote().nospace() << "[GUIManager] Applying Validator configuration";
    // Shown on the screen and logged: the address, never the password in it. The password goes
    // while the address is still a URL; its text form would have to be taken apart again.
    QUrl shown = url;
    if (!shown.password().isEmpty())
        shown.setPassword(SecretMask::Mask);
    lines << QStringLiteral("OBC : %1").arg(SecretMask::maskUrlValue(shown.toString()));
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
