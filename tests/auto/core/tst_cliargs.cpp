#include "cliargs.h"
#include "logcapture.h"

#include <QtTest>

namespace {

QStringList g_messages;

CliParseResult parse(const QStringList& args)
{
    LogCapture log;
    const CliParseResult result = parseCLIArgs(QStringList { "VovadudozAD" } + args);
    g_messages = log.all();
    return result;
}

} // namespace

class Tst_CliArgs : public QObject
{
    Q_OBJECT

private slots:
    void overrides_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QVariantMap>("expected");
        QTest::addColumn<QStringList>("logged");

        QTest::newRow("none") << QStringList {} << QVariantMap {} << QStringList {};
        QTest::newRow("verbose stderr color")
            << QStringList { "-v", "3", "-e", "-c" }
            << QVariantMap { { "log/level", 3 }, { "log/stderr", true }, { "log/color", true } }
            << QStringList { "Setting Log level : 3", "Log to stderr overridden from user to true",
                             "Log with color overridden from user to true" };
        QTest::newRow("verbose not a number") << QStringList { "--verbose=x" } << QVariantMap {} << QStringList {};
        QTest::newRow("broker")
            << QStringList { "-H", "broker.local", "-P", "1884", "-u", "12345", "-p", "s3cret" }
            << QVariantMap { { "mqtt/host", "broker.local" }, { "mqtt/port", 1884 },
                             { "mqtt/username", "12345" }, { "mqtt/password", "s3cret" } }
            << QStringList { "Setting MQTT Host : broker.local", "Setting MQTT Port : 1884", "Setting MQTT User : 12345" };
        QTest::newRow("port at the top of the range")
            << QStringList { "--port", "65535" } << QVariantMap { { "mqtt/port", 65535 } }
            << QStringList { "Setting MQTT Port : 65535" };
        QTest::newRow("config file")
            << QStringList { "-f", "/tmp/other.conf" } << QVariantMap { { "config", "/tmp/other.conf" } }
            << QStringList { "Using configuration file : /tmp/other.conf" };
    }

    void overrides()
    {
        QFETCH(QStringList, args);
        QFETCH(QVariantMap, expected);
        QFETCH(QStringList, logged);
        const CliParseResult result = parse(args);
        QVERIFY(!result.exit);
        QCOMPARE(result.overrides, expected);
        // Types matter: the store writes them to the file and the JSON form.
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(int(result.overrides.value(it.key()).type()), int(it.value().type()));
        QCOMPARE(g_messages, logged);
        QVERIFY(!g_messages.join('\n').contains("s3cret"));
    }

    void parseErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown") << QStringList { "--bogus" } << "ERROR: Unknown option 'bogus'.";
        QTest::newRow("missing value") << QStringList { "-P" } << "ERROR: Missing value after '-P'.";
        QTest::newRow("error beats help") << QStringList { "-h", "-x" } << "ERROR: Unknown option 'x'.";
        // A port the broker cannot have is refused, not retried for ever.
        const QString range = QStringLiteral("': expected a number from 1 to 65535");
        QTest::newRow("port not a number") << QStringList { "-P", "abc" } << "ERROR: Invalid MQTT port 'abc" + range;
        QTest::newRow("port too high") << QStringList { "-P", "99999" } << "ERROR: Invalid MQTT port '99999" + range;
        QTest::newRow("port zero") << QStringList { "--port=0" } << "ERROR: Invalid MQTT port '0" + range;
        QTest::newRow("port negative") << QStringList { "-P", "-5" } << "ERROR: Invalid MQTT port '-5" + range;
        QTest::newRow("port with a tail") << QStringList { "-P", "1883x" } << "ERROR: Invalid MQTT port '1883x" + range;
    }

    void parseErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const CliParseResult result = parse(args);
        QVERIFY(result.exit);
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(g_messages, QStringList { message });
    }

    void helpListsExactlyTenOptions()
    {
        const CliParseResult result = parse({ "-h", "-v", "3", "-V" });
        QVERIFY(result.exit);
        QCOMPARE(result.exitCode, 0);
        QVERIFY(g_messages.isEmpty());
        const QStringList optionLines = result.output.split('\n').filter(QRegularExpression("^  -"));
        QCOMPARE(optionLines.size(), 10);
        const QStringList helps { "Print help and exit", "Print version and exit",
                                  "Set log level: 0=err, 1=warn, 2=info(dfl), 3=dbg",
                                  "Print messages to stderr, not just syslog", "Print messages in color.",
                                  "Set configuration file", "Set mqtt broker url", "Set mqtt broker port",
                                  "Set mqtt username", "Set mqtt password" };
        for (int i = 0; i < helps.size(); ++i)
            QVERIFY2(optionLines.at(i).endsWith(helps.at(i)), qPrintable(optionLines.at(i)));
        QVERIFY(optionLines.at(2).contains("-v, --verbose <level>"));
    }

    void versionNamesTheProgram()
    {
        QCoreApplication::setApplicationName("VovadudozAD");
        QCoreApplication::setApplicationVersion("1.2.3-test");
        const CliParseResult result = parse({ "--version", "-e" });
        QVERIFY(result.exit);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.output, QStringLiteral("VovadudozAD 1.2.3-test\n"));
    }
};

QTEST_GUILESS_MAIN(Tst_CliArgs)
#include "tst_cliargs.moc"
