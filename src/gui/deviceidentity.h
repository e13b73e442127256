#pragma once

#include <QObject>
#include <QString>

class Config;

// The device's serial number, kept in the one-line file that "gui/deviceId" names (read at
// start and whenever the key changes, written by the first-run page). The GUI manager owns it
// and shows the id to QML as its `deviceId`.
class DeviceIdentity : public QObject
{
    Q_OBJECT
public:
    explicit DeviceIdentity(Config& config, QObject* parent = nullptr);

    // A reference that stays valid for the object's life, for readers that follow the id.
    const QString& id() const { return m_id; }
    QString path() const;

    // Reads the first non-empty line of the file and announces it (also when it is the id
    // already held). A file that is missing, unreadable or not a regular file keeps the id.
    void load();
    // Stores the trimmed id and writes it; false when nothing changed or the write failed (the
    // new id then stays in effect in memory, and `saveFailed` says why).
    bool setId(const QString& id);

signals:
    void idChanged();
    void saveFailed(const QString& error);

private:
    bool save();

    Config& m_config;
    QString m_id;
};
