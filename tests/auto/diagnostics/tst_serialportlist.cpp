#include "serialportlist.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The port list is asked of the system again exactly when the kernel's set of terminals
// changes; in between, the answer given is the last one.
class Tst_SerialPortList : public QObject
{
    Q_OBJECT

private slots:
    void asksAgainOnlyOnChange();
    void unreadableDirectoryAsksEveryTime();
};

void Tst_SerialPortList::asksAgainOnlyOnChange()
{
    QTemporaryDir tty;
    QVERIFY(QDir(tty.path()).mkdir("ttyS0"));
    QVERIFY(QDir(tty.path()).mkdir("console"));
    int queries = 0;
    QList<SerialPortEntry> system { { "ttyS0", "/dev/ttyS0", "" } };
    SerialPortList list(tty.path(), [&] { ++queries; return system; });

    QCOMPARE(list.ports().size(), 1);
    QCOMPARE(queries, 1);
    system.append({ "ttyUSB0", "/dev/ttyUSB0", "FT230X Basic UART" }); // not yet in the kernel's set
    for (int i = 0; i < 5; ++i)
        QCOMPARE(list.ports().size(), 1);
    QCOMPARE(queries, 1);

    QVERIFY(QDir(tty.path()).mkdir("ttyUSB0")); // plugged in
    QCOMPARE(list.ports().size(), 2);
    QCOMPARE(list.ports().at(1).name, QString("ttyUSB0"));
    QCOMPARE(queries, 2);

    QVERIFY(QDir(tty.path()).rmdir("ttyUSB0")); // pulled out
    system.removeLast();
    QCOMPARE(list.ports().size(), 1);
    QCOMPARE(queries, 3);

    // A terminal that is a link (as in the kernel's class directory) counts as well.
    QVERIFY(QFile::link(tty.filePath("ttyS0"), tty.filePath("ttyACM0")));
    list.ports();
    QCOMPARE(queries, 4);
}

void Tst_SerialPortList::unreadableDirectoryAsksEveryTime()
{
    int queries = 0;
    SerialPortList list(QStringLiteral("/nonexistent/tty"), [&] { ++queries; return QList<SerialPortEntry>(); });
    list.ports();
    list.ports();
    QCOMPARE(queries, 2);
}

QTEST_GUILESS_MAIN(Tst_SerialPortList)
#include "tst_serialportlist.moc"
