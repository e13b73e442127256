#include "cliargs.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDebug>

#include <cstdio>
#include <cstdlib>

CliParseResult parseCLIArgs(const QStringList& arguments, bool logOptions)
{
    CliParseResult result;
    QCommandLineParser parser;
    const QCommandLineOption help({ "h", "help" }, "Print help and exit");
    const QCommandLineOption version({ "V", "version" }, "Print version and exit");
    const QCommandLineOption verbose({ "v", "verbose" }, "Set log level: 0=err, 1=warn, 2=info(dfl), 3=dbg", "level");
    const QCommandLineOption toStderr({ "e", "stderr" }, "Print messages to stderr, not just syslog");
    const QCommandLineOption color({ "c", "color" }, "Print messages in color.");
    const QCommandLineOption config({ "f", "config" }, "Set configuration file", "filename");
    const QCommandLineOption host({ "H", "host" }, "Set mqtt broker url", "hostname");
    const QCommandLineOption port({ "P", "port" }, "Set mqtt broker port", "port");
    const QCommandLineOption username({ "u", "username" }, "Set mqtt username", "username");
    const QCommandLineOption password({ "p", "password" }, "Set mqtt password", "password");
    parser.addOptions({ help, version, verbose, toStderr, color, config, host, port, username, password });

    if (!parser.parse(arguments)) {
        if (logOptions)
            qCritical().noquote().nospace() << "ERROR: " << parser.errorText();
        result.exit = true;
        result.exitCode = 1;
        return result;
    }
    if (parser.isSet(help)) {
        result.exit = true;
        // The generated help names the program from the application object's arguments.
        if (QCoreApplication::instance())
            result.output = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.exit = true;
        result.output = QCoreApplication::applicationName() + QLatin1Char(' ')
            + QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return result;
    }

    QVariantMap& map = result.overrides;
    if (parser.isSet(verbose)) {
        bool ok = false;
        const int level = parser.value(verbose).toInt(&ok, 10);
        if (ok) {
            if (logOptions) qInfo().noquote().nospace() << "Setting Log level : " << level;
            map.insert(QStringLiteral("log/level"), level);
        }
    }
    if (parser.isSet(toStderr)) {
        if (logOptions) qInfo().noquote().nospace() << "Log to stderr overridden from user to true";
        map.insert(QStringLiteral("log/stderr"), true);
    }
    if (parser.isSet(color)) {
        if (logOptions) qInfo().noquote().nospace() << "Log with color overridden from user to true";
        map.insert(QStringLiteral("log/color"), true);
    }
    if (parser.isSet(host)) {
        if (logOptions) qInfo().noquote().nospace() << "Setting MQTT Host : " << parser.value(host);
        map.insert(QStringLiteral("mqtt/host"), parser.value(host));
    }
    if (parser.isSet(port)) {
        // A port the broker cannot have would only be retried for ever (0, or the low 16 bits).
        bool ok = false;
        const uint number = parser.value(port).toUInt(&ok, 10);
        if (!ok || number < 1 || number > 65535) {
            if (logOptions) {
                qCritical().noquote().nospace() << "ERROR: Invalid MQTT port '" << parser.value(port).left(64)
                                                << "': expected a number from 1 to 65535";
            }
            result.exit = true;
            result.exitCode = 1;
            return result;
        }
        if (logOptions) qInfo().noquote().nospace() << "Setting MQTT Port : " << number;
        map.insert(QStringLiteral("mqtt/port"), int(number));
    }
    if (parser.isSet(username)) {
        if (logOptions) qInfo().noquote().nospace() << "Setting MQTT User : " << parser.value(username);
        map.insert(QStringLiteral("mqtt/username"), parser.value(username));
    }
    if (parser.isSet(password))
        map.insert(QStringLiteral("mqtt/password"), parser.value(password));
    if (parser.isSet(config)) {
        if (logOptions) qInfo().noquote().nospace() << "Using configuration file : " << parser.value(config);
        map.insert(QStringLiteral("config"), parser.value(config));
    }
    return result;
}

void finishCLI(const CliParseResult& result)
{
    if (!result.exit)
        return;
    if (!result.output.isEmpty()) {
        fputs(result.output.toLocal8Bit().constData(), stdout);
        fflush(stdout);
    }
    std::exit(result.exitCode);
}

QVariantMap parseCLIArgs()
{
    const CliParseResult result = parseCLIArgs(QCoreApplication::arguments());
    finishCLI(result);
    return result.overrides;
}
