#include "serialportlist.h"

#include <QDir>

SerialPortList::SerialPortList(const QString& terminalDir, Query query)
    : m_terminalDir(terminalDir)
    , m_query(std::move(query))
{
}

QList<SerialPortEntry> SerialPortList::ports()
{
    // Unsorted: the kernel's order is stable while nothing changes, and sorting is wasted work.
    const QStringList terminals =
        QDir(m_terminalDir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    // A directory that cannot be read gives no way to notice changes: ask every time.
    if (!m_valid || terminals.isEmpty() || terminals != m_terminals) {
        m_ports = m_query();
        m_terminals = terminals;
        m_valid = true;
    }
    return m_ports;
}
