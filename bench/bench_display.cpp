// The passenger display under a private X server with OpenGL (Mesa), three figures, each beside
// a reference measured in the same run:
//
//  1. scan to picture: from a second client publishing a valid result on
//     "orvo/blm/rfid/scanned" until the first frame swapped after the window shows "Valid";
//     beside it the bare broker round trip from the same publisher to a plain client.
//  2. start-up: from starting the program until its first frame (its READY=1 on NOTIFY_SOCKET)
//     and its resident memory a second later; beside it a minimal Quick Controls 2 window
//     started and measured the same way.
//  3. idle CPU: the idle animation ("ScanScreens") for 30 s, as a share of one core; beside it
//     the minimal window doing nothing. Hidden screens pause their animations.

#include "config.h"
#include "displayhost.h"
#include "guimanager.h"
#include "mqttclient.h"
#include "screencheck.h"
#include "systemdnotifier.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <sys/socket.h>
#include <sys/un.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Scans = 500;
constexpr int Block = 50;   // alternate display and bare runs so outside load hits both alike
constexpr int Warmup = 20;
constexpr int Starts = 8;   // of each program
constexpr int IdleSeconds = 30;

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

template<typename Predicate>
bool spin(Predicate done, int ms = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

double percentile(std::vector<qint64> values, double p)
{
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return double(values[index]) / 1e6; // milliseconds
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

const QByteArray ScanPayload = R"({"transaction": {"result": true, "type": 5, "ticketId": "T-1",
    "fareProductName": "10 journeys", "passengerTypeName": "Adult",
    "card": {"storedJourneys": {"after": 7, "transferRemainingMin": 45, "activationTimestamp": "2026-12-07T08:15:00Z"}}}})";

// ---------------------------------------------------------------------------------------------
// Children: the minimal window and the idle window, each started as its own process.

const char MinimalWindow[] = R"(import QtQuick 2.15
import QtQuick.Controls 2.15
ApplicationWindow { visible: true; width: 480; height: 800; title: "Minimal"
    Label { anchors.centerIn: parent; text: "Minimal" } }
)";

int runMinimalWindow(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_UPDATE_IDLE_TIME"))
        qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
    QGuiApplication app(argc, argv);
    QQuickStyle::setStyle(QStringLiteral("Material"));
    QQmlApplicationEngine engine;
    engine.loadData(MinimalWindow);
    SystemdNotifier notifier;
    notifier.readyOnFirstFrame(engine);
    return app.exec();
}

int runIdleWindow(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_UPDATE_IDLE_TIME"))
        qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
    QGuiApplication app(argc, argv);
    DisplayHost host;
    if (!host.load())
        return 1;
    host.manager().setScreen(QStringLiteral("ScanScreens"));
    SystemdNotifier notifier;
    notifier.readyOnFirstFrame(host.window());
    return app.exec();
}

// ---------------------------------------------------------------------------------------------
// The parent's side of a child: started with NOTIFY_SOCKET pointing at a socket of ours.

class NotifySocket
{
public:
    explicit NotifySocket(const QString& path)
        : m_path(path)
    {
        m_fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = QFile::encodeName(path);
        qstrncpy(address.sun_path, bytes.constData(), sizeof(address.sun_path));
        unlink(bytes.constData());
        if (bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~NotifySocket()
    {
        if (m_fd >= 0)
            close(m_fd);
        unlink(QFile::encodeName(m_path).constData());
    }
    bool valid() const { return m_fd >= 0; }
    QString path() const { return m_path; }

    // Waits for a datagram holding READY=1.
    bool waitReady(int ms)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            pollfd p { m_fd, POLLIN, 0 };
            if (poll(&p, 1, 50) > 0) {
                char buffer[512];
                const ssize_t n = recv(m_fd, buffer, sizeof(buffer) - 1, 0);
                if (n > 0 && QByteArray(buffer, int(n)).contains("READY=1"))
                    return true;
            }
        }
        return false;
    }

private:
    QString m_path;
    int m_fd = -1;
};

qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// User plus system CPU time of a process, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command name (which may hold spaces) start after the last ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
}

struct Start
{
    double firstFrameMs = -1;
    qint64 rssKiB = -1;
};

// Starts program with arguments, measures until READY=1 and the memory a second later.
Start measureStart(const QString& program, const QStringList& arguments, const QString& workDir)
{
    Start result;
    NotifySocket notify(QDir(workDir).filePath(QStringLiteral("notify-%1").arg(nowNs())));
    if (!notify.valid())
        return result;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), notify.path());
    child.setProcessEnvironment(environment);
    child.setWorkingDirectory(workDir);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setStandardOutputFile(QProcess::nullDevice());
    const qint64 started = nowNs();
    child.start(program, arguments);
    if (child.waitForStarted(10000) && notify.waitReady(30000)) {
        result.firstFrameMs = double(nowNs() - started) / 1e6;
        QThread::msleep(1000);
        result.rssKiB = residentKiB(child.processId());
    }
    child.kill();
    child.waitForFinished(10000);
    return result;
}

double idleCpuShare(const QString& program, const QStringList& arguments, const QString& workDir)
{
    NotifySocket notify(QDir(workDir).filePath(QStringLiteral("notify-%1").arg(nowNs())));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), notify.path());
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setStandardOutputFile(QProcess::nullDevice());
    child.start(program, arguments);
    double share = -1;
    if (child.waitForStarted(10000) && notify.waitReady(30000)) {
        QThread::sleep(2); // start-up work done
        const double before = cpuSeconds(child.processId());
        const qint64 from = nowNs();
        QThread::sleep(IdleSeconds);
        const double after = cpuSeconds(child.processId());
        share = (after - before) / (double(nowNs() - from) / 1e9);
    }
    child.kill();
    child.waitForFinished(10000);
    return share;
}

// ---------------------------------------------------------------------------------------------
// 1. scan to picture, in this process.

int scanToPicture(const QTemporaryDir& dir)
{
    const quint16 port = freePort();
    QFile conf(dir.filePath("mosquitto.conf"));
    if (!conf.open(QIODevice::WriteOnly))
        return 1;
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\nset_tcp_nodelay true\npersistence false\n")
                   .arg(port)
                   .toUtf8());
    conf.close();
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                              | QFileDevice::ReadOther | QFileDevice::ExeOther);
    QFile::setPermissions(conf.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    QProcess broker;
    broker.start(QStringLiteral(MOSQUITTO_BIN), { "-c", conf.fileName() });
    if (!broker.waitForStarted() || !waitForPort(port)) {
        fprintf(stderr, "bench_display: mosquitto did not start\n");
        return 1;
    }

    Config config(dir.filePath("gui.conf"), GUIManager::Defaults);
    config.set("mqtt/host", "127.0.0.1");
    config.set("mqtt/port", int(port));
    config.set("log/syslog", false);
    config.set("log/stderr", false);
    config.set("gui/deviceId", dir.filePath("serialnumber"));
    config.set("gui/locale", "en_IE");
    QFile serial(dir.filePath("serialnumber"));
    if (serial.open(QIODevice::WriteOnly))
        serial.write("K12345678");
    serial.close();

    int failures = 0;
    std::vector<qint64> display;
    std::vector<qint64> bare;
    {
        GUIManager manager(config, dir.path());
        manager.load();
        auto* window = qobject_cast<QQuickWindow*>(manager.engine().rootObjects().value(0));
        if (!window) {
            fprintf(stderr, "bench_display: no window\n");
            return 1;
        }

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
            fprintf(stderr, "bench_display: clients did not connect\n");
            return 1;
        }
        publisher.publish(R"({"service": true, "state": {"hasRfid": true, "hasRoute": true, "hasQr": true, "hasObu": true}})",
                          "orvo/blm/status");
        spin([&] { return manager.screen() == QLatin1String("ScanScreens"); }, 10000);
        bool echoed = false;
        QObject::connect(&echo, &manager::MqttClient::received, [&] { echoed = true; });
        for (int i = 0; i < 50 && !echoed; ++i) {
            publisher.publish("x", "bench/rtt");
            spin([&] { return echoed; }, 100);
        }

        // 0: waiting; 1: "Valid" is up in the scene; 2: a sync has taken it to the render
        // side; the next swap is the first frame that shows it.
        std::atomic<int> phase { 0 };
        std::atomic<qint64> arrivedNs { 0 };
        QObject::connect(&manager, &GUIManager::screenChanged, [&] {
            if (manager.screen() == QLatin1String("Valid"))
                phase = 1;
        });
        QObject::connect(window, &QQuickWindow::afterSynchronizing, window, [&] {
            int expected = 1;
            phase.compare_exchange_strong(expected, 2);
        }, Qt::DirectConnection);
        QObject::connect(window, &QQuickWindow::frameSwapped, window, [&] {
            int expected = 2;
            if (phase.compare_exchange_strong(expected, 3))
                arrivedNs = nowNs();
        }, Qt::DirectConnection);
        QObject::connect(&echo, &manager::MqttClient::received, [&] { arrivedNs = nowNs(); });

        const auto once = [&](bool viaDisplay) {
            if (viaDisplay) {
                // From the idle screen, drawn, as a passenger finds it.
                manager.setScreen(QStringLiteral("ScanScreens"));
                bool swapped = false;
                auto c = QObject::connect(window, &QQuickWindow::frameSwapped, [&] { swapped = true; });
                window->update();
                spin([&] { return swapped; }, 1000);
                QObject::disconnect(c);
            }
            phase = 0;
            arrivedNs = 0;
            const qint64 sentNs = nowNs();
            publisher.publish(ScanPayload, viaDisplay ? "orvo/blm/rfid/scanned" : "bench/rtt");
            if (!spin([&] { return arrivedNs.load() != 0; })) {
                ++failures;
                return qint64(-1);
            }
            return arrivedNs.load() - sentNs;
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
                    display.push_back(t);
            }
        }
    }
    broker.kill();
    broker.waitForFinished();
    if (display.empty() || bare.empty()) {
        fprintf(stderr, "bench_display: no measurements (%d timeouts)\n", failures);
        return 1;
    }
    const double displayMedian = percentile(display, 0.5);
    const double displayP99 = percentile(display, 0.99);
    const double bareMedian = percentile(bare, 0.5);
    printf("scan to first frame with \"Valid\": median %6.2f ms, p99 %6.2f ms  (%zu scans)\n", displayMedian,
           displayP99, display.size());
    printf("bare broker round trip           : median %6.2f ms, p99 %6.2f ms  (%zu messages)\n", bareMedian,
           percentile(bare, 0.99), bare.size());
    printf("  ratio of medians %.1fx; targets: median under 4 ms %s, p99 under 16.7 ms %s\n",
           displayMedian / bareMedian, displayMedian < 4.0 ? "met" : "missed", displayP99 < 16.7 ? "met" : "missed");
    if (failures)
        printf("  timeouts: %d\n", failures);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--minimal-window") == 0)
        return runMinimalWindow(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--idle-window") == 0)
        return runIdleWindow(argc, argv);

    reexecUnderXvfb(argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_UPDATE_IDLE_TIME"))
        qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
    QGuiApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    QTemporaryDir dir;

    if (scanToPicture(dir) != 0)
        return 1;

    // 2. start-up, alternating the two programs.
    QFile serial(dir.filePath("serialnumber"));
    if (serial.open(QIODevice::WriteOnly))
        serial.write("K12345678");
    serial.close();
    {
        QFile conf(dir.filePath("start.conf"));
        if (conf.open(QIODevice::WriteOnly))
            conf.write(QStringLiteral("[gui]\ndeviceId=%1\nlocale=en_IE\n[log]\nsyslog=false\nstderr=false\n"
                                      "[mqtt]\nhost=127.0.0.1\nport=%2\n")
                           .arg(serial.fileName())
                           .arg(freePort())
                           .toUtf8());
    }
    std::vector<double> appMs, minimalMs, appKiB, minimalKiB;
    for (int i = 0; i < Starts; ++i) {
        const Start app = measureStart(QStringLiteral(VOVADUDOZ_APP), { "-f", dir.filePath("start.conf") }, dir.path());
        const Start minimal = measureStart(self, { "--minimal-window" }, dir.path());
        if (app.firstFrameMs > 0 && minimal.firstFrameMs > 0) {
            appMs.push_back(app.firstFrameMs);
            minimalMs.push_back(minimal.firstFrameMs);
            appKiB.push_back(double(app.rssKiB));
            minimalKiB.push_back(double(minimal.rssKiB));
        }
    }
    if (appMs.empty()) {
        fprintf(stderr, "bench_display: no start-up measured\n");
        return 1;
    }
    const double startRatio = median(appMs) / median(minimalMs);
    const double memoryRatio = median(appKiB) / median(minimalKiB);
    printf("start to first frame: program %6.0f ms, minimal window %6.0f ms, ratio %.2fx (target under 3x: %s)\n",
           median(appMs), median(minimalMs), startRatio, startRatio < 3 ? "met" : "missed");
    printf("resident memory     : program %6.1f MiB, minimal window %6.1f MiB, ratio %.2fx (target under 2x: %s)\n",
           median(appKiB) / 1024, median(minimalKiB) / 1024, memoryRatio, memoryRatio < 2 ? "met" : "missed");
    printf("  medians of %zu starts each\n", appMs.size());

    // 3. idle CPU.
    const double idle = idleCpuShare(self, { "--idle-window" }, dir.path());
    const double still = idleCpuShare(self, { "--minimal-window" }, dir.path());
    printf("idle animation CPU  : %.2f %% of one core over %d s (minimal window %.2f %%; target under 2 %%: %s)\n",
           idle * 100, IdleSeconds, still * 100, idle >= 0 && idle < 0.02 ? "met" : "missed");
    return 0;
}
