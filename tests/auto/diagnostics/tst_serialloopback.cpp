#include "diagnosticsrig.h"
#include "logcapture.h"
#include "ptyloopback.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

class Tst_SerialLoopback : public QObject
{
    Q_OBJECT

private slots:
    void loopback_data();
    void loopback();
    void noPortTouchesNothing_data();
    void noPortTouchesNothing();
    void portOpenedAgainEveryCheck();
    void preferredPortAndOrder();
    void virtualPortLink();
    void portDescription();
};

void Tst_SerialLoopback::loopback_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("flowControl");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plug in, hardware flow control") << int(PtyLoopback::Echo) << 1 << "OK";
    QTest::newRow("plug in, no flow control") << int(PtyLoopback::Echo) << 0 << "OK";
    QTest::newRow("plug in, software flow control") << int(PtyLoopback::Echo) << 2 << "OK";
    QTest::newRow("plug in, unknown flow control") << int(PtyLoopback::Echo) << 7 << "OK";
    QTest::newRow("no plug") << int(PtyLoopback::Silent) << 1 << "ERROR";
    QTest::newRow("another byte comes back") << int(PtyLoopback::EchoOther) << 1 << "ERROR";
    QTest::newRow("path that cannot be opened") << -1 << 1 << "ERROR (Could not open)";
}

void Tst_SerialLoopback::loopback()
{
    QFETCH(int, mode);
    QFETCH(int, flowControl);
    QFETCH(QString, expected);

    std::unique_ptr<PtyLoopback> pty;
    QString port = QStringLiteral("/nonexistent/ttyX0");
    if (mode >= 0) {
        pty = std::make_unique<PtyLoopback>(PtyLoopback::Mode(mode));
        QVERIFY(pty->isValid());
        port = pty->path();
    }
    DiagnosticsRig rig;
    rig.diagnostics->setSerialPort(port);
    rig.diagnostics->setSerialFlowCtrl(flowControl);
    rig.diagnostics->check();
    QCOMPARE(rig.diagnostics->serialPortTest(), expected);
    if (pty)
        QCOMPARE(pty->received(), 1); // one "A", sent once
}

void Tst_SerialLoopback::noPortTouchesNothing_data()
{
    QTest::addColumn<QString>("port");
    QTest::newRow("NONE") << "NONE";
    QTest::newRow("empty") << "";
}

void Tst_SerialLoopback::noPortTouchesNothing()
{
    QFETCH(QString, port);

    PtyLoopback pty(PtyLoopback::Echo);
    QVERIFY(pty.isValid());
    DiagnosticsRig rig;
    // The only port the system has is a working loop-back; it is still not tested.
    rig.diagnostics->setPortLister([&] { return QList<SerialPortEntry> { { "ttyS1", pty.path(), "" } }; });
    rig.diagnostics->setSerialPort(port);
    rig.diagnostics->check();
    QCOMPARE(rig.diagnostics->serialPortTest(), QString("MISSING"));
    QCOMPARE(pty.received(), 0);
    QCOMPARE(rig.diagnostics->serialPort(), port);
}

// The port is closed after every test: the next check (a second later) opens it again, and a
// loop-back plug pulled in between shows at once.
void Tst_SerialLoopback::portOpenedAgainEveryCheck()
{
    auto pty = std::make_unique<PtyLoopback>(PtyLoopback::Echo);
    QVERIFY(pty->isValid());
    const QString path = pty->path();
    DiagnosticsRig rig;
    rig.diagnostics->setSerialPort(path);
    for (int i = 0; i < 3; ++i) {
        rig.diagnostics->check();
        QCOMPARE(rig.diagnostics->serialPortTest(), QString("OK"));
    }
    QCOMPARE(pty->received(), 3);

    PtyLoopback silent(PtyLoopback::Silent);
    rig.diagnostics->setSerialPort(silent.path());
    rig.diagnostics->check();
    QCOMPARE(rig.diagnostics->serialPortTest(), QString("ERROR"));
}

// "ttyUSB0" wins whenever it is present, but only from the check after the one that found it:
// the loop-back runs before the port list is refreshed.
void Tst_SerialLoopback::preferredPortAndOrder()
{
    PtyLoopback usb(PtyLoopback::Echo);
    QVERIFY(usb.isValid());
    DiagnosticsRig rig;
    Diagnostics& diagnostics = *rig.diagnostics;
    bool usbPlugged = true;
    rig.diagnostics->setPortLister([&] {
        QList<SerialPortEntry> ports { { "ttyS0", "/nonexistent/ttyS0", "" } };
        if (usbPlugged)
            ports.append({ "ttyUSB0", usb.path(), "FT230X Basic UART" });
        return ports;
    });
    QSignalSpy listChanged(&diagnostics, &Diagnostics::serialPortsChanged);

    diagnostics.start(0);
    QCOMPARE(diagnostics.serialPortTest(), QString("MISSING"));
    QCOMPARE(usb.received(), 0);
    QCOMPARE(diagnostics.serialPorts(), (QStringList { "NONE", "ttyS0", "ttyUSB0" }));
    QCOMPARE(diagnostics.serialPort(), QString("ttyUSB0"));

    diagnostics.check(); // the name is looked up: the test goes to the adapter's node
    QCOMPARE(diagnostics.serialPortTest(), QString("OK"));
    QCOMPARE(usb.received(), 1);

    diagnostics.setSerialPort("ttyS0"); // the technician picks another port
    diagnostics.check();
    QCOMPARE(diagnostics.serialPortTest(), QString("ERROR (Could not open)"));
    QCOMPARE(diagnostics.serialPort(), QString("ttyUSB0"));
    QCOMPARE(listChanged.count(), 1); // same list every time

    usbPlugged = false; // adapter pulled: its name is tested as given, then the choice may stay
    diagnostics.check();
    QCOMPARE(diagnostics.serialPortTest(), QString("ERROR (Could not open)"));
    QCOMPARE(diagnostics.serialPorts(), (QStringList { "NONE", "ttyS0" }));
    QCOMPARE(listChanged.count(), 2);
    diagnostics.setSerialPort("ttyS0");
    diagnostics.check();
    QCOMPARE(diagnostics.serialPort(), QString("ttyS0"));
}

// A desk set-up links a pseudo-terminal at the virtual port path: it is listed last and tested
// through the link.
void Tst_SerialLoopback::virtualPortLink()
{
    PtyLoopback pty(PtyLoopback::Echo);
    QVERIFY(pty.isValid());
    DiagnosticsRig rig;
    Diagnostics& diagnostics = *rig.diagnostics;
    rig.diagnostics->setPortLister([] { return QList<SerialPortEntry> { { "ttyS0", "/nonexistent/ttyS0", "" } }; });
    diagnostics.check();
    QCOMPARE(diagnostics.serialPorts(), (QStringList { "NONE", "ttyS0" }));

    QVERIFY(QFile::link(pty.path(), rig.paths().virtualPort));
    diagnostics.check();
    QCOMPARE(diagnostics.serialPorts(), (QStringList { "NONE", "ttyS0", rig.paths().virtualPort }));
    diagnostics.setSerialPort(rig.paths().virtualPort);
    diagnostics.check();
    QCOMPARE(diagnostics.serialPortTest(), QString("OK"));
}

void Tst_SerialLoopback::portDescription()
{
    DiagnosticsRig rig;
    rig.diagnostics->setPortLister([] {
        return QList<SerialPortEntry> { { "ttyS0", "/dev/ttyS0", "" }, { "ttyUSB0", "/dev/ttyUSB0", "FT230X Basic UART" } };
    });
    QCOMPARE(rig.diagnostics->serialPortDescr("ttyUSB0"), QString("FT230X Basic UART"));
    QCOMPARE(rig.diagnostics->serialPortDescr("ttyS0"), QString(""));
    QCOMPARE(rig.diagnostics->serialPortDescr("ttyUSB"), QString()); // exact names only
    QCOMPARE(rig.diagnostics->serialPortDescr("NONE"), QString());
}

QTEST_GUILESS_MAIN(Tst_SerialLoopback)
#include "tst_serialloopback.moc"
