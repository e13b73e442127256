#include "brokerfixture.h"
#include "buildversion.h"
#include "config.h"
#include "logcapture.h"
#include "owntopics.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString Base = QStringLiteral("own/ui");

const QVariantMap Defaults {
    { "log/level", 2 },
    { "mqtt/host", "localhost" },
    { "mqtt/port", 1883 },
    { "mqtt/password", QString() },
    { "mqtt/base", "orvo/ui" },
    { "gui/settingsPin", QString() },
    { "gui/deviceId", "/etc/serialnumber" },
    { "gui/displayOffMin", 3 },
    { "gui/showCursor", true },
    { "gui/locale", "el_GR" },
};

QJsonObject parse(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

} // namespace

class Tst_OwnTopics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void answersRequests_data();
    void answersRequests();
    void configSetFilters_data();
    void configSetFilters();
    void configKeepsDeclaredTypes();
    void hugeRequestLogsOneLine();
    void newBaseTopic();
    void screenAndHealthInStatus();
    void screenshotRequestsAreSpaced_data();
    void screenshotRequestsAreSpaced();
    void noScreenshotOfASecret_data();
    void noScreenshotOfASecret();
    void retainedRequestsAreNotActedOn();
    void everyStatusIsRetained();
    void heartbeatKeepsStatusFresh();
    void lastSelfTestKeptAndBounded();

private:
    void feed(const QString& topic, const QByteArray& payload)
    {
        m_wire->client.dispatch(payload, topic);
    }

    std::unique_ptr<BrokerFixture> m_wire;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<manager::OwnTopics> m_topics;
    qint64 m_nowMs = 0;
};

void Tst_OwnTopics::initTestCase()
{
    // As the program does at start: "/info" carries the build's version, never an empty text.
    QCoreApplication::setApplicationVersion(buildVersion());
    QVERIFY(!buildVersion().isEmpty());
    m_wire.reset(new BrokerFixture);
    QVERIFY(m_wire->start({ "#" }));
    QVERIFY(m_wire->connectClient());
}

void Tst_OwnTopics::init()
{
    m_dir.reset(new QTemporaryDir);
    m_config.reset(new Config(m_dir->filePath("gui.conf"), Defaults));
    m_config->set("gui/settingsPin", "2468");
    m_config->set("mqtt/password", "s3cret");
    m_topics.reset(new manager::OwnTopics(m_wire->client, *m_config, Base));
    m_nowMs = 0;
    m_topics->setClock([this] { return m_nowMs; });
    m_topics->setWallClock([] { return QDateTime::fromString("2026-12-07T10:00:00Z", Qt::ISODate); });
    m_wire->peer->takeAll();
}

void Tst_OwnTopics::cleanup()
{
    m_topics.reset();
    m_config.reset();
    m_dir.reset();
}

void Tst_OwnTopics::answersRequests_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QJsonObject>("expected");

    QTest::newRow("info") << "/info/get" << "/info"
                          << QJsonObject { { "version", QCoreApplication::applicationVersion() } };
    QTest::newRow("status") << "/status/get" << "/status"
                            << QJsonObject { { "technician", false }, { "service", true }, { "screen", "" },
                                             { "uptimeSec", 0 }, { "resultsShown", 0 },
                                             { "time", "2026-12-07T10:00:00Z" } };
    // The secrets never travel; every other setting does.
    QTest::newRow("config") << "/config/get" << "/config"
                            << QJsonObject { { "log", QJsonObject { { "level", 2 } } },
                                             { "mqtt", QJsonObject { { "host", "localhost" }, { "port", 1883 },
                                                                     { "base", "orvo/ui" } } },
                                             { "gui", QJsonObject { { "deviceId", "/etc/serialnumber" },
                                                                    { "displayOffMin", 3 }, { "showCursor", true },
                                                                    { "locale", "el_GR" } } } };
}

void Tst_OwnTopics::answersRequests()
{
    QFETCH(QString, request);
    QFETCH(QString, answer);
    QFETCH(QJsonObject, expected);

    m_wire->peer->publish(Base + request, "anything");
    QCOMPARE(parse(m_wire->peer->waitFor(Base + answer, 5000)), expected);

    // Another service's topic with the same ending, or our base inside a longer topic: not ours.
    feed("orvo/board" + request, QByteArray());
    feed("x/" + Base + request, QByteArray());
    m_wire->peer->publish(Base + "/info/get", QByteArray()); // a barrier: one ordered stream
    QVERIFY(!m_wire->peer->waitFor(Base + "/info", 5000).isNull());
    QCOMPARE(m_wire->peer->count(Base + answer), 0);
}

void Tst_OwnTopics::configSetFilters_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QVariantMap>("applied");
    QTest::addColumn<QString>("warning");

    // The broker settings would take the program to another broker, and a new base would make
    // it deaf where the request came from: neither could be undone over MQTT.
    QTest::newRow("broker group")
        << QByteArray(R"({"mqtt": {"host": "192.0.2.1", "port": 1884, "password": "x", "base": "evil"}})")
        << QVariantMap {} << "[GUIManager] WARN: Refusing over MQTT (settings file or command line only) : mqtt/base, mqtt/host, mqtt/password, mqtt/port";
    QTest::newRow("serial-number path")
        << QByteArray(R"({"gui": {"deviceId": "/tmp/fifo", "displayOffMin": 7}})")
        << QVariantMap { { "gui/displayOffMin", 7 } } << "[GUIManager] WARN: Refusing over MQTT (settings file or command line only) : gui/deviceId";
    QTest::newRow("PIN stays provisionable")
        << QByteArray(R"({"gui": {"settingsPin": "1357"}})") << QVariantMap { { "gui/settingsPin", "1357" } } << "";
    // One check, the store's, as for the settings file: a flag written "0" is taken, and a
    // number beyond any integer is refused before it is converted.
    QTest::newRow("store's own check")
        << QByteArray(R"({"gui": {"showCursor": "0", "displayOffMin": 1e30}})")
        << QVariantMap { { "gui/showCursor", false } }
        << "[Config] WARN: Refusing gui/displayOffMin = '1e+30' : is not an integer; keeping 3";
    QTest::newRow("unknown beside good")
        << QByteArray(R"({"gui": {"displayOffMin": "9", "colour": "red"}, "x": 1})")
        << QVariantMap { { "gui/displayOffMin", 9 } }
        << "[GUIManager] WARN: Ignoring unknown or invalid configuration entries : 2 (gui/colour, x)";
    // Under a group named like a secret the member names are its value: the PIN sent as a name.
    QTest::newRow("name under a secret group")
        << QByteArray(R"({"settingsPin": {"1357": 1}})") << QVariantMap {}
        << "[GUIManager] WARN: Ignoring unknown or invalid configuration entries : 1 (settingsPin/********)";
    QTest::newRow("container for a flag")
        << QByteArray(R"({"gui": {"showCursor": [1]}})") << QVariantMap {}
        << "[Config] WARN: Refusing gui/showCursor = '[...]' : is not a boolean; keeping true";
}

void Tst_OwnTopics::configSetFilters()
{
    QFETCH(QByteArray, payload);
    QFETCH(QVariantMap, applied);
    QFETCH(QString, warning);

    const QJsonObject before = m_config->toJson();
    QSignalSpy changed(m_config.get(), &Config::configChanged);
    LogCapture log;
    feed(Base + "/config/set", payload);
    QCOMPARE(changed.count(), applied.isEmpty() ? 0 : 1);
    if (!applied.isEmpty())
        QCOMPARE(changed.at(0).at(0).toMap(), applied);
    for (const char* name : { "mqtt/host", "mqtt/port", "mqtt/base", "mqtt/password", "gui/deviceId" }) {
        const QString key = QString::fromLatin1(name);
        QCOMPARE(m_config->get(key), before.value(key.section('/', 0, 0)).toObject().value(key.section('/', 1)).toVariant());
    }
    const QStringList problems = log.problems();
    if (warning.isEmpty()) {
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    } else {
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems.at(0), warning);
    }
    // The request itself is never logged: it may carry the PIN.
    QVERIFY(log.all().filter("1357").isEmpty());
}

void Tst_OwnTopics::configKeepsDeclaredTypes()
{
    // Text is accepted where it converts, and what "/config" says afterwards is a number and a
    // flag, as before the set.
    feed(Base + "/config/set", R"({"gui": {"displayOffMin": "5", "showCursor": "false"}})");
    QCOMPARE(m_config->get("gui/displayOffMin"), QVariant(5));
    feed(Base + "/config/get", QByteArray());
    const QJsonObject gui = parse(m_wire->peer->waitFor(Base + "/config", 5000)).value("gui").toObject();
    QCOMPARE(gui.value("displayOffMin"), QJsonValue(5));
    QCOMPARE(gui.value("showCursor"), QJsonValue(false));
}

void Tst_OwnTopics::hugeRequestLogsOneLine()
{
    // Each bogus group or key once cost a warning of its own: 300,000 of them wrote 21 MB.
    QJsonObject groups;
    QJsonObject keys;
    for (int i = 0; i < 300000; ++i) {
        groups.insert(QStringLiteral("g%1").arg(i, 6, 10, QLatin1Char('0')), i);
        if (i < 1000)
            keys.insert(QStringLiteral("k%1").arg(i), i);
    }
    groups.insert("gui", keys);
    const QByteArray payload = QJsonDocument(groups).toJson(QJsonDocument::Compact);
    LogCapture log;
    feed(Base + "/config/set", payload);
    const QStringList problems = log.problems();
    QCOMPARE(problems.size(), 1);
    QVERIFY2(problems.at(0).contains(": 301000 (g000000, g000001, g000002, g000003, g000004, ...)"),
             qPrintable(problems.at(0)));
    QVERIFY(problems.at(0).size() < 400);
}

void Tst_OwnTopics::newBaseTopic()
{
    m_topics->setBaseTopic("own/other");
    QCOMPARE(m_topics->willTopic(), QString("own/other/status"));
    // The broker handles one connection's packets in order: once this publication is through,
    // so is the subscription under the new base.
    m_topics->publishInfo();
    QVERIFY(!m_wire->peer->waitFor("own/other/info", 5000).isNull());
    m_wire->peer->publish("own/other/info/get", QByteArray());
    QVERIFY(!m_wire->peer->waitFor("own/other/info", 5000).isNull());
    // The old base is no longer served.
    feed(Base + "/info/get", QByteArray());
    m_wire->peer->publish("own/other/info/get", QByteArray());
    QVERIFY(!m_wire->peer->waitFor("own/other/info", 5000).isNull());
    QCOMPARE(m_wire->peer->count(Base + "/info"), 0);
}

void Tst_OwnTopics::screenAndHealthInStatus()
{
    // Publications in order; an "/info" answer behind them says the status ones are all in.
    const auto statuses = [this] {
        m_wire->peer->publish(Base + "/info/get", QByteArray());
        if (m_wire->peer->waitFor(Base + "/info", 5000).isNull())
            return QStringList { "<no barrier>" };
        QStringList screens;
        for (const auto& message : m_wire->peer->takeAll())
            if (message.first == Base + "/status")
                screens << parse(message.second).value("screen").toString();
        return screens;
    };

    // The first change goes out at once, with the health figures.
    m_nowMs = 7999;
    m_topics->countResult();
    m_topics->countResult();
    m_topics->setScreen("Valid");
    const QJsonObject first = parse(m_wire->peer->waitFor(Base + "/status", 5000));
    QCOMPARE(first.value("screen").toString(), QString("Valid"));
    QCOMPARE(first.value("uptimeSec").toInt(), 7);
    QCOMPARE(first.value("resultsShown").toInt(), 2);
    QCOMPARE(m_topics->screenStatusTimer().interval(), 1000);
    QVERIFY(m_topics->screenStatusTimer().isActive());

    // A burst within the second: nothing until it ends, then only the last screen.
    m_topics->setScreen("Invalid");
    m_topics->setScreen("ScanScreens");
    m_topics->setScreen("ScanScreens");
    QCOMPARE(statuses(), QStringList());
    m_topics->onScreenStatusTimeout();
    QCOMPARE(statuses(), QStringList { "ScanScreens" });
    // Another pause follows that publication; a quiet one publishes nothing.
    QVERIFY(m_topics->screenStatusTimer().isActive());
    m_topics->onScreenStatusTimeout();
    QCOMPARE(statuses(), QStringList());

    // An answer in between already told the latest screen: the pause adds nothing after it.
    m_topics->setScreen("Valid");
    QCOMPARE(statuses(), QStringList { "Valid" });
    m_topics->setScreen("Retry");
    m_wire->peer->publish(Base + "/status/get", QByteArray());
    QCOMPARE(parse(m_wire->peer->waitFor(Base + "/status", 5000)).value("screen").toString(), QString("Retry"));
    m_topics->onScreenStatusTimeout();
    QCOMPARE(statuses(), QStringList());
}

void Tst_OwnTopics::screenshotRequestsAreSpaced_data()
{
    QTest::addColumn<QList<int>>("requestMs");
    QTest::addColumn<int>("accepted");
    QTest::addColumn<int>("warnings");
    QTest::addColumn<int>("answers");

    QTest::newRow("one") << QList<int> { 0 } << 1 << 0 << 0;
    QTest::newRow("second within 2 s") << QList<int> { 0, 1999 } << 1 << 1 << 1;
    QTest::newRow("a burst warns once") << QList<int> { 0, 10, 20, 30, 1500 } << 1 << 1 << 1;
    QTest::newRow("2 s apart") << QList<int> { 0, 2000, 4000 } << 3 << 0 << 0;
    QTest::newRow("burst, then spaced, then burst") << QList<int> { 0, 500, 2000, 2100, 2200, 2600 } << 2 << 2 << 2;
    // Measured from the last accepted request, not the last refused one.
    QTest::newRow("refusals do not push the next one back") << QList<int> { 0, 1900, 2001 } << 2 << 1 << 1;
}

void Tst_OwnTopics::screenshotRequestsAreSpaced()
{
    QFETCH(QList<int>, requestMs);
    QFETCH(int, accepted);
    QFETCH(int, warnings);
    QFETCH(int, answers);

    QSignalSpy requested(m_topics.get(), &manager::OwnTopics::screenshotRequested);
    LogCapture log;
    // Through the broker, each request handled before the clock moves on: an "/info" answer
    // behind it says so.
    for (int ms : requestMs) {
        m_nowMs = 100000 + ms;
        m_wire->peer->publish(Base + "/screenshot/get", "anything");
        m_wire->peer->publish(Base + "/info/get", QByteArray());
        QVERIFY(!m_wire->peer->waitFor(Base + "/info", 5000).isNull());
    }
    QCOMPARE(requested.count(), accepted);
    QCOMPARE(log.problems().size(), warnings);
    if (warnings > 0)
        QCOMPARE(log.problems().first(), QString("[GUIManager] WARN: Screenshot request refused: at most one every 2 s"));
    // The depot page learns why no picture comes, once per interval however many were refused.
    const QByteArray refusal = QJsonDocument(QJsonObject { { "refused", "at most one screenshot every 2 s" } }).toJson();
    QCOMPARE(m_wire->peer->count(Base + "/screenshot"), answers);
    for (int i = 0; i < answers; ++i)
        QCOMPARE(parse(m_wire->peer->waitFor(Base + "/screenshot", 0)), parse(refusal));
    // The picture goes out on its own topic, under the base.
    m_topics->publishScreenshot(QByteArray("\x89PNG"));
    QCOMPARE(m_wire->peer->waitFor(Base + "/screenshot", 5000), QByteArray("\x89PNG"));
}

void Tst_OwnTopics::noScreenshotOfASecret_data()
{
    QTest::addColumn<bool>("login");
    QTest::addColumn<QString>("reason");
    // The Login page shows the PIN as typed; the validator's settings the on-board computer's
    // password.
    QTest::newRow("Login page") << true << "not while a PIN is entered";
    QTest::newRow("page with a secret") << false << "not while a secret is shown";
}

void Tst_OwnTopics::noScreenshotOfASecret()
{
    QFETCH(bool, login);
    QFETCH(QString, reason);
    // No picture of the secret leaves, whoever asks how often.
    const auto show = [this, login](bool shown) {
        if (login)
            m_topics->setScreen(shown ? "Login" : "Idle");
        else
            m_topics->setSecretShown(shown);
        m_topics->onScreenStatusTimeout();
    };
    QSignalSpy requested(m_topics.get(), &manager::OwnTopics::screenshotRequested);
    m_topics->setScreen("Settings");
    show(true);
    LogCapture log;
    const auto ask = [this](int ms, int times) {
        m_nowMs = 100000 + ms;
        for (int i = 0; i < times; ++i)
            m_wire->peer->publish(Base + "/screenshot/get", QByteArray());
        m_wire->peer->publish(Base + "/info/get", QByteArray());
        return !m_wire->peer->waitFor(Base + "/info", 5000).isNull();
    };
    QVERIFY(ask(0, 1));
    QVERIFY(ask(500, 20));
    QCOMPARE(requested.count(), 0);
    QCOMPARE(log.problems(), QStringList { "[GUIManager] WARN: Screenshot request refused: " + reason });
    QCOMPARE(m_wire->peer->count(Base + "/screenshot"), 1);
    QCOMPARE(parse(m_wire->peer->waitFor(Base + "/screenshot", 0)), (QJsonObject { { "refused", reason } }));
    QVERIFY(ask(2000, 1)); // the next interval: answered again
    QCOMPARE(m_wire->peer->count(Base + "/screenshot"), 1);
    QVERIFY(m_wire->peer->waitFor(Base + "/screenshot", 0).contains("refused"));

    // A picture asked for before and taken once the secret is up stays here.
    m_topics->publishScreenshot(QByteArray("\x89PNG"));
    show(false);
    QVERIFY(ask(2100, 1));
    QCOMPARE(requested.count(), 1);
    m_topics->publishScreenshot(QByteArray("\x89PNG"));
    QCOMPARE(m_wire->peer->waitFor(Base + "/screenshot", 5000), QByteArray("\x89PNG"));
    QCOMPARE(m_wire->peer->count(Base + "/screenshot"), 0);
}

void Tst_OwnTopics::retainedRequestsAreNotActedOn()
{
    // Requests someone left retained on the broker reach the program at every connection; they
    // were meant for the moment they were sent, and none is acted on.
    const QString base = QStringLiteral("own/late");
    const QStringList requests { "/info/get", "/status/get", "/screenshot/get", "/config/set" };
    for (const QString& request : requests)
        QVERIFY(m_wire->peer->publish(base + request, R"({"gui": {"displayOffMin": 9}})", 0, true));
    QVERIFY(m_wire->peer->sync(5000));
    m_wire->peer->takeAll();

    manager::MqttClient client;
    manager::OwnTopics topics(client, *m_config, base);
    QSignalSpy requested(&topics, &manager::OwnTopics::screenshotRequested);
    LogCapture log;
    client.setHostname(m_wire->broker.host());
    client.setPort(m_wire->broker.port());
    client.connect();
    QTRY_COMPARE_WITH_TIMEOUT(log.countContaining("WARN: Ignoring a retained request on '" + base), requests.size(), 5000);
    // A request sent now is answered, once.
    QVERIFY(m_wire->peer->publish(base + "/info/get", QByteArray()));
    QVERIFY(!m_wire->peer->waitFor(base + "/info", 5000).isNull());
    QVERIFY(m_wire->peer->sync(5000));
    QCOMPARE(m_wire->peer->count(base + "/info"), 0);
    QCOMPARE(m_wire->peer->count(base + "/status"), 0);
    QCOMPARE(m_wire->peer->count(base + "/screenshot"), 0);
    QCOMPARE(requested.count(), 0);
    QCOMPARE(m_config->get("gui/displayOffMin"), QVariant(3));
    for (const QString& topic : requests + QStringList { "/info" })
        m_wire->peer->publish(base + topic, QByteArray(), 0, true);
    client.disconnect();
}

void Tst_OwnTopics::everyStatusIsRetained()
{
    // What a subscriber arriving later reads: the status as it is now, not the one of the
    // connection (which said "technician": false during a whole session).
    const auto retained = [this] {
        MqttPeer late(m_wire->broker);
        if (!late.waitConnected(5000))
            return QJsonObject();
        late.subscribe(Base + "/status");
        // The session part; the depot's figures are checked in screenAndHealthInStatus.
        const QJsonObject status = parse(late.waitFor(Base + "/status", 5000));
        return QJsonObject { { "technician", status.value("technician") }, { "service", status.value("service") } };
    };
    m_topics->setTechnician(true);
    m_topics->publishStatus();
    QVERIFY(!m_wire->peer->waitFor(Base + "/status", 5000).isNull());
    QCOMPARE(retained(), (QJsonObject { { "technician", true }, { "service", true } }));

    m_topics->setTechnician(false);
    m_wire->peer->publish(Base + "/status/get", QByteArray());
    QVERIFY(!m_wire->peer->waitFor(Base + "/status", 5000).isNull());
    QCOMPARE(retained(), (QJsonObject { { "technician", false }, { "service", true } }));

    // A program that stops on purpose says so itself, retained, in place of the last will.
    m_topics->publishStopped();
    QVERIFY(!m_wire->peer->waitFor(Base + "/status", 5000).isNull());
    QCOMPARE(retained(), (QJsonObject { { "technician", false }, { "service", false } }));
}

// A depot tells an idle vehicle from a silent one by the status "time": an unchanged status goes
// out again with a fresh time, and the version and settings wait on the broker for late readers.
void Tst_OwnTopics::heartbeatKeepsStatusFresh()
{
    QDateTime now = QDateTime::fromString("2026-12-07T10:02:41Z", Qt::ISODate);
    m_topics->setWallClock([&now] { return now; });
    m_topics->setScreen("ScanScreens");
    const QJsonObject first = parse(m_wire->peer->waitFor(Base + "/status", 5000));
    QCOMPARE(first.value("time").toString(), QString("2026-12-07T10:02:41Z"));
    QCOMPARE(m_topics->heartbeatTimer().interval(), 30000);
    QVERIFY(m_topics->heartbeatTimer().isActive());

    // A local time from the clock still goes out in UTC.
    now = QDateTime(QDate(2026, 12, 7), QTime(12, 3, 11), Qt::OffsetFromUTC, 2 * 3600);
    QMetaObject::invokeMethod(const_cast<QTimer*>(&m_topics->heartbeatTimer()), "timeout");
    const QJsonObject beat = parse(m_wire->peer->waitFor(Base + "/status", 5000));
    QCOMPARE(beat.value("time").toString(), QString("2026-12-07T10:03:11Z"));
    QCOMPARE(beat.value("screen").toString(), QString("ScanScreens"));

    // A program stopping on purpose beats no more: nothing may say "service": true after it.
    m_topics->publishStopped();
    QCOMPARE(parse(m_wire->peer->waitFor(Base + "/status", 5000)).value("service"), QJsonValue(false));
    QVERIFY(!m_topics->heartbeatTimer().isActive());

    m_topics->publishInfo();
    m_topics->publishConfig();
    QVERIFY(!m_wire->peer->waitFor(Base + "/config", 5000).isNull());
    MqttPeer late(m_wire->broker);
    QVERIFY(late.waitConnected(5000));
    late.subscribe(Base + "/info");
    late.subscribe(Base + "/config");
    QCOMPARE(parse(late.waitFor(Base + "/info", 5000)).value("version").toString(), buildVersion());
    const QJsonObject config = parse(late.waitFor(Base + "/config", 5000));
    QCOMPARE(config.value("gui").toObject().value("locale").toString(), QString("el_GR"));
    QVERIFY(!config.value("gui").toObject().contains("settingsPin"));
}

// The last self-test stays on the broker for a depot that subscribes later, a few kilobytes
// whatever the services reported, and is sent again (under the base of the moment) on every
// connection.
void Tst_OwnTopics::lastSelfTestKeptAndBounded()
{
    const auto retained = [this](const QString& topic) {
        // Out through the program's connection first, so the late subscriber cannot race it.
        const QByteArray live = m_wire->peer->waitFor(topic, 5000);
        MqttPeer late(m_wire->broker);
        if (live.isNull() || !late.waitConnected(5000))
            return QByteArray();
        late.subscribe(topic);
        return late.waitFor(topic, 5000);
    };
    QVariantMap values;
    for (int i = 0; i < 100; ++i)
        values.insert(QString("value%1").arg(i, 3, 10, QChar('0')), "OK");
    // A character of two UTF-16 halves across the cut, and a service that talks too much.
    values.insert("boardFirmware", QString(127, 'x') + QString::fromUtf8("\U0001F600"));
    values.insert("poleId", QString(100000, 'y'));
    m_topics->publishDiagnostics({ { "deviceId", QString(300, 'K') },
                                   { "time", QDateTime(QDate(2026, 12, 7), QTime(10, 2, 41), Qt::OffsetFromUTC, 7200) },
                                   { "result", "pass" },
                                   { "values", values } });
    const QByteArray payload = retained(Base + "/diagnostics");
    QVERIFY2(payload.size() < 16 * 1024, qPrintable(QString::number(payload.size())));
    const QJsonObject report = parse(payload);
    QCOMPARE(report.value("time").toString(), QString("2026-12-07T08:02:41Z"));
    QCOMPARE(report.value("timeSec").toDouble(), double(QDateTime::fromString("2026-12-07T08:02:41Z", Qt::ISODate).toSecsSinceEpoch()));
    QCOMPARE(report.value("result").toString(), QString("pass"));
    QCOMPARE(report.value("deviceId").toString(), QString(128, 'K'));
    const QJsonObject kept = report.value("values").toObject();
    QCOMPARE(kept.size(), manager::OwnTopics::DiagnosticsValues);
    QCOMPARE(kept.value("boardFirmware").toString(), QString(127, 'x'));
    QCOMPARE(kept.value("poleId").toString(), QString(128, 'y'));
    QCOMPARE(kept.value("value000").toString(), QString("OK"));

    // Whatever else the verdict says is a failure.
    // A report with no time has no number for it either (not 1970).
    m_topics->publishDiagnostics({ { "deviceId", "K1" }, { "result", "PASS" }, { "values", values } });
    const QJsonObject untimed = parse(retained(Base + "/diagnostics"));
    QCOMPARE(untimed.value("result").toString(), QString("fail"));
    QVERIFY(!untimed.contains("timeSec"));

    m_topics->setBaseTopic("own/other");
    m_topics->republishDiagnostics();
    QCOMPARE(parse(retained("own/other/diagnostics")).value("deviceId").toString(), QString("K1"));
}

QTEST_GUILESS_MAIN(Tst_OwnTopics)
#include "tst_owntopics.moc"
