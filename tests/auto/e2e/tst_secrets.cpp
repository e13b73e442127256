// The real program at debug level, with its whole log on standard error: the maintenance PIN and
// the broker password never appear in it, whichever way they are set.
#include "brokerfixture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class Tst_Secrets : public QObject
{
    Q_OBJECT

private slots:
    void secretsStayOutOfTheLog();
};

void Tst_Secrets::secretsStayOutOfTheLog()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    BrokerFixture wire;
    QVERIFY(wire.start({ "orvo/ui/#" }));

    const QString program = dir.filePath("VovadudozAD"); // the event log goes beside it
    QVERIFY(QFile::copy(VOVADUDOZ_APP, program));
    const QString conf = dir.filePath("gui.conf");
    {
        QSettings settings(conf, QSettings::IniFormat);
        settings.setValue("mqtt/host", wire.broker.host());
        settings.setValue("mqtt/port", wire.broker.port());
        settings.setValue("log/syslog", false);
        settings.setValue("gui/deviceId", dir.filePath("serialnumber"));
        settings.setValue("gui/settingsPin", "60813");
        settings.setValue("mqtt/password", "Pw-start-4711");
    }

    QProcess app;
    QByteArray log;
    connect(&app, &QProcess::readyReadStandardError, this, [&] { log += app.readAllStandardError(); });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QT_QUICK_BACKEND", "software");
    app.setProcessEnvironment(environment);
    app.setWorkingDirectory(dir.path());
    app.start(program, { "-f", "gui.conf", "-e", "-v", "3" });
    QVERIFY(app.waitForStarted(10000));
    QVERIFY(!wire.peer->waitFor("orvo/ui/config", 20000).isNull());

    // Over MQTT: the PIN is taken, the password refused; neither is printed.
    const QJsonObject request { { "gui", QJsonObject { { "settingsPin", "92746" } } },
                                { "mqtt", QJsonObject { { "password", "Pw-remote-8159" } } } };
    wire.peer->publish("orvo/ui/config/set", QJsonDocument(request).toJson());
    QVERIFY(!wire.peer->waitFor("orvo/ui/config", 10000).isNull());
    QTRY_VERIFY_WITH_TIMEOUT(log.contains("Refusing over MQTT"), 10000);

    // In the file: both change, and the password change reconnects.
    {
        QSettings settings(conf, QSettings::IniFormat);
        settings.setValue("gui/settingsPin", "35179");
        settings.setValue("mqtt/password", "Pw-file-2604");
    }
    QTRY_VERIFY_WITH_TIMEOUT(log.count("Config changed : ") >= 2, 10000);
    QVERIFY(!wire.peer->waitFor("orvo/ui/info", 10000).isNull()); // the new connection
    app.kill();
    app.waitForFinished(10000);
    log += app.readAllStandardError();

    QSettings settings(conf, QSettings::IniFormat);
    QCOMPARE(settings.value("gui/settingsPin").toString(), QString("35179"));
    if (qEnvironmentVariableIsSet("VOVADUDOZ_TEST_LOG"))
        qInfo().noquote() << log;
    QVERIFY(log.contains("\"gui/settingsPin\": \"********\"")); // the change line, masked
    for (const char* secret : { "60813", "Pw-start-4711", "92746", "Pw-remote-8159", "35179", "Pw-file-2604" }) {
        const int at = log.indexOf(secret);
        QVERIFY2(at < 0, qPrintable(QString("%1 in: %2").arg(secret, QString::fromUtf8(log.mid(qMax(0, at - 300), 400)))));
    }
}

QTEST_GUILESS_MAIN(Tst_Secrets)
#include "tst_secrets.moc"
