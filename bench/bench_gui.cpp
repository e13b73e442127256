// From a scan result on the broker to the passenger screen: the time from a second client
// publishing on "orvo/blm/rfid/scanned" until the GUI manager emits `screenChanged` for "Valid",
// with the window loaded. Beside it, in the same run and alternating in blocks, the bare broker
// round trip: the same publisher to a plain manager::MqttClient listening on a topic of its own.
//
// One process, one thread (the program's own model), one private mosquitto on a free port.

#include "config.h"
#include "guimanager.h"
#include "mqttclient.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int Scans = 2000;
constexpr int Block = 100; // alternate GUI and bare runs so outside load hits both alike
constexpr int Warmup = 50;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

bool waitForPort(quint16 port)
{
    for (int i = 0; i < 250; ++i) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(200))
            return true;
        QThread::msleep(20);
    }
    return false;
}

// Runs the event loop until `done` holds or the time is up.
template<typename Predicate>
bool spin(Predicate done, int ms = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

double percentile(std::vector<qint64> values, double p)
{
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return double(values[index]) / 1000.0; // microseconds
}

const QByteArray ScanPayload = R"({"transaction": {"result": true, "type": 2, "ticketId": "T-1",
    "fareProductName": "Single", "passengerTypeName": "Adult",
    "card": {"balanceBefore": 1000, "balanceAfter": 850}}})";

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software"); // no GL context offscreen
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bench_gui"));

    QTemporaryDir dir;
    const quint16 port = freePort();
    QFile conf(dir.filePath("mosquitto.conf"));
    if (!conf.open(QIODevice::WriteOnly))
        return 1;
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\nset_tcp_nodelay true\npersistence false\n")
                   .arg(port)
                   .toUtf8());
    conf.close();
    // Run as root, mosquitto drops to its own user: let it read its configuration.
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                              | QFileDevice::ReadOther | QFileDevice::ExeOther);
    QFile::setPermissions(conf.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    QProcess broker;
    broker.start(QStringLiteral(MOSQUITTO_BIN), { "-c", conf.fileName() });
    if (!broker.waitForStarted() || !waitForPort(port)) {
        fprintf(stderr, "bench_gui: mosquitto did not start\n");
        return 1;
    }

    Config config(dir.filePath("gui.conf"), GUIManager::Defaults);
    config.set("mqtt/host", "127.0.0.1");
    config.set("mqtt/port", int(port));
    config.set("log/syslog", false);
    config.set("log/stderr", false);
    config.set("gui/deviceId", dir.filePath("serialnumber"));
    QFile serial(dir.filePath("serialnumber"));
    if (serial.open(QIODevice::WriteOnly))
        serial.write("BENCH-1");
    serial.close();

    int failures = 0;
    std::vector<qint64> gui;
    std::vector<qint64> bare;
    {
        GUIManager manager(config, dir.path());
        manager.load();

        manager::MqttClient publisher;
        publisher.setHostname("127.0.0.1");
        publisher.setPort(port);
        publisher.setClientId("bench-publisher");
        publisher.connect();

        manager::MqttClient echo;
        echo.setHostname("127.0.0.1");
        echo.setPort(port);
        echo.setClientId("bench-echo");
        echo.subscribe("bench/rtt");
        echo.connect();

        if (!spin([&] { return manager.mqttClient().isConnected() && publisher.isConnected() && echo.isConnected(); },
                  10000)) {
            fprintf(stderr, "bench_gui: clients did not connect\n");
            return 1;
        }
        // The services as the program finds them in service: validator online, display powered.
        publisher.publish(R"({"service": true, "state": {"hasRfid": true, "hasRoute": true, "hasQr": true, "hasObu": true}})",
                          "orvo/blm/status");
        publisher.publish(R"({"display": true})", "orvo/board/power");
        spin([&] { return manager.screen() == QLatin1String("ScanScreens"); });
        // Give the subscription of the echo client time to be in force.
        bool echoed = false;
        QObject::connect(&echo, &manager::MqttClient::received, [&] { echoed = true; });
        for (int i = 0; i < 50 && !echoed; ++i) {
            publisher.publish("x", "bench/rtt");
            spin([&] { return echoed; }, 100);
        }

        qint64 sentNs = 0;
        qint64 arrivedNs = 0;
        int shown = 0;
        int echoes = 0;
        QObject::connect(&manager, &GUIManager::screenChanged, [&] {
            if (manager.screen() == QLatin1String("Valid")) {
                arrivedNs = nowNs();
                ++shown;
            }
        });
        QObject::connect(&echo, &manager::MqttClient::received, [&] {
            arrivedNs = nowNs();
            ++echoes;
        });

        const auto once = [&](bool viaGui) {
            arrivedNs = 0;
            sentNs = nowNs();
            if (viaGui)
                publisher.publish(ScanPayload, "orvo/blm/rfid/scanned");
            else
                publisher.publish(ScanPayload, "bench/rtt");
            if (!spin([&] { return arrivedNs != 0; })) {
                ++failures;
                return qint64(-1);
            }
            return arrivedNs - sentNs;
        };

        for (int i = 0; i < Warmup; ++i) {
            once(true);
            once(false);
        }
        for (int done = 0; done < Scans; done += Block) {
            for (int i = 0; i < Block; ++i) {
                const qint64 t = once(false);
                if (t >= 0)
                    bare.push_back(t);
            }
            for (int i = 0; i < Block; ++i) {
                const qint64 t = once(true);
                if (t >= 0)
                    gui.push_back(t);
            }
        }
        // Each send must have produced exactly one arrival, or the pairs above are skewed.
        if (shown != echoes)
            fprintf(stderr, "bench_gui: %d screens for %d echoes\n", shown, echoes);
    }
    broker.kill();
    broker.waitForFinished();

    if (gui.empty() || bare.empty()) {
        fprintf(stderr, "bench_gui: no measurements (%d timeouts)\n", failures);
        return 1;
    }
    const double guiMedian = percentile(gui, 0.5);
    const double bareMedian = percentile(bare, 0.5);
    printf("scan to \"Valid\" screen : median %8.1f us, p99 %8.1f us  (%zu scans)\n", guiMedian,
           percentile(gui, 0.99), gui.size());
    printf("bare broker round trip : median %8.1f us, p99 %8.1f us  (%zu messages)\n", bareMedian,
           percentile(bare, 0.99), bare.size());
    printf("ratio (median)         : %.2fx  (target under 3x: %s)\n", guiMedian / bareMedian,
           guiMedian < 3 * bareMedian ? "met" : "missed");
    if (failures)
        printf("timeouts               : %d\n", failures);
    return 0;
}
