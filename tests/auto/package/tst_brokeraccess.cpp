#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "config.h"
#include "contextproxy.h"
#include "guimanager.h"
#include "logger.h"
#include "shippedbroker.h"

// Who may publish what on a vehicle's broker set up by the package: the program, logged in
// with the identity the package gave it, next to each local service and the administrator.
namespace {

const QString Base = QStringLiteral("orvo/ui");

// Which identity owns a topic the program listens to.
QString ownerOf(const QString& topic)
{
    static const QList<QPair<QString, QString>> owners {
        {"orvo/ui/", "admin"}, {"orvo/blm/", "validation"}, {"orvo/rfid/", "validation"},
        {"orvo/board/", "board"}, {"orvo/inspector/", "inspector"}, {"orvo/network/", "network"},
        {"orvo/device/", "device"}, {"orvo/barcode/", "barcode"}, {"orvo/gps/", "gps"},
    };
    for (const auto& owner : owners)
        if (topic.startsWith(owner.first))
            return owner.second;
    return QString();
}

} // namespace

class Tst_BrokerAccess : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void strangersAreRefused_data();
    void strangersAreRefused();
    void onlyTheAdministratorChangesSettings_data();
    void onlyTheAdministratorChangesSettings();
    void onlyTheAdministratorAsksForAScreenshot_data();
    void onlyTheAdministratorAsksForAScreenshot();
    void programHearsEveryService();
    void programRequestsReachTheServices();
    void oversizedMessagesAreDropped_data();
    void oversizedMessagesAreDropped();
    void noIdentityTakesTheProgramsSession();

private:
    int publish(const QString& user, const QString& password, const QString& topic, const QByteArray& payload);
    // Returns once every message the program was sent before has been handled by it.
    bool barrier();

    ShippedBroker m_broker;
    QTemporaryDir m_dir;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<GUIManager> m_gui;
    QMap<QString, Party*> m_parties; // by identity; owned by this object
};

int Tst_BrokerAccess::publish(const QString& user, const QString& password, const QString& topic, const QByteArray& payload)
{
    // mosquitto_pub with QoS 1 returns once the broker has taken (or refused) the message, so
    // anything published after it reaches the program after it.
    QStringList args {"-h", "127.0.0.1", "-p", QString::number(m_broker.broker->port()), "-q", "1",
                      "-t", topic, payload.isEmpty() ? "-n" : "-s"};
    if (!user.isEmpty())
        args << "-u" << user << "-P" << password;
    Party* same = m_parties.value(user);
    const int disconnects = same ? same->disconnects : 0;
    QProcess pub;
    pub.start(QStringLiteral("mosquitto_pub"), args);
    pub.waitForStarted(5000);
    pub.write(payload);
    pub.closeWriteChannel();
    if (!pub.waitForFinished(10000))
        return -1;
    // One connection per identity: the party with the same user name was put off the broker
    // by this login and comes back by itself.
    if (same && pub.exitCode() == 0
        && !QTest::qWaitFor([&] { return same->disconnects > disconnects && same->client.isConnected(); }, 10000))
        return -2;
    return pub.exitCode();
}

bool Tst_BrokerAccess::barrier()
{
    Party* admin = m_parties.value("admin");
    for (int i = admin->got.size() - 1; i >= 0; --i)
        if (admin->got.at(i).first == Base + "/status")
            admin->got.removeAt(i);
    // Asked by the administrator's own connection: after everything published before it.
    if (!admin->client.publish(QByteArray(), Base + "/status/get", 1))
        return false;
    return !admin->waitFor(Base + "/status", 10000).isNull();
}

void Tst_BrokerAccess::initTestCase()
{
    manager::Logger::instance()->setSinks([](int, const char*) {}, [](const char*) {});
    QVERIFY2(m_broker.start(), qPrintable(m_broker.error()));
    QVERIFY(m_dir.isValid());

    // The program with the settings file the package seeded (its identity inside), pointed at
    // the test broker and a temporary serial number.
    QFile serial(m_dir.filePath("serialnumber"));
    QVERIFY(serial.open(QIODevice::WriteOnly));
    serial.write("SN-ACL-1");
    serial.close();
    m_config.reset(new Config(m_broker.settingsFile(), GUIManager::Defaults));
    QCOMPARE(m_config->get("mqtt/username").toString(), QStringLiteral("vovadudozad"));
    m_config->addOverrides({{"mqtt/host", "127.0.0.1"}, {"mqtt/port", int(m_broker.broker->port())},
                            {"gui/deviceId", serial.fileName()}, {"log/syslog", false}});

    const QMap<QString, QStringList> subscriptions {
        {"admin", {"orvo/#"}}, {"validation", {"orvo/blm/#", "orvo/rfid/#", "orvo/barcode/#"}},
        {"board", {"orvo/board/#"}}, {"inspector", {"orvo/inspector/#"}}, {"network", {"orvo/network/#"}},
        {"device", {"orvo/device/#"}}, {"barcode", {"orvo/barcode/#"}}, {"gps", {"orvo/gps/#"}},
    };
    for (auto it = subscriptions.cbegin(); it != subscriptions.cend(); ++it)
        m_parties.insert(it.key(), new Party("127.0.0.1", m_broker.broker->port(), it.key(), m_broker.password(it.key()), it.value()));
    for (Party* party : qAsConst(m_parties)) {
        party->setParent(this);
        QVERIFY2(party->waitConnected(10000), qPrintable(party->client.clientId()));
    }

    m_gui.reset(new GUIManager(*m_config, m_dir.path()));
    QTRY_VERIFY_WITH_TIMEOUT(m_gui->mqttClient().isConnected(), 10000);
    QVERIFY(barrier());
}

void Tst_BrokerAccess::cleanupTestCase()
{
    m_gui.reset();
    qDeleteAll(m_parties);
    m_parties.clear();
}

void Tst_BrokerAccess::strangersAreRefused_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("anonymous") << QString() << QString();
    QTest::newRow("unknown user") << "visitor" << "visitor";
    QTest::newRow("administrator, wrong password") << "admin" << "admin";
    QTest::newRow("program, empty password") << "vovadudozad" << "";
}

void Tst_BrokerAccess::strangersAreRefused()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    const QString before = m_config->get("gui/displayOffMin").toString();
    // 5: connection refused, not authorised.
    QCOMPARE(publish(user, password, Base + "/config/set", R"({"gui": {"displayOffMin": 42}})"), 5);
    QVERIFY(barrier());
    QCOMPARE(m_config->get("gui/displayOffMin").toString(), before);
}

void Tst_BrokerAccess::onlyTheAdministratorChangesSettings_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("changes");
    QTest::newRow("administrator") << "admin" << true;
    QTest::newRow("the program itself") << "vovadudozad" << false;
    QTest::newRow("validation service") << "validation" << false;
    QTest::newRow("board service") << "board" << false;
    QTest::newRow("inspector service") << "inspector" << false;
    QTest::newRow("network service") << "network" << false;
    QTest::newRow("device service") << "device" << false;
    QTest::newRow("barcode service") << "barcode" << false;
    QTest::newRow("gps service") << "gps" << false;
}

void Tst_BrokerAccess::onlyTheAdministratorChangesSettings()
{
    QFETCH(QString, user);
    QFETCH(bool, changes);
    const int before = m_config->get("gui/displayOffMin").toInt();
    const int wanted = before + 1;
    const QByteArray change = QJsonDocument(QJsonObject{{"gui", QJsonObject{{"displayOffMin", wanted}}}}).toJson();
    QCOMPARE(publish(user, m_broker.password(user), Base + "/config/set", change), 0);
    QVERIFY(barrier());
    QCOMPARE(m_config->get("gui/displayOffMin").toInt(), changes ? wanted : before);
}

void Tst_BrokerAccess::onlyTheAdministratorAsksForAScreenshot_data()
{
    onlyTheAdministratorChangesSettings_data();
}

void Tst_BrokerAccess::onlyTheAdministratorAsksForAScreenshot()
{
    // A picture of the passenger screen is the administrator's to ask for: counted where the
    // program receives the request, before its own two-second spacing could refuse it.
    QFETCH(QString, user);
    QFETCH(bool, changes);
    int requests = 0;
    auto c = connect(&m_gui->mqttClient(), &manager::MqttClient::received, this,
                     [&](const QByteArray&, const QByteArray& topic) { requests += topic == Base + "/screenshot/get"; });
    QCOMPARE(publish(user, m_broker.password(user), Base + "/screenshot/get", QByteArray()), 0);
    QVERIFY(barrier());
    disconnect(c);
    QCOMPARE(requests, changes ? 1 : 0);
}

void Tst_BrokerAccess::programHearsEveryService()
{
    // Each topic the program subscribes to, published by the identity that owns it, reaches
    // the program.
    QSet<QString> heard;
    auto c = connect(&m_gui->mqttClient(), &manager::MqttClient::received, this,
                     [&](const QByteArray&, const QByteArray& topic) { heard.insert(QString::fromUtf8(topic)); });
    QStringList sent;
    const auto subscriptions = m_gui->mqttClient().subscriptions();
    QVERIFY(subscriptions.size() > 20);
    for (const auto& subscription : subscriptions) {
        QString topic = subscription.first;
        topic.replace(QLatin1Char('+'), QStringLiteral("x")).replace(QLatin1Char('#'), QStringLiteral("x"));
        const QString owner = ownerOf(topic);
        QVERIFY2(!owner.isEmpty(), qPrintable(QStringLiteral("nobody owns ") + topic));
        // Not JSON: every handler drops it, so the test changes nothing in the program.
        QVERIFY(m_parties.value(owner)->client.publish("not json", topic));
        sent << topic;
    }
    const bool all = QTest::qWaitFor([&] {
        for (const QString& topic : qAsConst(sent))
            if (!heard.contains(topic))
                return false;
        return true;
    }, 10000);
    disconnect(c);
    QStringList missing;
    for (const QString& topic : qAsConst(sent))
        if (!heard.contains(topic))
            missing << topic;
    QVERIFY2(all, qPrintable(QStringLiteral("not delivered: ") + missing.join(", ")));
}

void Tst_BrokerAccess::programRequestsReachTheServices()
{
    // Only what the program does from here on: a login under its user name (a test above)
    // reads the same in the broker's log.
    const int logged = m_broker.log().size();
    for (Party* party : qAsConst(m_parties))
        party->got.clear();
    // The program's requests, as its screens and timers make them.
    manager::Board& board = *contextProxy<manager::Board>(m_gui->engine(), "board");
    board.refresh();
    board.setLedValid();
    board.setLedOff();
    board.setDisplayBrightness(33);
    board.setDisplayBrightnessMode("auto");
    board.setAudioEnabled(!board.audioEnabled());
    board.playBuzzer(100, 100, 1);
    board.setPeripheralPower("modem", true);
    manager::Inspector& inspector = *contextProxy<manager::Inspector>(m_gui->engine(), "inspector");
    inspector.refresh();
    inspector.setAudioVolume(41);
    inspector.audioPlay("/opt/orvo/vovadudozad/Valid.wav");
    inspector.setPowerRequestDelay(0);
    inspector.systemReboot();
    m_gui->clock()->ntpSync();
    m_gui->clock()->refresh();
    m_gui->clock()->setNtpServer("ntp.vovadudoz.example");
    m_gui->update()->refresh();
    m_gui->update()->check();
    m_gui->update()->install();
    manager::Network& network = *contextProxy<manager::Network>(m_gui->engine(), "network");
    network.ethernet()->save();
    network.ethernet()->reset();
    manager::Validator& validator = *contextProxy<manager::Validator>(m_gui->engine(), "validatorManager");
    validator.enableRfid();
    validator.enableBarcode();
    validator.disableRfid();
    validator.disableBarcode();
    validator.saveConfig();
    // FINISH on the Diagnostics page (the report file goes to the working directory).
    const QString startDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    m_gui->diagnostics()->saveReport();
    QDir::setCurrent(startDir);
    validator.refreshConfig(); // last: once it arrives, the broker has handled all before it
    Party* validation = m_parties.value("validation");
    QVERIFY(QTest::qWaitFor([&] { return validation->has("orvo/blm/config/get"); }, 10000));

    // The broker knows every client by its user name.
    const QString id = QStringLiteral("vovadudozad");
    const QString log = m_broker.log().mid(logged);
    QStringList denied;
    auto d = QRegularExpression("Denied PUBLISH from " + id + " \\([^']*'([^']+)'").globalMatch(log);
    while (d.hasNext())
        denied << d.next().captured(1);
    QVERIFY2(denied.isEmpty(), qPrintable("refused: " + denied.join(", ")));

    Party* admin = m_parties.value("admin");
    // The last self-test gets out; no service can put one out in the program's name.
    const QByteArray report = admin->waitFor(Base + "/diagnostics", 5000);
    QCOMPARE(QJsonDocument::fromJson(report).object().value("deviceId").toString(), QString("SN-ACL-1"));
    QCOMPARE(publish("validation", m_broker.password("validation"), Base + "/diagnostics", R"({"result": "pass"})"), 0);
    QVERIFY(barrier());
    QVERIFY(!admin->has(Base + "/diagnostics"));

    // What it publishes for the depot, under its identity (the program's own connection is put
    // off by this login, and comes back): a screenshot near the size limit.
    const QByteArray picture(190 * 1024, 'p');
    QCOMPARE(publish("vovadudozad", m_broker.password("vovadudozad"), Base + "/screenshot", picture), 0);
    QCOMPARE(admin->waitFor(Base + "/screenshot", 5000), picture);
    // Back on the broker, the program sends its last self-test again.
    QTRY_VERIFY_WITH_TIMEOUT(admin->has(Base + "/diagnostics"), 10000);

    // Every request published reached the service that owns its topic.
    QSet<QString> requested;
    auto r = QRegularExpression("Received PUBLISH from " + id + " \\([^']*'([^']+)'").globalMatch(log);
    while (r.hasNext())
        requested.insert(r.next().captured(1));
    QVERIFY2(requested.size() >= 25, qPrintable(QStringList(requested.values()).join(", ")));
    for (const QString& topic : qAsConst(requested)) {
        if (topic.startsWith(Base + "/"))
            continue;
        Party* owner = m_parties.value(ownerOf(topic));
        QVERIFY2(owner, qPrintable(topic));
        QVERIFY2(QTest::qWaitFor([&] { return owner->has(topic); }, 5000),
                 qPrintable(topic + " did not reach " + ownerOf(topic)));
    }
}

void Tst_BrokerAccess::oversizedMessagesAreDropped_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("200 KiB") << 200 * 1024 << true;
    QTest::newRow("300 KiB") << 300 * 1024 << false;
}

void Tst_BrokerAccess::oversizedMessagesAreDropped()
{
    QFETCH(int, size);
    QFETCH(bool, delivered);
    Party* admin = m_parties.value("admin");
    admin->got.clear();
    // A request the program answers whatever its payload, sent on the administrator's own
    // connection (a second login as admin would take that connection's place).
    QVERIFY(admin->client.publish(QByteArray(size, 'x'), Base + "/info/get", 1));
    QVERIFY(barrier());
    QCOMPARE(admin->has(Base + "/info"), delivered);
}


void Tst_BrokerAccess::noIdentityTakesTheProgramsSession()
{
    // A service (or anyone with a login) connecting under the program's client id used to put
    // the program off the broker. The broker now gives every client its user name as id.
    const QString programId = m_gui->mqttClient().clientId();
    QVERIFY(barrier());
    const int logged = m_broker.log().size();
    QProcess intruder;
    intruder.start(QStringLiteral("mosquitto_pub"),
                   {"-h", "127.0.0.1", "-p", QString::number(m_broker.broker->port()), "-u", "gps", "-P",
                    m_broker.password("gps"), "-i", programId, "-q", "1", "-t", "orvo/gps/x", "-m", "{}"});
    QVERIFY(intruder.waitForFinished(10000));
    QCOMPARE(intruder.exitCode(), 0);
    // The takeover, had there been one, happened when the intruder logged in.
    const QString log = m_broker.log().mid(logged);
    QVERIFY2(!log.contains("Client " + programId + " already connected") && !log.contains("Client vovadudozad already connected"),
             qPrintable(log));
    QVERIFY(m_gui->mqttClient().isConnected());
    QVERIFY(barrier());
}

QTEST_MAIN(Tst_BrokerAccess)
#include "tst_brokeraccess.moc"
