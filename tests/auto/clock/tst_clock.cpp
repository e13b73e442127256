#include "badpayloads.h"
#include "brokerfixture.h"
#include "clock.h"
#include "mqttclient.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <signal.h>

namespace {

const QString Base = QStringLiteral("orvo/device");
const QString Topic = QStringLiteral("orvo/device/clock/ntp");

} // namespace

class Tst_Clock : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_path;
    QString m_calls;
    QString m_zone;

    static QByteArray fakeDir(const char* variant)
    {
        return QByteArray(VOVADUDOZ_TEST_DIR) + "/auto/clock/fake/" + variant;
    }
    QStringList calls() const
    {
        QFile file(m_calls);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    void clearCalls() { QFile::remove(m_calls); }
    void setSystemZone(const QByteArray& zone)
    {
        QFile file(m_zone);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(zone);
    }
    QString systemZone() const
    {
        QFile file(m_zone);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    static void feed(manager::MqttClient& client, const QString& topic, const QByteArray& payload)
    {
        client.dispatch(payload, topic);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_path = qgetenv("PATH");
        m_calls = m_dir.filePath(QStringLiteral("calls"));
        m_zone = m_dir.filePath(QStringLiteral("zone"));
        qputenv("FAKE_TIMEDATECTL_CALLS", m_calls.toUtf8());
        qputenv("FAKE_TIMEDATECTL_ZONE", m_zone.toUtf8());
    }

    // The fake's folder alone is on PATH: a real timedatectl must never be reached from a test.
    void init()
    {
        qputenv("PATH", fakeDir("ok"));
        qunsetenv("FAKE_TIMEDATECTL_LIST");
        qunsetenv("FAKE_TIMEDATECTL_FAIL_SET");
        clearCalls();
        setSystemZone("Europe/Athens");
    }

    void cleanup() { qputenv("PATH", m_path); }

    void zoneListParsing_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("zones");
        QTest::newRow("final line feed gives an empty last entry")
                << QByteArray("UTC\nEurope/Athens\n") << QStringList{"UTC", "Europe/Athens", ""};
        QTest::newRow("no final line feed") << QByteArray("UTC\nEurope/Athens") << QStringList{"UTC", "Europe/Athens"};
        QTest::newRow("empty lines kept") << QByteArray("UTC\n\nEurope/Athens") << QStringList{"UTC", "", "Europe/Athens"};
        QTest::newRow("stops at the first NUL") << QByteArray("UTC\nEurope/Ath") + '\0' + "ens\nAsia/Tokyo\n" << QStringList{"UTC", "Europe/Ath"};
        QTest::newRow("Latin-1") << QByteArray("Am\xe9rica\n") << QStringList{QString::fromUtf8("América"), ""};
        QTest::newRow("no output is no zone") << QByteArray() << QStringList();
    }

    void zoneListParsing()
    {
        QFETCH(QByteArray, output);
        QTEST(manager::Clock::parseTimezoneList(output), "zones");
    }

    void zoneParsing_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QString>("zone");
        QTest::newRow("zone with abbreviation and offset")
                << QByteArray("      Local time: Mon\n       Time zone: Europe/Athens (EET, +0200)\n  NTP service: active\n")
                << "Europe/Athens";
        QTest::newRow("first line only, never across a line end")
                << QByteArray("Time zone: Etc/Unknown\nNTP service: active (since boot)\n") << "";
        QTest::newRow("greedy up to the last parenthesis of the line")
                << QByteArray("Time zone: Odd (zone) (XYZ, +0100)\n") << "Odd (zone)";
        QTest::newRow("no time zone line") << QByteArray("Local time: Mon 2026-12-07\n") << "";
        QTest::newRow("empty") << QByteArray() << "";
    }

    void zoneParsing()
    {
        QFETCH(QByteArray, status);
        QTEST(manager::Clock::parseTimezone(status), "zone");
    }

    // Waits until every timedatectl run the clock asked for has finished.
    static bool settle(manager::Clock& clock)
    {
        return QTest::qWaitFor([&clock] { return !clock.isBusy(); }, 10000);
    }

    void readsInTheBackgroundAndCaches()
    {
        manager::MqttClient client;
        manager::Clock clock(client, Base);
        QSignalSpy zones(&clock, &manager::Clock::timezonesChanged);
        QSignalSpy zone(&clock, &manager::Clock::timezoneChanged);
        // Nothing has run yet: the constructor only asked.
        QVERIFY(clock.isBusy());
        QVERIFY(clock.timezones().isEmpty());
        QCOMPARE(clock.timezone(), QString());
        QVERIFY(settle(clock));
        QCOMPARE(clock.topic(), Topic);
        QCOMPARE(clock.timezones(), (QStringList{"Africa/Abidjan", "America/New_York", "Europe/Athens", "Europe/London", "UTC", ""}));
        QCOMPARE(clock.timezone(), QStringLiteral("Europe/Athens"));
        QCOMPARE(zones.count(), 1);
        QCOMPARE(zone.count(), 1);
        QCOMPARE(calls(), (QStringList{"[--no-pager][list-timezones]", "[status]"}));

        // The getter never runs the command.
        setSystemZone("Europe/London");
        QCOMPARE(clock.property("timezone").toString(), QStringLiteral("Europe/Athens"));
        QCOMPARE(calls().size(), 2);
        // A refresh (the region page opening, a connection) reads it again and says so once;
        // refreshes that pile up while a read runs make one more read, not one each.
        clock.refresh();
        clock.refresh();
        clock.refresh();
        QVERIFY(settle(clock));
        QCOMPARE(clock.timezone(), QStringLiteral("Europe/London"));
        QCOMPARE(zone.count(), 2);
        clock.refresh();
        QVERIFY(settle(clock));
        QCOMPARE(zone.count(), 2);
        QCOMPARE(calls().mid(2), (QStringList{"[status]", "[status]", "[status]"}));
        QCOMPARE(client.subscriptions(),
                 (QList<QPair<QString, int>>{{Topic + "/status", 0}, {Topic + "/config", 0}}));
    }

    void writeTimezone_data()
    {
        QTest::addColumn<QString>("zone");
        QTest::addColumn<bool>("failSet");
        QTest::addColumn<QStringList>("expectedCalls");
        QTest::addColumn<int>("signals");
        QTest::addColumn<QString>("zoneAfter");
        QTest::newRow("listed zone") << "Europe/London" << false
                                     << QStringList{"[set-timezone][Europe/London]", "[status]"} << 1 << "Europe/London";
        QTest::newRow("zone already in force") << "Europe/Athens" << false << QStringList() << 0 << "Europe/Athens";
        QTest::newRow("failing command still signals") << "UTC" << true
                                                        << QStringList{"[set-timezone][UTC]", "[status]"} << 1 << "Europe/Athens";
        QTest::newRow("zone not listed") << "Mars/Olympus_Mons" << false << QStringList() << 0 << "Europe/Athens";
        QTest::newRow("shell text") << "UTC; touch owned" << false << QStringList() << 0 << "Europe/Athens";
        QTest::newRow("command substitution") << "$(touch owned)" << false << QStringList() << 0 << "Europe/Athens";
        QTest::newRow("option") << "--help" << false << QStringList() << 0 << "Europe/Athens";
        QTest::newRow("empty, though the list ends with an empty entry") << "" << false << QStringList() << 0 << "Europe/Athens";
    }

    void writeTimezone()
    {
        QFETCH(QString, zone);
        QFETCH(bool, failSet);
        QFETCH(QStringList, expectedCalls);
        QFETCH(QString, zoneAfter);
        if (failSet)
            qputenv("FAKE_TIMEDATECTL_FAIL_SET", "1");
        manager::MqttClient client;
        manager::Clock clock(client, Base);
        QVERIFY(settle(clock));
        clearCalls();
        QSignalSpy changed(&clock, &manager::Clock::timezoneChanged);
        if (expectedCalls.isEmpty() && zone != QLatin1String("Europe/Athens"))
            QTest::ignoreMessage(QtWarningMsg, qPrintable("WARN: Ignoring unknown time zone : " + zone));

        QVERIFY(clock.setProperty("timezone", zone));
        QVERIFY(settle(clock));

        QCOMPARE(calls(), expectedCalls);
        QTEST(changed.count(), "signals");
        QCOMPARE(systemZone(), zoneAfter);
        // The mirror shows what is in force, not what was asked for.
        QCOMPARE(clock.timezone(), zoneAfter);
        QVERIFY(!QFile::exists(QDir::current().filePath("owned")));
        QVERIFY(!QFile::exists(m_dir.filePath("owned")));
    }

    void hangingCommandIsBoundedAndKilled()
    {
        qputenv("PATH", fakeDir("hang"));
        manager::MqttClient client;
        manager::Clock clock(client, Base);
        QTimer* timer = clock.findChild<QTimer*>(QStringLiteral("commandTimer"));
        QVERIFY(timer);
        QCOMPARE(timer->interval(), 1000);
        QVERIFY(timer->isSingleShot());
        // The first command hangs, yet we are back from the constructor and the event loop
        // turns: the hung command is seen running from here.
        QVERIFY(QTest::qWaitFor([this] { return calls().size() == 1; }, 10000));
        QVERIFY(clock.isBusy());
        QCOMPARE(clock.timezone(), QString());

        // Its bound runs out (driven here, not waited for): killed, and the next one starts.
        QVERIFY(timer->isActive());
        timer->stop();
        QTest::ignoreMessage(QtWarningMsg, "WARN: timedatectl --no-pager list-timezones did not finish within 1000 ms");
        QMetaObject::invokeMethod(timer, "timeout");
        QVERIFY(QTest::qWaitFor([this] { return calls().size() == 2; }, 10000));
        QVERIFY(timer->isActive());
        timer->stop();
        QTest::ignoreMessage(QtWarningMsg, "WARN: timedatectl status did not finish within 1000 ms");
        QMetaObject::invokeMethod(timer, "timeout");
        QVERIFY(!clock.isBusy());
        QVERIFY(clock.timezones().isEmpty());
        QCOMPARE(clock.timezone(), QString());

        // Both were killed (and reaped).
        const QStringList pids = calls();
        QCOMPARE(pids.size(), 2);
        for (const QString& pid : pids) {
            QVERIFY2(QTest::qWaitFor([&pid] { errno = 0; return ::kill(pid.toInt(), 0) == -1 && errno == ESRCH; }, 10000),
                     qPrintable(pid));
        }
    }

    void missingCommand()
    {
        QTemporaryDir empty;
        qputenv("PATH", empty.path().toUtf8());
        manager::MqttClient client;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^WARN: Cannot run timedatectl --no-pager list-timezones : "));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^WARN: Cannot run timedatectl status : "));
        manager::Clock clock(client, Base);
        QVERIFY(settle(clock));
        QVERIFY(clock.timezones().isEmpty());
        QCOMPARE(clock.timezone(), QString());
        QTest::ignoreMessage(QtWarningMsg, "WARN: Ignoring unknown time zone : UTC");
        QSignalSpy changed(&clock, &manager::Clock::timezoneChanged);
        clock.setTimezone(QStringLiteral("UTC"));
        QVERIFY(!clock.isBusy());
        QCOMPARE(changed.count(), 0);
    }

    void ntpMessages_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("synced");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("changedSignals"); // e=enabled, s=synced, n=server

        // Starting point of every row: enabled, synced, server "ntp.orvo.example".
        const QString start = QStringLiteral("ntp.orvo.example");
        QTest::newRow("status clears both") << Topic + "/status" << QByteArray(R"({"enabled":false,"synced":false})")
                                            << false << false << start << "es";
        QTest::newRow("status repeated changes nothing") << Topic + "/status" << QByteArray(R"({"enabled":true,"synced":true})")
                                                         << true << true << start << "";
        QTest::newRow("status missing key reads false") << Topic + "/status" << QByteArray(R"({"enabled":true})")
                                                        << true << false << start << "s";
        QTest::newRow("config without server clears it") << Topic + "/config" << QByteArray(R"({"enabled":true})")
                                                         << true << true << "" << "n";
        QTest::newRow("config sets both") << Topic + "/config" << QByteArray(R"({"enabled":false,"server":"pool.example"})")
                                          << false << true << "pool.example" << "en";
        QTest::newRow("config does not touch synced") << Topic + "/config" << QByteArray(R"({"enabled":true,"server":"a","synced":false})")
                                                      << true << true << "a" << "n";
        QTest::newRow("other service") << "orvo/board/status" << QByteArray(R"({"enabled":false,"synced":false})")
                                       << true << true << start << "";
        QTest::newRow("update topic of the same device") << Base + "/status" << QByteArray(R"({"enabled":false})")
                                                         << true << true << start << "";
        QTest::newRow("own topic, other suffix") << Topic + "/sync" << QByteArray(R"({"enabled":false})")
                                                 << true << true << start << "";
        QTest::newRow("case differs") << "orvo/device/Clock/ntp/status" << QByteArray(R"({"enabled":false})")
                                      << true << true << start << "";
        QTest::newRow("wrong types keep the last value") << Topic + "/status" << QByteArray(R"({"enabled":"no","synced":0})")
                                                         << true << true << start << "";
        QTest::newRow("wrong server type keeps it") << Topic + "/config" << QByteArray(R"({"enabled":false,"server":42})")
                                                    << false << true << start << "e";
    }

    void ntpMessages()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(QString, changedSignals);
        manager::MqttClient client;
        manager::Clock clock(client, Base);
        feed(client, Topic + "/status", R"({"enabled":true,"synced":true})");
        feed(client, Topic + "/config", R"({"enabled":true,"server":"ntp.orvo.example"})");
        QVERIFY(clock.ntpEnabled() && clock.ntpSynced());
        QSignalSpy enabled(&clock, &manager::Clock::ntpEnabledChanged);
        QSignalSpy synced(&clock, &manager::Clock::ntpSyncedChanged);
        QSignalSpy server(&clock, &manager::Clock::ntpServerChanged);
        if (QByteArray(QTest::currentDataTag()).startsWith("wrong"))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^WARN: Ignoring wrongly typed values on .*/clock/ntp/"));

        feed(client, topic, payload);

        QTEST(clock.ntpEnabled(), "enabled");
        QTEST(clock.ntpSynced(), "synced");
        QTEST(clock.ntpServer(), "server");
        QCOMPARE(enabled.count(), changedSignals.count('e'));
        QCOMPARE(synced.count(), changedSignals.count('s'));
        QCOMPARE(server.count(), changedSignals.count('n'));
    }

    void badPayloads_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("empty") << QByteArray();
        for (const BadPayload& bad : allBadPayloads())
            QTest::newRow(bad.name) << bad.payload;
    }

    void badPayloads()
    {
        QFETCH(QByteArray, payload);
        manager::MqttClient client;
        manager::Clock clock(client, Base);
        feed(client, Topic + "/status", R"({"enabled":true,"synced":true})");
        feed(client, Topic + "/config", R"({"enabled":true,"server":"ntp.orvo.example"})");
        QSignalSpy synced(&clock, &manager::Clock::ntpSyncedChanged);
        // Quoted only in part: a megabyte of garbage must not become a megabyte of log.
        const QRegularExpression line("^Failed to parse JSON message: " + QRegularExpression::escape(payload.left(20)) + ".{0,300}$");
        QTest::ignoreMessage(QtCriticalMsg, line);
        QTest::ignoreMessage(QtCriticalMsg, line);
        feed(client, Topic + "/status", payload);
        feed(client, Topic + "/config", payload);
        QVERIFY(clock.ntpEnabled());
        QVERIFY(clock.ntpSynced());
        QCOMPARE(clock.ntpServer(), QStringLiteral("ntp.orvo.example"));
        QCOMPARE(synced.count(), 0);
    }

    void writesLeaveTheMirrorAlone()
    {
        manager::MqttClient client;
        manager::Clock clock(client, Base);
        feed(client, Topic + "/config", R"({"enabled":true,"server":"ntp.orvo.example"})");
        QSignalSpy server(&clock, &manager::Clock::ntpServerChanged);
        QSignalSpy enabled(&clock, &manager::Clock::ntpEnabledChanged);
        QSignalSpy synced(&clock, &manager::Clock::ntpSyncedChanged);
        clock.setNtpServer(QStringLiteral("other.example"));
        clock.setNtpEnabled(false);
        QCOMPARE(clock.ntpServer(), QStringLiteral("ntp.orvo.example"));
        QVERIFY(clock.ntpEnabled());
        QCOMPARE(server.count() + enabled.count(), 0);

        // Sync clears the flag and says so even when it was already clear.
        feed(client, Topic + "/status", R"({"enabled":true,"synced":true})");
        clock.ntpSync();
        clock.ntpSync();
        QVERIFY(!clock.ntpSynced());
        QCOMPARE(synced.count(), 3);
    }

    void requestsOnTheWire()
    {
        BrokerFixture wire;
        QVERIFY(wire.start({Base + "/#"}));
        MqttPeer& peer = *wire.peer;
        manager::Clock clock(wire.client, Base);
        wire.client.connect();
        // Every connection asks for status, then configuration, with empty payloads.
        QCOMPARE(peer.waitFor(Topic + "/config/get", 5000), QByteArray(""));
        QCOMPARE(peer.takeAll(), (QList<QPair<QString, QByteArray>>{{Topic + "/status/get", ""}}));

        QVERIFY(peer.publish(Topic + "/config", R"({"enabled":true,"server":"ntp.orvo.example"})"));
        QTRY_COMPARE_WITH_TIMEOUT(clock.ntpServer(), QStringLiteral("ntp.orvo.example"), 5000);

        // Writing the values in force sends nothing: the first request seen must be the next one.
        clock.setNtpServer(QStringLiteral("ntp.orvo.example"));
        clock.setNtpEnabled(true);
        // Each write carries the other value as last reported, even before the service answers.
        clock.setNtpServer(QStringLiteral("pool.example"));
        clock.setNtpServer(QStringLiteral("time.example"));
        clock.setNtpEnabled(false);
        const QByteArray first = peer.waitFor(Topic + "/config/set", 5000);
        QCOMPARE(first, QByteArray("{\n    \"enabled\": true,\n    \"server\": \"pool.example\"\n}\n"));
        QCOMPARE(QJsonDocument::fromJson(peer.waitFor(Topic + "/config/set", 5000)).object(),
                 (QJsonObject{{"enabled", true}, {"server", "time.example"}}));
        QCOMPARE(QJsonDocument::fromJson(peer.waitFor(Topic + "/config/set", 5000)).object(),
                 (QJsonObject{{"enabled", false}, {"server", "ntp.orvo.example"}}));

        clock.ntpSync();
        QCOMPARE(peer.waitFor(Topic + "/sync", 5000), QByteArray(""));
        QVERIFY(peer.publish(Topic + "/status", R"({"enabled":true,"synced":true})"));
        QTRY_VERIFY_WITH_TIMEOUT(clock.ntpSynced(), 5000);
    }
};

QTEST_GUILESS_MAIN(Tst_Clock)
#include "tst_clock.moc"
