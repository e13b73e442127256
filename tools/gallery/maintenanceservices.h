#pragma once

#include "board.h"
#include "clock.h"
#include "config.h"
#include "diagnostics.h"
#include "eventmanager.h"
#include "inspector.h"
#include "mqttclient.h"
#include "network.h"
#include "update.h"
#include "validator.h"

#include <QPair>
#include <QString>
#include <QTemporaryDir>
#include <QVector>

class QQmlContext;
class StandInManager;

// The service proxies of the maintenance pages, for the window shown without the rest of the
// program: the program's own classes on a client that never connects, filled with the state
// the simulated services report at start, a few events and self-test results. The pages read
// exactly what they read in the program; requests they make go nowhere.
class MaintenanceServices
{
public:
    MaintenanceServices();

    // Sets the context properties the pages use and hands the manager its members.
    void install(QQmlContext* context, StandInManager& manager);

    manager::MqttClient& client() { return m_client; }
    Diagnostics& diagnostics() { return m_diagnostics; }

    static const QVector<QPair<QString, QByteArray>>& sampleState();

private:
    QTemporaryDir m_dir;
    Config m_config;
    QString m_deviceId = QStringLiteral("K20261207");
    manager::MqttClient m_client;
    manager::Validator m_validator;
    manager::Board m_board;
    manager::Inspector m_inspector;
    manager::Network m_network;
    manager::Update m_update;
    manager::Clock m_clock;
    EventManager m_eventLog;
    Diagnostics m_diagnostics;
};
