#pragma once

#include "eventfiltermodel.h"
#include "eventlistmodel.h"

#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QVariant>
#include <QVector>

#include <functional>
#include <optional>

class Config;
class Event;

// The validator's short local history (start-up, ignition, maintenance login and logout),
// browsed on the maintenance "Event Log" page as `eventLogManager`. Kept in memory oldest
// first, rewritten to "events.ini" after every change and read back at start (last 1000
// entries). The rewrite of a full log costs more than a frame, so it runs on a writer thread
// of its own: the file is still replaced atomically, writes keep their order, a burst of
// changes costs one write of the latest state, and destruction waits for the last one.
// Entries older than 30 days go when the owner calls pruneOld(), once the clock can be
// trusted: a clock far ahead would otherwise erase the whole audit trail. QML lists `model`,
// the entries narrowed by the filters, newest first; `data` is the same as a plain list.
class EventManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariant data READ data NOTIFY dataChanged)
    Q_PROPERTY(QAbstractItemModel* model READ model CONSTANT)
public:
    static constexpr int MaxLoaded = 1000;
    static constexpr int MaxHeld = 1001;
    static constexpr int KeepDays = 30;

    // Local date-time of "now"; tests pin it.
    using Clock = std::function<QDateTime()>;

    // The log file lives next to the executable.
    explicit EventManager(Config& config, QObject* parent = nullptr);
    // The log file lives in `directory`; an empty clock reads the system clock.
    EventManager(Config& config, const QString& directory, Clock clock = {}, QObject* parent = nullptr);
    ~EventManager() override;

    QVariant data() const;
    QAbstractItemModel* model() { return &m_filtered; }
    QString fileName() const { return m_fileName; }
    // The stored list, oldest first (the visible one is `data`).
    const QList<Event*>& events() const { return m_list.events(); }
    // Returns once every change made so far is on disk.
    void waitForWrites();
    // The lock file that the settings writer keeps beside the log while it writes.
    QString lockFileName() const { return m_fileName + QStringLiteral(".lock"); }

public slots:
    // Drops the entries older than 30 days, both by the clock and before the newest entry
    // read from the file at start.
    void pruneOld();
    void push(Event* event);
    void clear(const QDateTime& before);
    void clear();
    void applyFilter(const QString& name);
    void applyFilter(int severity);
    void applyFilter(const QDateTime& from, const QDateTime& to = QDateTime());
    void applyFilterPeriod(const QString& period);

signals:
    void dataChanged();

private:
    // One entry as written to the file, detached from the QObject the GUI thread owns.
    struct Record
    {
        QString category;
        QString name;
        QString description;
        QDateTime timestamp;
    };

    void load();
    void save();
    void writeLoop();
    static void write(const QString& fileName, const QVector<Record>& records);
    void update();
    void drop(Event* event);

    Config& m_config; // held for the settings to come; the log reads none today
    QString m_fileName;
    Clock m_clock;
    EventListModel m_list;
    EventFilterModel m_filtered;
    QDateTime m_newestLoaded;

    // The latest unsaved state, handed from the GUI thread to the writer thread.
    QMutex m_pendingMutex;
    std::optional<QVector<Record>> m_pending;
    bool m_writerBusy = false;
    QThreadPool m_writer; // one thread; last member, so it stops before the rest goes
};
