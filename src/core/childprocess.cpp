#include "childprocess.h"

#include <QDebug>

#include <csignal>
#include <limits>
#include <sys/types.h>

namespace core {

ChildProcess::~ChildProcess()
{
    // QProcess's own destructor kills a running child by the id it holds: without one, it is
    // marked as ended first, so nothing is signalled.
    if (state() != NotRunning && !isChildPid(processId())) {
        qWarning().noquote().nospace() << "WARN: " << program() << " has no process id to stop (" << processId()
                                       << "); let go";
        setProcessState(NotRunning);
    }
}

bool ChildProcess::isChildPid(qint64 pid)
{
    return pid > 0 && pid <= std::numeric_limits<pid_t>::max();
}

bool ChildProcess::signalChild(qint64 pid, int signal)
{
    if (!isChildPid(pid))
        return false;
    return ::kill(pid_t(pid), signal) == 0;
}

bool ChildProcess::kill()
{
    return send(SIGKILL);
}

bool ChildProcess::terminate()
{
    return send(SIGTERM);
}

bool ChildProcess::send(int signal)
{
    if (state() == NotRunning)
        return false;
    if (!isChildPid(processId())) {
        qWarning().noquote().nospace() << "WARN: " << program() << " has no process id to stop (" << processId()
                                       << "); not signalled";
        return false;
    }
    return signalChild(processId(), signal);
}

} // namespace core
