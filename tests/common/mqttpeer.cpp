#include "mqttpeer.h"

#include "testbroker.h"

#include <QRandomGenerator>
#include <QTest>

MqttPeer::MqttPeer(const QString& host, quint16 port, QObject* parent)
    : QObject(parent)
    , m_syncTopic(QStringLiteral("vovadudoz-test/peer/%1/sync").arg(QRandomGenerator::global()->generate64(), 0, 16))
{
    connect(&m_client, &manager::MqttClient::received, this, &MqttPeer::onReceived);
    m_client.setHostname(host);
    m_client.setPort(port);
    m_client.setRetryMillis(200);
    m_client.setKeepAlive(60);
    m_client.subscribe(m_syncTopic);
    m_client.connect();
}

MqttPeer::MqttPeer(const TestBroker& broker, QObject* parent)
    : MqttPeer(broker.host(), broker.port(), parent)
{
}

bool MqttPeer::waitConnected(int ms)
{
    return QTest::qWaitFor([this] { return m_client.isConnected(); }, ms);
}

void MqttPeer::subscribe(const QString& topic, quint8 qos)
{
    m_client.subscribe(topic, qos);
}

bool MqttPeer::sync(int ms)
{
    const int wanted = m_syncSeen + 1;
    if (!m_client.publish(QByteArray("sync"), m_syncTopic))
        return false;
    return QTest::qWaitFor([this, wanted] { return m_syncSeen >= wanted; }, ms);
}

bool MqttPeer::publish(const QString& topic, const QByteArray& payload, quint8 qos, bool retain)
{
    return m_client.publish(payload, topic, qos, retain);
}

QByteArray MqttPeer::waitFor(const QString& topic, int ms)
{
    QByteArray found;
    auto take = [&] {
        for (int i = 0; i < m_messages.size(); ++i) {
            if (m_messages.at(i).first == topic) {
                found = m_messages.takeAt(i).second;
                return true;
            }
        }
        return false;
    };
    if (take() || QTest::qWaitFor(take, ms))
        return found;
    return QByteArray();
}

QList<QPair<QString, QByteArray>> MqttPeer::takeAll()
{
    QList<QPair<QString, QByteArray>> all;
    all.swap(m_messages);
    return all;
}

int MqttPeer::count(const QString& topic) const
{
    int n = 0;
    for (const auto& message : m_messages)
        n += message.first == topic ? 1 : 0;
    return n;
}

void MqttPeer::onReceived(const QByteArray& data, const QByteArray& from)
{
    const QString topic = QString::fromUtf8(from);
    if (topic == m_syncTopic) {
        ++m_syncSeen;
        return;
    }
    m_messages.append({ topic, data.isNull() ? QByteArray("") : data });
}
