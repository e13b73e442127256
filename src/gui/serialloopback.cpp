#include "serialloopback.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QSerialPortInfo>

namespace {

QSerialPort::FlowControl toFlowControl(int flowControl)
{
    switch (flowControl) {
    case SerialLoopback::HardwareFlowControl:
        return QSerialPort::HardwareControl;
    case SerialLoopback::SoftwareFlowControl:
        return QSerialPort::SoftwareControl;
    default:
        return QSerialPort::NoFlowControl;
    }
}

QString exchange(QSerialPort& port)
{
    if (port.write("A", 1) != 1)
        return QStringLiteral("ERROR (Could not write)");
    if (!port.waitForBytesWritten(SerialLoopback::WriteBudgetMs))
        return QStringLiteral("ERROR (Write timeout)");

    QElapsedTimer budget;
    budget.start();
    qint64 elapsed = 0;
    while ((elapsed = budget.elapsed()) < SerialLoopback::ReadBudgetMs) {
        const bool ready = port.waitForReadyRead(int(SerialLoopback::ReadBudgetMs - elapsed));
        if (port.readAll().contains('A'))
            return QStringLiteral("OK");
        // A port that went away reports an error at once; waiting on would only spin.
        if (!ready && port.error() != QSerialPort::NoError && port.error() != QSerialPort::TimeoutError)
            break;
    }
    return QStringLiteral("ERROR");
}

} // namespace

QString SerialLoopback::run(const QString& location, int flowControl)
{
    QSerialPort port;
    port.setPortName(location);
    port.setBaudRate(QSerialPort::Baud9600, QSerialPort::AllDirections);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(toFlowControl(flowControl));
    // The settings are applied by open(); a terminal that refuses one of them fails here.
    if (!port.open(QIODevice::ReadWrite))
        return QStringLiteral("ERROR (Could not open)");
    const QString result = exchange(port);
    port.close();
    return result;
}

QList<SerialPortEntry> SerialLoopback::systemPorts()
{
    QList<SerialPortEntry> ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos)
        ports.append({ info.portName(), info.systemLocation(), info.description() });
    return ports;
}
