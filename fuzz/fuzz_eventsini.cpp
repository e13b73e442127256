// The event log (events.ini) as a restart reads it back: the entries, the page's filters and
// the pruning of old ones, then one more entry written back. Input: the file's bytes.
#include "config.h"
#include "event.h"
#include "eventmanager.h"
#include "fuzzsupport.h"
#include "guimanager.h"

#include <QDir>
#include <QElapsedTimer>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString dir = fuzz::scratchDir() + QStringLiteral("/events");
    QDir().mkpath(dir);
    QFile::remove(dir + QStringLiteral("/events.ini.lock"));
    fuzz::writeFile(dir + QStringLiteral("/events.ini"), fuzz::bytes(data, size));
    {
        QFile::remove(dir + QStringLiteral("/gui.conf"));
        Config config(dir + QStringLiteral("/gui.conf"), GUIManager::Defaults);
        const QDateTime now(QDate(2026, 6, 1), QTime(12, 0));
        // The settings store is not what is tested: only reading the log back and working on it count.
        QElapsedTimer timer;
        timer.start();
        EventManager events(config, dir, [now] { return now; });
        events.data();
        events.applyFilter(QStringLiteral("Login"));
        events.applyFilter(2);
        events.applyFilterPeriod(QStringLiteral("week"));
        events.pruneOld();
        fuzz::noteHandling(timer.nsecsElapsed());
        events.push(new Event(QStringLiteral("General"), QStringLiteral("Application started"), QString(), now));
        events.waitForWrites();
    }
    fuzz::settle();
    return 0;
}
