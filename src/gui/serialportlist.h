#pragma once

#include "serialloopback.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The serial ports the system reports, for the diagnostics check that lists them every second.
// Asking the system probes every terminal and costs milliseconds of the GUI thread; listing the
// kernel's terminal directory costs a small fraction of that. So the full answer is asked for
// again only when the set of terminals there changes (an adapter plugged in or pulled out).
class SerialPortList
{
public:
    using Query = std::function<QList<SerialPortEntry>()>;

    explicit SerialPortList(const QString& terminalDir = QStringLiteral("/sys/class/tty"),
                            Query query = &SerialLoopback::systemPorts);

    QList<SerialPortEntry> ports();

private:
    QString m_terminalDir;
    Query m_query;
    bool m_valid = false;
    QStringList m_terminals;
    QList<SerialPortEntry> m_ports;
};
