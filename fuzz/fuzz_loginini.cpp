// The kept PIN lock-out (login.ini) as a restart reads it back, then a wrong PIN and the lock-out
// it writes: whatever the file says, no lock-out lasts longer than the longest one (an hour).
// Input: the file's bytes.
#include "config.h"
#include "fuzzsupport.h"
#include "guimanager.h"
#include "sessionmanager.h"

#include <QDir>
#include <QElapsedTimer>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString dir = fuzz::scratchDir() + QStringLiteral("/login");
    QDir().mkpath(dir);
    QFile::remove(dir + QStringLiteral("/login.ini.lock"));
    fuzz::writeFile(dir + QLatin1Char('/') + QLatin1String(SessionManager::StateFileName), fuzz::bytes(data, size));
    {
        QFile::remove(dir + QStringLiteral("/gui.conf"));
        Config config(dir + QStringLiteral("/gui.conf"), GUIManager::Defaults);
        config.set(QStringLiteral("gui/settingsPin"), QStringLiteral("4242"));
        // The settings store is not what is tested: only reading the lock-out back counts.
        QElapsedTimer timer;
        timer.start();
        SessionManager session(config, dir);
        fuzz::noteHandling(timer.nsecsElapsed());
        const auto bounded = [&session] {
            return session.lockoutRemainingSec() * 1000LL <= SessionManager::MaxLockoutMs + 1000;
        };
        if (!bounded())
            abort();
        session.loginRequest(QStringLiteral("0000"));
        if (!bounded() || session.sessionActive())
            abort();
    }
    fuzz::settle();
    return 0;
}
