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

    QJsonObject toJson() const;
    Config& fromJson(const QJsonObject& json);

    // Keys whose values print() masks (passwords, PINs): the log goes to syslog, which more
    // people can read than the settings file.
    void setHiddenKeys(const QStringList& keys);
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
    bool m_reportedReadError = false;
    bool m_reportedWriteError = false;
    QByteArray m_seen;
    // Last: a write still waiting at destruction needs every other member.
    SettingsFile m_file;
};
