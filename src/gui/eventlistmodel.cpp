#include "eventlistmodel.h"

#include "event.h"

int EventListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_events.size();
}

QVariant EventListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Event* event = m_events.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return event->name();
    case DescriptionRole:
        return event->description();
    case CategoryRole:
        return event->category();
    case TimestampRole:
        return event->timestamp();
    case DayRole:
        return event->timestamp().date().toString(Qt::ISODate);
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> EventListModel::roleNames() const
{
    return {
        { NameRole, "name" },
        { DescriptionRole, "description" },
        { CategoryRole, "category" },
        { TimestampRole, "timestamp" },
        { DayRole, "day" },
    };
}

void EventListModel::append(Event* event)
{
    const int row = m_events.size();
    beginInsertRows(QModelIndex(), row, row);
    m_events.append(event);
    endInsertRows();
}

Event* EventListModel::takeAt(int row)
{
    if (row < 0 || row >= m_events.size())
        return nullptr;
    beginRemoveRows(QModelIndex(), row, row);
    Event* event = m_events.takeAt(row);
    endRemoveRows();
    return event;
}

QList<Event*> EventListModel::takeAll()
{
    if (m_events.isEmpty())
        return {};
    beginRemoveRows(QModelIndex(), 0, m_events.size() - 1);
    QList<Event*> events;
    events.swap(m_events);
    endRemoveRows();
    return events;
}
