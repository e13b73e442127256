#pragma once

#include <QJsonObject>
#include <QMutex>
#include <QObject>

#include <atomic>
#include <functional>
#include <vector>

class QQuickWindow;

// How long a passenger waits for a result: for every validation result, the time from the
// message's arrival to the first frame swapped with that result on the glass. Keeps the last
// 1,000 of these times and reports their median and 99th percentile, with the number of
// results taken in, for the program's status on the broker.
//
// The controller calls resultArrived() when a result comes in and resultShown() once the
// window's screen and transaction carry it. The next scene-graph sync takes the change to the
// renderer and the swap after it puts it on the glass. Both window signals may come from the
// render thread; the sample window is guarded for that.
class DisplayLatency : public QObject
{
    Q_OBJECT
public:
    static constexpr int Window = 1000;
    using Clock = std::function<qint64()>; // monotonic nanoseconds

    explicit DisplayLatency(QObject* parent = nullptr);

    // Follows the window's syncs and swaps; a result waiting for its frame asks for one.
    void attach(QQuickWindow* window);
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // A result came in. A result still waiting for its frame is replaced: only the last of a
    // burst reaches the glass, and its own wait is what is measured.
    void resultArrived();
    // The window's properties now show the last result; the next sync carries it.
    void resultShown();

    // Adds one time, in milliseconds, to the window of the last 1,000.
    void addSample(double ms);
    // Nearest-rank percentile (0 < p <= 1) of the window; -1 when it is empty.
    double percentile(double p) const;
    int samples() const;
    // Results taken in since start, whether or not a later one replaced them on the glass.
    int results() const { return m_results.load(); }

    // {"resultFrameMsP50": ..., "resultFrameMsP99": ..., "results": n}; the two times are null
    // until a first result has been on the glass.
    QJsonObject toJson() const;

public slots:
    void onAfterSynchronizing();
    void onFrameSwapped();

private:
    enum Phase { Idle, Arrived, Shown, Synced };

    Clock m_clock;
    QQuickWindow* m_window = nullptr;
    std::atomic<int> m_phase { Idle };
    std::atomic<qint64> m_arrivedNs { 0 };
    std::atomic<int> m_results { 0 };
    mutable QMutex m_mutex;
    std::vector<double> m_ring; // the last Window samples, oldest overwritten first
    size_t m_next = 0;
};
