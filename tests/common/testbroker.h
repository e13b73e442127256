#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A private mosquitto for one test: a free loopback port, a temporary configuration, and
// start, stop (clean), kill (SIGKILL) and restart on the same port.
class TestBroker
{
public:
    // extraConfig: more configuration lines (for example a password_file); paths inside the
    // temporary directory can be made with path().
    explicit TestBroker(const QStringList& extraConfig = {});
    ~TestBroker();

    // Waits until mosquitto listens. The first start moves to another free port when the
    // chosen one was taken meanwhile (port() tells which); a restart keeps its port.
    bool start();
    void stop();           // SIGTERM and wait
    void kill();           // SIGKILL and wait
    bool isRunning() const;

    quint16 port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString log() const;   // what mosquitto printed so far

    // Writes a password file for one user with mosquitto_passwd; returns its path.
    QString writePasswordFile(const QString& user, const QString& password);

    static quint16 freePort();
    static bool waitForPort(quint16 port, int timeoutMs);

private:
    enum class Launch { Listening, PortTaken, Failed };
    Launch launch();

    QTemporaryDir m_dir;
    QStringList m_extra;
    quint16 m_port = 0;
    bool m_everStarted = false;
    mutable QProcess m_process;
    mutable QByteArray m_output;
};
