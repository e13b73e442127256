#pragma once

#include <QFileSystemWatcher>
#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// The program's single store of settings. Keys are "group/name"; the effective value is
// the command-line override, else the stored value (file or set), else the built-in default.
// The INI file on disk is kept in step with the stored values and watched for outside edits.
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

signals:
    void configChanged(const QVariantMap& changes);
    void configFileChanged();

private slots:
    void onFileChanged(const QString& path);
    void onDirectoryChanged(const QString& path);

private:
    QVariantMap readFile();
    void watch();

    QString m_fileName;
    QVariantMap m_values;
    QVariantMap m_defaults;
    QMultiMap<QString, QVariant> m_overrides;
    QFileSystemWatcher m_watcher;
    QStringList m_hiddenKeys;
    bool m_reportedReadError = false;
    bool m_reportedWriteError = false;
};
