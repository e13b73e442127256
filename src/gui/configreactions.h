#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

class Config;
class DeviceIdentity;

namespace manager {
class OwnTopics;
} // namespace manager

// Follows the settings at run time: for every change of the configuration store (an edit of
// the file, "/config/set", a page of the maintenance area) it runs the reaction of each changed
// setting, in a fixed order, and republishes the configuration. What belongs to the GUI manager
// (its change signals, the language, the broker set-up) is asked for through the signals below,
// which the GUI manager connects when it wires itself; the log lines keep its tag.
class ConfigReactions : public QObject
{
    Q_OBJECT
public:
    ConfigReactions(Config& config, DeviceIdentity& identity, manager::OwnTopics& ownTopics,
                    QObject* parent = nullptr);

    // Hands the "log/..." settings to the logger.
    static void applyLogSettings(const Config& config);

signals:
    void showCursorChanged();
    void displayOffMinChanged();
    void shutdownDelaySecChanged();
    void languageRequested(const QString& name);
    void showErrorDescChanged();
    void screenSaverBgChanged();
    void screenSaverImgChanged();
    void animSwitchSecChanged();
    // A "mqtt/..." setting changed: the broker connection must be set up again.
    void brokerChanged();

private slots:
    void onConfigChanged(const QVariantMap& changes);
    void onConfigFileChanged();

private:
    Config& m_config;
    DeviceIdentity& m_identity;
    manager::OwnTopics& m_ownTopics;
};
