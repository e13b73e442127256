#include "payloadreader.h"

#include <QDebug>

#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>

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

QString PayloadReader::brief(const QString& text, int max)
{
    if (text.size() <= max)
        return text;
    return text.left(max) + QStringLiteral("... (") + QString::number(text.size())
            + QStringLiteral(" chars)");
}

void PayloadReader::reportWrongKeys(const QString& tag, const QString& topic) const
{
    reportWrongKeys(tag, topic, wrongKeys());
}

void PayloadReader::reportWrongKeys(const QString& tag, const QString& topic, const QStringList& keys)
{
    if (keys.isEmpty())
        return;
    qWarning().noquote().nospace() << tag << "WARN: Ignoring wrongly typed values on " << topic << " : "
                                   << keys.join(QStringLiteral(", "));
}

} // namespace manager
