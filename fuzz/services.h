#pragma once

#include "board.h"
#include "clock.h"
#include "config.h"
#include "guimanager.h"
#include "inspector.h"
#include "maintenancebarcodeapplier.h"
#include "mqttclient.h"
#include "network.h"
#include "owntopics.h"
#include "sessionmanager.h"
#include "update.h"
#include "validator.h"

#include "fuzzsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMetaObject>

namespace fuzz {

// The program's MQTT side as the GUI manager builds it: one client, the program's own topics
// and every service proxy, on the default base topics, with a fresh settings file. Built anew
// for each input, so that no state carries over from one input to the next, except for the
// client and the clock proxy: the clock runs timedatectl when it is made, and a process started
// for every input would cost ten times the input itself. They live for the whole run (the
// proxies' routes end with them); the clock's timedatectl is the tests' stand-in (fuzz::start).
struct Services
{
    static manager::MqttClient& sharedClient()
    {
        static manager::MqttClient* client = new manager::MqttClient;
        return *client;
    }
    static manager::Clock& sharedClock()
    {
        static manager::Clock* clock = new manager::Clock(sharedClient(), QStringLiteral("orvo/device"));
        return *clock;
    }

    static QString settingsFile() { return scratchDir() + QStringLiteral("/gui.conf"); }
    static bool freshSettings()
    {
        QFile::remove(settingsFile());
        return true;
    }

    bool fresh = freshSettings();
    manager::MqttClient& client = sharedClient();
    Config config { settingsFile(), GUIManager::Defaults };
    manager::OwnTopics own { client, config, config.get(QStringLiteral("mqtt/base")).toString() };
    manager::Validator validator { client, config.get(QStringLiteral("topics/blm")).toString() };
    manager::Board board { client, config.get(QStringLiteral("topics/board")).toString() };
    manager::Inspector inspector { client, config.get(QStringLiteral("topics/inspector")).toString() };
    manager::Network network { client, config.get(QStringLiteral("topics/network")).toString() };
    manager::Update update { client, config.get(QStringLiteral("topics/device")).toString() };
    manager::Clock& clock = sharedClock();

    // A message as the broker connection hands it over: the client's own debug line first,
    // then every route whose filter matches.
    void receive(const QByteArray& payload, const QString& topic)
    {
        QElapsedTimer timer;
        timer.start();
        QMetaObject::invokeMethod(&client, "onReceived", Qt::DirectConnection, Q_ARG(QByteArray, payload),
                                  Q_ARG(QString, topic));
        noteHandling(timer.nsecsElapsed());
    }

    // A message straight to its routes, as a test feeds one.
    void dispatch(const QByteArray& payload, const QString& topic)
    {
        QElapsedTimer timer;
        timer.start();
        client.dispatch(payload, topic);
        noteHandling(timer.nsecsElapsed());
    }

    // One concrete topic for every subscribed filter, in subscription order: "+" stands for one
    // level, "#" for two.
    QStringList topics() const
    {
        QStringList result;
        const auto subscriptions = client.subscriptions();
        for (const auto& entry : subscriptions) {
            QStringList levels = entry.first.split(QLatin1Char('/'));
            for (QString& level : levels) {
                if (level == QLatin1String("+"))
                    level = QStringLiteral("x");
                else if (level == QLatin1String("#"))
                    level = QStringLiteral("x/y");
            }
            result << levels.join(QLatin1Char('/'));
        }
        return result;
    }
};

// A technician logged in, and the maintenance barcode wired to its applier as the GUI manager
// wires it: what a configuration barcode meets during a session.
struct MaintenanceSession
{
    explicit MaintenanceSession(Services& services)
        : session(withPin(services.config))
        , applier(session, services.validator, services.network, services.inspector, services.board)
    {
        session.loginRequest(QStringLiteral("4242"));
        QObject::connect(&services.validator, &manager::Validator::maintenanceBarcodeScanned, &applier,
                         &MaintenanceBarcodeApplier::apply);
    }
    static Config& withPin(Config& config)
    {
        config.set(QStringLiteral("gui/settingsPin"), QStringLiteral("4242"));
        return config;
    }
    SessionManager session;
    MaintenanceBarcodeApplier applier;
};

} // namespace fuzz
