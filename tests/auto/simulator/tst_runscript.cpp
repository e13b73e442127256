// scripts/run against the already-built tree (VOVADUDOZ_BUILD_DIR skips set-up and build):
// it starts the broker, the program and the simulator with the right settings, walks the
// demo, and whatever way it ends (demo over, "quit", Ctrl-C, termination) leaves no process
// behind.
#include "brokerfixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

namespace {

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Process ids of everything still running that belongs to a run: the recorded processes,
// members of the recorded process groups, and anything whose command line names the run
// directory.
QStringList leftovers(const QString& runDir)
{
    QList<qint64> pids, groups;
    for (const char* name : { "sim.pid", "gui.pid", "gui-group.pid", "broker.pid" }) {
        const qint64 pid = readFile(runDir + QLatin1Char('/') + QLatin1String(name)).trimmed().toLongLong();
        if (pid > 0)
            pids << pid;
    }
    for (const char* name : { "gui-group.pid", "broker.pid" }) {
        const qint64 pid = readFile(runDir + QLatin1Char('/') + QLatin1String(name)).trimmed().toLongLong();
        if (pid > 0)
            groups << pid;
    }
    QStringList found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        // Field 3 is the state, field 5 the process group (after the command in brackets).
        const QString stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
        const QStringList fields = stat.mid(stat.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
        if (fields.size() < 3 || fields.at(0) == QLatin1String("Z"))
            continue;
        QString cmdline = readFile(QStringLiteral("/proc/%1/cmdline").arg(pid));
        cmdline.replace(QChar(0), QLatin1Char(' '));
        if (pids.contains(pid) || groups.contains(fields.at(2).toLongLong()) || cmdline.contains(runDir))
            found << QStringLiteral("%1 %2").arg(pid).arg(cmdline.left(200));
    }
    return found;
}

} // namespace

class Tst_RunScript : public QObject
{
    Q_OBJECT

private slots:
    void demoRunsAndLeavesNothingBehind_data();
    void demoRunsAndLeavesNothingBehind();
    void givenBrokerAndRememberedSerial();
    void stopsEverything_data();
    void stopsEverything();
    void badArgumentsStartNothing_data();
    void badArgumentsStartNothing();
    void runDirectoryIsFreshAndPrivate();
    void setupSaysWhatToDoWithoutSudo();

private:
    void prepare(QProcess& process, const QString& platform);
};

void Tst_RunScript::prepare(QProcess& process, const QString& platform)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VOVADUDOZ_BUILD_DIR"), QStringLiteral(VOVADUDOZ_BINARY_DIR));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (platform.isEmpty())
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    else
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    // A program killed at the end must not be reported as a leak, and the sanitizer's exit
    // code of a program we stop on purpose is not what this test is about.
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    process.setProcessEnvironment(env);
    process.setProgram(QStringLiteral(VOVADUDOZ_SOURCE_DIR "/scripts/run"));
}

void Tst_RunScript::demoRunsAndLeavesNothingBehind_data()
{
    QTest::addColumn<QString>("platform");
    QTest::newRow("no display: xvfb-run") << QString();
    QTest::newRow("offscreen") << QStringLiteral("offscreen");
}

void Tst_RunScript::demoRunsAndLeavesNothingBehind()
{
    QFETCH(QString, platform);
    QTemporaryDir runDir;
    QVERIFY(runDir.isValid());

    QProcess run;
    prepare(run, platform);
    run.setArguments({ QStringLiteral("--demo"), QStringLiteral("--exit-after-demo"), QStringLiteral("--demo-pause-ms"),
                       QStringLiteral("50"), QStringLiteral("--run-dir"), runDir.path(), QStringLiteral("--serial"),
                       QStringLiteral("K12345678"), QStringLiteral("--pin"), QStringLiteral("9999") });
    run.start();
    QVERIFY(run.waitForFinished(120000));
    const QString output = QString::fromUtf8(run.readAllStandardError());
    QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, qPrintable(output.right(900)));
    QVERIFY2(output.contains(QStringLiteral("[Demo] finished")), qPrintable(output.right(900)));
    QVERIFY(output.contains(QStringLiteral("Maintenance PIN: 9999")));
    QCOMPARE(output.contains(QStringLiteral("xvfb-run")), platform.isEmpty());

    // The broker: loopback only, no delay on small packets, and the programs point at it.
    const QString broker = readFile(runDir.filePath(QStringLiteral("mosquitto.conf")));
    const QRegularExpressionMatch listener = QRegularExpression(QStringLiteral("^listener (\\d+) 127\\.0\\.0\\.1$"),
                                                                QRegularExpression::MultilineOption).match(broker);
    QVERIFY2(listener.hasMatch(), qPrintable(broker));
    QVERIFY(broker.contains(QStringLiteral("\nset_tcp_nodelay true\n")));
    QVERIFY(output.contains(QStringLiteral("Broker        : 127.0.0.1:") + listener.captured(1)));

    QSettings settings(runDir.filePath(QStringLiteral("gui.conf")), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("mqtt/port")).toString(), listener.captured(1));
    QCOMPARE(settings.value(QStringLiteral("mqtt/host")).toString(), QStringLiteral("127.0.0.1"));
    QCOMPARE(settings.value(QStringLiteral("gui/deviceId")).toString(), runDir.filePath(QStringLiteral("serialnumber")));
    QCOMPARE(settings.value(QStringLiteral("gui/settingsPin")).toString(), QStringLiteral("9999"));
    // The bare id, as the program itself writes it.
    QCOMPARE(readFile(runDir.filePath(QStringLiteral("serialnumber"))), QStringLiteral("K12345678"));

    // The program was started in the run directory with that settings file.
    QVERIFY(QFileInfo::exists(runDir.filePath(QStringLiteral("gui.pid"))));
    QVERIFY(!readFile(runDir.filePath(QStringLiteral("gui.log"))).isEmpty());

    const QStringList left = leftovers(runDir.path());
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
}

void Tst_RunScript::givenBrokerAndRememberedSerial()
{
    BrokerFixture wire;
    QVERIFY(wire.start({ QStringLiteral("orvo/#") }, 3000));
    MqttPeer& peer = *wire.peer;

    QTemporaryDir runDir;
    QFile serial(runDir.filePath(QStringLiteral("serialnumber")));
    QVERIFY(serial.open(QIODevice::WriteOnly));
    serial.write("K87654321");
    serial.close();

    QProcess run;
    prepare(run, QStringLiteral("offscreen"));
    run.setArguments({ QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(wire.broker.port()),
                       QStringLiteral("--exit-after-demo"), QStringLiteral("--demo-pause-ms"), QStringLiteral("20"),
                       QStringLiteral("--run-dir"), runDir.path() });
    run.start();
    // The event loop runs meanwhile, so the peer sees the simulator's traffic.
    QTRY_VERIFY_WITH_TIMEOUT(run.state() == QProcess::NotRunning, 120000);
    const QString output = QString::fromUtf8(run.readAllStandardError());
    QVERIFY2(run.exitCode() == 0, qPrintable(output.right(900)));

    // No broker of its own; the simulator (and the program) used the one given.
    QVERIFY(!QFileInfo::exists(runDir.filePath(QStringLiteral("broker.pid"))));
    QVERIFY(!QFileInfo::exists(runDir.filePath(QStringLiteral("mosquitto.conf"))));
    QTRY_VERIFY(peer.count(QStringLiteral("orvo/board/event")) == 2);
    QVERIFY(peer.count(QStringLiteral("orvo/blm/status")) > 0);
    QSettings settings(runDir.filePath(QStringLiteral("gui.conf")), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("mqtt/port")).toInt(), int(wire.broker.port()));

    // The serial number of an earlier run is kept, and the default PIN is shown.
    QVERIFY(output.contains(QStringLiteral("serial number K87654321")));
    QCOMPARE(readFile(serial.fileName()), QStringLiteral("K87654321"));
    QVERIFY(output.contains(QStringLiteral("Maintenance PIN: 2468 (default")));
    QCOMPARE(settings.value(QStringLiteral("gui/settingsPin")).toString(), QStringLiteral("2468"));

    const QStringList left = leftovers(runDir.path());
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
}

void Tst_RunScript::stopsEverything_data()
{
    QTest::addColumn<int>("signal");   // 0: "quit" typed at the prompt
    QTest::addColumn<int>("exitCode");
    QTest::newRow("quit") << 0 << 0;
    QTest::newRow("Ctrl-C") << int(SIGINT) << 130;
    QTest::newRow("terminated") << int(SIGTERM) << 143;
}

void Tst_RunScript::stopsEverything()
{
    QFETCH(int, signal);
    QFETCH(int, exitCode);

    BrokerFixture wire;
    QVERIFY(wire.start({ QStringLiteral("orvo/#") }, 3000));
    MqttPeer& peer = *wire.peer;
    QTemporaryDir runDir;

    QProcess run;
    prepare(run, QStringLiteral("offscreen"));
    run.setArguments({ QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(wire.broker.port()),
                       QStringLiteral("--run-dir"), runDir.path() });
    run.start();
    // Everything is up once the simulator has sent its state and the program is started.
    QVERIFY(!peer.waitFor(QStringLiteral("orvo/blm/status"), 60000).isNull());
    QTRY_VERIFY(QFileInfo::exists(runDir.filePath(QStringLiteral("gui.pid"))));
    QVERIFY(!leftovers(runDir.path()).isEmpty());

    if (signal)
        ::kill(pid_t(run.processId()), signal);
    else
        run.write("quit\n");
    QVERIFY(run.waitForFinished(60000));
    const QString output = QString::fromUtf8(run.readAllStandardError());
    QCOMPARE(run.exitCode(), exitCode);
    QVERIFY2(output.contains(QStringLiteral("Stopped.")), qPrintable(output.right(2000)));
    // The simulator ended itself cleanly rather than being killed.
    QVERIFY2(output.contains(QStringLiteral("[Sim] stopping")), qPrintable(output.right(2000)));
    const QStringList left = leftovers(runDir.path());
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
}

void Tst_RunScript::badArgumentsStartNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("PIN with letters") << QStringList { QStringLiteral("--pin"), QStringLiteral("12ab") };
    QTest::newRow("serial with a line break") << QStringList { QStringLiteral("--serial"), QStringLiteral("K1\nK2") };
    QTest::newRow("serial with a path") << QStringList { QStringLiteral("--serial"), QStringLiteral("../../etc/x") };
    QTest::newRow("broker without port") << QStringList { QStringLiteral("--broker"), QStringLiteral("localhost") };
    QTest::newRow("unknown option") << QStringList { QStringLiteral("--fast") };
    QTest::newRow("missing value") << QStringList { QStringLiteral("--pin") };
}

void Tst_RunScript::badArgumentsStartNothing()
{
    QFETCH(QStringList, arguments);
    QTemporaryDir runDir;
    QProcess run;
    prepare(run, QStringLiteral("offscreen"));
    run.setArguments(arguments + QStringList { QStringLiteral("--run-dir"), runDir.path() });
    run.start();
    QVERIFY(run.waitForFinished(30000));
    QCOMPARE(run.exitCode(), 2);
    QVERIFY(run.readAllStandardError().startsWith("scripts/run: "));
    QVERIFY(QDir(runDir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

void Tst_RunScript::runDirectoryIsFreshAndPrivate()
{
    BrokerFixture wire;
    QVERIFY(wire.start({ QStringLiteral("orvo/#") }, 3000));
    QTemporaryDir tmp;
    // Another local user made the old, predictable directory first and left a trap in it.
    const QString guessed = tmp.filePath(QStringLiteral("vovadudoz-run-%1").arg(::getuid()));
    QVERIFY(QDir().mkpath(guessed));
    QVERIFY(QFile::link(tmp.filePath(QStringLiteral("elsewhere")), guessed + QStringLiteral("/gui.conf")));

    QStringList dirs;
    for (int i = 0; i < 2; ++i) {
        QProcess run;
        prepare(run, QStringLiteral("offscreen"));
        QProcessEnvironment env = run.processEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tmp.path());
        run.setProcessEnvironment(env);
        run.setArguments({ QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(wire.broker.port()) });
        run.start();
        QByteArray err;
        QVERIFY(QTest::qWaitFor([&] { err += run.readAllStandardError(); return err.contains("Program log"); }, 60000));
        const QRegularExpression line(QStringLiteral("Run directory : (\\S+)"));
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(err));
        QVERIFY2(match.hasMatch(), err.constData());
        dirs << match.captured(1);
        run.write("quit\n");
        QVERIFY(run.waitForFinished(60000));
    }
    QVERIFY(dirs.at(0) != dirs.at(1));
    for (const QString& dir : qAsConst(dirs)) {
        QVERIFY2(dir.startsWith(tmp.path() + QStringLiteral("/vovadudoz-run.")), qPrintable(dir));
        QVERIFY(QFileInfo(dir).isDir());
        QVERIFY(QFileInfo(dir).ownerId() == ::getuid());
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/gui.conf")));
        // It holds the run's settings and PIN: for this user only.
        QCOMPARE(QFileInfo(dir).permissions() & 0x0077, QFileDevice::Permissions());
        QCOMPARE(QFileInfo(dir + QStringLiteral("/gui.conf")).permissions() & 0x0077, QFileDevice::Permissions());
    }
    // The trap was not followed.
    QVERIFY(!QFileInfo::exists(tmp.filePath(QStringLiteral("elsewhere"))));
}

void Tst_RunScript::setupSaysWhatToDoWithoutSudo()
{
    // Not root, no sudo, and a package missing: the script must say what to do, not fail on a
    // missing command.
    QTemporaryDir bin;
    auto tool = [&bin](const char* name, const QByteArray& body) {
        QFile file(bin.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body);
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    };
    tool("id", "echo 1000\n");
    tool("dpkg-query", "exit 1\n");
    for (const char* name : { "bash", "env", "dirname", "cat", "grep", "sed" }) {
        const QString found = QStandardPaths::findExecutable(QLatin1String(name));
        if (!found.isEmpty())
            QVERIFY(QFile::link(found, bin.filePath(QLatin1String(name))));
    }
    QProcess setup;
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), bin.path());
    setup.setProcessEnvironment(env);
    setup.start(QStringLiteral(VOVADUDOZ_SOURCE_DIR "/scripts/setup"), QStringList());
    QVERIFY(setup.waitForFinished(30000));
    const QString err = QString::fromUtf8(setup.readAllStandardError());
    QCOMPARE(setup.exitCode(), 1);
    QVERIFY2(err.contains(QStringLiteral("sudo is not installed")), qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("as root, run:  apt-get install")), qPrintable(err));
    QVERIFY2(!err.contains(QStringLiteral("command not found")), qPrintable(err));
}

QTEST_GUILESS_MAIN(Tst_RunScript)
#include "tst_runscript.moc"
