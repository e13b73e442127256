#include "eventfiltermodel.h"

#include "eventlistmodel.h"

EventFilterModel::EventFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
    // Newest first; entries of the same moment keep their stored order.
    setSortRole(EventListModel::TimestampRole);
    setDynamicSortFilter(true);
    sort(0, Qt::DescendingOrder);
    connect(this, &QAbstractItemModel::rowsInserted, this, &EventFilterModel::countChanged);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &EventFilterModel::countChanged);
    connect(this, &QAbstractItemModel::modelReset, this, &EventFilterModel::countChanged);
    connect(this, &QAbstractItemModel::layoutChanged, this, &EventFilterModel::countChanged);
}

void EventFilterModel::setName(const QString& name)
{
    if (name == m_name)
        return;
    m_name = name;
    invalidateFilter();
}

void EventFilterModel::setRange(const QDateTime& from, const QDateTime& to)
{
    if (from == m_from && to == m_to)
        return;
    m_from = from;
    m_to = to;
    invalidateFilter();
}

bool EventFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    const QDateTime timestamp = index.data(EventListModel::TimestampRole).toDateTime();
    if (m_from.isValid() && timestamp < m_from)
        return false;
    if (m_to.isValid() && timestamp > m_to)
        return false;
    return m_name.isEmpty() || index.data(EventListModel::NameRole).toString().contains(m_name, Qt::CaseInsensitive);
}

bool EventFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    return left.data(EventListModel::TimestampRole).toDateTime() < right.data(EventListModel::TimestampRole).toDateTime();
}
