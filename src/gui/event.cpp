#include "event.h"

Event::Event(QObject* parent)
    : QObject(parent)
{
}

Event::Event(const QString& category, const QString& name, const QString& description,
             const QDateTime& timestamp, QObject* parent)
    : QObject(parent)
    , m_category(category)
    , m_name(name)
    , m_description(description)
    , m_timestamp(timestamp)
{
}

EventLogin::EventLogin(const User& user, const QDateTime& when, QObject* parent)
    : Event(QStringLiteral("General"), QStringLiteral("Maintenance login"),
            QStringLiteral("User ID : %1\nFirst name : %2\nLast name : %3\nDate : %4")
                .arg(QString::number(user.id), user.firstName, user.lastName, when.toString(Qt::TextDate)),
            when, parent)
{
}

EventLogout::EventLogout(const QDateTime& when, QObject* parent)
    : Event(QStringLiteral("General"), QStringLiteral("Maintenance logout"),
            QStringLiteral("Date : %4").arg(when.toString(Qt::TextDate)), when, parent)
{
}
