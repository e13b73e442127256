#include "brokerfixture.h"
#include "buildversion.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <memory>

namespace {

QJsonObject parse(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

// The real program against a private broker, with this test playing the validation, board and
// inspector services. The cases run in order on one running program.
class Tst_E2e : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void announcesItselfOnConnection();
    void onlineStatusShowsScanScreens();
    void validCardPlaysSoundAndShowsValid();
    void answersOwnTopics();
    void configSetChangesFileAndRepublishes();
    void untrustedTextsNeverFreezeTheScreen_data();
    void untrustedTextsNeverFreezeTheScreen();
    void brokerLossAndReconnection();
    void lastWillWhenKilled();

private:
    bool waitForLog(const QString& text, int ms);

    QTemporaryDir m_dir;
    std::unique_ptr<BrokerFixture> m_wire;   // a private broker and a peer hearing every topic
    QProcess m_app;
    QByteArray m_log;
    int m_logPos = 0;
    bool m_failed = false;
};

bool Tst_E2e::waitForLog(const QString& text, int ms)
{
    // Lines are matched in order: each hit moves the reading position past it.
    const QByteArray wanted = text.toUtf8();
    return QTest::qWaitFor(
        [&] {
            const int at = m_log.indexOf(wanted, m_logPos);
            if (at < 0)
                return false;
            m_logPos = at + wanted.size();
            return true;
        },
        ms);
}

void Tst_E2e::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_wire.reset(new BrokerFixture);
    QVERIFY(m_wire->start({"#"}));

    // The program keeps its event log next to itself: run a copy inside the temporary folder.
    const QString program = m_dir.filePath("VovadudozAD");
    QVERIFY(QFile::copy(VOVADUDOZ_APP, program));
    QFile serial(m_dir.filePath("serialnumber"));
    QVERIFY(serial.open(QIODevice::WriteOnly));
    serial.write("E2E-0001\n");
    serial.close();
    {
        QSettings settings(m_dir.filePath("gui.conf"), QSettings::IniFormat);
        settings.setValue("mqtt/host", m_wire->broker.host());
        settings.setValue("mqtt/port", m_wire->broker.port());
        settings.setValue("log/syslog", false);
        settings.setValue("gui/deviceId", serial.fileName());
        settings.setValue("gui/settingsPin", "97531");
    }

    connect(&m_app, &QProcess::readyReadStandardError, this, [this] { m_log += m_app.readAllStandardError(); });
    m_app.setWorkingDirectory(m_dir.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QT_QUICK_BACKEND", "software");
    m_app.setProcessEnvironment(environment);
    m_app.start(program, { "-f", "gui.conf", "-e", "-v", "3" });
    QVERIFY(m_app.waitForStarted(10000));
}

void Tst_E2e::cleanup()
{
    m_failed = m_failed || QTest::currentTestFailed();
}

void Tst_E2e::cleanupTestCase()
{
    if (m_app.state() != QProcess::NotRunning) {
        m_app.kill();
        m_app.waitForFinished(10000);
    }
    if (m_failed || qEnvironmentVariableIsSet("VOVADUDOZ_TEST_LOG"))
        qInfo().noquote() << m_log;
}

void Tst_E2e::announcesItselfOnConnection()
{
    QCOMPARE(parse(m_wire->peer->waitFor("orvo/ui/info", 20000)), QJsonObject({ { "version", buildVersion() } }));
    const QJsonObject status = parse(m_wire->peer->waitFor("orvo/ui/status", 5000));
    QCOMPARE(status.value("technician"), QJsonValue(false));
    QCOMPARE(status.value("service"), QJsonValue(true));
    const QJsonObject config = parse(m_wire->peer->waitFor("orvo/ui/config", 5000));
    QCOMPARE(config.value("mqtt").toObject().value("base").toString(), QString("orvo/ui"));
    QVERIFY(!config.value("gui").toObject().contains("settingsPin"));
    QVERIFY(waitForLog("[GUIManager] Setting screen : Busy (timeout=10000 msec)", 5000));
}

void Tst_E2e::onlineStatusShowsScanScreens()
{
    const QJsonObject state { { "hasRfid", true }, { "hasRoute", true }, { "hasQr", true }, { "hasObu", true } };
    m_wire->peer->publish("orvo/blm/status", json({ { "service", true }, { "state", state } }));
    QCOMPARE(parse(m_wire->peer->waitFor("orvo/rfid/enable", 10000)), QJsonObject({ { "autoread", true } }));
    QVERIFY(!m_wire->peer->waitFor("orvo/barcode/enable", 5000).isNull());
    QVERIFY(waitForLog("[GUIManager] Setting screen : ScanScreens", 5000));
}

void Tst_E2e::validCardPlaysSoundAndShowsValid()
{
    const QJsonObject transaction { { "result", true }, { "type", 2 }, { "fareProductName", "Single" },
                                    { "card", QJsonObject { { "balanceBefore", 1000 }, { "balanceAfter", 850 } } } };
    m_wire->peer->publish("orvo/blm/rfid/scanned", json({ { "transaction", transaction } }));
    QCOMPARE(parse(m_wire->peer->waitFor("orvo/inspector/audio/play", 10000)),
             QJsonObject({ { "device", "internal" }, { "filepath", "/opt/orvo/vovadudozad/Valid.wav" } }));
    QVERIFY(waitForLog("[GUIManager] Setting screen : Valid (timeout=3000 msec)", 5000));
}

void Tst_E2e::answersOwnTopics()
{
    m_wire->peer->publish("orvo/ui/info/get", QByteArray());
    QCOMPARE(parse(m_wire->peer->waitFor("orvo/ui/info", 10000)), QJsonObject({ { "version", buildVersion() } }));
    m_wire->peer->takeAll();
    m_wire->peer->publish("orvo/ui/status/get", "{}");
    // Any status from now on tells the depot about the card shown above, and how long
    // passengers wait for results.
    QJsonObject status = parse(m_wire->peer->waitFor("orvo/ui/status", 10000));
    const QJsonObject display = status.take("display").toObject();
    QCOMPARE(status.value("technician"), QJsonValue(false));
    QCOMPARE(status.value("service"), QJsonValue(true));
    QCOMPARE(status.value("resultsShown"), QJsonValue(1));
    QVERIFY(status.value("uptimeSec").isDouble());
    QVERIFY(QStringList({ "Valid", "ScanScreens" }).contains(status.value("screen").toString()));
    QCOMPARE(display.value("results").toInt(), 1);
    QVERIFY(display.contains("resultFrameMsP50"));
    QVERIFY(display.contains("resultFrameMsP99"));
    m_wire->peer->publish("orvo/ui/config/get", QByteArray());
    const QByteArray config = m_wire->peer->waitFor("orvo/ui/config", 10000);
    QCOMPARE(parse(config).value("gui").toObject().value("deviceId").toString(), m_dir.filePath("serialnumber"));
    QVERIFY(!config.contains("97531"));
}

void Tst_E2e::configSetChangesFileAndRepublishes()
{
    m_wire->peer->publish("orvo/ui/config/set", json({ { "gui", QJsonObject { { "displayOffMin", 7 } } } }));
    const QJsonObject config = parse(m_wire->peer->waitFor("orvo/ui/config", 10000));
    QCOMPARE(config.value("gui").toObject().value("displayOffMin").toInt(), 7);
    QSettings settings(m_dir.filePath("gui.conf"), QSettings::IniFormat);
    QCOMPARE(settings.value("gui/displayOffMin").toInt(), 7);
    QCOMPARE(settings.value("gui/settingsPin").toString(), QString("97531")); // untouched
}

// Values that froze the GUI thread for good: a screen-saver picture that is a terminal or a
// named pipe (opened and read on the GUI thread), and markup in a service's text (rendered, its
// image opened). After each the program still answers at once.
void Tst_E2e::untrustedTextsNeverFreezeTheScreen_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<QString>("refusal");

    const auto saver = [](const QString& value) {
        return json({ { "gui", QJsonObject { { "screenSaverImg", value } } } });
    };
    QTest::newRow("saver picture: a terminal") << "orvo/ui/config/set" << saver("file:///dev/ptmx")
                                               << "Screen-saver image changed : file:///dev/ptmx"
                                               << "Screen-saver image refused (outside the state folder";
    QTest::newRow("saver picture: a named pipe") << "orvo/ui/config/set" << saver("saver.fifo")
                                                 << "Screen-saver image changed : saver.fifo"
                                                 << "Screen-saver image refused (not a regular file)";
    const QJsonObject markup { { "result", true }, { "type", 2 },
                               { "fareProductName", "<img src=\"file:///dev/ptmx\">" } };
    QTest::newRow("markup in a fare product") << "orvo/blm/rfid/scanned" << json({ { "transaction", markup } })
                                              << "Validator ticket validated : " << "";
}

void Tst_E2e::untrustedTextsNeverFreezeTheScreen()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QFETCH(QString, logLine);
    QFETCH(QString, refusal);

    const QString fifo = m_dir.filePath("saver.fifo"); // in the program's own folder
    if (!QFileInfo::exists(fifo))
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    m_wire->peer->publish(topic, payload);
    QVERIFY(waitForLog(logLine, 10000));
    m_wire->peer->takeAll();
    m_wire->peer->publish("orvo/ui/status/get", "{}");
    QVERIFY2(!m_wire->peer->waitFor("orvo/ui/status", 1000).isNull(), "no status within a second");
    QCOMPARE(m_app.state(), QProcess::Running);
    if (!refusal.isEmpty())
        QVERIFY(m_log.contains(refusal.toUtf8()));
}

void Tst_E2e::brokerLossAndReconnection()
{
    m_wire->broker.kill();
    QVERIFY(waitForLog("[GUIManager] WARN: Disconnected from MQTT broker", 15000));
    QVERIFY(waitForLog("[GUIManager] Setting message : Disconnected", 5000));
    QVERIFY(m_log.lastIndexOf("Setting screen : OutOfOrder") > m_log.lastIndexOf("Setting screen : Valid"));

    m_wire->peer->takeAll();
    QVERIFY(m_wire->broker.start());
    QVERIFY(m_wire->peer->waitConnected(10000));
    QCOMPARE(parse(m_wire->peer->waitFor("orvo/ui/info", 20000)), QJsonObject({ { "version", buildVersion() } }));
    QVERIFY(!m_wire->peer->waitFor("orvo/ui/config", 5000).isNull());
    QCOMPARE(m_app.state(), QProcess::Running);
}

void Tst_E2e::lastWillWhenKilled()
{
    m_wire->peer->takeAll();
    m_app.kill();
    QVERIFY(m_app.waitForFinished(10000));
    QCOMPARE(parse(m_wire->peer->waitFor("orvo/ui/status", 15000)), QJsonObject({ { "service", false } }));
}

QTEST_GUILESS_MAIN(Tst_E2e)
#include "tst_e2e.moc"
