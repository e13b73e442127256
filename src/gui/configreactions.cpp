#include "configreactions.h"

#include "config.h"
#include "deviceidentity.h"
#include "logger.h"
#include "owntopics.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QString toText(const QVariantMap& map)
{
    return QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(map)).toJson(QJsonDocument::Indented));
}

} // namespace

ConfigReactions::ConfigReactions(Config& config, DeviceIdentity& identity, manager::OwnTopics& ownTopics,
                                 QObject* parent)
    : QObject(parent)
    , m_config(config)
    , m_identity(identity)
    , m_ownTopics(ownTopics)
{
    connect(&m_config, &Config::configChanged, this, &ConfigReactions::onConfigChanged);
    connect(&m_config, &Config::configFileChanged, this, &ConfigReactions::onConfigFileChanged);
}

void ConfigReactions::applyLogSettings(const Config& config)
{
    manager::Logger* logger = manager::Logger::instance();
    logger->setLevel(config.get(QStringLiteral("log/level")).toInt());
    logger->setStderr(config.get(QStringLiteral("log/stderr")).toBool());
    logger->setSyslog(config.get(QStringLiteral("log/syslog")).toBool());
    logger->setColor(config.get(QStringLiteral("log/color")).toBool());
}

void ConfigReactions::onConfigFileChanged()
{
    qWarning().noquote().nospace() << "[GUIManager] WARN: Configuration file changed!";
    m_config.print();
}

void ConfigReactions::onConfigChanged(const QVariantMap& changes)
{
    // The debug log may leave the vehicle; the secrets stay in the settings file. Each value is
    // masked as the store shows it (secret keys, passwords in addresses) while it is whole.
    QVariantMap shown = changes;
    for (auto it = shown.begin(); it != shown.end(); ++it) {
        const bool text = it.value().type() == QVariant::String || it.value().type() == QVariant::StringList;
        const QString masked = m_config.shown(it.key(), it.value());
        if (text && masked != it.value().toString())
            it.value() = masked;
    }
    qDebug().noquote().nospace() << "[GUIManager] Config changed : " << toText(shown);

    static const QRegularExpression logKey(QStringLiteral("log\\/.+"));
    static const QRegularExpression mqttKey(QStringLiteral("mqtt\\/.+"));
    const auto anyKey = [&changes](const QRegularExpression& expression) {
        for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
            if (expression.match(it.key()).hasMatch())
                return true;
        }
        return false;
    };
    const auto value = [&changes](const char* key) { return changes.value(QLatin1String(key)); };
    const auto has = [&changes](const char* key) { return changes.contains(QLatin1String(key)); };

    // One edit of the file may change several groups: every matching reaction runs, in this
    // order, so that what the file and "/config" say is what the program does.
    if (has("gui/deviceId")) {
        qInfo().noquote().nospace() << "[GUIManager] Device id changed. Re-loading";
        m_identity.load();
    }
    if (has("gui/showCursor")) {
        qInfo().noquote().nospace() << "[GUIManager] Cursor changed : "
                                    << (value("gui/showCursor").toBool() ? "visible" : "hidden");
        emit showCursorChanged();
    }
    if (has("gui/displayOffMin")) {
        qInfo().noquote().nospace() << "[GUIManager] Display OFF interval changed : "
                                    << value("gui/displayOffMin").toString() << " min(s)";
        emit displayOffMinChanged();
    }
    if (has("gui/shutdownDelaySec")) {
        qInfo().noquote().nospace() << "[GUIManager] Shutdown delay changed : "
                                    << value("gui/shutdownDelaySec").toString() << " sec(s)";
        emit shutdownDelaySecChanged();
    }
    if (has("gui/locale"))
        emit languageRequested(value("gui/locale").toString());
    if (has("gui/showErrorDesc")) {
        qInfo().noquote().nospace() << "[GUIManager] Show Error description changed : "
                                    << (value("gui/showErrorDesc").toBool() ? "YES" : "NO");
        emit showErrorDescChanged();
    }
    if (has("gui/screenSaverBg")) {
        qInfo().noquote().nospace() << "[GUIManager] Screen-saver background changed : "
                                    << m_config.shown(QStringLiteral("gui/screenSaverBg"), value("gui/screenSaverBg"));
        emit screenSaverBgChanged();
    }
    if (has("gui/screenSaverImg")) {
        qInfo().noquote().nospace() << "[GUIManager] Screen-saver image changed : "
                                    << m_config.shown(QStringLiteral("gui/screenSaverImg"), value("gui/screenSaverImg"));
        emit screenSaverImgChanged();
    }
    if (has("gui/animSwitchSec")) {
        qInfo().noquote().nospace() << "[GUIManager] GIFs animation changed : " << value("gui/animSwitchSec").toString()
                                    << " msec(s)";
        emit animSwitchSecChanged();
    }
    if (anyKey(logKey)) {
        qInfo().noquote().nospace() << "[GUIManager] Log configuration changed. Applying.";
        applyLogSettings(m_config);
    }
    // Published before a broker change takes effect, while the old connection is still up.
    m_ownTopics.publishConfig();
    if (anyKey(mqttKey)) {
        qInfo().noquote().nospace() << "[GUIManager] MQTT configuration changed. Applying.";
        emit brokerChanged();
    }
}
