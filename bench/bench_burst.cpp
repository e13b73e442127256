// A burst of broker traffic against the whole program: tens of thousands of validation results
// and status reports, published as fast as a second client can, through a private mosquitto to a
// GUI manager with the window loaded. Figures: how much the process's resident memory grows at
// its peak during the burst and how much of it stays, and how far the program (the last result
// taken in by the GUI manager) lags behind the end of the burst on the publishing side.
//
// The publisher is a plain libmosquitto client on a thread of its own with the library's network
// thread, so it sends at full speed while the program's single GUI thread works through it.

#include "benchsupport.h"
#include "config.h"
#include "guimanager.h"
#include "transaction.h"
#include "transactionview.h"
#include "validator.h"

#include <QFile>
#include <QGuiApplication>
#include <QQmlContext>
#include <QTemporaryDir>

#include <mosquitto.h>

#include <atomic>
#include <cstdio>
#include <thread>

using namespace bench;

namespace {

int BurstMessages = 30000; // the first argument may ask for another number
constexpr int StatusEvery = 10; // one status report among ten messages, the rest are results

// "VmRSS" or "VmHWM" of this process, in KiB.
long procStatus(const char* field)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Sets the peak back to the current size, so VmHWM tells the peak of what follows.
void resetPeak()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

QByteArray scan(int i, bool last)
{
    return QStringLiteral(R"({"transaction": {"result": true, "type": 2, "ticketId": "%1",
        "fareProductName": "Single", "passengerTypeName": "Adult",
        "card": {"balanceBefore": 1000, "balanceAfter": 850}}})")
        .arg(last ? QStringLiteral("LAST") : QStringLiteral("T-%1").arg(i))
        .toUtf8();
}

QByteArray status(int i)
{
    // Alternates between two reports that both keep the validator online.
    return i % 2 ? QByteArrayLiteral(R"({"service": true, "state": {"hasRfid": true, "hasRoute": true, "hasQr": true, "hasObu": true}})")
                 : QByteArrayLiteral(R"({"service": true, "state": {"hasRfid": true, "hasRoute": true, "hasQr": true, "hasObu": false}})");
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bench_burst"));
    if (argc > 1 && QByteArray(argv[1]).toInt() > 0)
        BurstMessages = QByteArray(argv[1]).toInt();

    QTemporaryDir dir;
    // The broker must not drop what the program is slow to read: no queue limit for QoS 0.
    Broker broker({ QStringLiteral("max_queued_messages 0"), QStringLiteral("max_queued_bytes 0") });
    if (!broker.start()) {
        fprintf(stderr, "bench_burst: mosquitto did not start\n");
        return 1;
    }
    const quint16 port = broker.port();

    Config config(dir.filePath("gui.conf"), GUIManager::Defaults);
    configureProgram(config, port, dir.path(), "BENCH-1");

    mosquitto_lib_init();
    int rc = 0;
    {
        GUIManager manager(config, dir.path());
        manager.load();

        std::atomic<qint64> lastTakenNs{0};
        std::atomic<int> results{0};
        auto* validator = qobject_cast<manager::Validator*>(
            manager.engine().rootContext()->contextProperty(QStringLiteral("validatorManager")).value<QObject*>());
        QObject::connect(validator, &manager::Validator::ticketValidated, [&](const Transaction& t) {
            ++results;
            if (t.ticketId() == QLatin1String("LAST"))
                lastTakenNs = nowNs();
        });

        std::atomic<qint64> lastShownNs { 0 };
        auto* shown = qobject_cast<TransactionView*>(
            manager.engine().rootContext()->contextProperty(QStringLiteral("transaction")).value<QObject*>());
        QObject::connect(shown, &TransactionView::changed, [&] {
            if (lastTakenNs != 0 && lastShownNs == 0)
                lastShownNs = nowNs();
        });

        mosquitto* pub = mosquitto_new("bench-burst-publisher", true, nullptr);
        if (!pub || mosquitto_connect(pub, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS
            || mosquitto_loop_start(pub) != MOSQ_ERR_SUCCESS) {
            fprintf(stderr, "bench_burst: publisher did not connect\n");
            return 1;
        }
        auto send = [pub](const char* topic, const QByteArray& payload) {
            return mosquitto_publish(pub, nullptr, topic, payload.size(), payload.constData(), 0, false);
        };
        if (!spin([&] { return manager.mqttClient().isConnected(); }, 10000)) {
            fprintf(stderr, "bench_burst: the program did not connect\n");
            return 1;
        }
        // In service before the burst, and settled: a few results go through first.
        send("orvo/blm/status", status(1));
        send("orvo/board/power", R"({"display": true})");
        spin([&] { return manager.screen() == QLatin1String("ScanScreens"); }, 10000);
        // The board reports the display on, as on a vehicle: otherwise every screen change asks
        // for it again, which no vehicle pays.
        send("orvo/board/power", R"({"display": true})");
        auto* board = qobject_cast<manager::Board*>(
            manager.engine().rootContext()->contextProperty(QStringLiteral("board")).value<QObject*>());
        spin([&] { return board->peripheralPower(QStringLiteral("display")); }, 10000);
        for (int i = 0; i < 20; ++i)
            send("orvo/blm/rfid/scanned", scan(i, false));
        spin([&] { return results >= 20; }, 10000);
        spin([] { return false; }, 500);

        const long rssBefore = procStatus("VmRSS:");
        resetPeak();
        results = 0;
        lastTakenNs = 0;
        std::atomic<qint64> burstStartNs{0};
        std::atomic<qint64> burstEndNs{0};
        std::atomic<int> refused{0};
        // The GUI thread's own CPU time: what the burst costs the program, whatever else runs.
        const qint64 cpuBefore = threadCpuNs();
        std::thread publisher([&] {
            burstStartNs = nowNs();
            for (int i = 0; i < BurstMessages; ++i) {
                const bool last = i == BurstMessages - 1;
                const int r = (i % StatusEvery == 5) ? send("orvo/blm/status", status(i))
                                                     : send("orvo/blm/rfid/scanned", scan(i, last));
                if (r != MOSQ_ERR_SUCCESS)
                    ++refused;
            }
            // Queued in the library; the burst has ended once its network thread has written it.
            while (mosquitto_want_write(pub))
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            burstEndNs = nowNs();
        });
        const bool done = spin([&] { return lastTakenNs != 0; }, 300000);
        const qint64 cpuUsed = threadCpuNs() - cpuBefore;
        // The window's result is handed over once per event-loop turn: the last one shows in
        // the turn that took it in.
        spin([&] { return lastShownNs != 0; }, 10000);
        publisher.join();
        const long rssPeak = procStatus("VmHWM:");
        spin([] { return false; }, 1000);
        const long rssAfter = procStatus("VmRSS:");

        mosquitto_loop_stop(pub, true);
        mosquitto_destroy(pub);

        const int scans = BurstMessages - BurstMessages / StatusEvery;
        printf("burst                  : %d messages (%d results, %d status reports), %d refused by the publisher\n",
               BurstMessages, scans, BurstMessages / StatusEvery, int(refused));
        if (!done) {
            printf("the last result never arrived (%d of %d taken in)\n", int(results), scans);
            rc = 1;
        } else {
            const double sendMs = double(burstEndNs - burstStartNs) / 1e6;
            const double takenMs = double(lastTakenNs - burstStartNs) / 1e6;
            printf("publisher sent it in   : %8.1f ms  (%.0f messages/s)\n", sendMs, BurstMessages / (sendMs / 1e3));
            printf("program took it in by  : %8.1f ms  (%.0f messages/s); results taken in: %d of %d\n", takenMs,
                   BurstMessages / (takenMs / 1e3), int(results), scans);
            printf("lag behind burst end   : %8.1f ms (taken in), %.1f ms (on the window)\n",
                   double(lastTakenNs - burstEndNs) / 1e6, double(lastShownNs - burstEndNs) / 1e6);
            printf("GUI thread CPU         : %8.1f ms, %.1f us per message\n", double(cpuUsed) / 1e6,
                   double(cpuUsed) / 1e3 / BurstMessages);
        }
        printf("resident memory        : before %ld KiB, peak %ld KiB (+%ld), 1 s after %ld KiB (+%ld)\n", rssBefore,
               rssPeak, rssPeak - rssBefore, rssAfter, rssAfter - rssBefore);
    }
    mosquitto_lib_cleanup();
    return rc;
}
