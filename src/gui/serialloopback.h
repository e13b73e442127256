#pragma once

#include <QList>
#include <QString>

// One serial port as the system reports it: the name the technician picks, the device node the
// test opens, and the description shown beside the name.
struct SerialPortEntry
{
    QString name;
    QString systemLocation;
    QString description;
};

// The serial part of the hardware self-test. A loop-back plug joins the port's transmit and
// receive lines, so a byte written must come straight back. Runs on the caller's thread and
// blocks it for at most the two budgets below (plus the time to open and close the port).
class SerialLoopback
{
public:
    static constexpr int WriteBudgetMs = 50;
    static constexpr int ReadBudgetMs = 50;

    // Flow control as the diagnostics page numbers it.
    enum FlowControl { NoFlowControl = 0, HardwareFlowControl = 1, SoftwareFlowControl = 2 };

    // "OK" when the byte came back; "ERROR" when it did not within the read budget;
    // "ERROR (Could not open)", "ERROR (Could not write)" or "ERROR (Write timeout)" otherwise.
    // `location` is a device node or any path to a terminal (a pseudo-terminal link works).
    // An unknown flow-control number tests without flow control.
    static QString run(const QString& location, int flowControl);

    // The serial ports present, in the order the system reports them.
    static QList<SerialPortEntry> systemPorts();
};
