#pragma once

#include "mqttclient.h"

#include <QObject>
#include <QString>
#include <QVector>

class BoardService;
class CommandInterpreter;
class Console;
class DemoScenario;
class DeviceService;
class InspectorService;
class NetworkService;
class SimService;
class ValidationService;

// Builds and wires the simulated services on one broker connection, feeds them the requests
// they subscribe to, and takes commands from the prompt and from the control topic (whose
// answer goes to the control topic followed by "/reply").
class Simulator : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QString host = QStringLiteral("127.0.0.1");
        unsigned port = 1883;
        QString blm = QStringLiteral("orvo/blm");
        QString board = QStringLiteral("orvo/board");
        QString network = QStringLiteral("orvo/network");
        QString device = QStringLiteral("orvo/device");
        QString inspector = QStringLiteral("orvo/inspector");
        QString ui = QStringLiteral("orvo/ui");
        QString control = QStringLiteral("orvo/sim/command");
        int stepMillis = 400;
        int demoPauseMillis = 4000;
        int networkStatusMillis = 10000;
        int demoWaitMillis = 10000;   // longest wait for the program before the demo starts
        bool demo = false;
        bool exitAfterDemo = false;
        bool prompt = true;
    };

    explicit Simulator(const Options& options, QObject* parent = nullptr);
    ~Simulator() override;

    void start();

signals:
    void finished(int exitCode);

private slots:
    void onConnected();
    void onReceived(const QByteArray& payload, const QByteArray& topic);
    void onLine(const QString& line);
    void onEndOfInput();
    void onDemoFinished();
    void publishAll();
    void startDemo();
    void quit();

private:
    Options m_options;
    manager::MqttClient m_client;
    ValidationService* m_validation;
    BoardService* m_board;
    NetworkService* m_network;
    DeviceService* m_device;
    InspectorService* m_inspector;
    QVector<SimService*> m_services;
    CommandInterpreter* m_interpreter;
    DemoScenario* m_demo;
    Console* m_console;
    bool m_inputClosed = false;
    bool m_demoStarted = false;
    bool m_quitting = false;
};
