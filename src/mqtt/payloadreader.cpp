#include "payloadreader.h"

#include "secretmask.h"

#include <QDebug>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace manager {

PayloadReader::PayloadReader(const QJsonObject& object)
    : m_object(object)
    , m_wrong(QSharedPointer<QStringList>::create())
{
}

PayloadReader::PayloadReader(const QJsonObject& object, const QString& path,
                             const QSharedPointer<QStringList>& wrong, bool usable)
    : m_object(object)
    , m_path(path)
    , m_wrong(wrong)
    , m_usable(usable)
{
}

bool PayloadReader::parse(const QByteArray& payload, QJsonObject* object, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document =
            QJsonDocument::fromJson(payload.isEmpty() ? QByteArrayLiteral("{ }") : payload, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = parseError.errorString();
        return false;
    }
    if (!document.isObject()) {
        *error = QStringLiteral("not a JSON object");
        return false;
    }
    *object = document.object();
    return true;
}

bool PayloadReader::contains(const QString& key) const
{
    return m_object.contains(key);
}

bool PayloadReader::typed(const QString& key, bool ok) const
{
    if (!ok)
        m_wrong->append(m_path + key);
    return ok;
}

QString PayloadReader::text(const QString& key, const QString& current) const
{
    if (!m_usable)
        return current;
    if (!m_object.contains(key))
        return QString();
    const QJsonValue value = m_object.value(key);
    return typed(key, value.isString()) ? value.toString() : current;
}

int PayloadReader::integer(const QString& key, int current) const
{
    if (!m_usable)
        return current;
    if (!m_object.contains(key))
        return 0;
    const QJsonValue value = m_object.value(key);
    const double d = value.toDouble();
    const bool ok = value.isDouble() && std::trunc(d) == d
            && d >= double(std::numeric_limits<int>::min())
            && d <= double(std::numeric_limits<int>::max());
    return typed(key, ok) ? int(d) : current;
}

double PayloadReader::number(const QString& key, double current) const
{
    if (!m_usable)
        return current;
    if (!m_object.contains(key))
        return 0;
    const QJsonValue value = m_object.value(key);
    return typed(key, value.isDouble()) ? value.toDouble() : current;
}

bool PayloadReader::boolean(const QString& key, bool current) const
{
    if (!m_usable)
        return current;
    if (!m_object.contains(key))
        return false;
    const QJsonValue value = m_object.value(key);
    return typed(key, value.isBool()) ? value.toBool() : current;
}

PayloadReader PayloadReader::object(const QString& key) const
{
    const QString path = m_path + key + QLatin1Char('.');
    if (!m_usable)
        return PayloadReader(QJsonObject(), path, m_wrong, false);
    if (!m_object.contains(key))
        return PayloadReader(QJsonObject(), path, m_wrong, true);
    const QJsonValue value = m_object.value(key);
    const bool ok = typed(key, value.isObject());
    return PayloadReader(value.toObject(), path, m_wrong, ok);
}

QVariantMap PayloadReader::textMap(const QStringList& keys, const QVariantMap& current) const
{
    if (!m_usable)
        return current;
    QVariantMap map = m_object.toVariantMap();
    for (const QString& key : keys) {
        if (m_object.contains(key) && !typed(key, m_object.value(key).isString()))
        {
            if (current.contains(key))
                map.insert(key, current.value(key));
            else
                map.remove(key);
        }
    }
    return map;
}

namespace {

const QString& Mask = SecretMask::Mask;

// Returns true when something was masked.
bool maskValue(QJsonValue& value);

bool maskObject(QJsonObject& object)
{
    bool changed = false;
    for (auto it = object.begin(); it != object.end(); ++it) {
        QJsonValue value = it.value();
        if (PayloadReader::isSecretKey(it.key())) {
            const bool empty = value.isNull() || (value.isString() && value.toString().isEmpty());
            if (!empty) {
                it.value() = Mask;
                changed = true;
            }
        } else if (maskValue(value)) {
            it.value() = value;
            changed = true;
        }
    }
    return changed;
}

bool maskArray(QJsonArray& array)
{
    bool changed = false;
    for (int i = 0; i < array.size(); ++i) {
        QJsonValue value = array.at(i);
        if (maskValue(value)) {
            array.replace(i, value);
            changed = true;
        }
    }
    return changed;
}

bool maskValue(QJsonValue& value)
{
    // A text under any key may be an address with a password in it: masked by its structure
    // here, where the value's bounds are known, whatever blanks or quotes the password holds.
    if (value.isString()) {
        const QString text = value.toString();
        QString masked = SecretMask::maskUrlValue(text);
        // A text that is itself a JSON document (a scanned code handed on as a string) is
        // masked by its own keys and values instead.
        const QString trimmed = text.trimmed();
        if (trimmed.startsWith(QLatin1Char('{')) || trimmed.startsWith(QLatin1Char('['))) {
            const QJsonDocument inner = QJsonDocument::fromJson(text.toUtf8());
            QJsonValue nested = inner.isObject() ? QJsonValue(inner.object()) : QJsonValue(inner.array());
            if (!inner.isNull() && maskValue(nested)) {
                masked = QString::fromUtf8((nested.isObject() ? QJsonDocument(nested.toObject())
                                                               : QJsonDocument(nested.toArray()))
                                               .toJson(QJsonDocument::Compact));
            } else if (!inner.isNull()) {
                masked = text;
            }
        }
        if (masked == text)
            return false;
        value = masked;
        return true;
    }
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        if (!maskObject(object))
            return false;
        value = object;
        return true;
    }
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        if (!maskArray(array))
            return false;
        value = array;
        return true;
    }
    return false;
}

} // namespace

bool PayloadReader::isSecretKey(const QString& key)
{
    return SecretMask::isSecretKey(key);
}

QString PayloadReader::masked(const QByteArray& payload, bool confidential)
{
    // Compact: a masked copy takes one line, however the sender laid the message out.
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || (!document.isObject() && !document.isArray())) {
        if (confidential)
            return QStringLiteral("(%1 bytes, not JSON)").arg(payload.size());
        return SecretMask::maskText(QString::fromUtf8(payload));
    }
    // On a confidential topic the masked copy is searched for pairs and URLs as well: a value
    // under an ordinary key may hold "pin=..." itself.
    const auto compact = [confidential](const QJsonDocument& masked) {
        const QString text = QString::fromUtf8(masked.toJson(QJsonDocument::Compact));
        return confidential ? SecretMask::maskText(text) : SecretMask::maskUrls(text);
    };
    if (document.isObject()) {
        QJsonObject object = document.object();
        if (maskObject(object) || confidential)
            return compact(QJsonDocument(object));
    } else {
        QJsonArray array = document.array();
        if (maskArray(array) || confidential)
            return compact(QJsonDocument(array));
    }
    return SecretMask::maskText(QString::fromUtf8(payload));
}

QString PayloadReader::brief(const QString& text, int max)
{
    if (text.size() <= max)
        return text;
    return text.left(max) + QStringLiteral("... (") + QString::number(text.size())
            + QStringLiteral(" chars)");
}

QString PayloadReader::keyList(const QStringList& keys)
{
    // One line of bounded length, however many keys a message carries.
    QStringList shown;
    for (const QString& key : keys.mid(0, MaxKeysShown))
        shown << brief(key, 60);
    QString list = shown.join(QStringLiteral(", "));
    if (keys.size() > MaxKeysShown)
        list += QStringLiteral(" and %1 more").arg(keys.size() - MaxKeysShown);
    return list;
}

void PayloadReader::reportWrongKeys(const QString& tag, const QString& topic) const
{
    reportWrongKeys(tag, topic, wrongKeys());
}

void PayloadReader::reportWrongKeys(const QString& tag, const QString& topic, const QStringList& keys)
{
    if (keys.isEmpty())
        return;
    qWarning().noquote().nospace() << tag << "WARN: Ignoring wrongly typed values on " << brief(topic) << " : "
                                   << keyList(keys);
}

} // namespace manager
