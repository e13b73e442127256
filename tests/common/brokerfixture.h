#pragma once

#include <QString>
#include <QStringList>

#include <memory>

#include "mqttclient.h"
#include "mqttpeer.h"
#include "testbroker.h"

// The wire set-up of a proxy test: a private broker, a peer listening to the topics the test
// watches, and a client pointed at the broker. Build the proxy on client before connecting it,
// so that the proxy sees the first connection as it does in the program.
//
//     BrokerFixture wire;
//     QVERIFY(wire.start({Base + "/#"}));
//     manager::Board board(wire.client, Base);
//     QVERIFY(wire.connectClient());
struct BrokerFixture
{
    TestBroker broker;
    std::unique_ptr<MqttPeer> peer;   // made by start() once the broker runs
    manager::MqttClient client;

    // Starts the broker and the peer, subscribes the peer to topics, waits up to ms until those
    // subscriptions are in force, and points client at the broker. False at the first step
    // that fails.
    bool start(const QStringList& topics, int ms = 5000);
    // Connects client and waits for the connection.
    bool connectClient(int ms = 5000);
};
