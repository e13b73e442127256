#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

namespace manager {

class MqttClient;
class PayloadReader;

// Software update of the device, for the update screen. The device service does the work;
// this object sends its requests and condenses the service's status and progress messages
// into one status text ("Ready to install" is the only one that allows an installation).
class Update : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString current READ current NOTIFY currentChanged)
    Q_PROPERTY(QString pending READ pending NOTIFY pendingChanged)
    Q_PROPERTY(QString progressMessage READ progressMessage NOTIFY progressMessageChanged)
    Q_PROPERTY(int progressPercent READ progressPercent NOTIFY progressPercentChanged)
public:
    Update(MqttClient& client, const QString& baseTopic, QObject* parent = nullptr);

    QString status() const { return m_status; }
    QString current() const { return m_current; }
    QString pending() const { return m_pending; }
    QString progressMessage() const { return m_progressMessage; }
    int progressPercent() const { return m_progressPercent; }

    // How long a check may go unanswered before the status falls back to what is known.
    static constexpr int CheckTimeoutMillis = 5000;

public slots:
    void check();
    void install();
    void refresh();
    // Expiry of the check timer (objectName "checkTimer").
    void onCheckTimeout();
    void onDisconnected();

signals:
    void statusChanged();
    void currentChanged();
    void pendingChanged();
    void progressMessageChanged();
    void progressPercentChanged();
    void checkFinished();
    void installFinished();

private:
    void onDeviceStatusReceived(const QJsonObject& json, const QString& topic);
    void onUpdateStatusReceived(const QJsonObject& json, const QString& topic);
    void onProgressReceived(const QJsonObject& json, const QString& topic);
    void setStatusFromPending();
    void setStatus(const QString& status);
    void setCurrent(const QString& current);
    void setPending(const QString& pending);
    void setProgressMessage(const QString& message);
    void setProgressPercent(int percent);

    MqttClient& m_client;
    QString m_topic;
    QTimer m_checkTimer;
    QString m_status = QStringLiteral("Disconnected");
    QString m_current;
    QString m_pending;
    QString m_progressMessage;
    int m_progressPercent = 0;
};

} // namespace manager
