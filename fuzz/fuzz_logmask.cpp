// No secret reaches the log or the screen, whatever form the message has. A known secret is
// planted wherever the input says "$S", in the form the input's first byte picks (as it is,
// JSON-escaped, percent-encoded, or half of it escaped); the message arrives on the program's
// configuration topic or as a maintenance barcode during a session; every line written at the
// debug level and every line the barcode puts on the screen is read.
//
// The planted text is a secret where the message's structure makes it one: under a key that
// names a secret (at any depth), or in the password of a text that is an address (below); a
// text that is a JSON document itself is read as one. A message that does not parse is a
// secret as a whole. Where the message parses and the secret also sits anywhere else (a key
// name, a plain value, a path), showing it there is no leak and the input proves nothing. Otherwise no piece of the secret (Piece characters or more) may
// appear in any line, in any form: as it is, JSON-escaped or percent-encoded, whole or split
// by a mask.
//
// Input: one byte (bit 0 the topic, bits 1 and 2 the form), then the payload.
#include "logger.h"
#include "payloadreader.h"
#include "services.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

namespace {

const QString Secret = QStringLiteral("Zq7Kx9Wp");
// Shorter pieces could be any text; a secret split by a mask leaves longer ones.
constexpr int Piece = 4;

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

// All of it: QString::fromUtf8(QByteArray) stops at the first NUL.
QString utf8(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes.constData(), bytes.size());
}

QString jsonEscaped(const QString& text)
{
    QString escaped;
    for (const QChar c : text)
        escaped += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    return escaped;
}

QByteArray planted(int form)
{
    switch (form) {
    case 1:
        return jsonEscaped(Secret).toUtf8();
    case 2:
        return Secret.toUtf8().toPercentEncoding(QByteArray(), Secret.toUtf8());
    case 3:
        return (Secret.left(Secret.size() / 2) + jsonEscaped(Secret.mid(Secret.size() / 2))).toUtf8();
    default:
        return Secret.toUtf8();
    }
}

// JSON string escapes undone, as a reader of the line would undo them.
QString jsonUnescaped(const QString& text)
{
    QString result;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('\\') || i + 1 >= text.size()) {
            result += text.at(i);
            continue;
        }
        bool ok = false;
        const ushort code = text.at(i + 1) == QLatin1Char('u') ? text.midRef(i + 2, 4).toUShort(&ok, 16) : 0;
        if (ok && i + 5 < text.size()) {
            result += QChar(code);
            i += 5;
        } else {
            result += text.at(i + 1);
            ++i;
        }
    }
    return result;
}

// Whether any form of text holds a piece of the secret.
bool holdsPiece(const QString& text)
{
    const auto percentDecoded = [](const QString& t) { return utf8(QByteArray::fromPercentEncoding(t.toUtf8())); };
    const QString json = jsonUnescaped(text);
    const QStringList forms { text, json, percentDecoded(text), percentDecoded(json), jsonUnescaped(percentDecoded(text)) };
    for (const QString& form : forms) {
        for (int i = 0; i + Piece <= Secret.size(); ++i) {
            if (form.contains(Secret.midRef(i, Piece)))
                return true;
        }
    }
    return false;
}

// The text of value with the password of an address taken out. An address, as RFC 3986 puts
// it: an optional "scheme://" (or "//"), then the authority up to the first '/', '?' or '#';
// its user information runs to the authority's last '@'; the password follows the first ':'
// of it. Without a scheme's "//" the text is "user:password@host", the way a technician writes
// an address; after one a user without a password may be a password whose user was read as
// the scheme, and counts as one.
QString withoutPassword(const QString& value)
{
    static const QRegularExpression address(
        QStringLiteral("^((?:[A-Za-z][A-Za-z0-9+.\\-]*:)?//)?([^/?#]*)@[^/?#@]*"));
    const QRegularExpressionMatch match = address.match(value);
    if (!match.hasMatch())
        return value;
    const QString userInfo = match.captured(2);
    const int colon = userInfo.indexOf(QLatin1Char(':'));
    if (colon >= 0)
        return value.left(match.capturedStart(2) + colon + 1) + value.mid(match.capturedEnd(2));
    if (!match.captured(1).isEmpty())
        return value.left(match.capturedStart(2)) + value.mid(match.capturedEnd(2));
    return value;
}

// Whether a piece of the secret sits somewhere that is no secret.
bool exposesHarmlessly(const QJsonValue& value)
{
    if (value.isString()) {
        // A text that is a JSON document itself is read as one.
        const QString text = value.toString();
        const QString trimmed = text.trimmed();
        if (trimmed.startsWith(QLatin1Char('{')) || trimmed.startsWith(QLatin1Char('['))) {
            const QJsonDocument inner = QJsonDocument::fromJson(text.toUtf8());
            if (!inner.isNull())
                return exposesHarmlessly(inner.isArray() ? QJsonValue(inner.array()) : QJsonValue(inner.object()));
        }
        return holdsPiece(withoutPassword(text));
    }
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
            if (holdsPiece(it.key()))
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
    const int form = (input.at(0) >> 1) & 3;
    const QByteArray text = input.mid(1);
    // The secret is only where "$S" puts it.
    if (!text.contains("$S") || holdsPiece(utf8(QByteArray(text).replace("$S", ""))))
        return 0;
    const QByteArray payload = QByteArray(text).replace("$S", planted(form));
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error == QJsonParseError::NoError
        && exposesHarmlessly(document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object())))
        return 0;

    QStringList lines;
    {
        fuzz::Services services;
        const fuzz::MaintenanceSession maintenance(services);
        // What the maintenance page shows of an applied barcode.
        QObject::connect(&maintenance.applier, &MaintenanceBarcodeApplier::applied,
                         [&lines](const QStringList& shown) { lines << shown; });

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
        if (holdsPiece(line)) {
            fprintf(stderr, "The secret reached the log or the screen: %s\n", qPrintable(line));
            abort();
        }
    }
    return 0;
}
