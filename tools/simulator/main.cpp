#include "buildversion.h"
#include "simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("VovadudozSim"));
    QCoreApplication::setApplicationVersion(buildVersion());

    Simulator::Options options;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays the validation, board, network, device and inspector services of the validator on one "
        "MQTT broker. Type help at the prompt for the commands."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption host({ QStringLiteral("H"), QStringLiteral("host") }, QStringLiteral("Broker host."),
                                  QStringLiteral("host"), options.host);
    const QCommandLineOption port({ QStringLiteral("P"), QStringLiteral("port") }, QStringLiteral("Broker port."),
                                  QStringLiteral("port"), QString::number(options.port));
    const QCommandLineOption blm(QStringLiteral("blm"), QStringLiteral("Validation service base topic."),
                                 QStringLiteral("topic"), options.blm);
    const QCommandLineOption board(QStringLiteral("board"), QStringLiteral("Board service base topic."),
                                   QStringLiteral("topic"), options.board);
    const QCommandLineOption network(QStringLiteral("network"), QStringLiteral("Network service base topic."),
                                     QStringLiteral("topic"), options.network);
    const QCommandLineOption device(QStringLiteral("device"), QStringLiteral("Device service base topic."),
                                    QStringLiteral("topic"), options.device);
    const QCommandLineOption inspector(QStringLiteral("inspector"), QStringLiteral("Inspector service base topic."),
                                       QStringLiteral("topic"), options.inspector);
    const QCommandLineOption ui(QStringLiteral("ui"), QStringLiteral("The program's own base topic."),
                                QStringLiteral("topic"), options.ui);
    const QCommandLineOption control(QStringLiteral("control"),
                                     QStringLiteral("Topic that takes commands; answers go to <topic>/reply."),
                                     QStringLiteral("topic"), options.control);
    const QCommandLineOption step(QStringLiteral("step-ms"),
                                  QStringLiteral("Pause between the steps of checks, installs and NTP syncs."),
                                  QStringLiteral("msec"), QString::number(options.stepMillis));
    const QCommandLineOption demo(QStringLiteral("demo"), QStringLiteral("Run the demo once connected."));
    const QCommandLineOption exitAfterDemo(QStringLiteral("exit-after-demo"),
                                           QStringLiteral("Stop when the demo has finished."));
    const QCommandLineOption pause(QStringLiteral("demo-pause-ms"), QStringLiteral("Pause between demo steps."),
                                   QStringLiteral("msec"), QString::number(options.demoPauseMillis));
    const QCommandLineOption demoWait(QStringLiteral("demo-wait-ms"),
                                      QStringLiteral("Longest wait for the program to come online before the demo."),
                                      QStringLiteral("msec"), QString::number(options.demoWaitMillis));
    const QCommandLineOption networkStatus(QStringLiteral("network-status-ms"),
                                           QStringLiteral("Interval of the network service's own status messages."),
                                           QStringLiteral("msec"), QString::number(options.networkStatusMillis));
    const QCommandLineOption noPrompt(QStringLiteral("no-prompt"), QStringLiteral("Do not show the prompt."));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Also show debug lines (every message sent)."));
    parser.addOptions({ host, port, blm, board, network, device, inspector, ui, control, step, demo, exitAfterDemo,
                        pause, demoWait, networkStatus, noPrompt, verbose });
    parser.process(app);

    bool ok = true;
    const auto number = [&parser, &ok](const QCommandLineOption& option, int max) {
        bool good = false;
        const int value = parser.value(option).toInt(&good);
        if (!good || value < 0 || value > max) {
            std::fprintf(stderr, "Invalid value for --%s: %s\n", qPrintable(option.names().constLast()),
                         qPrintable(parser.value(option)));
            ok = false;
        }
        return value;
    };
    options.host = parser.value(host);
    options.port = unsigned(number(port, 65535));
    options.stepMillis = number(step, 600000);
    options.demoPauseMillis = number(pause, 600000);
    options.demoWaitMillis = number(demoWait, 600000);
    options.networkStatusMillis = qMax(100, number(networkStatus, 3600000));
    options.blm = parser.value(blm);
    options.board = parser.value(board);
    options.network = parser.value(network);
    options.device = parser.value(device);
    options.inspector = parser.value(inspector);
    options.ui = parser.value(ui);
    options.control = parser.value(control);
    options.demo = parser.isSet(demo);
    options.exitAfterDemo = parser.isSet(exitAfterDemo);
    options.prompt = !parser.isSet(noPrompt);
    if (!ok)
        return 2;

    qSetMessagePattern(QStringLiteral("%{time hh:mm:ss.zzz} %{message}"));
    if (!parser.isSet(verbose))
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    Simulator simulator(options);
    QObject::connect(&simulator, &Simulator::finished, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    simulator.start();
    return app.exec();
}
