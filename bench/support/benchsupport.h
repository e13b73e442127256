#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <vector>

class Config;

namespace bench {

// Monotonic nanoseconds; only differences mean anything.
qint64 nowNs();
// CPU time of the calling thread, in nanoseconds: what the work costs whatever else runs.
qint64 threadCpuNs();
// User plus system CPU time of a process, in seconds; -1 when it cannot be read.
double processCpuSeconds(qint64 pid);
// A port on the loopback interface that nobody listened on a moment ago.
quint16 freePort();
// Waits until something accepts connections on the loopback port.
bool waitForPort(quint16 port, int timeoutMs = 5000);

// Runs the event loop until done() holds (true) or the time is up (false). Sleeps in the loop
// as the program does, so waiting takes no core from the program being measured; a timer wakes
// it now and then to look at the condition.
template<typename Predicate>
bool spin(Predicate done, int ms = 5000, int wakeMs = 20)
{
    QTimer wake;
    wake.start(wakeMs);
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Nearest-rank percentile (0 < p <= 1) in the unit of the values; 0 for none.
double percentile(std::vector<qint64> values, double p);
double percentile(std::vector<double> values, double p);

// Points the program's settings at the local broker on port, with logging off and a serial
// number file (holding serialNumber) in folder: how every bench runs the whole program.
void configureProgram(Config& config, quint16 port, const QString& folder,
                      const QByteArray& serialNumber = QByteArrayLiteral("K12345678"));

// A private mosquitto on a free loopback port, from a configuration of its own in a temporary
// folder, killed when this goes.
class Broker
{
public:
    explicit Broker(const QStringList& extraConfig = {});
    ~Broker();
    bool start();
    quint16 port() const { return m_port; }

private:
    QTemporaryDir m_dir;
    QStringList m_extra;
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace bench
