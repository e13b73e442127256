#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class SessionManager;

namespace manager {
class Board;
class Inspector;
class Network;
class Validator;
struct MaintenanceBarcode;
} // namespace manager

// Applies a maintenance configuration barcode read during a maintenance session: the on-board
// computer's address goes to the validation service, fixed or automatic addressing to the wired
// interface "eth0". What was applied is confirmed with the valid sound and LED and listed in
// `applied` for the settings pages. Outside a session a barcode changes nothing. A barcode with
// an address that is not "mqtt://" with a host, or fixed addressing with a value that is not an
// IPv4 address, is refused whole with the invalid sound and one warning line, before anything
// is sent.
class MaintenanceBarcodeApplier : public QObject
{
    Q_OBJECT
public:
    MaintenanceBarcodeApplier(const SessionManager& session, manager::Validator& validator,
                              manager::Network& network, manager::Inspector& inspector, manager::Board& board,
                              QObject* parent = nullptr);

    // Why the barcode cannot be applied, as one line of plain text; empty when it can.
    static QString firstFault(const manager::MaintenanceBarcode& barcode);

public slots:
    void apply(const manager::MaintenanceBarcode& barcode);

signals:
    // One "Name : value" line per applied setting.
    void applied(const QStringList& lines);

private:
    void applyValidator(const manager::MaintenanceBarcode& barcode, QStringList& lines);
    void applyEthernet(const manager::MaintenanceBarcode& barcode, QStringList& lines);

    const SessionManager& m_session;
    manager::Validator& m_validator;
    manager::Network& m_network;
    manager::Inspector& m_inspector;
    manager::Board& m_board;
};
