#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QObject>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "mqttpeer.h"
#include "systemdnotifier.h"
#include "testbroker.h"

// The service side of systemd's notify protocol: a datagram socket named in NOTIFY_SOCKET,
// as systemd makes one for a Type=notify unit.
class NotifySocket
{
public:
    NotifySocket()
    {
        m_path = m_dir.filePath(QStringLiteral("notify"));
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un addr {};
        addr.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(m_path);
        qstrncpy(addr.sun_path, path.constData(), sizeof(addr.sun_path));
        m_bound = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    }
    ~NotifySocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isValid() const { return m_bound; }
    QString path() const { return m_path; }

    // Every datagram received so far, one per entry, and forgets them.
    QStringList take()
    {
        QStringList got;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof(buffer), 0);
            if (n < 0)
                break;
            got << QString::fromUtf8(buffer, int(n));
        }
        m_seen += got;
        return got;
    }
    // Waits up to ms for a datagram equal to message; collects everything meanwhile.
    bool waitFor(const QString& message, int ms)
    {
        return QTest::qWaitFor([&] { return take().contains(message); }, ms);
    }
    QStringList seen() const { return m_seen; }

private:
    QTemporaryDir m_dir;
    QString m_path;
    int m_fd = -1;
    bool m_bound = false;
    QStringList m_seen;
};

class Tst_SystemdNotifier : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void watchdogInterval_data();
    void watchdogInterval();
    void withoutSocketNothingIsSent();
    void readyOnlyAfterFirstFrame();
    void readyFromEngineWindow();
    void pingsComeFromTheGuiThread();
    void programReportsToSystemd();
    void programStopsCleanlyOnSignals_data();
    void programStopsCleanlyOnSignals();
    void stoppingOnCleanExit(); // last: it runs and ends the application's event loop

private:
    NotifySocket* m_socket = nullptr;
};

void Tst_SystemdNotifier::init()
{
    m_socket = new NotifySocket;
    QVERIFY(m_socket->isValid());
    qputenv("NOTIFY_SOCKET", QFile::encodeName(m_socket->path()));
    qunsetenv("WATCHDOG_USEC");
    qunsetenv("WATCHDOG_PID");
}

void Tst_SystemdNotifier::cleanup()
{
    qunsetenv("NOTIFY_SOCKET");
    qunsetenv("WATCHDOG_USEC");
    qunsetenv("WATCHDOG_PID");
    delete m_socket;
    m_socket = nullptr;
}

void Tst_SystemdNotifier::watchdogInterval_data()
{
    QTest::addColumn<QByteArray>("usec");
    QTest::addColumn<QByteArray>("pid");   // "self" for this process
    QTest::addColumn<int>("interval");
    QTest::newRow("no watchdog") << QByteArray() << QByteArray() << 0;
    QTest::newRow("20 s: ping every 10 s") << QByteArray("20000000") << QByteArray() << 10000;
    QTest::newRow("3 s: ping every 1.5 s") << QByteArray("3000000") << QByteArray() << 1500;
    QTest::newRow("for this process") << QByteArray("20000000") << QByteArray("self") << 10000;
    QTest::newRow("for another process") << QByteArray("20000000") << QByteArray("1") << 0;
    QTest::newRow("not a number") << QByteArray("soon") << QByteArray() << 0;
    QTest::newRow("zero") << QByteArray("0") << QByteArray() << 0;
}

void Tst_SystemdNotifier::watchdogInterval()
{
    QFETCH(QByteArray, usec);
    QFETCH(QByteArray, pid);
    QFETCH(int, interval);
    if (!usec.isNull())
        qputenv("WATCHDOG_USEC", usec);
    if (pid == "self")
        qputenv("WATCHDOG_PID", QByteArray::number(qint64(::getpid())));
    else if (!pid.isNull())
        qputenv("WATCHDOG_PID", pid);
    SystemdNotifier notifier;
    QCOMPARE(notifier.watchdogInterval(), interval);
}

void Tst_SystemdNotifier::withoutSocketNothingIsSent()
{
    // Run by hand: no socket, a watchdog variable left over in the shell. The program must
    // neither send nor fail.
    qunsetenv("NOTIFY_SOCKET");
    qputenv("WATCHDOG_USEC", "100000");
    SystemdNotifier notifier;
    QCOMPARE(notifier.watchdogInterval(), 0);
    QQuickWindow window;
    window.resize(50, 50);
    notifier.readyOnFirstFrame(&window);
    window.show();
    QVERIFY(QTest::qWaitFor([&] { return notifier.isReady(); }, 10000));
    // sd_notify sends at once: had readiness been announced, it would be waiting in the socket.
    QCOMPARE(m_socket->take(), QStringList());
    // And no watchdog pings follow: a few of the periods the leftover variable names pass.
    QTimer period;
    QSignalSpy periods(&period, &QTimer::timeout);
    period.start(50);
    QTRY_VERIFY(periods.count() >= 3);
    QCOMPARE(m_socket->take(), QStringList());
}

void Tst_SystemdNotifier::readyOnlyAfterFirstFrame()
{
    SystemdNotifier notifier;
    QQuickWindow window;
    window.resize(100, 100);
    int framesAtReady = -1;
    int frames = 0;
    connect(&window, &QQuickWindow::frameSwapped, this, [&] { ++frames; }, Qt::DirectConnection);
    notifier.readyOnFirstFrame(&window);

    QCoreApplication::processEvents();
    QCOMPARE(m_socket->take(), QStringList()); // a window not yet shown has drawn nothing

    window.show();
    QVERIFY(QTest::qWaitFor([&] {
        const QStringList got = m_socket->take();
        if (got.contains(QStringLiteral("READY=1")))
            framesAtReady = frames;
        return framesAtReady >= 0;
    }, 10000));
    QVERIFY2(framesAtReady >= 1, "READY=1 before any frame was on screen");

    // More frames do not announce readiness again.
    QSignalSpy swapped(&window, &QQuickWindow::frameSwapped);
    for (int frame = 0; frame < 2; ++frame) {
        window.update();
        QVERIFY(swapped.wait(5000));
    }
    m_socket->take();
    QCOMPARE(m_socket->seen().count(QStringLiteral("READY=1")), 1);
}

void Tst_SystemdNotifier::readyFromEngineWindow()
{
    SystemdNotifier notifier;
    QQmlApplicationEngine engine;
    engine.loadData("import QtQuick 2.15\nimport QtQuick.Window 2.15\nWindow { width: 80; height: 80; visible: true }");
    QCOMPARE(engine.rootObjects().size(), 1);
    notifier.readyOnFirstFrame(engine);
    QVERIFY(m_socket->waitFor(QStringLiteral("READY=1"), 10000));
}

void Tst_SystemdNotifier::pingsComeFromTheGuiThread()
{
    qputenv("WATCHDOG_USEC", "200000");
    SystemdNotifier notifier;
    QCOMPARE(notifier.watchdogInterval(), 100);
    QVERIFY(m_socket->waitFor(QStringLiteral("WATCHDOG=1"), 5000));

    // A GUI thread stuck for several intervals sends nothing meanwhile: systemd must see the
    // silence to restart a hung screen.
    m_socket->take();
    QThread::msleep(500);
    QCOMPARE(m_socket->take(), QStringList());

    // Back in the event loop, the pings resume.
    QVERIFY(m_socket->waitFor(QStringLiteral("WATCHDOG=1"), 5000));
}

void Tst_SystemdNotifier::programReportsToSystemd()
{
    // The program as systemd starts it: READY=1 once its window is up, then watchdog pings,
    // and its event log in the state folder (its working directory), not next to the binary.
    QTemporaryDir state;
    QVERIFY(state.isValid());
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("2000000"));
    env.insert(QStringLiteral("STATE_DIRECTORY"), state.path());
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(state.path());
    program.setProcessChannelMode(QProcess::MergedChannels);
    // A port nobody listens on: the window comes up whether or not the broker does.
    program.start(QStringLiteral(VOVADUDOZ_APP), {QStringLiteral("-H"), QStringLiteral("127.0.0.1"),
                                                  QStringLiteral("-P"), QStringLiteral("1")});
    QVERIFY(program.waitForStarted(10000));
    const bool ready = m_socket->waitFor(QStringLiteral("READY=1"), 60000);
    const bool pinged = ready && m_socket->waitFor(QStringLiteral("WATCHDOG=1"), 10000);
    program.kill();
    program.waitForFinished(10000);
    QVERIFY2(ready, program.readAll().constData());
    QVERIFY(pinged);
    QVERIFY(QFile::exists(state.filePath(QStringLiteral("gui.conf"))));
    QVERIFY(QFileInfo(state.filePath(QStringLiteral("events.ini"))).size() > 0);
}

void Tst_SystemdNotifier::programStopsCleanlyOnSignals_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("withBroker");
    QTest::newRow("SIGTERM (systemd stop), right after a burst of events") << int(SIGTERM) << true;
    QTest::newRow("SIGINT (Ctrl-C)") << int(SIGINT) << false;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false;
}

void Tst_SystemdNotifier::programStopsCleanlyOnSignals()
{
    // A stop signal leaves through the normal exit path: every event-log entry on disk,
    // "service": false said retained by the program itself with a clean disconnect (so the
    // broker drops the last will), STOPPING=1, exit code 0.
    QFETCH(int, signalNumber);
    QFETCH(bool, withBroker);
    QTemporaryDir state;
    QVERIFY(state.isValid());
    TestBroker broker;
    std::unique_ptr<MqttPeer> peer;
    const auto isStatus = [](const QByteArray& payload, bool service) {
        const QJsonObject status = QJsonDocument::fromJson(payload).object();
        return status.contains(QStringLiteral("technician")) && status.value(QStringLiteral("service")).toBool() == service;
    };
    QString port = QStringLiteral("1");
    if (withBroker) {
        QVERIFY(broker.start());
        port = QString::number(broker.port());
        peer = std::make_unique<MqttPeer>(broker);
        QVERIFY(peer->waitConnected(5000));
        peer->subscribe(QStringLiteral("orvo/ui/status"));
        QVERIFY(peer->sync(5000));
    }
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("STATE_DIRECTORY"), state.path());
    // The offscreen platform keeps its screen to the end; the exit code is what is tested here.
    env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(state.path());
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(QStringLiteral(VOVADUDOZ_APP), { QStringLiteral("-H"), QStringLiteral("127.0.0.1"),
                                                   QStringLiteral("-P"), port, QStringLiteral("-e") });
    QVERIFY(program.waitForStarted(10000));
    QVERIFY2(m_socket->waitFor(QStringLiteral("READY=1"), 60000), program.readAll().constData());

    const int burst = 40;
    if (withBroker) {
        QVERIFY(QTest::qWaitFor([&] { return isStatus(peer->waitFor(QStringLiteral("orvo/ui/status"), 100), true); }, 20000));
        for (int i = 0; i < burst; ++i) {
            peer->publish(QStringLiteral("orvo/board/event"),
                          QByteArray("{\"name\":\"IgnitionChanged\",\"data\":") + (i % 2 ? "0" : "1") + "}");
        }
        // One ordered stream: once this is answered, every event has been pushed.
        peer->publish(QStringLiteral("orvo/ui/status/get"), QByteArray());
        QVERIFY(!peer->waitFor(QStringLiteral("orvo/ui/status"), 10000).isNull());
    }
    QCOMPARE(::kill(pid_t(program.processId()), signalNumber), 0);
    QVERIFY(program.waitForFinished(20000));
    const QByteArray output = program.readAll();
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(program.exitCode() == 0, output.right(2000).constData());
    QVERIFY(m_socket->waitFor(QStringLiteral("STOPPING=1"), 1000) || m_socket->seen().contains(QStringLiteral("STOPPING=1")));
    if (!withBroker)
        return;

    QSettings events(state.filePath(QStringLiteral("events.ini")), QSettings::NativeFormat);
    const int size = events.beginReadArray(QStringLiteral("events"));
    int ignition = 0;
    for (int i = 0; i < size; ++i) {
        events.setArrayIndex(i);
        ignition += events.value(QStringLiteral("name")).toString().startsWith(QLatin1String("Ignition")) ? 1 : 0;
    }
    events.endArray();
    QCOMPARE(ignition, burst);

    MqttPeer late(broker);
    QVERIFY(late.waitConnected(5000));
    late.subscribe(QStringLiteral("orvo/ui/status"));
    const QByteArray retained = late.waitFor(QStringLiteral("orvo/ui/status"), 5000);
    QVERIFY2(isStatus(retained, false), retained.constData()); // the program's own word, not the will
}

void Tst_SystemdNotifier::stoppingOnCleanExit()
{
    qputenv("WATCHDOG_USEC", "200000");
    SystemdNotifier notifier;
    QVERIFY(m_socket->waitFor(QStringLiteral("WATCHDOG=1"), 5000));
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    qApp->exec();
    QVERIFY(m_socket->take().contains(QStringLiteral("STOPPING=1")));
    // No pings after STOPPING=1: the program is on its way out.
    QCOMPARE(notifier.watchdogInterval(), 0);
    QTimer period;
    QSignalSpy periods(&period, &QTimer::timeout);
    period.start(100);
    QTRY_VERIFY(periods.count() >= 3);
    QCOMPARE(m_socket->take(), QStringList());
}

QTEST_MAIN(Tst_SystemdNotifier)
#include "tst_systemdnotifier.moc"
