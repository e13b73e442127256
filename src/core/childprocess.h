#pragma once

#include <QProcess>

namespace core {

// A QProcess for the children the program starts (timedatectl for the clock) that never signals
// anything but its own child. QProcess::kill(), terminate() and its destructor signal whatever id
// the object holds; when a start went wrong underneath (seen under a user-mode emulator) that id
// read -1, and kill(-1, SIGKILL) reaches every process the user may signal. Here only an id that
// names one process is signalled: positive and within pid_t (a 64-bit id cut down to a 32-bit
// pid_t could become 0 or -1). A child with no such id is let go, reported once on the log.
class ChildProcess : public QProcess
{
    Q_OBJECT
public:
    using QProcess::QProcess;
    ~ChildProcess() override;

    static bool isChildPid(qint64 pid);
    // kill(pid, signal) for an id that passes isChildPid(): whether it was sent.
    static bool signalChild(qint64 pid, int signal);

    // SIGKILL and SIGTERM to the running child; false, and nothing sent, when it has no usable id.
    bool kill();
    bool terminate();

private:
    bool send(int signal);
};

} // namespace core
