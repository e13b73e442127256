#include "badpayloads.h"
#include "brokerfixture.h"
#include "inspector.h"
#include "logcapture.h"
#include "mqttclient.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <climits>
#include <memory>

namespace {

const QString Base = QStringLiteral("orvo/inspector");

} // namespace

class Tst_Inspector : public QObject
{
    Q_OBJECT

private:
    void send(manager::MqttClient& client, const QString& suffix, const QByteArray& payload)
    {
        client.dispatch(payload, Base + suffix);
    }

private slots:
    void status_data();
    void status();
    void infoAlwaysSignals();
    void audioVolume();
    void ignoredTopics_data();
    void ignoredTopics();
    void badInputKeepsState_data();
    void badInputKeepsState();
    void firstScheduleWins();
    void abortShutdown();
    void countdownEndsInShutdown();
    void powerRequestsAreDelayed_data();
    void powerRequestsAreDelayed();
    void powerRequestOutlivesProxy();
    void requestsOnTheWire();
};

void Tst_Inspector::status_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("status");
    QTest::newRow("running") << QByteArray(R"({"service": true})") << "online";
    QTest::newRow("stopped") << QByteArray(R"({"service": false})") << "offline";
    QTest::newRow("no key") << QByteArray(R"({"uptime": 5})") << "offline";
    QTest::newRow("empty payload") << QByteArray() << "offline";
}

void Tst_Inspector::status()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, status);
    manager::MqttClient client;
    manager::Inspector inspector(client, Base);
    QSignalSpy spy(&inspector, &manager::Inspector::statusChanged);
    LogCapture log;
    send(client, "/status", payload);
    send(client, "/status", payload);
    QCOMPARE(inspector.status(), status);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(log.lines(QtInfoMsg).count("[Inspector] Status changed : " + status), 1);
    QCOMPARE(log.lines(QtInfoMsg).count("[Inspector] Processing status topic orvo/inspector/status"), 2);
}

void Tst_Inspector::infoAlwaysSignals()
{
    manager::MqttClient client;
    manager::Inspector inspector(client, Base);
    QSignalSpy spy(&inspector, &manager::Inspector::infoChanged);
    send(client, "/info", R"({"service": {"version": "3.2.1"}})");
    send(client, "/info", R"({"service": {"version": "3.2.1"}})");
    QCOMPARE(spy.count(), 2);
    QCOMPARE(inspector.info(), (QVariantMap{{"version", "3.2.1"}}));
}

void Tst_Inspector::audioVolume()
{
    manager::MqttClient client;
    manager::Inspector inspector(client, Base);
    QSignalSpy spy(&inspector, &manager::Inspector::audioVolumeChanged);
    send(client, "/audio", R"({"internal": {"volume": 70}, "hdmi": {"volume": 10}})");
    QCOMPARE(inspector.audioVolume(), 70);
    send(client, "/audio", R"({"internal": {"volume": 70}})");
    QCOMPARE(spy.count(), 1);
    // Another card only: the internal volume reads as 0.
    send(client, "/audio", R"({"hdmi": {"volume": 10}})");
    QCOMPARE(inspector.audioVolume(), 0);
    QCOMPARE(spy.count(), 2);
}

void Tst_Inspector::ignoredTopics_data()
{
    QTest::addColumn<QString>("topic");
    QTest::newRow("stats cpu") << "orvo/inspector/stats/cpu";
    QTest::newRow("stats memory") << "orvo/inspector/stats/memory";
    QTest::newRow("stats disk") << "orvo/inspector/stats/disk";
    QTest::newRow("own request") << "orvo/inspector/audio/get";
    QTest::newRow("other service") << "orvo/board/status";
    QTest::newRow("case differs") << "orvo/Inspector/status";
}

void Tst_Inspector::ignoredTopics()
{
    QFETCH(QString, topic);
    manager::MqttClient client;
    manager::Inspector inspector(client, Base);
    send(client, "/status", R"({"service": true})");
    send(client, "/audio", R"({"internal": {"volume": 40}})");
    QList<QSignalSpy*> spies;
    const QMetaObject& meta = manager::Inspector::staticMetaObject;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        if (meta.method(i).methodType() == QMetaMethod::Signal)
            spies << new QSignalSpy(&inspector, meta.method(i));
    }
    QCOMPARE(spies.size(), 8);
    LogCapture log;
    for (const QByteArray& payload : {QByteArray(R"({"service": false, "internal": {"volume": 5},
                                                    "cpu": {"load": 0.5}, "memory": {"free": 1}})"),
                                      QByteArray(), QByteArray("not json")})
        client.dispatch(payload, topic);
    // Statistics are not read, so a bad one is not even reported.
    QVERIFY(log.lines(QtCriticalMsg).isEmpty());
    for (QSignalSpy* spy : spies)
        QCOMPARE(spy->count(), 0);
    qDeleteAll(spies);
    QCOMPARE(inspector.status(), QString("online"));
    QCOMPARE(inspector.audioVolume(), 40);
    QVERIFY(inspector.memory().isEmpty());
    QVERIFY(inspector.cpu().isEmpty());
    QVERIFY(inspector.disks().isEmpty());
}

void Tst_Inspector::badInputKeepsState_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("levelValue");

    for (const char* suffix : {"/info", "/status", "/audio"}) {
        for (const BadPayload& bad : allBadPayloads())
            QTest::addRow("%s %s", suffix, bad.name) << QString::fromLatin1(suffix) << bad.payload << int(QtCriticalMsg);
    }
    QTest::newRow("status as text") << "/status" << QByteArray(R"({"service": "false"})") << int(QtWarningMsg);
    QTest::newRow("version as number") << "/info" << QByteArray(R"({"service": {"version": 3}})") << int(QtWarningMsg);
    QTest::newRow("service as text") << "/info" << QByteArray(R"({"service": "3.2.1"})") << int(QtWarningMsg);
    QTest::newRow("volume as text") << "/audio" << QByteArray(R"({"internal": {"volume": "5"}})") << int(QtWarningMsg);
    QTest::newRow("volume fraction") << "/audio" << QByteArray(R"({"internal": {"volume": 5.5}})") << int(QtWarningMsg);
    QTest::newRow("card as list") << "/audio" << QByteArray(R"({"internal": [5]})") << int(QtWarningMsg);
}

void Tst_Inspector::badInputKeepsState()
{
    QFETCH(QString, suffix);
    QFETCH(QByteArray, payload);
    QFETCH(int, levelValue);
    const QtMsgType level = QtMsgType(levelValue);

    manager::MqttClient client;
    manager::Inspector inspector(client, Base);
    send(client, "/status", R"({"service": true})");
    send(client, "/info", R"({"service": {"version": "3.2.1"}})");
    send(client, "/audio", R"({"internal": {"volume": 60}})");
    QSignalSpy statusSpy(&inspector, &manager::Inspector::statusChanged);
    QSignalSpy volumeSpy(&inspector, &manager::Inspector::audioVolumeChanged);

    LogCapture log;
    send(client, suffix, payload);
    QCOMPARE(inspector.status(), QString("online"));
    QCOMPARE(inspector.info(), (QVariantMap{{"version", "3.2.1"}}));
    QCOMPARE(inspector.audioVolume(), 60);
    QCOMPARE(statusSpy.count(), 0);
    QCOMPARE(volumeSpy.count(), 0);
    QCOMPARE(log.problems().size(), 1);
    QCOMPARE(log.lines(level).size(), 1);
    if (level == QtCriticalMsg)
        QVERIFY(log.lines(level).first().startsWith("[Inspector] Failed to parse JSON message: "));
    else
        QVERIFY(log.lines(level).first().startsWith("[Inspector] WARN: Ignoring wrongly typed values on " + Base + suffix));
    for (const QString& line : log.all())
        QVERIFY(line.size() < 1000);
}

void Tst_Inspector::firstScheduleWins()
{
    manager::MqttClient client;
    manager::Inspector inspector(client, Base);
    const QTimer& timer = inspector.shutdownTimer();
    {
        LogCapture log;
        inspector.scheduleShutdown(900);
        inspector.scheduleShutdown(10);
        QCOMPARE(log.all(), QStringList{"[Inspector] Scheduling System shutdown in : 900 sec(s)"});
    }
    QVERIFY(timer.isActive());
    QVERIFY(timer.isSingleShot());
    QCOMPARE(timer.interval(), 900000);

    // A delay too long for a timer must not wrap into a negative or tiny countdown.
    inspector.abortShutdown();
    inspector.scheduleShutdown(INT_MAX);
    QVERIFY(timer.isActive());
    QCOMPARE(timer.interval(), INT_MAX);
}

void Tst_Inspector::abortShutdown()
{
    manager::MqttClient client;
    manager::Inspector inspector(client, Base);
    {
        LogCapture log;
        inspector.abortShutdown();
        QVERIFY(log.all().isEmpty());
    }
    inspector.scheduleShutdown(900);
    {
        LogCapture log;
        inspector.abortShutdown();
        QCOMPARE(log.all(), QStringList{"[Inspector] Aborting System shutdown"});
    }
    QVERIFY(!inspector.shutdownTimer().isActive());
    // After an abort a new countdown starts afresh.
    inspector.scheduleShutdown(10);
    QCOMPARE(inspector.shutdownTimer().interval(), 10000);
    QVERIFY(inspector.shutdownTimer().isActive());
}

void Tst_Inspector::countdownEndsInShutdown()
{
    manager::MqttClient client;
    manager::Inspector inspector(client, Base);
    QSignalSpy shutdownSpy(&inspector, &manager::Inspector::systemShutdownStarted);
    QSignalSpy rebootSpy(&inspector, &manager::Inspector::systemRebootStarted);
    inspector.scheduleShutdown(900);
    // Let the countdown run out now rather than in a quarter of an hour.
    inspector.shutdownTimer().start(1);
    QTRY_COMPARE_WITH_TIMEOUT(shutdownSpy.count(), 1, 2000);
    QCOMPARE(rebootSpy.count(), 0);
    QVERIFY(!inspector.shutdownTimer().isActive());
    // Idle again: a new ignition-off starts a new countdown.
    inspector.scheduleShutdown(60);
    QCOMPARE(inspector.shutdownTimer().interval(), 60000);
}

void Tst_Inspector::powerRequestsAreDelayed_data()
{
    QTest::addColumn<bool>("reboot");
    QTest::newRow("reboot") << true;
    QTest::newRow("shutdown") << false;
}

void Tst_Inspector::powerRequestsAreDelayed()
{
    QFETCH(bool, reboot);
    BrokerFixture wire;
    QVERIFY(wire.start({Base + "/#"}));
    wire.client.setRetryMillis(200);
    QVERIFY(wire.connectClient());
    manager::Inspector inspector(wire.client, Base);
    QCOMPARE(inspector.powerRequestDelay(), 2000);
    inspector.setPowerRequestDelay(400);
    QSignalSpy startedSpy(&inspector, reboot ? &manager::Inspector::systemRebootStarted
                                             : &manager::Inspector::systemShutdownStarted);
    const QString topic = Base + (reboot ? "/power/reboot/request/1" : "/power/shutdown/request/1");

    LogCapture log;
    QElapsedTimer clock;
    clock.start();
    reboot ? inspector.systemReboot() : inspector.systemShutdown();
    // Announced at once, so the screens can show it before the device goes down.
    QCOMPARE(startedSpy.count(), 1);
    QVERIFY(log.lines(QtInfoMsg).contains(reboot ? "[Inspector] Requesting System reboot"
                                                 : "[Inspector] Requesting System shutdown"));
    const QByteArray payload = wire.peer->waitFor(topic, 5000);
    QVERIFY(!payload.isNull());
    QCOMPARE(payload, QByteArray(""));
    // Coarse timers may fire up to 5 % early.
    QVERIFY2(clock.elapsed() >= 380, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(wire.peer->count(Base + (reboot ? "/power/shutdown/request/1" : "/power/reboot/request/1")), 0);
}

void Tst_Inspector::powerRequestOutlivesProxy()
{
    BrokerFixture wire;
    QVERIFY(wire.start({Base + "/#"}));
    wire.client.setRetryMillis(200);
    QVERIFY(wire.connectClient());
    auto inspector = std::make_unique<manager::Inspector>(wire.client, Base);
    inspector->setPowerRequestDelay(100);
    inspector->systemShutdown();
    inspector.reset();
    QVERIFY(!wire.peer->waitFor(Base + "/power/shutdown/request/1", 5000).isNull());
}

void Tst_Inspector::requestsOnTheWire()
{
    BrokerFixture wire;
    QVERIFY(wire.start({Base + "/#"}));
    wire.client.setRetryMillis(200);
    QVERIFY(wire.connectClient());
    manager::Inspector inspector(wire.client, Base);
    MqttPeer& peer = *wire.peer;
    QStringList subscribed;
    for (const auto& subscription : wire.client.subscriptions())
        subscribed << subscription.first.mid(Base.size());
    QCOMPARE(subscribed, (QStringList{"/info", "/status", "/audio", "/stats/cpu", "/stats/memory", "/stats/disk"}));

    inspector.refresh();
    QVERIFY(QTest::qWaitFor([&] { return peer.count(Base + "/stats/cpu/get") == 1; }, 5000));
    QStringList order;
    for (const auto& message : peer.takeAll()) {
        order << message.first.mid(Base.size());
        QCOMPARE(message.second, QByteArray("{}"));
    }
    QCOMPARE(order, (QStringList{"/audio/get", "/stats/memory/get", "/stats/disk/get", "/stats/cpu/get"}));

    // The same volume twice is sent twice: the slider's release always reaches the card.
    inspector.setAudioVolume(50);
    inspector.setAudioVolume(50);
    const QByteArray volume("{\n    \"internal\": {\n        \"volume\": 50\n    }\n}\n");
    QCOMPARE(peer.waitFor(Base + "/audio/set", 5000), volume);
    QCOMPARE(peer.waitFor(Base + "/audio/set", 5000), volume);
    QCOMPARE(inspector.audioVolume(), 0);

    inspector.audioPlay("/opt/orvo/vovadudozad/Valid.wav");
    QCOMPARE(peer.waitFor(Base + "/audio/play", 5000),
             QByteArray("{\n    \"device\": \"internal\",\n    \"filepath\": \"/opt/orvo/vovadudozad/Valid.wav\"\n}\n"));

    // Monitoring refreshes at once, then on every tick.
    inspector.monitor(100);
    QCOMPARE(inspector.monitorTimer().interval(), 100);
    QVERIFY(inspector.monitorTimer().isActive());
    QVERIFY(QTest::qWaitFor([&] { return peer.count(Base + "/stats/cpu/get") >= 2; }, 5000));
    inspector.monitor(0);
    QVERIFY(!inspector.monitorTimer().isActive());

    // A reconnection asks for fresh state by itself.
    peer.takeAll();
    wire.client.disconnect();
    QVERIFY(QTest::qWaitFor([&] { return peer.count(Base + "/audio/get") == 1; }, 10000));
}

QTEST_GUILESS_MAIN(Tst_Inspector)
#include "tst_inspector.moc"
