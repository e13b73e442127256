#include "brokerfixture.h"

#include <QTest>

bool BrokerFixture::start(const QStringList& topics, int ms)
{
    if (!broker.start())
        return false;
    peer.reset(new MqttPeer(broker));
    if (!peer->waitConnected(5000))
        return false;
    for (const QString& topic : topics)
        peer->subscribe(topic);
    if (!peer->sync(ms))
        return false;
    client.setHostname(broker.host());
    client.setPort(broker.port());
    return true;
}

bool BrokerFixture::connectClient(int ms)
{
    client.connect();
    return QTest::qWaitFor([this] { return client.isConnected(); }, ms);
}
