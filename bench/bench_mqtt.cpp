// Broker round trip through manager::MqttClient, against a plain libmosquitto client running the
// library's own network thread (the floor: what the library can do without an event loop).
//
// One process, one private broker. A publisher thread sends small JSON messages carrying a
// sequence number and a send time; the receiver under test records when they arrive.
// Latency: one message in flight at a time. Throughput: at most a window of messages in flight,
// with ten listeners on `received` (and the same ten functions in the floor's callback).
// Floor and ours run in alternating blocks so that load from elsewhere hits both alike.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "benchsupport.h"
#include "mqttclient.h"

using bench::nowNs;

namespace {

constexpr int LatencyMessages = 12000;
constexpr int ThroughputMessages = 60000;
constexpr int Blocks = 6;            // alternating floor / ours blocks per measurement
constexpr int Window = 500;          // messages in flight during the throughput runs
constexpr int Listeners = 10;
// Separate topics: neither receiver sees, or pays for, the other's traffic.
const char* const OursTopic = "bench/ours/status";
const char* const FloorTopic = "bench/floor/status";

QByteArray payloadFor(int seq)
{
    // Roughly the size of a service's status message.
    return QByteArray("{\"seq\": ") + QByteArray::number(seq) + ", \"sent\": " + QByteArray::number(nowNs())
        + ", \"status\": \"online\", \"reason\": \"#0000\", \"readers\": {\"rfid\": true, \"barcode\": true}}";
}

// Where a receiver reports each message; shared with the publisher thread.
struct Sink
{
    std::mutex mutex;
    std::condition_variable arrived;
    int lastSeq = -1;
    int count = 0;
    qint64 lastArrivalNs = 0;
    bool recordLatency = false;
    std::vector<qint64> latenciesNs;

    void reset(bool latency)
    {
        std::lock_guard<std::mutex> lock(mutex);
        lastSeq = -1;
        count = 0;
        recordLatency = latency;
    }

    void onMessage(const char* data, int size)
    {
        const qint64 now = nowNs();
        const QByteArray text = QByteArray::fromRawData(data, size);
        const int seqAt = text.indexOf("\"seq\": ");
        const int sentAt = text.indexOf("\"sent\": ");
        if (seqAt < 0 || sentAt < 0)
            return;
        const int seq = std::atoi(data + seqAt + 7);
        const qint64 sent = std::atoll(data + sentAt + 8);
        {
            std::lock_guard<std::mutex> lock(mutex);
            lastSeq = seq;
            ++count;
            lastArrivalNs = now;
            if (recordLatency)
                latenciesNs.push_back(now - sent);
        }
        arrived.notify_all();
    }
};

// What each of the ten listeners does with a message: what a proxy does first, deciding by the
// topic whether it is its own.
std::atomic<long> g_listenerHits { 0 };
void listenerWork(const QByteArray& topic, int index)
{
    static const QByteArray own[Listeners] = { "/status", "/info", "/config", "/rfid", "/barcode",
                                               "/board", "/network", "/device", "/inspector", "/gps" };
    if (topic.contains(own[index]))
        g_listenerHits.fetch_add(1, std::memory_order_relaxed);
}

class Broker
{
public:
    bool start()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
        probe.close();
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                  | QFileDevice::ReadOther | QFileDevice::ExeOther | QFileDevice::ReadGroup
                                  | QFileDevice::ExeGroup);
        QFile conf(m_dir.filePath(QStringLiteral("mosquitto.conf")));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\nset_tcp_nodelay true\n"
                                  "persistence false\nmax_queued_messages 0\nlog_dest none\n")
                       .arg(m_port)
                       .toUtf8());
        conf.close();
        conf.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther
                            | QFileDevice::ReadGroup);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start(QStringLiteral(MOSQUITTO_BIN), { QStringLiteral("-c"), conf.fileName() });
        if (!m_process.waitForStarted(5000))
            return false;
        for (int i = 0; i < 100; ++i) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            if (socket.waitForConnected(100))
                return true;
            QThread::msleep(20);
        }
        return false;
    }
    ~Broker()
    {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
    quint16 port() const { return m_port; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

// A plain library client without a network thread: publishes straight from its own thread.
class Publisher
{
public:
    explicit Publisher(quint16 port)
    {
        m_mosq = mosquitto_new(nullptr, true, nullptr);
        mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
        m_ok = mosquitto_connect(m_mosq, "127.0.0.1", port, 60) == MOSQ_ERR_SUCCESS;
        for (int i = 0; m_ok && i < 20; ++i)
            mosquitto_loop(m_mosq, 50, 1); // takes the CONNACK in
    }
    ~Publisher() { mosquitto_destroy(m_mosq); }
    bool ok() const { return m_ok; }
    void publish(const char* topic, const QByteArray& payload)
    {
        mosquitto_publish(m_mosq, nullptr, topic, payload.size(), payload.constData(), 0, false);
    }

    // Sends until the receiver has seen one message, so that its subscription is in force.
    bool prime(const char* topic, Sink& sink)
    {
        sink.reset(false);
        for (int i = 0; i < 500; ++i) {
            publish(topic, payloadFor(-1));
            std::unique_lock<std::mutex> lock(sink.mutex);
            if (sink.arrived.wait_for(lock, std::chrono::milliseconds(10), [&] { return sink.count > 0; }))
                return true;
        }
        return false;
    }

    // One message in flight at a time.
    int latencyRun(const char* topic, Sink& sink, int messages)
    {
        sink.reset(true);
        int lost = 0;
        for (int seq = 0; seq < messages; ++seq) {
            publish(topic, payloadFor(seq));
            std::unique_lock<std::mutex> lock(sink.mutex);
            if (!sink.arrived.wait_for(lock, std::chrono::seconds(1), [&] { return sink.lastSeq >= seq; }))
                ++lost;
        }
        return lost;
    }

    // Returns messages per second from the first send to the last arrival.
    double throughputRun(const char* topic, Sink& sink, int messages)
    {
        sink.reset(false);
        const qint64 start = nowNs();
        for (int seq = 0; seq < messages; ++seq) {
            std::unique_lock<std::mutex> lock(sink.mutex);
            if (seq - sink.count >= Window)
                sink.arrived.wait_for(lock, std::chrono::seconds(1), [&] { return seq - sink.count < Window; });
            lock.unlock();
            publish(topic, payloadFor(seq));
        }
        std::unique_lock<std::mutex> lock(sink.mutex);
        sink.arrived.wait_for(lock, std::chrono::seconds(5), [&] { return sink.count >= messages; });
        if (sink.count < messages)
            std::fprintf(stderr, "throughput run: %d of %d messages arrived\n", sink.count, messages);
        return sink.count * 1e9 / double(sink.lastArrivalNs - start);
    }

private:
    mosquitto* m_mosq = nullptr;
    bool m_ok = false;
};

// The floor: libmosquitto with its own network thread calling back on that thread.
class ThreadedReceiver
{
public:
    ThreadedReceiver(quint16 port, Sink& sink)
        : m_sink(sink)
    {
        m_mosq = mosquitto_new(nullptr, true, this);
        mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_connect_callback_set(m_mosq, [](mosquitto* mosq, void*, int rc) {
            if (rc == 0)
                mosquitto_subscribe(mosq, nullptr, FloorTopic, 0);
        });
        mosquitto_message_callback_set(m_mosq, [](mosquitto*, void* self, const mosquitto_message* message) {
            auto* receiver = static_cast<ThreadedReceiver*>(self);
            const QByteArray topic = QByteArray::fromRawData(message->topic, int(qstrlen(message->topic)));
            receiver->m_sink.onMessage(static_cast<const char*>(message->payload), message->payloadlen);
            if (receiver->m_withListeners) {
                for (int i = 0; i < Listeners; ++i)
                    listenerWork(topic, i);
            }
        });
        mosquitto_connect(m_mosq, "127.0.0.1", port, 60);
        mosquitto_loop_start(m_mosq);
    }
    ~ThreadedReceiver()
    {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, false);
        mosquitto_destroy(m_mosq);
    }
    void setListeners(bool on) { m_withListeners = on; }

private:
    mosquitto* m_mosq = nullptr;
    Sink& m_sink;
    std::atomic<bool> m_withListeners { false };
};

// Runs work on a thread while the GUI thread's event loop keeps turning.
template<typename Work>
void runWithEventLoop(Work work)
{
    QEventLoop loop;
    std::atomic<bool> done { false };
    std::thread thread([&] {
        work();
        done = true;
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    if (!done)
        loop.exec();
    thread.join();
}

struct Stats
{
    double medianUs = 0;
    double p99Us = 0;
};

Stats stats(std::vector<qint64> samples)
{
    Stats result;
    if (samples.empty())
        return result;
    std::sort(samples.begin(), samples.end());
    result.medianUs = samples[samples.size() / 2] / 1000.0;
    result.p99Us = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)] / 1000.0;
    return result;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The program runs at info level; per-message debug lines are not built there either.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.info=false"));
    mosquitto_lib_init();

    Broker broker;
    if (!broker.start()) {
        std::fprintf(stderr, "bench_mqtt: cannot start %s\n", MOSQUITTO_BIN);
        return 1;
    }

    Sink oursSink;
    manager::MqttClient client;
    client.setHostname(QStringLiteral("127.0.0.1"));
    client.setPort(broker.port());
    client.setKeepAlive(60);
    client.subscribe(QString::fromLatin1(OursTopic));
    QObject::connect(&client, &manager::MqttClient::received,
                     [&](const QByteArray& data, const QByteArray&) { oursSink.onMessage(data.constData(), data.size()); });
    client.connect();
    QElapsedTimer wait;
    wait.start();
    while (!client.isConnected() && wait.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);

    Sink floorSink;
    ThreadedReceiver floor(broker.port(), floorSink);

    Publisher publisher(broker.port());
    bool primed = client.isConnected() && publisher.ok();
    runWithEventLoop([&] { primed = primed && publisher.prime(OursTopic, oursSink); });
    primed = primed && publisher.prime(FloorTopic, floorSink);
    if (!primed) {
        std::fprintf(stderr, "bench_mqtt: clients did not come up\n");
        return 1;
    }

    // Latency, one message in flight.
    int lostOurs = 0;
    int lostFloor = 0;
    const int perBlock = LatencyMessages / Blocks;
    runWithEventLoop([&] { publisher.latencyRun(OursTopic, oursSink, 500); }); // warm-up
    publisher.latencyRun(FloorTopic, floorSink, 500);
    oursSink.latenciesNs.clear();
    floorSink.latenciesNs.clear();
    for (int block = 0; block < Blocks; ++block) {
        lostFloor += publisher.latencyRun(FloorTopic, floorSink, perBlock);
        runWithEventLoop([&] { lostOurs += publisher.latencyRun(OursTopic, oursSink, perBlock); });
    }

    // Throughput with ten listeners.
    for (int i = 1; i < Listeners; ++i) {
        QObject::connect(&client, &manager::MqttClient::received,
                         [i](const QByteArray&, const QByteArray& from) { listenerWork(from, i); });
    }
    QObject::connect(&client, &manager::MqttClient::received,
                     [](const QByteArray&, const QByteArray& from) { listenerWork(from, 0); });
    floor.setListeners(true);
    std::vector<double> oursRates;
    std::vector<double> floorRates;
    const int perRun = ThroughputMessages / Blocks;
    for (int block = 0; block < Blocks; ++block) {
        floorRates.push_back(publisher.throughputRun(FloorTopic, floorSink, perRun));
        runWithEventLoop([&] { oursRates.push_back(publisher.throughputRun(OursTopic, oursSink, perRun)); });
    }

    const Stats ours = stats(oursSink.latenciesNs);
    const Stats base = stats(floorSink.latenciesNs);
    const double oursRate = median(oursRates);
    const double floorRate = median(floorRates);
    std::printf("bench_mqtt: %zu + %zu latency samples (lost %d / %d), %d x %d messages per throughput run\n",
                oursSink.latenciesNs.size(), floorSink.latenciesNs.size(), lostOurs, lostFloor, Blocks, perRun);
    std::printf("%-40s %12s %12s %14s\n", "", "median us", "p99 us", "messages/s");
    std::printf("%-40s %12.1f %12.1f %14.0f\n", "MqttClient (event loop, 10 listeners)", ours.medianUs, ours.p99Us,
                oursRate);
    std::printf("%-40s %12.1f %12.1f %14.0f\n", "floor (library thread)", base.medianUs, base.p99Us, floorRate);
    std::printf("%-40s %12.2f %12.2f %14.2f\n", "ratio (ours / floor)", ours.medianUs / base.medianUs,
                ours.p99Us / base.p99Us, oursRate / floorRate);
    const bool met = ours.medianUs <= 1.2 * base.medianUs;
    std::printf("target: median latency within 1.2x of the floor: %s\n", met ? "met" : "NOT met");
    return 0;
}
