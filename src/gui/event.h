#pragma once

#include "user.h"

#include <QDateTime>
#include <QObject>
#include <QString>

// One entry of the event log, shown as a row of the maintenance "Event Log" page.
// An event never changes after construction; the change signals exist for QML bindings.
// Created without a parent; the event log owns it once pushed.
class Event : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString category READ category NOTIFY categoryChanged)
    Q_PROPERTY(QString name READ name NOTIFY nameChanged)
    Q_PROPERTY(QString description READ description NOTIFY descriptionChanged)
    Q_PROPERTY(QDateTime timestamp READ timestamp NOTIFY timestampChanged)
public:
    explicit Event(QObject* parent = nullptr);
    Event(const QString& category, const QString& name, const QString& description,
          const QDateTime& timestamp, QObject* parent = nullptr);

    QString category() const { return m_category; }
    QString name() const { return m_name; }
    QString description() const { return m_description; }
    QDateTime timestamp() const { return m_timestamp; }

signals:
    void categoryChanged();
    void nameChanged();
    void descriptionChanged();
    void timestampChanged();

private:
    const QString m_category;
    const QString m_name;
    const QString m_description;
    const QDateTime m_timestamp;
};

// A maintenance session was opened by this user.
class EventLogin : public Event
{
    Q_OBJECT
public:
    explicit EventLogin(const User& user, const QDateTime& when = QDateTime::currentDateTime(),
                        QObject* parent = nullptr);
};

// A maintenance session ended (logout, expiry or ignition off).
class EventLogout : public Event
{
    Q_OBJECT
public:
    explicit EventLogout(const QDateTime& when = QDateTime::currentDateTime(), QObject* parent = nullptr);
};
