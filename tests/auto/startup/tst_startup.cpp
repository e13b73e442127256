// Starts the real program the way a technician would and checks what the command line and the
// settings file do to it.
#include "mqttpeer.h"
#include "testbroker.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class Tst_Startup : public QObject
{
    Q_OBJECT

private:
    static QProcessEnvironment environment()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QT_QUICK_BACKEND", "software");
        return env;
    }

    static int runToEnd(const QStringList& args, QByteArray* out, QByteArray* err)
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(VOVADUDOZ_APP, args);
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        *out = process.readAllStandardOutput();
        *err = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }

private slots:
    void helpAndVersion()
    {
        QByteArray out, err;
        QCOMPARE(runToEnd({ "--help" }, &out, &err), 0);
        const QList<QByteArray> lines = out.split('\n');
        int options = 0;
        for (const QByteArray& line : lines)
            options += line.startsWith("  -") ? 1 : 0;
        QCOMPARE(options, 10);
        QVERIFY(out.contains("-P, --port <port>"));

        QCOMPARE(runToEnd({ "-V" }, &out, &err), 0);
        QVERIFY2(out.startsWith("VovadudozAD "), out.constData());
        QVERIFY(out.trimmed().size() > QByteArray("VovadudozAD ").size());
    }

    // One version text: the project version and where the source stood in git, printed by
    // --version and published on "/info" alike.
    void versionIsOneText()
    {
        QByteArray out, err;
        QCOMPARE(runToEnd({ "--version" }, &out, &err), 0);
        const QString printed = QString::fromUtf8(out.trimmed()).section(QLatin1Char(' '), 1);
        const QRegularExpression shape(QStringLiteral("^\\d+\\.\\d+\\.\\d+(-\\d+-g[0-9a-f]{7,40})?(-dirty)?$"));
        QVERIFY2(shape.match(printed).hasMatch(), out.constData());

        TestBroker broker;
        QVERIFY(broker.start());
        MqttPeer peer(broker);
        QVERIFY(peer.waitConnected(5000));
        peer.subscribe(QStringLiteral("orvo/ui/info"));
        QVERIFY(peer.sync(5000));
        QTemporaryDir dir;
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setWorkingDirectory(dir.path());
        process.start(VOVADUDOZ_APP, { "-H", broker.host(), "-P", QString::number(broker.port()) });
        QVERIFY(process.waitForStarted());
        const QByteArray info = peer.waitFor(QStringLiteral("orvo/ui/info"), 30000);
        process.terminate();
        if (!process.waitForFinished(10000))
            process.kill();
        QVERIFY2(!info.isNull(), "no info published");
        QCOMPARE(QJsonDocument::fromJson(info).object().value(QStringLiteral("version")).toString(), printed);
    }

    void badCommandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("unknown option") << QStringList { "--frobnicate" } << QByteArray("ERROR: Unknown option 'frobnicate'.");
        QTest::newRow("missing value") << QStringList { "-H" } << QByteArray("ERROR: Missing value after '-H'.");
    }

    void badCommandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, message);
        QByteArray out, err;
        QCOMPARE(runToEnd(args, &out, &err), 1);
        QVERIFY2(err.contains(message), err.constData());
    }

    void createsSettingsAndFollowsEdits()
    {
        QTemporaryDir dir;
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setWorkingDirectory(dir.path());
        process.setProcessChannelMode(QProcess::MergedChannels);
        // A port nobody listens on: the program keeps retrying in the background.
        process.start(VOVADUDOZ_APP, { "-e", "-H", "127.0.0.1", "-P", QString::number(TestBroker::freePort()) });
        QVERIFY(process.waitForStarted());

        const QString file = dir.filePath("gui.conf");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file), 20000);
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += process.readAll()).contains("SETTINGS (gui.conf)"), 20000);
        {
            QSettings settings(file, QSettings::IniFormat);
            QCOMPARE(settings.childGroups(), (QStringList { "gui", "log", "mqtt", "topics" }));
            QCOMPARE(settings.allKeys().size(), 25);
            // Command-line overrides never reach the file.
            QCOMPARE(settings.value("mqtt/host").toString(), QStringLiteral("localhost"));
            settings.setValue("gui/showErrorDesc", true);
        }
        QTRY_VERIFY_WITH_TIMEOUT((log += process.readAll()).contains("WARN: Configuration file changed!"), 10000);

        process.terminate();
        if (!process.waitForFinished(10000))
            process.kill();
    }
};

QTEST_GUILESS_MAIN(Tst_Startup)
#include "tst_startup.moc"
