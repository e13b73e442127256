// No secret reaches the log, whatever form the message has. A known secret is planted wherever
// the input says "$S", the message arrives on the program's configuration topic or as a
// maintenance barcode during a session, and every line written at the debug level is read.
// Where the message parses as JSON and the secret also sits somewhere harmless (a key name, a
// value of a key that is no secret, outside a URL's password), logging it is no leak and the
// input proves nothing; otherwise the secret must appear in no line.
// Input: one byte choosing the topic, then the payload.
#include "logger.h"
#include "payloadreader.h"
#include "services.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <cstdlib>

namespace {

const QString Secret = QStringLiteral("Zq7Kx9Wp");

QStringList* s_lines = nullptr;

void capture(int, const char* line)
{
    if (s_lines)
        *s_lines << QString::fromUtf8(line);
}

void captureStderr(const char* line)
{
    capture(0, line);
}

// Whether text holds the secret other than as a URL's password (":secret@").
bool exposes(const QString& text)
{
    for (int at = text.indexOf(Secret); at >= 0; at = text.indexOf(Secret, at + 1)) {
        const int end = at + Secret.size();
        const bool password = at > 0 && text.at(at - 1) == QLatin1Char(':') && end < text.size()
            && text.at(end) == QLatin1Char('@');
        if (!password)
            return true;
    }
    return false;
}

bool exposesHarmlessly(const QJsonValue& value)
{
    if (value.isString())
        return exposes(value.toString());
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (const QJsonValue& item : array) {
            if (exposesHarmlessly(item))
                return true;
        }
    }
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key().contains(Secret))
                return true;
            if (!manager::PayloadReader::isSecretKey(it.key()) && exposesHarmlessly(it.value()))
                return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray input = fuzz::bytes(data, size);
    if (input.isEmpty())
        return 0;
    const bool barcode = input.at(0) & 1;
    const QByteArray payload = input.mid(1).replace("$S", Secret.toUtf8());
    if (!payload.contains(Secret.toUtf8()))
        return 0;
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error == QJsonParseError::NoError
        && exposesHarmlessly(document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object())))
        return 0;

    QStringList lines;
    {
        fuzz::Services services;
        const fuzz::MaintenanceSession maintenance(services);

        manager::Logger* logger = manager::Logger::instance();
        logger->setSinks(capture, captureStderr);
        logger->setLevel(manager::Logger::Debug);
        logger->setSyslog(true);
        s_lines = &lines;
        services.receive(payload, barcode ? QStringLiteral("orvo/blm/barcode/maintenance/scanned")
                                          : QStringLiteral("orvo/ui/config/set"));
        fuzz::settle();
        s_lines = nullptr;
        logger->setSyslog(false);
        logger->setLevel(manager::Logger::Info);
    }
    fuzz::settle();
    for (const QString& line : qAsConst(lines)) {
        if (line.contains(Secret)) {
            fprintf(stderr, "The secret reached the log: %s\n", qPrintable(line));
            abort();
        }
    }
    return 0;
}
