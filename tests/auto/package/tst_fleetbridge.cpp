#include <QDir>
#include <QFile>
#include <QImage>
#include <QWindow>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "config.h"
#include "guimanager.h"
#include "logger.h"
#include "shippedbroker.h"

// The depot's view of a vehicle through the shipped bridge snippet: the vehicle's broker (the
// package's settings and identities, the snippet enabled with its prefix filled in) bridged to
// a central broker through a link the test can cut.
namespace {

const QString Vehicle = QStringLiteral("bus-042");
const QString Remote = QStringLiteral("fleet/bus-042/ui");

// A TCP link between the vehicle and the depot that can be cut and restored on the same port.
class Link
{
public:
    explicit Link(quint16 target)
        : m_target(target)
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* in = m_server.nextPendingConnection()) {
                auto* out = new QTcpSocket(in);
                m_open << in;
                QObject::connect(in, &QTcpSocket::readyRead, out, [in, out] { out->write(in->readAll()); });
                QObject::connect(out, &QTcpSocket::readyRead, in, [in, out] { in->write(out->readAll()); });
                QObject::connect(out, &QTcpSocket::disconnected, in, [in] { in->disconnectFromHost(); });
                QObject::connect(in, &QTcpSocket::disconnected, in, [in] { in->deleteLater(); });
                QObject::connect(out, &QTcpSocket::connected, in, [in, out] { out->write(in->readAll()); });
                out->connectToHost(QHostAddress::LocalHost, m_target);
            }
        });
    }
    ~Link() { cut(); }
    bool up(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port ? port : m_port) && (m_port = m_server.serverPort()); }
    void cut()
    {
        m_server.close();
        for (const QPointer<QTcpSocket>& socket : qAsConst(m_open))
            if (socket)
                socket->abort();
        m_open.clear();
    }
    quint16 port() const { return m_port; }

private:
    QTcpServer m_server;
    quint16 m_target;
    quint16 m_port = 0;
    QList<QPointer<QTcpSocket>> m_open;
};

QJsonObject json(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

} // namespace

class Tst_FleetBridge : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void depotReadsInfoAndStatus();
    void depotGetsAScreenshot();
    void depotReadsTheLastSelfTest();
    void depotChangesASetting();
    void depotSeesTheLinkLostAndBack();
    void depotSeesTheProgramsLastWill();
    void anotherVehicleCannotConfigureThisOne();

private:
    // Asks again every half second until an answer comes: the bridge may still be
    // subscribing at the central broker after a reconnection.
    QByteArray ask(const QString& what, int ms);

    QTemporaryDir m_centralDir;
    std::unique_ptr<TestBroker> m_central;
    std::unique_ptr<Link> m_link;
    ShippedBroker m_vehicle;
    QTemporaryDir m_dir;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<GUIManager> m_gui;
    std::unique_ptr<Party> m_depot;
};

QByteArray Tst_FleetBridge::ask(const QString& what, int ms)
{
    // Only an answer to this question counts, not one that came before it.
    for (int i = m_depot->got.size() - 1; i >= 0; --i)
        if (m_depot->got.at(i).first == Remote + "/" + what)
            m_depot->got.removeAt(i);
    QByteArray answer;
    static_cast<void>(QTest::qWaitFor([&] {
        m_depot->client.publish(QByteArray(), Remote + "/" + what + "/get");
        answer = m_depot->waitFor(Remote + "/" + what, 500);
        return !answer.isNull();
    }, ms));
    return answer;
}

void Tst_FleetBridge::initTestCase()
{
    manager::Logger::instance()->setSinks([](int, const char*) {}, [](const char*) {});
    // The depot's broker with the example access list the package ships: the vehicles and the
    // depot's tool log in.
    QVERIFY(m_centralDir.isValid());
    QFile::setPermissions(m_centralDir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                              | QFileDevice::ReadOther | QFileDevice::ExeOther);
    const QString passwd = m_centralDir.filePath("passwd");
    QFile(passwd).open(QIODevice::WriteOnly);
    for (const QString& user : {QStringLiteral("depot-tool"), Vehicle, QStringLiteral("bus-043")})
        QCOMPARE(QProcess::execute("mosquitto_passwd", {"-b", passwd, user, user + "-secret"}), 0);
    QFile::setPermissions(passwd, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    const QString acl = m_centralDir.filePath("depot.acl");
    QVERIFY(QFile::copy(QStringLiteral(VOVADUDOZ_SOURCE_DIR "/packaging/mosquitto/depot.acl"), acl));
    QFile::setPermissions(acl, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    m_central.reset(new TestBroker({"allow_anonymous false", "password_file " + passwd, "acl_file " + acl}));
    QVERIFY(m_central->start());
    m_link.reset(new Link(m_central->port()));
    QVERIFY(m_link->up());

    // The shipped snippet, enabled as its instructions say, without TLS (the central broker
    // here is a plain loopback one) and with a short reconnection delay.
    QFile snippet(QStringLiteral(VOVADUDOZ_SOURCE_DIR "/packaging/mosquitto/vovadudozad-bridge.conf"));
    QVERIFY(snippet.open(QIODevice::ReadOnly));
    QStringList bridge;
    for (QString line : QString::fromUtf8(snippet.readAll()).split('\n')) {
        if (line.size() < 2 || line[0] != '#' || !line[1].isLetter())
            continue; // explanations, not settings
        line = line.mid(1).replace("VEHICLE", Vehicle);
        if (line.startsWith("bridge_"))
            continue;
        if (line.startsWith("address "))
            line = QStringLiteral("address 127.0.0.1:%1").arg(m_link->port());
        if (line.startsWith("restart_timeout "))
            line = "restart_timeout 1";
        if (line.startsWith("remote_password "))
            line = "remote_password " + Vehicle + "-secret";
        bridge << line;
    }
    QVERIFY(bridge.contains("connection vovadudozad-depot"));
    QVERIFY2(m_vehicle.start(bridge), qPrintable(m_vehicle.error()));

    m_depot.reset(new Party("127.0.0.1", m_central->port(), "depot-tool", "depot-tool-secret", {"fleet/+/ui/#", "fleet/+/bridge"}));
    QVERIFY(m_depot->waitConnected(10000));
    QCOMPARE(m_depot->waitFor("fleet/" + Vehicle + "/bridge", 15000), QByteArray("1"));

    QFile serial(m_dir.filePath("serialnumber"));
    QVERIFY(serial.open(QIODevice::WriteOnly));
    serial.write(Vehicle.toUtf8());
    serial.close();
    m_config.reset(new Config(m_vehicle.settingsFile(), GUIManager::Defaults));
    m_config->addOverrides({{"mqtt/host", "127.0.0.1"}, {"mqtt/port", int(m_vehicle.broker->port())},
                            {"gui/deviceId", serial.fileName()}, {"log/syslog", false}});
    m_gui.reset(new GUIManager(*m_config, m_dir.path()));
    m_gui->load(); // the window, for screenshots
    QVERIFY(!m_gui->engine().rootObjects().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(m_gui->mqttClient().isConnected(), 10000);
}

void Tst_FleetBridge::cleanupTestCase()
{
    m_gui.reset();
    m_depot.reset();
}

void Tst_FleetBridge::depotReadsInfoAndStatus()
{
    const QJsonObject info = json(ask("info", 10000));
    QCOMPARE(info.value("version").toString(), QCoreApplication::applicationVersion());
    const QJsonObject status = json(ask("status", 10000));
    QCOMPARE(status.value("service").toBool(), true);
}

void Tst_FleetBridge::depotGetsAScreenshot()
{
    // The README's command: the request goes in through the bridge, the PNG comes out to a file.
    QProcess rr;
    rr.setProcessChannelMode(QProcess::SeparateChannels);
    rr.start("mosquitto_rr", {"-h", "127.0.0.1", "-p", QString::number(m_central->port()), "-u", "depot-tool",
                              "-P", "depot-tool-secret", "-t", Remote + "/screenshot/get", "-e", Remote + "/screenshot",
                              "-n", "-N", "-W", "40"});
    QVERIFY(rr.waitForStarted(5000));
    // This process is the vehicle too: its event loop must keep running meanwhile.
    QVERIFY(QTest::qWaitFor([&] { return rr.state() == QProcess::NotRunning; }, 50000));
    QCOMPARE(rr.exitCode(), 0);
    const QByteArray png = rr.readAllStandardOutput();
    QVERIFY2(png.size() <= 200 * 1024, qPrintable(QString::number(png.size())));
    QImage picture;
    QVERIFY2(picture.loadFromData(png, "PNG"), rr.readAllStandardError().constData());
    auto* window = qobject_cast<QWindow*>(m_gui->engine().rootObjects().first());
    QVERIFY(window);
    QCOMPARE(picture.size(), window->size() * window->devicePixelRatio());
}

void Tst_FleetBridge::depotReadsTheLastSelfTest()
{
    // FINISH on the Diagnostics page; the report file goes to the working directory.
    const QString startDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    m_gui->diagnostics()->saveReport();
    QDir::setCurrent(startDir);
    QVERIFY(!m_depot->waitFor(Remote + "/diagnostics", 15000).isNull());

    // The README's command, run after the fact: the central broker kept the report.
    QProcess sub;
    sub.setProcessChannelMode(QProcess::SeparateChannels);
    sub.start("mosquitto_sub", {"-h", "127.0.0.1", "-p", QString::number(m_central->port()), "-u", "depot-tool",
                                "-P", "depot-tool-secret", "-t", "fleet/+/ui/diagnostics", "--retained-only",
                                "-C", "1", "-W", "20"});
    QVERIFY(sub.waitForStarted(5000));
    QVERIFY(QTest::qWaitFor([&] { return sub.state() == QProcess::NotRunning; }, 30000));
    QCOMPARE(sub.exitCode(), 0);
    const QJsonObject report = json(sub.readAllStandardOutput());
    QCOMPARE(report.value("deviceId").toString(), Vehicle);
    QCOMPARE(report.value("values").toObject().size(), 35);
    QCOMPARE(report.value("values").toObject().value("deviceUid").toString(), Vehicle);
    QCOMPARE(report.value("result").toString(), QString("fail")); // nothing was tested by hand
}

void Tst_FleetBridge::depotChangesASetting()
{
    const int wanted = m_config->get("gui/displayOffMin").toInt() + 4;
    m_depot->got.clear();
    QVERIFY(m_depot->client.publish(QJsonDocument(QJsonObject{{"gui", QJsonObject{{"displayOffMin", wanted}}}}).toJson(),
                                    Remote + "/config/set"));
    // The program republishes its configuration after the change; the depot sees it.
    QVERIFY(QTest::qWaitFor([&] {
        const QByteArray config = m_depot->waitFor(Remote + "/config", 100);
        return !config.isNull() && json(config).value("gui").toObject().value("displayOffMin").toInt() == wanted;
    }, 10000));
    QCOMPARE(m_config->get("gui/displayOffMin").toInt(), wanted);
}

void Tst_FleetBridge::depotSeesTheLinkLostAndBack()
{
    m_depot->got.clear();
    m_link->cut();
    // The bridge's last will at the central broker.
    QCOMPARE(m_depot->waitFor("fleet/" + Vehicle + "/bridge", 15000), QByteArray("0"));

    QVERIFY(m_link->up(m_link->port()));
    QCOMPARE(m_depot->waitFor("fleet/" + Vehicle + "/bridge", 15000), QByteArray("1"));
    const QJsonObject status = json(ask("status", 15000));
    QCOMPARE(status.value("service").toBool(), true);
}

void Tst_FleetBridge::depotSeesTheProgramsLastWill()
{
    // A program that dies leaves its last will on its status topic; the broker publishes it
    // under the program's identity, and the bridge carries it to the depot. The program goes
    // without a goodbye (its connection simply closes), then starts again.
    QTRY_VERIFY_WITH_TIMEOUT(m_gui->mqttClient().isConnected(), 10000);
    m_depot->got.clear();
    m_gui.reset();
    QVERIFY(QTest::qWaitFor([&] {
        const QByteArray status = m_depot->waitFor(Remote + "/status", 100);
        return !status.isNull() && json(status) == QJsonObject{{"service", false}};
    }, 15000));
    m_gui.reset(new GUIManager(*m_config, m_dir.path()));
    QTRY_VERIFY_WITH_TIMEOUT(m_gui->mqttClient().isConnected(), 10000);
}

void Tst_FleetBridge::anotherVehicleCannotConfigureThisOne()
{
    // Another vehicle's bridge identity on the central broker may not reach into this one.
    const int before = m_config->get("gui/displayOffMin").toInt();
    const int code = QProcess::execute("mosquitto_pub",
        {"-h", "127.0.0.1", "-p", QString::number(m_central->port()), "-u", "bus-043", "-P", "bus-043-secret",
         "-q", "1", "-t", Remote + "/config/set", "-m", R"({"gui": {"displayOffMin": 59}})"});
    QCOMPARE(code, 0); // accepted at the door, dropped by the access list
    // An answer from the program means it has handled everything the bridge gave it before.
    QVERIFY(!ask("status", 15000).isNull());
    QCOMPARE(m_config->get("gui/displayOffMin").toInt(), before);
}

QTEST_MAIN(Tst_FleetBridge)
#include "tst_fleetbridge.moc"
