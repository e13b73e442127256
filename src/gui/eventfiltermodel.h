#pragma once

#include <QDateTime>
#include <QSortFilterProxyModel>
#include <QString>

// What the "Event Log" page lists: the event log's entries newest first, narrowed by a name
// filter (any part of the name, any case) and a time range (either end may be open). The
// severity is kept for the page's combo; events carry no severity, so it narrows nothing.
class EventFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    explicit EventFilterModel(QObject* parent = nullptr);

    int count() const { return rowCount(); }
    QString name() const { return m_name; }
    void setName(const QString& name);
    void setRange(const QDateTime& from, const QDateTime& to);
    int severity() const { return m_severity; }
    void setSeverity(int severity) { m_severity = severity; }

signals:
    void countChanged();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QString m_name;
    QDateTime m_from;
    QDateTime m_to;
    int m_severity = 0;
};
