#include "simulator.h"

#include "boardservice.h"
#include "commandinterpreter.h"
#include "console.h"
#include "demoscenario.h"
#include "deviceservice.h"
#include "inspectorservice.h"
#include "networkservice.h"
#include "validationservice.h"

#include <QCoreApplication>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

Simulator::Simulator(const Options& options, QObject* parent)
    : QObject(parent)
    , m_options(options)
    , m_validation(new ValidationService(m_client, options.blm, this))
    , m_board(new BoardService(m_client, options.board, this))
    , m_network(new NetworkService(m_client, options.network, this))
    , m_device(new DeviceService(m_client, options.device, this))
    , m_inspector(new InspectorService(m_client, options.inspector, this))
    , m_services { m_validation, m_board, m_network, m_device, m_inspector }
    , m_interpreter(new CommandInterpreter(*m_validation, *m_board, *m_device, *m_inspector, this))
    , m_demo(new DemoScenario(*m_interpreter, this))
    , m_console(new Console(options.prompt, this))
{
    m_device->setStepMillis(options.stepMillis);
    m_validation->setRemoveDelay(qMax(options.stepMillis, 100));
    m_network->setStatusInterval(options.networkStatusMillis);
    m_demo->setPauseMillis(options.demoPauseMillis);

    connect(&m_client, &manager::MqttClient::connected, this, &Simulator::onConnected);
    connect(&m_client, &manager::MqttClient::received, this, &Simulator::onReceived);
    connect(&m_client, &manager::MqttClient::disconnected, this, [] {
        qWarning().noquote().nospace() << "[Sim] WARN: lost the broker, reconnecting";
    });
    connect(m_interpreter, &CommandInterpreter::quitRequested, this, &Simulator::quit, Qt::QueuedConnection);
    connect(m_interpreter, &CommandInterpreter::demoRequested, m_demo, &DemoScenario::start, Qt::QueuedConnection);
    connect(m_interpreter, &CommandInterpreter::republishRequested, this, &Simulator::publishAll);
    connect(m_demo, &DemoScenario::finished, this, &Simulator::onDemoFinished);
    connect(m_console, &Console::lineEntered, this, &Simulator::onLine);
    connect(m_console, &Console::endOfInput, this, &Simulator::onEndOfInput);
    connect(m_console, &Console::interrupted, this, &Simulator::quit);

    // Recorded now, sent by the client on every connection.
    for (SimService* service : qAsConst(m_services)) {
        for (const QString& topic : service->requestTopics())
            m_client.subscribe(topic);
    }
    m_client.subscribe(m_options.ui + QStringLiteral("/status"));
    m_client.subscribe(m_options.control);
}

Simulator::~Simulator() = default;

void Simulator::start()
{
    m_client.setHostname(m_options.host);
    m_client.setPort(m_options.port);
    m_client.setClientId(QStringLiteral("VovadudozSim_%1").arg(QCoreApplication::applicationPid()));
    m_client.setRetryMillis(1000);
    qInfo().noquote().nospace() << "[Sim] services on " << m_options.host << ":" << m_options.port
                                << "; commands on the prompt or on " << m_options.control << " (type help)";
    m_client.connect();
    m_console->prompt();
}

void Simulator::onConnected()
{
    qInfo().noquote().nospace() << "[Sim] connected to the broker, every service sends its state";
    // The client subscribes right after this signal; give the broker that moment before the
    // state goes out, so nothing the program asks in between is missed.
    QTimer::singleShot(50, this, &Simulator::publishAll);
    // The demo waits for the program to come online (it switches the readers on then), but
    // not for ever: the simulator may be running on its own.
    if (m_options.demo && !m_demoStarted)
        QTimer::singleShot(m_options.demoWaitMillis, this, &Simulator::startDemo);
}

void Simulator::startDemo()
{
    if (m_demoStarted || m_quitting)
        return;
    m_demoStarted = true;
    m_demo->start();
}

void Simulator::publishAll()
{
    for (SimService* service : qAsConst(m_services))
        service->publishAll();
}

void Simulator::onReceived(const QByteArray& payload, const QByteArray& topicBytes)
{
    const QString topic = QString::fromUtf8(topicBytes);
    if (topic == m_options.control) {
        const QString line = QString::fromUtf8(payload.left(4096)).trimmed();
        qInfo().noquote().nospace() << "[Sim] command from " << topic << ": " << line.left(200);
        const QString result = m_interpreter->execute(line);
        m_client.publish(result.toUtf8(), m_options.control + QStringLiteral("/reply"));
        return;
    }
    if (topic == m_options.ui + QStringLiteral("/status")) {
        // The program says "service": true after each of its connections. Its validator proxy
        // asks for nothing then, so the services speak up, as they do when a client appears.
        const QJsonObject status = QJsonDocument::fromJson(payload).object();
        if (status.value(QStringLiteral("service")).toBool()) {
            qInfo().noquote().nospace() << "[Sim] the program is online, every service sends its state";
            publishAll();
            if (m_options.demo)
                QTimer::singleShot(100, this, &Simulator::startDemo);
        } else {
            qInfo().noquote().nospace() << "[Sim] the program is offline";
        }
        return;
    }
    for (SimService* service : qAsConst(m_services)) {
        if (service->handleMessage(payload, topic))
            return;
    }
}

void Simulator::onLine(const QString& line)
{
    m_console->print(m_interpreter->execute(line));
    if (!m_quitting)
        m_console->prompt();
}

void Simulator::onEndOfInput()
{
    m_inputClosed = true;
    // Without a terminal the demo (if asked for) still runs to its end.
    if (m_demo->isRunning() || (m_options.demo && !m_demoStarted))
        return;
    if (m_options.demo && !m_options.exitAfterDemo)
        return;
    quit();
}

void Simulator::onDemoFinished()
{
    if (m_options.exitAfterDemo || (m_inputClosed && m_options.demo))
        quit();
    else
        m_console->prompt();
}

void Simulator::quit()
{
    if (m_quitting)
        return;
    m_quitting = true;
    m_demo->stop();
    qInfo().noquote().nospace() << "[Sim] stopping";
    emit finished(0);
}
