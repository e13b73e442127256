#pragma once

#include <QDir>
#include <QFile>
#include <QList>
#include <QObject>
#include <QPair>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "mqttclient.h"
#include "testbroker.h"

// A test mosquitto run with the broker settings and access list the package installs, and
// the identities its postinst makes (packaging/mosquitto/broker-users with ROOT pointing at a
// temporary folder): what a vehicle's broker looks like after installation, on a free
// loopback port.
class ShippedBroker
{
public:
    // extraConfig: lines after the shipped ones (a bridge, say).
    bool start(const QStringList& extraConfig = {})
    {
        if (!m_root.isValid())
            return fail(QStringLiteral("no temporary folder"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ROOT"), m_root.path());
        QProcess users;
        users.setProcessEnvironment(env);
        users.setProcessChannelMode(QProcess::MergedChannels);
        users.start(QStringLiteral(VOVADUDOZ_SOURCE_DIR "/packaging/mosquitto/broker-users"), QStringList());
        if (!users.waitForFinished(60000) || users.exitCode() != 0)
            return fail(QStringLiteral("broker-users: ") + QString::fromUtf8(users.readAll()));
        // mosquitto drops to its own user: it must reach the password file.
        for (const char* dir : {"", "/etc", "/etc/mosquitto"})
            QFile::setPermissions(m_root.path() + QLatin1String(dir), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                      | QFileDevice::ExeOwner | QFileDevice::ReadGroup | QFileDevice::ExeGroup
                                      | QFileDevice::ReadOther | QFileDevice::ExeOther);
        const QString acl = m_root.filePath(QStringLiteral("etc/mosquitto/vovadudozad.acl"));
        QFile::remove(acl);
        if (!QFile::copy(QStringLiteral(VOVADUDOZ_SOURCE_DIR "/packaging/mosquitto/vovadudozad.acl"), acl))
            return fail(QStringLiteral("cannot copy the access list"));
        QFile::setPermissions(acl, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);

        QFile shipped(QStringLiteral(VOVADUDOZ_SOURCE_DIR "/packaging/mosquitto/vovadudozad.conf"));
        if (!shipped.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("no shipped broker settings"));
        QStringList lines;
        for (QString line : QString::fromUtf8(shipped.readAll()).split(QLatin1Char('\n'))) {
            line = line.trimmed();
            // The test broker has its own listener on a free port.
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QStringLiteral("listener ")))
                continue;
            line.replace(QStringLiteral(" /etc/"), QLatin1Char(' ') + m_root.path() + QStringLiteral("/etc/"));
            lines << line;
        }
        // mosquitto buffers its standard output in blocks but writes its log file line by
        // line: tests read the file to see what the broker did (and refused) so far.
        const QString logFile = m_root.filePath(QStringLiteral("broker.log"));
        QFile created(logFile);
        if (!created.open(QIODevice::WriteOnly))
            return fail(QStringLiteral("cannot create the broker log"));
        created.close();
        created.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                               | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther);
        lines << QStringLiteral("log_type all") << QStringLiteral("log_dest file ") + logFile << extraConfig;
        broker.reset(new TestBroker(lines));
        if (!broker->start())
            return fail(QStringLiteral("mosquitto did not start: ") + broker->log());
        return true;
    }

    // Everything the broker logged so far, complete up to the last line.
    QString log() const
    {
        QFile file(m_root.filePath(QStringLiteral("broker.log")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QString password(const QString& user) const
    {
        QFile file(m_root.filePath(QStringLiteral("etc/vovadudozad/broker/") + user));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    }
    // The settings file the package seeds for the program (its broker identity inside).
    QString settingsFile() const { return m_root.filePath(QStringLiteral("var/lib/vovadudozad/gui.conf")); }
    QString error() const { return m_error; }

    std::unique_ptr<TestBroker> broker;

private:
    bool fail(const QString& why)
    {
        m_error = why;
        return false;
    }
    QTemporaryDir m_root;
    QString m_error;
};

// One logged-in client (a service, the administrator, a depot tool) that collects what its
// subscriptions deliver.
class Party : public QObject
{
public:
    Party(const QString& host, quint16 port, const QString& user, const QString& password,
          const QStringList& subscriptions)
    {
        connect(&client, &manager::MqttClient::received, this, [this](const QByteArray& data, const QByteArray& topic) {
            got.append({QString::fromUtf8(topic), data});
        });
        connect(&client, &manager::MqttClient::disconnected, this, [this] { ++disconnects; });
        client.setHostname(host);
        client.setPort(port);
        client.setUsername(user);
        client.setPassword(password);
        client.setRetryMillis(200);
        client.setKeepAlive(60);
        client.setClientId(QStringLiteral("test-%1-%2").arg(user).arg(QRandomGenerator::global()->generate(), 0, 16));
        for (const QString& topic : subscriptions)
            client.subscribe(topic);
        client.connect();
    }

    bool waitConnected(int ms) { return QTest::qWaitFor([this] { return client.isConnected(); }, ms); }
    bool has(const QString& topic) const
    {
        for (const auto& message : got)
            if (message.first == topic)
                return true;
        return false;
    }
    // The oldest payload on exactly this topic, removed; null after ms without one.
    QByteArray waitFor(const QString& topic, int ms)
    {
        QByteArray found;
        static_cast<void>(QTest::qWaitFor([&] {
            for (int i = 0; i < got.size(); ++i) {
                if (got.at(i).first == topic) {
                    found = got.takeAt(i).second;
                    return true;
                }
            }
            return false;
        }, ms));
        return found;
    }

    manager::MqttClient client;
    QList<QPair<QString, QByteArray>> got;
    // Connections lost: on the shipped broker an identity has one connection, and another
    // client logging in with the same user name takes its place.
    int disconnects = 0;
};
