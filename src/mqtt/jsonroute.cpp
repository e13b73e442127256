#include "jsonroute.h"

#include "payloadreader.h"

#include <QDebug>

namespace manager {

MqttClient::Handler jsonHandler(const QString& tag, EmptyPayload empty, JsonHandler handler)
{
    return [tag, empty, handler = std::move(handler)](const QByteArray& payload, const QString& topic) {
        QJsonObject object;
        QString error;
        const bool refused = empty == EmptyPayload::Refused && payload.isEmpty();
        if (refused || !PayloadReader::parse(payload, &object, &error)) {
            auto line = qCritical().noquote().nospace();
            line << tag << "Failed to parse JSON message: ";
            if (empty == EmptyPayload::Refused)
                line << PayloadReader::brief(PayloadReader::masked(payload));
            else
                line << error;
            return;
        }
        handler(object, topic);
    };
}

} // namespace manager
