#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QSharedPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace manager {

// Reads one service message with the defaults every service relies on: a missing string reads
// empty, a missing number 0, a missing boolean false. A key that is present with the wrong JSON
// type is not read as a default: the caller's current value comes back instead, so a garbled
// field never overwrites good state, and the key is noted so the handler can say so once.
// Used by the service proxies.
class PayloadReader
{
public:
    explicit PayloadReader(const QJsonObject& object);

    // Parses a payload that must be one JSON object; an empty payload reads as "{ }". An array
    // or a scalar is refused like unparsable text ("not a JSON object"): read as an empty
    // object it would wipe the mirrored state. On failure error gets the reason.
    static bool parse(const QByteArray& payload, QJsonObject* object, QString* error);

    const QJsonObject& json() const { return m_object; }
    // False for a sub-object that is present with another type than object.
    bool isUsable() const { return m_usable; }
    bool contains(const QString& key) const;

    QString text(const QString& key, const QString& current) const;
    // Integral JSON numbers that fit an int; 2.5 or 1e12 count as the wrong type.
    int integer(const QString& key, int current) const;
    double number(const QString& key, double current) const;
    bool boolean(const QString& key, bool current) const;
    // A missing key reads as an empty object; one of another type gives a reader whose every
    // read returns the current value.
    PayloadReader object(const QString& key) const;

    // The object as a map, with every listed key that is present but not a string replaced by
    // its value in current; current as a whole when this reader is not usable.
    QVariantMap textMap(const QStringList& keys, const QVariantMap& current) const;

    // Wrongly typed keys of the whole message (sub-objects included), as dotted paths.
    QStringList wrongKeys() const { return *m_wrong; }
    bool hasWrongKeys() const { return !m_wrong->isEmpty(); }

    // Says on one line which keys of the message had the wrong JSON type and so kept their last
    // value: the first MaxKeysShown of them and how many more; nothing when every key could be
    // read. tag is the caller's prefix ("[Board] ").
    static constexpr int MaxKeysShown = 5;
    // "a, b, c, d, e and 7 more": the first MaxKeysShown keys (each shortened) and the count.
    static QString keyList(const QStringList& keys);
    void reportWrongKeys(const QString& tag, const QString& topic) const;
    static void reportWrongKeys(const QString& tag, const QString& topic, const QStringList& keys);

    // Shortens service-supplied text for a log line.
    static QString brief(const QString& text, int max = 200);

    // A payload as text for a log line, with the value of every secret key (the maintenance PIN,
    // any password) replaced by "********" at any depth, and every text that is an address with
    // a password shown without it (SecretMask::maskUrlValue); an empty secret stays visible, as
    // "not set" is what a technician needs to know. Text that is not JSON is masked by its
    // "key": value pairs, so a broken message does not leak either; on a confidential topic
    // (settings, maintenance barcodes) it is not shown at all, only its size.
    static QString masked(const QByteArray& payload, bool confidential = false);
    // Key names whose values never reach the log: "...password", "...pin" (any case).
    static bool isSecretKey(const QString& key);

private:
    PayloadReader(const QJsonObject& object, const QString& path,
                  const QSharedPointer<QStringList>& wrong, bool usable);
    // True when the key may be read: present with the expected type. Notes a wrong type.
    bool typed(const QString& key, bool ok) const;

    QJsonObject m_object;
    QString m_path;
    QSharedPointer<QStringList> m_wrong;
    bool m_usable = true;
};

} // namespace manager
