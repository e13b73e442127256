#include "eventmanager.h"

#include "config.h"
#include "event.h"
#include "settingsfile.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QMutexLocker>
#include <QSettings>
#include <QThread>

#include <algorithm>

namespace {

const QString ArrayName = QStringLiteral("events");

} // namespace

EventManager::EventManager(Config& config, QObject* parent)
    : EventManager(config, QCoreApplication::applicationDirPath(), {}, parent)
{
}

EventManager::EventManager(Config& config, const QString& directory, Clock clock, QObject* parent)
    : QObject(parent)
    , m_config(config)
    , m_fileName(directory + QStringLiteral("/events.ini"))
    , m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); }))
{
    m_filtered.setSourceModel(&m_list);
    m_writer.setMaxThreadCount(1);
    m_writer.setExpiryTimeout(-1);
    // A power cut between creating the writer's lock file and filling it in leaves an empty
    // lock that would hold every write until it counts as stale; one during a write leaves
    // the half-written replacement file.
    SettingsFile::lockIsFree(m_fileName);
    SettingsFile::removeLeftovers(m_fileName);
    load();
    update();
}

void EventManager::pruneOld()
{
    // An entry goes only when it is old by the clock and by the history found at start: a
    // clock set far ahead must not make the whole history look old. The newest entry read from
    // the file is the log's own idea of "now" (this run's entries carry the suspect clock).
    QDateTime cutoff = m_clock().addDays(-KeepDays);
    if (m_newestLoaded.isValid() && m_newestLoaded.addDays(-KeepDays) < cutoff)
        cutoff = m_newestLoaded.addDays(-KeepDays);
    clear(cutoff);
}

EventManager::~EventManager()
{
    waitForWrites();
    // The models go before the events they borrow (children of the log).
    m_filtered.setSourceModel(nullptr);
}

QVariant EventManager::data() const
{
    QList<QObject*> list;
    const int rows = m_filtered.rowCount();
    list.reserve(rows);
    for (int row = 0; row < rows; ++row)
        list.append(m_list.event(m_filtered.mapToSource(m_filtered.index(row, 0)).row()));
    return QVariant::fromValue(list);
}

void EventManager::push(Event* event)
{
    if (!event) {
        qWarning().noquote().nospace() << "[EventManager] WARN: Ignoring an empty event";
        return;
    }
    if (events().contains(event))
        return;
    if (events().size() >= MaxHeld)
        drop(m_list.takeAt(0));
    // A parent keeps QML from claiming the object and frees it with the log.
    event->setParent(this);
    m_list.append(event);
    save();
    update();
}

void EventManager::clear(const QDateTime& before)
{
    int count = 0;
    for (int row = 0; row < events().size();) {
        if (events().at(row)->timestamp() <= before) {
            drop(m_list.takeAt(row));
            ++count;
        } else {
            ++row;
        }
    }
    qInfo().noquote().nospace() << "[EventManager] "
                                << QStringLiteral("Deleted %1 event(s) older than %2")
                                       .arg(count)
                                       .arg(before.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    if (count != 0)
        save();
    update();
}

void EventManager::clear()
{
    if (events().isEmpty())
        return;
    const QList<Event*> all = m_list.takeAll();
    for (Event* e : all)
        drop(e);
    save();
    update();
}

void EventManager::applyFilter(const QString& name)
{
    qInfo().noquote().nospace() << "[EventManager] Filtering : name=" << name;
    m_filtered.setName(name);
    update();
}

void EventManager::applyFilter(int severity)
{
    qInfo().noquote().nospace() << "[EventManager] Filtering : severity=" << severity;
    m_filtered.setSeverity(severity);
    update();
}

void EventManager::applyFilter(const QDateTime& from, const QDateTime& to)
{
    qInfo().noquote().nospace() << "[EventManager] Filtering : from=" << from.toString(Qt::TextDate)
                                << " to=" << to.toString(Qt::TextDate);
    m_filtered.setRange(from, to);
    update();
}

void EventManager::applyFilterPeriod(const QString& period)
{
    qInfo().noquote().nospace() << "[EventManager] Filtering (period) : " << period;
    const QDateTime now = m_clock();
    const QDate today = now.date();
    const auto dayStart = [](const QDate& d) { return QDateTime(d, QTime(0, 0)); };
    const auto dayEnd = [](const QDate& d) { return QDateTime(d, QTime(23, 59, 59)); };

    QDateTime from;
    QDateTime to;
    if (period == QLatin1String("Last hour")) {
        from = now.addSecs(-3600);
        to = now;
    } else if (period == QLatin1String("Last 2 hours")) {
        from = now.addSecs(-7200);
        to = now;
    } else if (period == QLatin1String("Last 5 hours")) {
        from = now.addSecs(-18000);
        to = now;
    } else if (period == QLatin1String("Today")) {
        from = dayStart(today);
        to = dayEnd(today);
    } else if (period == QLatin1String("Yesterday")) {
        from = dayStart(today.addDays(-1));
        to = dayEnd(today.addDays(-1));
    } else if (period == QLatin1String("Last week")) {
        from = dayStart(today.addDays(-7));
        to = now;
    } else if (period == QLatin1String("Last month")) {
        from = dayStart(today.addMonths(-1));
        to = now;
    }
    applyFilter(from, to);
}

void EventManager::update()
{
    // The filter model follows every change by itself; the plain list is read anew.
    emit dataChanged();
}

void EventManager::drop(Event* event)
{
    // QML rows may still point at the event until the current call returns.
    event->deleteLater();
}

void EventManager::load()
{
    QSettings settings(m_fileName, QSettings::NativeFormat);

    // A file cut short by a power failure loses the array's "size" line (it is written
    // last) and may hold a half-written entry; a hand-edited one may carry a wrong size.
    // Trust the entries actually present rather than the size line, so that no readable
    // entry is lost.
    settings.beginGroup(ArrayName);
    bool sizeOk = false;
    const int declared = settings.value(QStringLiteral("size")).toInt(&sizeOk);
    int highest = 0;
    QList<int> present;
    const QStringList groups = settings.childGroups();
    for (const QString& g : groups) {
        bool ok = false;
        const int index = g.toInt(&ok);
        if (ok && index > 0 && QString::number(index) == g) {
            present.append(index);
            highest = std::max(highest, index);
        }
    }
    settings.endGroup();
    std::sort(present.begin(), present.end());

    const int n = highest;
    if (!groups.isEmpty() && (!sizeOk || declared != n)) {
        qWarning().noquote().nospace() << "[EventManager] WARN: " << m_fileName
                                       << " is damaged (size=" << settings.value(ArrayName + QStringLiteral("/size")).toString()
                                       << ", last entry " << n << "), reading the entries found";
    }
    const int start = std::max(0, n - MaxLoaded);
    qInfo().noquote().nospace() << "[EventManager] "
                                << QStringLiteral("Loading saved events : from=%1 to=%2").arg(start).arg(n);

    int undated = 0;
    for (int index : qAsConst(present)) {
        if (index - 1 < start)
            continue;
        settings.beginGroup(ArrayName + QLatin1Char('/') + QString::number(index));
        const QDateTime timestamp = settings.value(QStringLiteral("timestamp")).toDateTime();
        // An entry without a readable time (cut short by a power failure) can be placed
        // nowhere in the history; it goes now, whatever the clock says.
        if (!timestamp.isValid()) {
            ++undated;
            settings.endGroup();
            continue;
        }
        auto* event = new Event(settings.value(QStringLiteral("category")).toString(),
                                settings.value(QStringLiteral("name")).toString(),
                                settings.value(QStringLiteral("desc")).toString(), timestamp, this);
        settings.endGroup();
        m_list.append(event);
        if (!m_newestLoaded.isValid() || timestamp > m_newestLoaded)
            m_newestLoaded = timestamp;
    }
    if (undated > 0)
        qWarning().noquote().nospace() << "[EventManager] WARN: Dropped " << undated << " entry(ies) without a time";
}

void EventManager::waitForWrites()
{
    m_writer.waitForDone();
}

void EventManager::save()
{
    QVector<Record> records;
    records.reserve(events().size());
    for (const Event* e : events())
        records.append({ e->category(), e->name(), e->description(), e->timestamp() });
    {
        QMutexLocker lock(&m_pendingMutex);
        m_pending = std::move(records);
        if (m_writerBusy)
            return; // the running writer picks the latest state up when it is done
        m_writerBusy = true;
    }
    m_writer.start([this] { writeLoop(); });
}

void EventManager::writeLoop()
{
    for (;;) {
        QVector<Record> records;
        {
            QMutexLocker lock(&m_pendingMutex);
            if (!m_pending) {
                m_writerBusy = false;
                return;
            }
            records = std::move(*m_pending);
            m_pending.reset();
        }
        write(m_fileName, records);
    }
}

void EventManager::write(const QString& fileName, const QVector<Record>& records)
{
    // Another writer's lock is waited for here, off the GUI thread; one left over is removed
    // once it is old enough. The settings library would wait 30 s for an empty one.
    QElapsedTimer waited;
    waited.start();
    while (!SettingsFile::lockIsFree(fileName) && waited.elapsed() < 2 * SettingsFile::FreshLockMs)
        QThread::msleep(SettingsFile::RetryMs);
    // It holds the names of technicians.
    SettingsFile::makePrivate(fileName);
    // The settings writer replaces the file by a complete new one, so a power cut leaves the
    // old log or the new one.
    QSettings settings(fileName, QSettings::NativeFormat);
    settings.clear();
    settings.beginWriteArray(ArrayName);
    for (int i = 0; i < records.size(); ++i) {
        const Record& r = records.at(i);
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("category"), r.category);
        settings.setValue(QStringLiteral("name"), r.name);
        settings.setValue(QStringLiteral("desc"), r.description);
        settings.setValue(QStringLiteral("timestamp"), r.timestamp);
    }
    settings.endArray();
    settings.sync();
    if (settings.status() == QSettings::AccessError)
        qWarning().noquote().nospace() << "[EventManager] WARN: Cannot write " << fileName;
}
