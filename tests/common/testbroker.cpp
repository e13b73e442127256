#include "testbroker.h"

#include "benchsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

TestBroker::TestBroker(const QStringList& extraConfig)
    : m_extra(extraConfig)
    , m_port(freePort())
{
    // Run as root, mosquitto drops to its own user after reading the configuration, so the
    // folder and its files must be readable by that user.
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                              | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                              | QFileDevice::ExeOther);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

TestBroker::~TestBroker()
{
    kill();
}

quint16 TestBroker::freePort()
{
    return bench::freePort();
}

bool TestBroker::waitForPort(quint16 port, int timeoutMs)
{
    return bench::waitForPort(port, timeoutMs);
}

bool TestBroker::start()
{
    if (isRunning())
        return true;
    // A free port is only free until someone binds it: another test running beside this one
    // may take it between our choice and mosquitto's bind. So mosquitto's own word decides:
    // it says "running" once it listens, and exits when the bind fails. A first start then
    // moves to another port; a restart must keep its port (clients know it) and tries again.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (attempt > 0) {
            if (m_everStarted)
                QThread::msleep(100);
            else
                m_port = freePort();
        }
        switch (launch()) {
        case Launch::Listening:
            m_everStarted = true;
            return true;
        case Launch::PortTaken:
            continue;
        case Launch::Failed:
            return false;
        }
    }
    qWarning("mosquitto found no port to listen on: %s", m_output.constData());
    return false;
}

TestBroker::Launch TestBroker::launch()
{
    const QString confPath = m_dir.filePath(QStringLiteral("mosquitto.conf"));
    QFile conf(confPath);
    if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Launch::Failed;
    QStringList lines { QStringLiteral("listener %1 127.0.0.1").arg(m_port),
                        QStringLiteral("set_tcp_nodelay true"),
                        QStringLiteral("persistence false"),
                        // Unbuffered, so "running" is seen at once; the types start() reads
                        // stay on whatever a test adds.
                        QStringLiteral("log_dest stderr"),
                        QStringLiteral("log_type error"),
                        QStringLiteral("log_type warning"),
                        QStringLiteral("log_type notice"),
                        QStringLiteral("log_type information") };
    bool hasAnonymous = false;
    for (const QString& line : m_extra)
        hasAnonymous = hasAnonymous || line.startsWith(QStringLiteral("allow_anonymous"));
    if (!hasAnonymous)
        lines << QStringLiteral("allow_anonymous true");
    lines << m_extra;
    conf.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
    conf.close();
    conf.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);

    const int from = m_output.size();
    m_process.start(QStringLiteral(MOSQUITTO_BIN), { QStringLiteral("-c"), confPath });
    if (!m_process.waitForStarted(5000))
        return Launch::Failed;
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 10000) {
        m_process.waitForReadyRead(100);
        m_output += m_process.readAll();
        const QByteArray said = m_output.mid(from);
        if (said.contains(" running"))
            return Launch::Listening;
        if (m_process.state() == QProcess::NotRunning) {
            m_output += m_process.readAll();
            if (m_output.mid(from).contains("Address already in use"))
                return Launch::PortTaken;
            qWarning("mosquitto did not come up: %s", m_output.mid(from).constData());
            return Launch::Failed;
        }
    }
    qWarning("mosquitto did not come up: %s", m_output.mid(from).constData());
    kill();
    return Launch::Failed;
}

void TestBroker::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        kill();
    m_output += m_process.readAll();
}

void TestBroker::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
    m_output += m_process.readAll();
}

bool TestBroker::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

QString TestBroker::log() const
{
    m_output += m_process.readAll();
    return QString::fromUtf8(m_output);
}

QString TestBroker::writePasswordFile(const QString& user, const QString& password)
{
    const QString file = m_dir.filePath(QStringLiteral("passwd"));
    QFile::remove(file);
    QFile(file).open(QIODevice::WriteOnly);
    QProcess::execute(QStringLiteral("mosquitto_passwd"), { QStringLiteral("-b"), file, user, password });
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return file;
}
