#pragma once

#include <QJsonObject>
#include <QString>

#include <functional>

#include "mqttclient.h"

namespace manager {

// The receiving side most proxies share: a route whose messages must each be one JSON object,
// parsed before the proxy's handler sees it. A payload that does not parse (or is an array or a
// scalar) is dropped with one critical line, the tag followed by "Failed to parse JSON message: "
// and why, so a garbled message never reaches the mirrored state.
//
//     routeJson(client, base + "/status", this, &Board::handleStatus, QStringLiteral("[Board] "));

enum class EmptyPayload {
    // An empty message reads as "{ }"; a failure line gives the parser's reason.
    AsEmptyObject,
    // An empty message is none of the service's; a failure line shows the (shortened,
    // masked) payload.
    Refused,
};

using JsonHandler = std::function<void(const QJsonObject& object, const QString& topic)>;

// The route handler that parses and then calls handler.
MqttClient::Handler jsonHandler(const QString& tag, EmptyPayload empty, JsonHandler handler);

template <class T>
void routeJson(MqttClient& client, const QString& filter, T* receiver,
               void (T::*method)(const QJsonObject&, const QString&), const QString& tag,
               EmptyPayload empty = EmptyPayload::AsEmptyObject)
{
    client.route(filter, receiver,
                 jsonHandler(tag, empty, [receiver, method](const QJsonObject& object, const QString& topic) {
                     (receiver->*method)(object, topic);
                 }));
}

inline void routeJson(MqttClient& client, const QString& filter, QObject* receiver, JsonHandler handler,
                      const QString& tag, EmptyPayload empty = EmptyPayload::AsEmptyObject)
{
    client.route(filter, receiver, jsonHandler(tag, empty, std::move(handler)));
}

} // namespace manager
