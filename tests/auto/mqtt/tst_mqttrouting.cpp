// How the client routes messages to the proxies that registered their topics: matching by the
// MQTT rules, order, lifetime, and handlers that change the routes while a message is delivered.
// Messages are fed through dispatch(), the path the engine's messages take.
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "mqttclient.h"

using manager::MqttClient;

class Tst_MqttRouting : public QObject
{
    Q_OBJECT

private slots:
    void filterMatching_data();
    void filterMatching();
    void eachMessageReachesTheMatchingRoutesInRegistrationOrder();
    void routeSubscribesItsFilterOnce();
    void routeEndsWithItsReceiver();
    void handlersMayChangeRoutesWhileDelivering();
    void everyMessageStillReachesReceived();
};

void Tst_MqttRouting::filterMatching_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("topic");
    QTest::addColumn<bool>("matches");
    QTest::newRow("same name") << "orvo/board/status" << "orvo/board/status" << true;
    QTest::newRow("longer topic") << "orvo/board/status" << "orvo/board/status/get" << false;
    QTest::newRow("shorter topic") << "orvo/board/status" << "orvo/board" << false;
    QTest::newRow("base only as a substring") << "orvo/board/status" << "x/orvo/board/status" << false;
    QTest::newRow("case differs") << "orvo/gps/#" << "orvo/GPS/data" << false;
    QTest::newRow("# below") << "orvo/gps/#" << "orvo/gps/data" << true;
    QTest::newRow("# deep") << "orvo/gps/#" << "orvo/gps/a/b/c" << true;
    QTest::newRow("# matches its parent") << "orvo/gps/#" << "orvo/gps" << true;
    QTest::newRow("# not a sibling prefix") << "orvo/gps/#" << "orvo/gpsx/data" << false;
    QTest::newRow("lone #") << "#" << "any/topic" << true;
    QTest::newRow("+ one level") << "orvo/+/status" << "orvo/board/status" << true;
    QTest::newRow("+ not two levels") << "orvo/+/status" << "orvo/a/b/status" << false;
    QTest::newRow("+ empty level") << "orvo/+/status" << "orvo//status" << true;
    QTest::newRow("+ at the end") << "orvo/+" << "orvo/board" << true;
    QTest::newRow("+ needs the level") << "orvo/+" << "orvo" << false;
    QTest::newRow("# not last is invalid") << "orvo/#/status" << "orvo/x/status" << false;
    QTest::newRow("wildcard inside a level is invalid") << "orvo/bo+/status" << "orvo/bo+/status" << false;
    QTest::newRow("trailing slash is a level") << "orvo/board/" << "orvo/board" << false;
    QTest::newRow("unicode") << "orvo/τερματικό/+" << "orvo/τερματικό/status" << true;
}

void Tst_MqttRouting::filterMatching()
{
    QFETCH(QString, filter);
    QFETCH(QString, topic);
    QFETCH(bool, matches);
    QCOMPARE(MqttClient::topicMatches(filter, topic), matches);

    // And the same through a route.
    MqttClient client;
    QObject proxy;
    int calls = 0;
    client.route(filter, &proxy, [&](const QByteArray&, const QString&) { ++calls; });
    client.dispatch("{}", topic);
    QCOMPARE(calls, matches ? 1 : 0);
}

void Tst_MqttRouting::eachMessageReachesTheMatchingRoutesInRegistrationOrder()
{
    MqttClient client;
    QObject first;
    QObject second;
    QStringList calls;
    auto record = [&calls](const char* name) {
        return [&calls, name](const QByteArray& payload, const QString& topic) {
            calls << QStringLiteral("%1 %2 %3").arg(QLatin1String(name), topic, QString::fromUtf8(payload));
        };
    };
    // A wildcard route registered between two exact ones keeps its place.
    client.route(QStringLiteral("orvo/blm/status"), &first, record("exact-1"));
    client.route(QStringLiteral("orvo/blm/#"), &second, record("wild"));
    client.route(QStringLiteral("orvo/blm/status"), &second, record("exact-2"));
    client.route(QStringLiteral("orvo/board/status"), &first, record("board"));

    client.dispatch("s", QStringLiteral("orvo/blm/status"));
    client.dispatch("i", QStringLiteral("orvo/blm/info"));
    client.dispatch("x", QStringLiteral("orvo/network/status"));

    const QStringList expected{"exact-1 orvo/blm/status s", "wild orvo/blm/status s", "exact-2 orvo/blm/status s",
                               "wild orvo/blm/info i"};
    QCOMPARE(calls, expected);
}

void Tst_MqttRouting::routeSubscribesItsFilterOnce()
{
    MqttClient client;
    QObject proxy;
    auto ignore = [](const QByteArray&, const QString&) {};
    client.route(QStringLiteral("orvo/board/status"), &proxy, ignore);
    client.route(QStringLiteral("orvo/board/status"), &proxy, ignore);
    client.route(QStringLiteral("orvo/gps/#"), &proxy, ignore, 1);
    const QList<QPair<QString, int>> expected{{QStringLiteral("orvo/board/status"), 0},
                                              {QStringLiteral("orvo/gps/#"), 1}};
    QCOMPARE(client.subscriptions(), expected);
}

void Tst_MqttRouting::routeEndsWithItsReceiver()
{
    MqttClient client;
    auto doomed = std::make_unique<QObject>();
    QObject staying;
    int doomedCalls = 0;
    int stayingCalls = 0;
    client.route(QStringLiteral("orvo/a"), doomed.get(), [&](const QByteArray&, const QString&) { ++doomedCalls; });
    client.route(QStringLiteral("orvo/#"), doomed.get(), [&](const QByteArray&, const QString&) { ++doomedCalls; });
    client.route(QStringLiteral("orvo/a"), &staying, [&](const QByteArray&, const QString&) { ++stayingCalls; });
    client.dispatch("", QStringLiteral("orvo/a"));
    QCOMPARE(doomedCalls, 2);

    doomed.reset();
    client.dispatch("", QStringLiteral("orvo/a"));
    QCOMPARE(doomedCalls, 2);
    QCOMPARE(stayingCalls, 2);

    client.unroute(&staying);
    client.dispatch("", QStringLiteral("orvo/a"));
    QCOMPARE(stayingCalls, 2);
    // Routed again after unroute: works, and ends again with the object.
    client.route(QStringLiteral("orvo/a"), &staying, [&](const QByteArray&, const QString&) { ++stayingCalls; });
    client.dispatch("", QStringLiteral("orvo/a"));
    QCOMPARE(stayingCalls, 3);
}

void Tst_MqttRouting::handlersMayChangeRoutesWhileDelivering()
{
    MqttClient client;
    auto victim = std::make_unique<QObject>();
    QObject killer;
    QObject late;
    int victimCalls = 0;
    int lateCalls = 0;
    // The first handler destroys the receiver of the second and adds a third route for the
    // same topic: the message goes on to neither, the next one reaches the new route.
    client.route(QStringLiteral("orvo/x"), &killer, [&](const QByteArray&, const QString&) {
        if (victim) {
            victim.reset();
            client.route(QStringLiteral("orvo/x"), &late, [&](const QByteArray&, const QString&) { ++lateCalls; });
        }
    });
    client.route(QStringLiteral("orvo/+"), victim.get(), [&](const QByteArray&, const QString&) { ++victimCalls; });
    client.dispatch("", QStringLiteral("orvo/x"));
    QCOMPARE(victimCalls, 0);
    QCOMPARE(lateCalls, 0);
    client.dispatch("", QStringLiteral("orvo/x"));
    QCOMPARE(lateCalls, 1);
}

void Tst_MqttRouting::everyMessageStillReachesReceived()
{
    MqttClient client;
    QObject proxy;
    QStringList order;
    client.route(QStringLiteral("orvo/a"), &proxy, [&](const QByteArray&, const QString&) { order << "route"; });
    QObject::connect(&client, &MqttClient::received, [&](const QByteArray& payload, const QByteArray& topic) {
        order << QStringLiteral("received %1 %2").arg(QString::fromUtf8(topic), QString::fromUtf8(payload));
    });
    client.dispatch("1", QStringLiteral("orvo/a"));
    client.dispatch("2", QStringLiteral("orvo/unrouted"));
    const QStringList expected{"route", "received orvo/a 1", "received orvo/unrouted 2"};
    QCOMPARE(order, expected);
}

QTEST_GUILESS_MAIN(Tst_MqttRouting)
#include "tst_mqttrouting.moc"
