#include "simservice.h"

#include "mqttclient.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonParseError>

#include <utility>

SimService::SimService(manager::MqttClient& client, const QString& base, const QString& tag, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_base(base)
    , m_tag(tag)
{
}

bool SimService::handleMessage(const QByteArray& payload, const QString& t)
{
    if (!requestTopics().contains(t))
        return false;
    QJsonObject request;
    QString error;
    if (!parseObject(payload, &request, &error)) {
        logRefused(t, payload, error);
        return true;
    }
    const auto get = m_gets.constFind(t);
    if (get != m_gets.constEnd()) {
        logRequest(t, payload, get->what);
        get->publish();
        return true;
    }
    handleRequest(t, payload, request);
    return true;
}

void SimService::answerGet(const QString& suffix, const QString& what, std::function<void()> publish)
{
    m_gets.insert(topic(suffix), { what, std::move(publish) });
}

bool SimService::parseObject(const QByteArray& payload, QJsonObject* object, QString* error)
{
    if (payload.trimmed().isEmpty()) {
        *object = QJsonObject();
        return true;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("not JSON (%1 at offset %2)").arg(parseError.errorString()).arg(parseError.offset);
        return false;
    }
    if (!document.isObject()) {
        *error = QStringLiteral("not a JSON object");
        return false;
    }
    *object = document.object();
    return true;
}

QString SimService::shortPayload(const QByteArray& payload)
{
    // Requests arrive indented; the log wants one line, and a huge payload must not flood it.
    static const int limit = 160;
    QByteArray compact;
    QJsonParseError parseError;
    const QJsonDocument document = payload.size() <= 65536 ? QJsonDocument::fromJson(payload, &parseError)
                                                           : QJsonDocument();
    if (!document.isNull())
        compact = document.toJson(QJsonDocument::Compact);
    else
        compact = payload.left(limit + 1).simplified();
    if (payload.isEmpty())
        return QStringLiteral("(empty)");
    if (compact.size() > limit)
        return QString::fromUtf8(compact.left(limit)) + QStringLiteral("... (%1 bytes)").arg(payload.size());
    return QString::fromUtf8(compact);
}

void SimService::publish(const QString& suffix, const QJsonObject& object)
{
    publishAbsolute(topic(suffix), object);
}

void SimService::publishAbsolute(const QString& topic, const QJsonObject& object)
{
    publishRaw(topic, QJsonDocument(object).toJson(QJsonDocument::Indented));
}

void SimService::publishRaw(const QString& topic, const QByteArray& payload)
{
    if (!m_client.publish(payload, topic))
        qDebug().noquote().nospace() << m_tag << "not connected, dropped " << topic;
}

void SimService::logRequest(const QString& topic, const QByteArray& payload, const QString& what) const
{
    qInfo().noquote().nospace() << m_tag << "<- " << topic << " " << shortPayload(payload) << " : " << what;
}

void SimService::logRefused(const QString& topic, const QByteArray& payload, const QString& why) const
{
    qWarning().noquote().nospace() << m_tag << "<- " << topic << " " << shortPayload(payload) << " : refused, "
                                   << why;
}

void SimService::logEvent(const QString& text) const
{
    qInfo().noquote().nospace() << m_tag << text;
}
