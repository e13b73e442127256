#include "loglimiter.h"

namespace manager {

namespace {
// The slot every key beyond the limit shares.
const QString Overflow = QStringLiteral("\x1f*overflow*");
} // namespace

LogLimiter::LogLimiter(qint64 periodMillis, int maxKeys)
    : m_period(periodMillis)
    , m_maxKeys(qMax(1, maxKeys))
{
}

bool LogLimiter::allow(const QString& key, qint64 nowMillis, int* suppressed)
{
    auto it = m_entries.find(key);
    if (it == m_entries.end()) {
        if (m_entries.size() >= m_maxKeys)
            prune(nowMillis);
        const QString& slot = m_entries.size() >= m_maxKeys ? Overflow : key;
        it = m_entries.find(slot);
        if (it == m_entries.end()) {
            m_entries.insert(slot, Entry{nowMillis, 0});
            if (suppressed)
                *suppressed = 0;
            return true;
        }
    }
    if (nowMillis - it->last < m_period) {
        ++it->suppressed;
        return false;
    }
    if (suppressed)
        *suppressed = it->suppressed;
    it->last = nowMillis;
    it->suppressed = 0;
    return true;
}

void LogLimiter::prune(qint64 nowMillis)
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        // A key whose period is over and that has nothing to report is as good as new.
        if (nowMillis - it->last >= m_period && it->suppressed == 0)
            it = m_entries.erase(it);
        else
            ++it;
    }
}

} // namespace manager
