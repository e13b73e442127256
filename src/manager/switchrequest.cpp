#include "switchrequest.h"

#include "mqttclient.h"

namespace manager {

SwitchRequest::SwitchRequest(MqttClient& client, const QString& baseTopic)
    : m_client(client)
    , m_baseTopic(baseTopic)
{
}

void SwitchRequest::send(bool on) const
{
    m_client.publish(QByteArray(), m_baseTopic + (on ? QStringLiteral("/enable") : QStringLiteral("/disable")));
}

} // namespace manager
