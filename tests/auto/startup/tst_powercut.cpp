// A power-cut campaign: a process writing the settings, the event log and the serial number as
// fast as it can is killed with SIGKILL at random moments, a few hundred times. After every kill
// each file holds either what was last reported written or the write that was under way, never
// a mix or nothing, and the next start reads all three without complaint. The real program is
// killed the same way while it starts, and finally starts cleanly on what is left.
//
// The writing process is this test program itself, started again with "--writer <folder>".
#include "config.h"
#include "deviceidentity.h"
#include "event.h"
#include "eventmanager.h"
#include "guimanager.h"
#include "logcapture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cstdio>
#include <cstring>

namespace {

const char* const WriterFlag = "--writer";

// The writing side: every write is reported on standard output once it has returned.
int runWriter(const QString& dir)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    Config config(dir + "/gui.conf", GUIManager::Defaults);
    EventManager log(config, dir);
    DeviceIdentity identity(config);
    identity.load();
    int n = config.get("gui/displayOffMin").toInt();
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        ++n;
        config.set("gui/displayOffMin", n);
        // A lock left by the previous kill defers the write until it counts as left over.
        while (config.isSavePending()) {
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
        std::printf("conf %d\n", n);
        std::fflush(stdout);
        log.push(new Event("Test", QString("e%1").arg(n), QString(), QDateTime::currentDateTime()));
        log.waitForWrites();
        std::printf("event %d\n", n);
        std::fflush(stdout);
        identity.setId(QString("SN-%1").arg(n));
        std::printf("serial %d\n", n);
        std::fflush(stdout);
    }
}

// What the last completed write of each file was, by the writer's reports, and which write was
// under way when the reports stop: the settings, the event log and the serial number are
// written in turn, each with the number of the round.
struct Written
{
    int conf = 0;
    int event = 0;
    int serial = 0;
    QByteArray next = "conf";

    void read(const QByteArray& output)
    {
        for (const QByteArray& line : output.split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() != 2)
                continue;
            const int value = parts.at(1).toInt();
            if (parts.at(0) == "conf") {
                conf = value;
                next = "event";
            } else if (parts.at(0) == "event") {
                event = value;
                next = "serial";
            } else if (parts.at(0) == "serial") {
                serial = value;
                next = "conf";
            }
        }
    }
    // The number a file may hold besides its last reported one: the write under way.
    int underWay(const QByteArray& file) const
    {
        if (file != next)
            return -1;
        return file == "conf" ? conf + 1 : conf;
    }
};

} // namespace

class Tst_PowerCut : public QObject
{
    Q_OBJECT

private slots:
    void campaign();

private:
    // Reads the three files as the next start would; the numbers they hold, or an error.
    QString check(const QString& dir, int* conf, int* event, int* serial);
};

QString Tst_PowerCut::check(const QString& dir, int* conf, int* event, int* serial)
{
    LogCapture log;
    {
        QSettings file(dir + "/gui.conf", QSettings::IniFormat);
        if (file.status() != QSettings::NoError || file.allKeys().size() != GUIManager::Defaults.size())
            return "gui.conf unreadable or incomplete";
        *conf = file.value("gui/displayOffMin").toInt();
    }
    Config config(dir + "/gui.conf", GUIManager::Defaults);
    {
        EventManager events(config, dir);
        // Each run of the writer numbers on from the settings it read, so the numbers rise,
        // with gaps where a run was cut before its event.
        *event = 0;
        for (const Event* e : events.events()) {
            if (e->category() != "Test")
                continue; // the program's own entries, from the kills of the program itself
            const int number = e->name().mid(1).toInt();
            if (number <= *event)
                return QString("events.ini: e%1 after e%2").arg(number).arg(*event);
            *event = number;
        }
    }
    DeviceIdentity identity(config);
    identity.load();
    *serial = identity.id().mid(3).toInt();
    if (!identity.id().startsWith("SN-"))
        return "serial number unreadable: " + identity.id();
    // A lock file cut off before it was filled in is the one leftover that the start clears
    // and says so; anything else is a complaint.
    QStringList problems = log.problems();
    problems = problems.filter(QRegularExpression("^(?!\\[Settings\\] WARN: Removed a stale lock file)"));
    if (!problems.isEmpty())
        return "complaints on start: " + problems.join(" | ");
    return QString();
}

void Tst_PowerCut::campaign()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    {
        Config config(dir.filePath("gui.conf"), GUIManager::Defaults);
        config.set("gui/deviceId", dir.filePath("serialnumber"));
        config.set("gui/displayOffMin", 0);
        config.set("log/syslog", false);
        DeviceIdentity identity(config);
        identity.setId("SN-0");
    }

    // Bounded by time as well as by count, so that the suite stays fast on a loaded machine.
    QElapsedTimer budget;
    budget.start();
    Written last;
    int kills = 0;
    QRandomGenerator random(20261207);
    while (kills < 300 && budget.elapsed() < 30000) {
        QProcess writer;
        // A cross build's test runs itself through the emulator that tests/CMakeLists.txt names.
        const QStringList command = qEnvironmentVariable("VOVADUDOZ_TARGET_RUNNER").split(QLatin1Char(' '), Qt::SkipEmptyParts)
                                    + QStringList{QCoreApplication::applicationFilePath(), WriterFlag, dir.path()};
        writer.start(command.first(), command.mid(1));
        QVERIFY(writer.waitForStarted(10000));
        QVERIFY(writer.waitForReadyRead(20000)); // "ready": the files were read
        // Until one event-log write has completed, each run lives a little longer: a machine
        // busy with other tests may start the writer too slowly to finish any in 60 ms.
        QTest::qSleep(1 + int(random.bounded(60)) + (last.event > 0 ? 0 : 10 * kills));
        writer.kill();
        QVERIFY(writer.waitForFinished(10000));
        ++kills;
        Written now = last;
        now.read(writer.readAllStandardOutput());

        int conf = -1, event = -1, serial = -1;
        const QString error = check(dir.path(), &conf, &event, &serial);
        QVERIFY2(error.isEmpty(), qPrintable(QString("after kill %1: %2").arg(kills).arg(error)));
        // The last reported write, or the one under way when the process died.
        const auto allowed = [&](int value, int reported, const QByteArray& file) {
            return value == reported || value == now.underWay(file);
        };
        QVERIFY2(allowed(conf, now.conf, "conf"), qPrintable(QString("gui.conf %1, reported %2").arg(conf).arg(now.conf)));
        QVERIFY2(allowed(event, now.event, "event"),
                 qPrintable(QString("events.ini e%1, reported e%2").arg(event).arg(now.event)));
        QVERIFY2(allowed(serial, now.serial, "serial"),
                 qPrintable(QString("serial SN-%1, reported SN-%2").arg(serial).arg(now.serial)));
        last = { conf, event, serial, "conf" };
    }
    qInfo("%d kills in %lld ms; last writes: settings %d, event log %d, serial number %d", kills, budget.elapsed(),
          last.conf, last.event, last.serial);
    QVERIFY2(kills >= 20, "the campaign did not get going");
    QVERIFY2(last.event > 0, "no write was ever completed");

    // The program itself, killed while it starts (it writes the event log and the settings),
    // then left to start cleanly on what remains.
    const QString program = dir.filePath("VovadudozAD"); // keeps its event log beside itself
    QVERIFY(QFile::copy(VOVADUDOZ_APP, program));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QT_QUICK_BACKEND", "software");
    const QStringList args { "-f", "gui.conf", "-e", "-H", "127.0.0.1", "-P", "1" };
    for (int i = 0; i < 8; ++i) {
        QProcess app;
        app.setProcessEnvironment(environment);
        app.setWorkingDirectory(dir.path());
        app.start(program, args);
        QVERIFY(app.waitForStarted(10000));
        QTest::qSleep(1 + int(random.bounded(400)));
        app.kill();
        QVERIFY(app.waitForFinished(10000));
        int conf = -1, event = -1, serial = -1;
        const QString error = check(dir.path(), &conf, &event, &serial);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    QProcess app;
    app.setProcessEnvironment(environment);
    app.setWorkingDirectory(dir.path());
    app.setProcessChannelMode(QProcess::MergedChannels);
    app.start(program, args);
    QVERIFY(app.waitForStarted(10000));
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += app.readAll()).contains("Loading saved events") &&
                                 QSettings(dir.filePath("events.ini"), QSettings::NativeFormat)
                                         .value("events/size").toInt() > 0,
                             20000);
    app.kill();
    app.waitForFinished(10000);
    output += app.readAll();
    QVERIFY2(!output.contains("damaged") && !output.contains("Could not load device S/N"), output.constData());
    QVERIFY2(output.contains("Device id") || output.contains("Loading device id"), output.constData());
}

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], WriterFlag) == 0) {
        QCoreApplication app(argc, argv);
        return runWriter(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    Tst_PowerCut test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_powercut.moc"
