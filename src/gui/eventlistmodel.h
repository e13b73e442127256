#pragma once

#include <QAbstractListModel>
#include <QList>

class Event;

// The event log's entries as a list model, in stored order (oldest first). The event log keeps
// its entries here and changes them only through the calls below, so that a view keeps its
// rows (and what a row shows expanded) when an entry comes or goes. The event log owns the
// events; the model borrows them.
class EventListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        NameRole = Qt::UserRole + 1,
        DescriptionRole,
        CategoryRole,
        TimestampRole,
        // The local calendar day, "yyyy-MM-dd": the list's section.
        DayRole,
    };
    Q_ENUM(Role)

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QList<Event*>& events() const { return m_events; }
    Event* event(int row) const { return m_events.value(row); }

    void append(Event* event);
    // Takes the row out and hands its event back to the caller.
    Event* takeAt(int row);
    // Takes every row out and hands the events back to the caller.
    QList<Event*> takeAll();

private:
    QList<Event*> m_events;
};
