#include "benchsupport.h"

#include "config.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <time.h>
#include <unistd.h>

namespace bench {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

qint64 threadCpuNs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The fields after the command name (which may hold spaces) start after the last ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
}

quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

bool waitForPort(quint16 port, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(200))
            return true;
        QThread::msleep(20);
    }
    return false;
}

namespace {

template<typename T>
double nearestRank(std::vector<T> values, double p)
{
    if (values.empty())
        return 0;
    const size_t rank = size_t(std::ceil(std::clamp(p, 0.0, 1.0) * double(values.size())));
    const size_t index = std::min(values.size() - 1, rank > 0 ? rank - 1 : 0);
    std::nth_element(values.begin(), values.begin() + long(index), values.end());
    return double(values[index]);
}

} // namespace

double percentile(std::vector<qint64> values, double p)
{
    return nearestRank(std::move(values), p);
}

double percentile(std::vector<double> values, double p)
{
    return nearestRank(std::move(values), p);
}

void configureProgram(Config& config, quint16 port, const QString& folder, const QByteArray& serialNumber)
{
    const QString serialPath = QDir(folder).filePath(QStringLiteral("serialnumber"));
    config.set(QStringLiteral("mqtt/host"), QStringLiteral("127.0.0.1"));
    config.set(QStringLiteral("mqtt/port"), int(port));
    config.set(QStringLiteral("log/syslog"), false);
    config.set(QStringLiteral("log/stderr"), false);
    config.set(QStringLiteral("gui/deviceId"), serialPath);
    QFile serial(serialPath);
    if (serial.open(QIODevice::WriteOnly))
        serial.write(serialNumber);
}

Broker::Broker(const QStringList& extraConfig)
    : m_extra(extraConfig)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
}

Broker::~Broker()
{
    m_process.kill();
    m_process.waitForFinished();
}

bool Broker::start()
{
    m_port = freePort();
    QFile conf(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    if (!conf.open(QIODevice::WriteOnly))
        return false;
    QStringList lines { QStringLiteral("listener %1 127.0.0.1").arg(m_port), QStringLiteral("allow_anonymous true"),
                        QStringLiteral("set_tcp_nodelay true"), QStringLiteral("persistence false") };
    lines << m_extra;
    conf.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
    conf.close();
    // Run as root, mosquitto drops to its own user: let it read its configuration.
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                              | QFileDevice::ReadOther | QFileDevice::ExeOther);
    QFile::setPermissions(conf.fileName(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    m_process.start(QStringLiteral(MOSQUITTO_BIN), { QStringLiteral("-c"), conf.fileName() });
    return m_process.waitForStarted() && waitForPort(m_port, 5000);
}

} // namespace bench
