#include "config.h"

#include "secretmask.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSettings>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sys/stat.h>

namespace {

// value as type, or an invalid variant when it has no such form. Text is what the file holds
// and what a hand-written request may send, so numbers and flags may come as text; text never
// comes as anything else, and containers, null and fractions never convert.
QVariant converted(const QVariant& value, QVariant::Type type)
{
    if (value.type() == type)
        return value;
    // Containers and null (a JSON object, list or null) stand for no setting.
    switch (value.type()) {
    case QVariant::Bool:
    case QVariant::Int:
    case QVariant::UInt:
    case QVariant::LongLong:
    case QVariant::ULongLong:
    case QVariant::Double:
    case QVariant::String:
        break;
    case QVariant::StringList:
        // A value with a comma in the file reads back as a list.
        if (type == QVariant::String || type == QVariant::Invalid)
            return value;
        return QVariant();
    default:
        return QVariant();
    }
    switch (type) {
    case QVariant::Bool: {
        const QString text = value.type() == QVariant::String ? value.toString().trimmed().toLower() : QString();
        if (text == QLatin1String("true") || text == QLatin1String("1"))
            return true;
        if (text == QLatin1String("false") || text == QLatin1String("0"))
            return false;
        return QVariant();
    }
    case QVariant::Int: {
        if (value.type() == QVariant::String) {
            bool ok = false;
            const int number = value.toString().trimmed().toInt(&ok);
            return ok ? QVariant(number) : QVariant();
        }
        if (value.type() == QVariant::Double || value.type() == QVariant::LongLong || value.type() == QVariant::UInt
            || value.type() == QVariant::ULongLong) {
            // The range first: converting a number beyond it (1e30) is undefined behaviour.
            const double number = value.toDouble();
            if (number >= double(std::numeric_limits<int>::min()) && number <= double(std::numeric_limits<int>::max())
                && std::trunc(number) == number)
                return int(number);
        }
        return QVariant();
    }
    case QVariant::Double: {
        bool ok = false;
        const double number = value.type() == QVariant::String ? value.toString().trimmed().toDouble(&ok)
                                                               : value.toDouble(&ok);
        const bool numeric = value.type() != QVariant::Bool && value.canConvert<double>();
        return ok && numeric ? QVariant(number) : QVariant();
    }
    case QVariant::String:
        // Text stays text: a number or a flag where a name, a path or a PIN belongs is a mistake.
        return QVariant();
    default:
        // A key without a declared type (one the file brought along) takes any plain value.
        return value;
    }
}

QString typeName(QVariant::Type type)
{
    switch (type) {
    case QVariant::Bool:
        return QStringLiteral("a boolean");
    case QVariant::Int:
        return QStringLiteral("an integer");
    case QVariant::Double:
        return QStringLiteral("a number");
    default:
        return QStringLiteral("a text");
    }
}

} // namespace

Config::Config(const QString& fileName, const QVariantMap& defaults, QObject* parent)
    : QObject(parent)
    , m_fileName(fileName)
    , m_values(defaults)
    , m_defaults(defaults)
    , m_file(fileName, [this] { writeFile(); })
{
    // Copies of the settings (and so of the PIN) that a power cut left half-way.
    SettingsFile::removeLeftovers(m_fileName, QDir::tempPath(), copyPattern());
    if (!QFileInfo::exists(m_fileName)) {
        qWarning().noquote().nospace() << "[Config] Creating default config file : " << m_fileName;
        save();
    }
    load();
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &Config::onFileChanged);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &Config::onDirectoryChanged);
    watch();
}

QVariant Config::get(const QString& key) const
{
    // QMultiMap::value returns the most recently inserted value of the key.
    if (m_overrides.contains(key))
        return m_overrides.value(key);
    if (m_values.contains(key))
        return m_values.value(key);
    return m_defaults.value(key);
}

void Config::set(const QString& key, const QVariant& given)
{
    QVariant value;
    if (!accept(key, given, &value))
        return;
    if (m_values.contains(key) && m_values.value(key) == value)
        return;
    m_overrides.remove(key);
    m_values.insert(key, value);
    emit configChanged(QVariantMap{{key, value}});
    save();
}

QStringList Config::keys() const
{
    return m_values.keys(); // QMap keys are already sorted
}

QString Config::filename() const
{
    return m_fileName;
}

QVariantMap Config::defaults()
{
    return m_defaults;
}

void Config::addDefaults(const QVariantMap& defaults)
{
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        m_defaults.insert(it.key(), it.value());
}

void Config::setRange(const QString& key, int minimum, int maximum)
{
    m_ranges.insert(key, qMakePair(minimum, maximum));
    const auto stored = m_values.constFind(key);
    QVariant typed;
    if (stored != m_values.cend() && !accept(key, *stored, &typed))
        m_values.insert(key, m_defaults.value(key));
}

bool Config::check(const QString& key, const QVariant& value, QVariant* typed, QString* reason) const
{
    QVariant result;
    QString why;
    const auto reference = m_defaults.constFind(key);
    const QVariant::Type type = reference == m_defaults.cend() || !reference->isValid() ? QVariant::Invalid
                                                                                     : reference->type();
    result = converted(value, type);
    if (!result.isValid()) {
        why = type == QVariant::Invalid ? QStringLiteral("is not a plain value") : QStringLiteral("is not ") + typeName(type);
    } else if (m_ranges.contains(key)) {
        // Only typed values get here: the number is an int already.
        const QPair<int, int> range = m_ranges.value(key);
        const int number = result.toInt();
        if (number < range.first || number > range.second)
            why = QStringLiteral("is outside %1..%2").arg(range.first).arg(range.second);
    }
    if (typed)
        *typed = why.isEmpty() ? result : QVariant();
    if (reason)
        *reason = why;
    return why.isEmpty();
}

bool Config::isSecret(const QString& key) const
{
    return m_hiddenKeys.contains(key) || SecretMask::isSecretKey(key.section(QLatin1Char('/'), -1));
}

QString Config::shown(const QString& key, const QVariant& value) const
{
    // A value with a comma in the file reads back as a list; a request may bring anything.
    QString text;
    if (value.type() == QVariant::StringList)
        text = value.toStringList().join(QLatin1Char(','));
    else if (value.type() == QVariant::List)
        text = QStringLiteral("[...]");
    else if (value.type() == QVariant::Map)
        text = QStringLiteral("{...}");
    else if (value.userType() == QMetaType::Nullptr)
        text = QStringLiteral("null");
    else
        text = value.toString();
    // An empty secret stays visible: "not set" is what a technician needs to know.
    if (isSecret(key))
        return text.isEmpty() ? text : SecretMask::Mask;
    // A password inside an address goes while the value is still whole.
    return SecretMask::maskUrlValue(text);
}

bool Config::accept(const QString& key, const QVariant& value, QVariant* typed) const
{
    QString reason;
    if (check(key, value, typed, &reason))
        return true;
    QString text = shown(key, value);
    if (text.size() > 64)
        text = text.left(64) + QStringLiteral("...");
    const QVariant kept = m_values.value(key, m_defaults.value(key));
    qWarning().noquote().nospace() << "[Config] WARN: Refusing " << key << " = '" << text << "' : " << reason
                                   << "; keeping " << shown(key, kept).left(64);
    return false;
}

void Config::addOverrides(const QVariantMap& overrides)
{
    for (auto it = overrides.cbegin(); it != overrides.cend(); ++it)
        m_overrides.insert(it.key(), it.value());
}

QJsonObject Config::toJson() const
{
    QMap<QString, QVariantMap> groups;
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        const QStringList parts = it.key().split(QLatin1Char('/'));
        // A key without a group (hand-edited into the file's general section) has no
        // place in the two-level form and is left out.
        if (parts.size() < 2 || parts.at(0).isEmpty())
            continue;
        groups[parts.at(0)].insert(parts.at(1), it.value());
    }
    QJsonObject json;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        json.insert(it.key(), QJsonObject::fromVariantMap(it.value()));
    return json;
}

Config& Config::fromJson(const QJsonObject& json)
{
    QVariantMap flat;
    for (auto group = json.constBegin(); group != json.constEnd(); ++group) {
        const QJsonObject members = group.value().toObject();
        for (auto member = members.constBegin(); member != members.constEnd(); ++member)
            flat.insert(group.key() + QLatin1Char('/') + member.key(), member.value().toVariant());
    }

    QVariantMap changes;
    for (auto it = flat.cbegin(); it != flat.cend(); ++it) {
        QVariant value;
        if (!m_values.contains(it.key()) || !accept(it.key(), it.value(), &value))
            continue;
        if (m_values.value(it.key()) != value) {
            m_values.insert(it.key(), value);
            changes.insert(it.key(), value);
        }
    }
    if (!changes.isEmpty()) {
        save();
        emit configChanged(changes);
    }
    return *this;
}

void Config::setHiddenKeys(const QStringList& keys)
{
    m_hiddenKeys = keys;
}

void Config::print() const
{
    const QString dashes(60, QLatin1Char('-'));
    const QStringList allKeys = keys();
    int width = 0;
    for (const QString& key : allKeys)
        width = std::max(width, int(key.size()));

    qInfo().noquote().nospace() << "[Config] " << dashes;
    qInfo().noquote().nospace() << "[Config]  SETTINGS (" << m_fileName << ")";
    qInfo().noquote().nospace() << "[Config] " << dashes;
    for (const QString& key : allKeys) {
        const QString value = shown(key, get(key));
        qInfo().noquote().nospace() << QStringLiteral("[Config]  %1 : %2").arg(key, -width).arg(value);
    }
    qInfo().noquote().nospace() << "[Config] " << dashes;
}

QVariantMap Config::readFile()
{
    QVariantMap changes;
    // The settings library caches files by name and trusts size and modification time;
    // two edits of equal length within one clock tick of the file system would read as
    // unchanged. Reading a private copy under a fresh name always parses what is on disk.
    QTemporaryFile copy(QDir::tempPath() + QLatin1Char('/') + QString(copyPattern()).replace(QLatin1Char('*'), QLatin1String("XXXXXX")));
    QFile source(m_fileName);
    bool copied = false;
    if (copy.open() && source.open(QIODevice::ReadOnly))
        copied = copy.write(source.readAll()) >= 0 && copy.flush();
    QSettings settings(copied ? copy.fileName() : m_fileName, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        // A garbled file still yields whatever lines could be parsed; say so once.
        if (!m_reportedReadError) {
            qWarning().noquote().nospace() << "[Config] WARN: Settings file " << m_fileName
                                           << " could not be read completely; keeping the values read and the defaults";
            m_reportedReadError = true;
        }
    } else {
        m_reportedReadError = false;
    }
    const QStringList fileKeys = settings.allKeys();
    for (const QString& key : fileKeys) {
        QVariant value;
        if (!accept(key, settings.value(key), &value))
            continue;
        const auto stored = m_values.constFind(key);
        if (stored == m_values.cend() || !stored->isValid() || *stored != value) {
            m_values.insert(key, value);
            changes.insert(key, value);
        }
    }
    return changes;
}

void Config::load()
{
    m_seen = fingerprint();
    const QVariantMap changes = readFile();
    if (!changes.isEmpty())
        emit configChanged(changes);
}

void Config::save()
{
    m_file.write();
}

void Config::writeFile()
{
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    SettingsFile::makePrivate(m_fileName);
    {
        QSettings settings(m_fileName, QSettings::IniFormat);
        for (auto it = m_values.cbegin(); it != m_values.cend(); ++it)
            settings.setValue(it.key(), it.value());
        settings.sync();
        if (settings.status() == QSettings::AccessError) {
            if (!m_reportedWriteError) {
                qWarning().noquote().nospace() << "[Config] WARN: Cannot write settings file " << m_fileName
                                               << "; changes are kept in memory only";
                m_reportedWriteError = true;
            }
        } else {
            m_reportedWriteError = false;
        }
    }
    SettingsFile::makePrivate(m_fileName);
    watch();
    m_seen = fingerprint();
}

QByteArray Config::fingerprint() const
{
    struct stat info {};
    if (::stat(QFile::encodeName(m_fileName).constData(), &info) != 0)
        return QByteArray();
    return QByteArray::number(qulonglong(info.st_dev)) + ':' + QByteArray::number(qulonglong(info.st_ino)) + ':'
        + QByteArray::number(qlonglong(info.st_size)) + ':' + QByteArray::number(qlonglong(info.st_mtim.tv_sec)) + '.'
        + QByteArray::number(qlonglong(info.st_mtim.tv_nsec)) + ':' + QByteArray::number(qlonglong(info.st_ctim.tv_sec))
        + '.' + QByteArray::number(qlonglong(info.st_ctim.tv_nsec));
}

void Config::watch()
{
    // After a replace the watcher may still list the path while watching the old, unlinked
    // file; dropping and adding it again always watches the file that has the name now.
    if (m_watcher.files().contains(m_fileName))
        m_watcher.removePath(m_fileName);
    if (QFileInfo::exists(m_fileName))
        m_watcher.addPath(m_fileName);
    // Editors save by writing a new file and renaming it over the old one, which ends the
    // watch on the file; watching the folder too lets us pick the new file up again.
    const QString dir = QFileInfo(m_fileName).absolutePath();
    if (QFileInfo::exists(dir) && !m_watcher.directories().contains(dir))
        m_watcher.addPath(dir);
}

void Config::onFileChanged(const QString& path)
{
    Q_UNUSED(path)
    // A write of ours is waiting for the lock: it will replace whatever is there now.
    if (m_file.isPending()) {
        watch();
        return;
    }
    m_seen = fingerprint();
    const QVariantMap changes = readFile();
    if (!changes.isEmpty()) {
        emit configFileChanged();
        emit configChanged(changes);
    }
    watch();
}

void Config::onDirectoryChanged(const QString& path)
{
    Q_UNUSED(path)
    // A file renamed over ours shows up here, perhaps before (or instead of) a file
    // notification. Other files changing in the same folder (our own copies among them, when
    // the settings live in the temporary folder) leave the file as it was and are no edit.
    if (QFileInfo::exists(m_fileName) && fingerprint() != m_seen)
        onFileChanged(m_fileName);
}
