#pragma once

#include <QFileSystemWatcher>
#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include "settingsfile.h"

// The program's single store of settings. Keys are "group/name"; the effective value is
// the command-line override, else the stored value (file or set), else the built-in default.
// The INI file on disk is kept in step with the stored values and watched for outside edits.
// A write never waits on another writer's lock: it is done as soon as the lock is free, and
// until then the stored values are the truth (outside edits meanwhile are overwritten).
//
// Every value keeps the type of its built-in default, whoever writes it (set, fromJson, the
// file): "5" for a number becomes 5, "true" for a flag becomes true, so the JSON form carries a
// number or a boolean always. A value that cannot take that type, or an integer outside the
// range declared for its key (setRange), is refused with one warning line and the last good
// value stays.
class Config : public QObject
{
    Q_OBJECT
public:
    explicit Config(const QString& fileName, const QVariantMap& defaults, QObject* parent = nullptr);

    QVariant get(const QString& key) const;
    void set(const QString& key, const QVariant& value);
    QStringList keys() const;
    QString filename() const;
    QVariantMap defaults();
    void addDefaults(const QVariantMap& defaults);
    void addOverrides(const QVariantMap& overrides);

    // Integers of key outside minimum..maximum are refused from now on; a stored value outside
    // it (read from the file before the range was known) goes back to the default.
    void setRange(const QString& key, int minimum, int maximum);

    QJsonObject toJson() const;
    Config& fromJson(const QJsonObject& json);

    // The one check of a value for key, whoever brings it (set, fromJson, the file, a request
    // over the broker): the value in the key's declared type (that of its default) within its
    // range, or false with the reason ("is not an integer", "is outside 5..900"). A key without
    // a default takes any plain value; containers and null are never a setting. Logs nothing.
    bool check(const QString& key, const QVariant& value, QVariant* typed = nullptr, QString* reason = nullptr) const;

    // Keys whose values print() masks (passwords, PINs): the log goes to syslog, which more
    // people can read than the settings file. Keys named like a secret ("...Password", "...Pin")
    // are masked as well.
    void setHiddenKeys(const QStringList& keys);
    // A value of key as the log may show it: a secret as the mask (empty stays empty), the
    // password of an address masked.
    QString shown(const QString& key, const QVariant& value) const;
    void print() const;
    void load();
    void save();
    // True while a write waits for another writer's lock.
    bool isSavePending() const { return m_file.isPending(); }
    // Where reads of the file make their private copies, and the names they give them.
    static QString copyPattern() { return QStringLiteral("vovadudoz-settings-*.conf"); }

signals:
    void configChanged(const QVariantMap& changes);
    void configFileChanged();

private slots:
    void onFileChanged(const QString& path);
    void onDirectoryChanged(const QString& path);

private:
    QVariantMap readFile();
    // The value in the declared type of key (that of its default); false, with one warning
    // line, when it has no such form or is out of the key's range.
    bool accept(const QString& key, const QVariant& value, QVariant* typed) const;
    bool isSecret(const QString& key) const;
    void writeFile();
    void watch();
    // Identity, size and times of the file: what tells an edit from our own copies and
    // writes appearing in the same folder.
    QByteArray fingerprint() const;

    QString m_fileName;
    QVariantMap m_values;
    QVariantMap m_defaults;
    QMultiMap<QString, QVariant> m_overrides;
    QFileSystemWatcher m_watcher;
    QStringList m_hiddenKeys;
    QMap<QString, QPair<int, int>> m_ranges;
    bool m_reportedReadError = false;
    bool m_reportedWriteError = false;
    QByteArray m_seen;
    // Last: a write still waiting at destruction needs every other member.
    SettingsFile m_file;
};
