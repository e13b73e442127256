// From a scan result on the broker to the passenger screen: the time from a second client
// publishing on "orvo/blm/rfid/scanned" until the GUI manager emits `screenChanged` for "Valid",
// with the window loaded. Beside it, in the same run and alternating in blocks, the bare broker
// round trip: the same publisher to a plain manager::MqttClient listening on a topic of its own.
//
// One process, one thread (the program's own model), one private mosquitto on a free port.

#include "benchsupport.h"
#include "config.h"
#include "guimanager.h"
#include "mqttclient.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace bench;

namespace {

constexpr int Scans = 2000;
constexpr int Block = 100; // alternate GUI and bare runs so outside load hits both alike
constexpr int Warmup = 50;

// Microseconds, from nanoseconds.
double percentileUs(const std::vector<qint64>& values, double p)
{
    return percentile(values, p) / 1000.0;
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
    Broker broker;
    if (!broker.start()) {
        fprintf(stderr, "bench_gui: mosquitto did not start\n");
        return 1;
    }
    const quint16 port = broker.port();

    Config config(dir.filePath("gui.conf"), GUIManager::Defaults);
    configureProgram(config, port, dir.path(), "BENCH-1");

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

    if (gui.empty() || bare.empty()) {
        fprintf(stderr, "bench_gui: no measurements (%d timeouts)\n", failures);
        return 1;
    }
    const double guiMedian = percentileUs(gui, 0.5);
    const double bareMedian = percentileUs(bare, 0.5);
    printf("scan to \"Valid\" screen : median %8.1f us, p99 %8.1f us  (%zu scans)\n", guiMedian,
           percentileUs(gui, 0.99), gui.size());
    printf("bare broker round trip : median %8.1f us, p99 %8.1f us  (%zu messages)\n", bareMedian,
           percentileUs(bare, 0.99), bare.size());
    printf("ratio (median)         : %.2fx  (target under 3x: %s)\n", guiMedian / bareMedian,
           guiMedian < 3 * bareMedian ? "met" : "missed");
    if (failures)
        printf("timeouts               : %d\n", failures);
    return 0;
}
