#include "displaylatency.h"

#include <QMutexLocker>
#include <QQuickWindow>

#include <algorithm>
#include <chrono>
#include <cmath>

DisplayLatency::DisplayLatency(QObject* parent)
    : QObject(parent)
    , m_clock([] {
        return qint64(std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count());
    })
{
    m_ring.reserve(Window);
}

void DisplayLatency::attach(QQuickWindow* window)
{
    if (m_window)
        disconnect(m_window, nullptr, this, nullptr);
    m_window = window;
    if (!window)
        return;
    // Direct: with a render thread both signals come from it, and the sync they follow is the
    // one that carries the change.
    connect(window, &QQuickWindow::afterSynchronizing, this, &DisplayLatency::onAfterSynchronizing,
            Qt::DirectConnection);
    connect(window, &QQuickWindow::frameSwapped, this, &DisplayLatency::onFrameSwapped, Qt::DirectConnection);
    connect(window, &QObject::destroyed, this, [this] { m_window = nullptr; });
}

void DisplayLatency::resultArrived()
{
    ++m_results;
    m_arrivedNs = m_clock();
    m_phase = Arrived;
}

void DisplayLatency::resultShown()
{
    int expected = Arrived;
    if (!m_phase.compare_exchange_strong(expected, Shown))
        return;
    // A result that changes nothing in the scene (the same screen, the same texts) still gets
    // its frame, so no wait is left open until some later change.
    if (m_window)
        m_window->update();
}

void DisplayLatency::onAfterSynchronizing()
{
    int expected = Shown;
    m_phase.compare_exchange_strong(expected, Synced);
}

void DisplayLatency::onFrameSwapped()
{
    int expected = Synced;
    if (m_phase.compare_exchange_strong(expected, Idle))
        addSample(double(m_clock() - m_arrivedNs.load()) / 1e6);
}

void DisplayLatency::addSample(double ms)
{
    QMutexLocker lock(&m_mutex);
    if (m_ring.size() < size_t(Window)) {
        m_ring.push_back(ms);
    } else {
        m_ring[m_next] = ms;
        m_next = (m_next + 1) % m_ring.size();
    }
}

double DisplayLatency::percentile(double p) const
{
    std::vector<double> sorted;
    {
        QMutexLocker lock(&m_mutex);
        sorted = m_ring;
    }
    if (sorted.empty())
        return -1;
    // Nearest rank: the smallest value with at least p of the samples at or below it.
    const size_t rank = size_t(std::ceil(std::clamp(p, 0.0, 1.0) * double(sorted.size())));
    const size_t index = std::min(sorted.size() - 1, rank > 0 ? rank - 1 : 0);
    std::nth_element(sorted.begin(), sorted.begin() + long(index), sorted.end());
    return sorted[index];
}

int DisplayLatency::samples() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_ring.size());
}

QJsonObject DisplayLatency::toJson() const
{
    const auto value = [this](double p) {
        const double ms = percentile(p);
        // Two decimals: hundredths of a millisecond are below what a swap can tell apart.
        return ms < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(std::round(ms * 100) / 100);
    };
    return QJsonObject { { QStringLiteral("resultFrameMsP50"), value(0.5) },
                         { QStringLiteral("resultFrameMsP99"), value(0.99) },
                         { QStringLiteral("results"), results() } };
}
