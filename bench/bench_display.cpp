// The passenger display under a private X server with OpenGL (Mesa), every figure beside a
// reference measured in the same run:
//
//  1. scan to picture: from a second client publishing a valid result on
//     "orvo/blm/rfid/scanned" until the first frame swapped after the window shows "Valid";
//     beside it a minimal window that switches between two pages of the same kind (background,
//     large symbol, two texts) on the same message, and the bare broker round trip.
//  2. start-up: from starting the program until its first frame (its READY=1 on NOTIFY_SOCKET)
//     and its resident memory a second later; beside it a minimal Quick Controls 2 window
//     started and measured the same way.
//  3. steady screens: the CPU share of each screen a vehicle can stay on (idle animation, busy,
//     out of order, screen saver, PIN page, settings menu) over a stretch of seconds, with the
//     OpenGL renderer and with the software one; beside it the minimal window doing nothing.
//  4. burst: bench_burst, run as it is, for the lag of the screen behind a burst and the memory.
//
// The machine is often shared: wall-clock figures include waiting for a core, so the CPU
// figures (process CPU time) are the ones to compare between runs; the load is printed.

#include "benchsupport.h"
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
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <sys/socket.h>
#include <sys/un.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

using namespace bench;

namespace {

constexpr int Scans = 500;
constexpr int Block = 50;   // alternate display and bare runs so outside load hits both alike
constexpr int Warmup = 20;
constexpr int Starts = 8;   // of each program
int SteadySeconds = 30; // --seconds N asks for another stretch
QStringList Parts = { "scan", "start", "steady", "burst" }; // --only start,steady runs fewer
QStringList Screens; // --screens Busy,ScanScreens measures only those steady screens

// The reference for a result frame: two full-screen pages of the same kind as a result screen
// (a background, a large symbol, two texts); each message shows the other page, with the
// product name from the message. What a window costs when it does nothing else.
const char ReferenceWindow[] = R"(import QtQuick 2.15
import QtQuick.Window 2.15
Window { id: root; visible: true; width: 480; height: 800; title: "Reference"; color: "black"
    property int page: 0
    property string product: ""
    Repeater { model: 2
        Item { anchors.fill: parent; visible: root.page === index
            Image { anchors.fill: parent; source: "qrc:/qml/images/background.png" }
            Image { y: 150; anchors.horizontalCenter: parent.horizontalCenter; width: 250; height: 250
                sourceSize: Qt.size(250, 250)
                source: "qrc:/qml/images/Icons/" + (index === 0 ? "warning" : "valid") + ".svg" }
            Text { y: 420; width: parent.width; horizontalAlignment: Text.AlignHCenter; color: "white"
                font.pointSize: 32; text: index === 0 ? "WAIT" : "VALID" }
            Text { y: 520; width: parent.width; horizontalAlignment: Text.AlignHCenter; color: "white"
                font.pointSize: 14; text: root.product } } } }
)";

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

// A steady screen of the real window (with the stand-in manager), named on the command line.
int runScreen(int argc, char** argv, const QString& screen)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_UPDATE_IDLE_TIME"))
        qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
    QGuiApplication app(argc, argv);
    DisplayHost host;
    if (!host.load())
        return 1;
    host.manager().setMessage(screen == QLatin1String("OutOfOrder") ? QStringLiteral("#0004") : QStringLiteral("Please Wait"));
    host.manager().setScreen(screen);
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

// The CPU share of a child over SteadySeconds, after two seconds to settle; -1 if it never
// showed a frame.
double steadyCpuShare(const QString& program, const QStringList& arguments, const QString& workDir,
                      const QString& backend)
{
    NotifySocket notify(QDir(workDir).filePath(QStringLiteral("notify-%1").arg(nowNs())));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), notify.path());
    if (backend.isEmpty())
        environment.remove(QStringLiteral("QT_QUICK_BACKEND"));
    else
        environment.insert(QStringLiteral("QT_QUICK_BACKEND"), backend);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setStandardOutputFile(QProcess::nullDevice());
    child.start(program, arguments);
    double share = -1;
    if (child.waitForStarted(10000) && notify.waitReady(30000)) {
        QThread::sleep(2); // start-up work done, the screen built
        const double before = processCpuSeconds(child.processId());
        const qint64 from = nowNs();
        QThread::sleep(unsigned(SteadySeconds));
        const double after = processCpuSeconds(child.processId());
        share = (after - before) / (double(nowNs() - from) / 1e9);
    }
    child.kill();
    child.waitForFinished(10000);
    return share;
}

// ---------------------------------------------------------------------------------------------
// 1. scan to picture, in this process.

// Follows one window's frames: armed when the change is in the scene, the next sync carries it,
// and the swap after that is the first frame that shows it. Both signals may come from the
// render thread.
struct FrameWatch
{
    std::atomic<int> phase { 0 };
    std::atomic<qint64> shownNs { 0 };

    void watch(QQuickWindow* window)
    {
        QObject::connect(window, &QQuickWindow::afterSynchronizing, window, [this] {
            int expected = 1;
            phase.compare_exchange_strong(expected, 2);
        }, Qt::DirectConnection);
        QObject::connect(window, &QQuickWindow::frameSwapped, window, [this] {
            int expected = 2;
            if (phase.compare_exchange_strong(expected, 3))
                shownNs = nowNs();
        }, Qt::DirectConnection);
    }
    void reset() { phase = 0; shownNs = 0; }
    void arm() { phase = 1; }
};

// Waits until the window has drawn what it holds now.
void settle(QQuickWindow* window)
{
    bool swapped = false;
    auto c = QObject::connect(window, &QQuickWindow::frameSwapped, [&] { swapped = true; });
    window->update();
    spin([&] { return swapped; }, 1000, 2);
    QObject::disconnect(c);
}

void printLatency(const char* what, const std::vector<qint64>& values)
{
    printf("%-34s: median %6.2f ms, p99 %6.2f ms  (%zu)\n", what, percentile(values, 0.5) / 1e6,
           percentile(values, 0.99) / 1e6, values.size());
}

int scanToPicture(const QTemporaryDir& dir)
{
    Broker broker;
    if (!broker.start()) {
        fprintf(stderr, "bench_display: mosquitto did not start\n");
        return 1;
    }
    const quint16 port = broker.port();

    Config config(dir.filePath("gui.conf"), GUIManager::Defaults);
    configureProgram(config, port, dir.path(), "K12345678");
    config.set("gui/locale", "en_IE");

    int failures = 0;
    std::vector<qint64> display, reference, bare;
    {
        GUIManager manager(config, dir.path());
        manager.load();
        auto* window = qobject_cast<QQuickWindow*>(manager.engine().rootObjects().value(0));
        QQmlApplicationEngine referenceEngine;
        referenceEngine.loadData(ReferenceWindow);
        auto* referenceWindow = qobject_cast<QQuickWindow*>(referenceEngine.rootObjects().value(0));
        if (!window || !referenceWindow) {
            fprintf(stderr, "bench_display: no window\n");
            return 1;
        }

        const auto client = [port](manager::MqttClient& c, const char* id) {
            c.setHostname("127.0.0.1");
            c.setPort(port);
            c.setClientId(id);
        };
        manager::MqttClient publisher, echo, referenceClient;
        client(publisher, "bench-publisher");
        client(echo, "bench-echo");
        client(referenceClient, "bench-reference");
        echo.subscribe("bench/rtt");
        referenceClient.subscribe("bench/reference");
        publisher.connect();
        echo.connect();
        referenceClient.connect();
        if (!spin([&] {
                return manager.mqttClient().isConnected() && publisher.isConnected() && echo.isConnected()
                    && referenceClient.isConnected();
            }, 10000)) {
            fprintf(stderr, "bench_display: clients did not connect\n");
            return 1;
        }
        publisher.publish(R"({"service": true, "state": {"hasRfid": true, "hasRoute": true, "hasQr": true, "hasObu": true}})",
                          "orvo/blm/status");
        publisher.publish(R"({"display": true})", "orvo/board/power");
        spin([&] { return window->property("currentScreen").toString() == QLatin1String("ScanScreens"); }, 10000);

        FrameWatch displayWatch, referenceWatch;
        displayWatch.watch(window);
        referenceWatch.watch(referenceWindow);
        std::atomic<qint64> echoedNs { 0 };
        QObject::connect(&manager, &GUIManager::screenChanged, [&] {
            if (manager.screen() == QLatin1String("Valid"))
                displayWatch.arm();
        });
        QObject::connect(&echo, &manager::MqttClient::received, [&] { echoedNs = nowNs(); });
        QObject::connect(&referenceClient, &manager::MqttClient::received, [&](const QByteArray& data) {
            const QJsonObject transaction = QJsonDocument::fromJson(data).object().value("transaction").toObject();
            referenceWindow->setProperty("product", transaction.value("fareProductName").toString());
            referenceWindow->setProperty("page", 1 - referenceWindow->property("page").toInt());
            referenceWatch.arm();
        });

        enum Kind { Display, Reference, Bare };
        const auto once = [&](Kind kind) {
            if (kind == Display) {
                // From the idle screen, drawn, as a passenger finds it.
                manager.setScreen(QStringLiteral("ScanScreens"));
                spin([&] { return window->property("currentScreen").toString() == QLatin1String("ScanScreens"); }, 1000, 2);
                settle(window);
            }
            displayWatch.reset();
            referenceWatch.reset();
            echoedNs = 0;
            const qint64 sentNs = nowNs();
            const char* topic = kind == Display ? "orvo/blm/rfid/scanned" : kind == Reference ? "bench/reference" : "bench/rtt";
            publisher.publish(ScanPayload, topic);
            std::atomic<qint64>& done = kind == Display ? displayWatch.shownNs : kind == Reference ? referenceWatch.shownNs : echoedNs;
            if (!spin([&] { return done.load() != 0; }, 5000, 2)) {
                ++failures;
                return qint64(-1);
            }
            return done.load() - sentNs;
        };

        for (int i = 0; i < Warmup; ++i) {
            once(Display);
            once(Reference);
            once(Bare);
        }
        for (int done = 0; done < Scans; done += Block) {
            for (Kind kind : { Bare, Reference, Display }) {
                std::vector<qint64>& into = kind == Display ? display : kind == Reference ? reference : bare;
                for (int i = 0; i < Block; ++i) {
                    const qint64 t = once(kind);
                    if (t >= 0)
                        into.push_back(t);
                }
            }
        }
        // What the program itself measured and would publish with its status.
        const QJsonObject own = manager.displayLatency().toJson();
        printf("the program's own figure (status)  : median %6.2f ms, p99 %6.2f ms over its last %d results\n",
               own.value("resultFrameMsP50").toDouble(), own.value("resultFrameMsP99").toDouble(),
               qMin(DisplayLatency::Window, own.value("results").toInt()));
    }
    if (display.empty() || reference.empty() || bare.empty()) {
        fprintf(stderr, "bench_display: no measurements (%d timeouts)\n", failures);
        return 1;
    }
    printLatency("scan to first frame with \"Valid\"", display);
    printLatency("reference window, same message", reference);
    printLatency("bare broker round trip", bare);
    const double ratio = percentile(display, 0.5) / percentile(reference, 0.5);
    const double p99 = percentile(display, 0.99) / 1e6;
    printf("  median %.2fx the reference (target at most 1.3x: %s); p99 under 16.7 ms: %s\n", ratio,
           ratio <= 1.3 ? "met" : "missed", p99 < 16.7 ? "met" : "missed");
    if (failures)
        printf("  timeouts: %d\n", failures);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// 4. the burst, from its own benchmark.

void burst()
{
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QStringLiteral(BENCH_BURST), QStringList());
    if (!child.waitForFinished(600000)) {
        child.kill();
        printf("burst                : bench_burst did not finish\n");
        return;
    }
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        if (!line.trimmed().isEmpty())
            printf("burst: %s\n", line.constData());
    }
}

QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').mid(0, 3).join(' ') : QByteArray("?");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--minimal-window") == 0)
        return runMinimalWindow(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--screen") == 0)
        return runScreen(argc, argv, QString::fromUtf8(argv[2]));
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--seconds") == 0)
            SteadySeconds = qMax(1, atoi(argv[i + 1]));
        if (qstrcmp(argv[i], "--only") == 0)
            Parts = QString::fromUtf8(argv[i + 1]).split(QLatin1Char(','));
        if (qstrcmp(argv[i], "--screens") == 0)
            Screens = QString::fromUtf8(argv[i + 1]).split(QLatin1Char(','));
    }

    reexecUnderXvfb(argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_UPDATE_IDLE_TIME"))
        qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
    QGuiApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    QTemporaryDir dir;
    printf("load average at start: %s (on a shared machine the wall-clock figures include waiting for a core)\n",
           loadAverage().constData());

    if (Parts.contains(QLatin1String("scan")) && scanToPicture(dir) != 0)
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
    if (Parts.contains(QLatin1String("start"))) {
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
        const double startRatio = percentile(appMs, 0.5) / percentile(minimalMs, 0.5);
        const double memoryRatio = percentile(appKiB, 0.5) / percentile(minimalKiB, 0.5);
        printf("start to first frame: program %6.0f ms, minimal window %6.0f ms, ratio %.2fx (target at most 2x: %s)\n",
               percentile(appMs, 0.5), percentile(minimalMs, 0.5), startRatio, startRatio <= 2 ? "met" : "missed");
        printf("resident memory     : program %6.1f MiB, minimal window %6.1f MiB, ratio %.2fx (target at most 1.2x: %s)\n",
               percentile(appKiB, 0.5) / 1024, percentile(minimalKiB, 0.5) / 1024, memoryRatio,
               memoryRatio <= 1.2 ? "met" : "missed");
        printf("  medians of %zu starts each\n", appMs.size());
    }

    // 3. the steady screens, with each renderer, beside the minimal window.
    if (Parts.contains(QLatin1String("steady"))) {
        printf("steady screens, CPU share of one core over %d s each (OpenGL through Mesa | software renderer):\n",
               SteadySeconds);
        for (const QString& backend : { QString(), QStringLiteral("software") }) {
            const double still = steadyCpuShare(self, { "--minimal-window" }, dir.path(), backend);
            printf("  %-24s %s %6.2f %%\n", "minimal window (reference)", backend.isEmpty() ? "OpenGL  " : "software",
                   still * 100);
        }
        struct Steady { const char* screen; const char* name; double target; };
        for (const Steady& steady : { Steady { "ScanScreens", "idle (both animations)", 0.02 },
                                      Steady { "ScanCard", "card animation alone", 0.02 }, Steady { "Busy", "busy", 0.05 },
                                      Steady { "OutOfOrder", "out of order", 0.02 }, Steady { "ScreenSaver", "screen saver", 0.02 },
                                      Steady { "Login", "login", 0.02 }, Steady { "Settings", "settings menu", 0.02 } }) {
            if (!Screens.isEmpty() && !Screens.contains(QLatin1String(steady.screen)))
                continue;
            for (const QString& backend : { QString(), QStringLiteral("software") }) {
                const double share = steadyCpuShare(self, { "--screen", steady.screen }, dir.path(), backend);
                printf("  %-24s %s %6.2f %%  (target under %.0f %%: %s)\n", steady.name,
                       backend.isEmpty() ? "OpenGL  " : "software", share * 100, steady.target * 100,
                       share >= 0 && share < steady.target ? "met" : "missed");
            }
        }
    }

    // 4. the burst.
    if (Parts.contains(QLatin1String("burst")))
        burst();
    printf("load average at end: %s\n", loadAverage().constData());
    return 0;
}
