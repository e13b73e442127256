#include "badpayloads.h"
#include "brokerfixture.h"
#include "mqttclient.h"
#include "update.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString Base = QStringLiteral("orvo/device");

QTimer* checkTimer(manager::Update& update)
{
    return update.findChild<QTimer*>(QStringLiteral("checkTimer"));
}

// One step of a scenario: "check", "install", "timeout", "disconnect", or a topic word
// followed by a blank and the payload ("status", "software", "progress", "progess", "clock",
// "board").
void run(manager::MqttClient& client, manager::Update& update, const QString& step)
{
    const QString verb = step.section(QLatin1Char(' '), 0, 0);
    const QByteArray payload = step.section(QLatin1Char(' '), 1).toUtf8();
    static const QMap<QString, QString> topics{
        {"status", Base + "/status"},
        {"software", Base + "/update/software/status"},
        {"progress", Base + "/update/software/progress"},
        {"progess", Base + "/update/software/progess"},
        {"clock", Base + "/clock/ntp/status"},
        {"board", "orvo/board/status"},
    };
    if (verb == "check") {
        update.check();
    } else if (verb == "install") {
        update.install();
    } else if (verb == "timeout") {
        // What the timer does when it expires, without waiting 5 s for it.
        QVERIFY(checkTimer(update)->isActive());
        checkTimer(update)->stop();
        QMetaObject::invokeMethod(checkTimer(update), "timeout");
    } else if (verb == "disconnect") {
        emit client.disconnected();
    } else {
        QVERIFY2(topics.contains(verb), qPrintable(step));
        client.dispatch(payload, topics.value(verb));
    }
}

} // namespace

class Tst_Update : public QObject
{
    Q_OBJECT

private slots:
    void construction()
    {
        manager::MqttClient client;
        manager::Update update(client, Base);
        QCOMPARE(update.status(), QStringLiteral("Disconnected"));
        QCOMPARE(client.subscriptions(), (QList<QPair<QString, int>>{{Base + "/status", 0},
                                                                     {Base + "/update/software/status", 0},
                                                                     {Base + "/update/software/progress", 0},
                                                                     {Base + "/update/software/progess", 0}}));
        QTimer* timer = checkTimer(update);
        QVERIFY(timer);
        QCOMPARE(timer->interval(), 5000);
        QVERIFY(timer->isSingleShot());
        QVERIFY(!timer->isActive());
    }

    void statusMachine_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("pending");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("percent");
        QTest::addColumn<bool>("timerActive");

        const QString statusPending = R"(status {"update":{"software":{"current":"1.0","pending":"1.1"}}})";
        const QString statusNone = R"(status {"update":{"software":{"current":"1.0"}}})";
        const QString download = R"(progress {"message":"1024/4096","progress":25,"version":"1.1"})";

        QTest::newRow("device status with a pending version")
                << QStringList{statusPending} << "Ready to install" << "1.0" << "1.1" << "Idle" << 0 << false;
        QTest::newRow("device status without one")
                << QStringList{statusNone} << "No pending updates" << "1.0" << "" << "Idle" << 0 << false;
        QTest::newRow("plain string version keeps pending")
                << QStringList{statusPending, R"(status {"update":{"software":"1.2"}})"}
                << "Ready to install" << "1.2" << "1.1" << "Idle" << 0 << false;
        QTest::newRow("device status without update object still sets status")
                << QStringList{R"(software {"current":"1.0","pending":"2.0"})", "status {}"}
                << "Ready to install" << "1.0" << "2.0" << "Idle" << 0 << false;
        QTest::newRow("empty device status is an empty object")
                << QStringList{"status "} << "No pending updates" << "" << "" << "Idle" << 0 << false;
        QTest::newRow("check starts the timer")
                << QStringList{statusNone, "check"} << "Checking for updates" << "1.0" << "" << "Idle" << 0 << true;
        QTest::newRow("unanswered check without pending")
                << QStringList{statusNone, "check", "timeout"} << "No pending updates" << "1.0" << "" << "Idle" << 0 << false;
        QTest::newRow("unanswered check with pending")
                << QStringList{R"(software {"current":"1.0","pending":"2.0"})", "check", "timeout"}
                << "Ready to install" << "1.0" << "2.0" << "" << 0 << false;
        QTest::newRow("progress with a slash downloads and stops the timer")
                << QStringList{statusNone, "check", download} << "Downloading" << "1.0" << "1.1" << "1024/4096" << 25 << false;
        QTest::newRow("misspelt progress topic is the same")
                << QStringList{statusNone, "check", "progess" + download.mid(8)}
                << "Downloading" << "1.0" << "1.1" << "1024/4096" << 25 << false;
        QTest::newRow("progress without a slash installs")
                << QStringList{R"(progress {"message":"Verifying image","progress":90,"version":"1.1"})"}
                << "Installing" << "" << "1.1" << "Verifying image" << 90 << false;
        QTest::newRow("progress without keys")
                << QStringList{statusPending, "progress {}"} << "Installing" << "1.0" << "" << "" << 0 << false;
        QTest::newRow("device status resets a download")
                << QStringList{download, statusPending} << "Ready to install" << "1.0" << "1.1" << "Idle" << 0 << false;
        QTest::newRow("software status leaves status alone")
                << QStringList{statusNone, R"(software {"current":"1.0","pending":"3.0"})"}
                << "No pending updates" << "1.0" << "3.0" << "Idle" << 0 << false;
        QTest::newRow("empty software status clears the versions")
                << QStringList{statusPending, "software "} << "Ready to install" << "" << "" << "Idle" << 0 << false;
        QTest::newRow("disconnection")
                << QStringList{statusPending, "disconnect"} << "Disconnected" << "1.0" << "1.1" << "Idle" << 0 << false;
        QTest::newRow("disconnection ends a pending check")
                << QStringList{statusPending, "check", "disconnect"} << "Disconnected" << "1.0" << "1.1" << "Idle" << 0 << false;
        QTest::newRow("check while disconnected falls back after the timeout")
                << QStringList{"check", "timeout"} << "No pending updates" << "" << "" << "" << 0 << false;
        QTest::newRow("install without pending changes nothing")
                << QStringList{statusNone, "install"} << "No pending updates" << "1.0" << "" << "Idle" << 0 << false;
        QTest::newRow("clock message of the same device is ignored")
                << QStringList{statusPending, R"(clock {"update":{"software":"9.9"}})"}
                << "Ready to install" << "1.0" << "1.1" << "Idle" << 0 << false;
        QTest::newRow("other service ignored")
                << QStringList{R"(board {"update":{"software":"9.9"}})"} << "Disconnected" << "" << "" << "" << 0 << false;
        QTest::newRow("wrong types keep the last values")
                << QStringList{download, R"(progress {"message":"2048/4096","progress":"50","version":7})"}
                << "Downloading" << "" << "1.1" << "2048/4096" << 25 << false;
        QTest::newRow("wrong software type keeps the versions")
                << QStringList{statusPending, R"(status {"update":{"software":17}})"}
                << "Ready to install" << "1.0" << "1.1" << "Idle" << 0 << false;
    }

    void statusMachine()
    {
        QFETCH(QStringList, steps);
        manager::MqttClient client;
        manager::Update update(client, Base);
        if (QByteArray(QTest::currentDataTag()).startsWith("wrong"))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^\\[Update\\] WARN: Ignoring wrongly typed values on " + Base + "/"));
        if (steps.contains("install"))
            QTest::ignoreMessage(QtWarningMsg, "[Update] WARN: Cannot install. There are no pending versions");
        for (const QString& step : qAsConst(steps))
            run(client, update, step);
        QTEST(update.status(), "status");
        QTEST(update.current(), "current");
        QTEST(update.pending(), "pending");
        QTEST(update.progressMessage(), "message");
        QTEST(update.progressPercent(), "percent");
        QTEST(checkTimer(update)->isActive(), "timerActive");
    }

    void signalsOnlyOnChange()
    {
        manager::MqttClient client;
        manager::Update update(client, Base);
        QSignalSpy status(&update, &manager::Update::statusChanged);
        QSignalSpy current(&update, &manager::Update::currentChanged);
        QSignalSpy pending(&update, &manager::Update::pendingChanged);
        QSignalSpy message(&update, &manager::Update::progressMessageChanged);
        QSignalSpy percent(&update, &manager::Update::progressPercentChanged);
        const QString statusPending = R"(status {"update":{"software":{"current":"1.0","pending":"1.1"}}})";
        run(client, update, statusPending);
        run(client, update, statusPending);
        QCOMPARE(status.count(), 1);
        QCOMPARE(current.count(), 1);
        QCOMPARE(pending.count(), 1);
        QCOMPARE(message.count(), 1);
        QCOMPARE(percent.count(), 0);
        run(client, update, R"(progress {"message":"1/2","progress":50,"version":"1.1"})");
        run(client, update, R"(progress {"message":"1/2","progress":50,"version":"1.1"})");
        QCOMPARE(status.count(), 2);
        QCOMPARE(pending.count(), 1);
        QCOMPARE(message.count(), 2);
        QCOMPARE(percent.count(), 1);
    }

    void badPayloads_data()
    {
        QTest::addColumn<QByteArray>("payload");
        for (const BadPayload& bad : allBadPayloads())
            QTest::newRow(bad.name) << bad.payload;
    }

    void badPayloads()
    {
        QFETCH(QByteArray, payload);
        manager::MqttClient client;
        manager::Update update(client, Base);
        run(client, update, R"(status {"update":{"software":{"current":"1.0","pending":"1.1"}}})");
        run(client, update, R"(progress {"message":"1/2","progress":50,"version":"1.1"})");
        const QStringList suffixes{"/status", "/update/software/status", "/update/software/progress", "/update/software/progess"};
        for (const QString& suffix : suffixes) {
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^\\[Update\\] Failed to parse JSON message: \\S.{0,200}$"));
            client.dispatch(payload, Base + suffix);
        }
        QCOMPARE(update.status(), QStringLiteral("Downloading"));
        QCOMPARE(update.current(), QStringLiteral("1.0"));
        QCOMPARE(update.pending(), QStringLiteral("1.1"));
        QCOMPARE(update.progressMessage(), QStringLiteral("1/2"));
        QCOMPARE(update.progressPercent(), 50);
    }

    void requestsOnTheWire()
    {
        BrokerFixture wire;
        QVERIFY(wire.start({Base + "/#"}));
        MqttPeer& peer = *wire.peer;
        manager::Update update(wire.client, Base);
        wire.client.connect();
        // Every connection asks for the device status.
        QCOMPARE(peer.waitFor(Base + "/status/get", 5000), QByteArray(""));

        // install() without a pending version sends nothing; the next request proves it.
        QTest::ignoreMessage(QtWarningMsg, "[Update] WARN: Cannot install. There are no pending versions");
        update.install();
        update.check();
        QCOMPARE(peer.waitFor(Base + "/software/check", 5000), QByteArray(""));
        QCOMPARE(peer.count(Base + "/update/software/install"), 0);

        // The service answers on its own topic; the proxy follows.
        QVERIFY(peer.publish(Base + "/update/software/progress", R"({"message":"10/20","progress":50,"version":"2.0"})"));
        QTRY_COMPARE_WITH_TIMEOUT(update.status(), QStringLiteral("Downloading"), 5000);
        QVERIFY(!checkTimer(update)->isActive());
        update.install();
        QCOMPARE(peer.waitFor(Base + "/update/software/install", 5000), QByteArray(""));

        // A lost connection shows at once.
        wire.broker.kill();
        QTRY_COMPARE_WITH_TIMEOUT(update.status(), QStringLiteral("Disconnected"), 5000);
    }
};

QTEST_GUILESS_MAIN(Tst_Update)
#include "tst_update.moc"
