#pragma once

#include <QHash>
#include <QString>
#include <QtGlobal>

namespace manager {

// Lets one log line per key (a topic, say) through per period, so that a flood of one bad
// message costs a line a minute instead of a line a message. Times are milliseconds of a
// monotonic clock, passed in by the caller so that tests need not wait. Memory stays bounded:
// at most maxKeys keys are remembered; beyond that, keys share one slot.
class LogLimiter
{
public:
    explicit LogLimiter(qint64 periodMillis = 60000, int maxKeys = 256);

    // True when a line for key may be written at nowMillis. suppressed, when given, gets the
    // number of lines for this key refused since the last one let through.
    bool allow(const QString& key, qint64 nowMillis, int* suppressed = nullptr);

    int keyCount() const { return m_entries.size(); }

private:
    struct Entry
    {
        qint64 last = 0;
        int suppressed = 0;
    };
    void prune(qint64 nowMillis);

    qint64 m_period;
    int m_maxKeys;
    QHash<QString, Entry> m_entries;
};

} // namespace manager
