#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTranslator>

// Stands in for the GUI manager where the window is shown without the rest of the program (the
// screenshot gallery, the accessibility test, the idle benchmark): the same members the
// passenger screens read, set directly instead of decided from the services. The language
// switch installs the Greek catalogue exactly as the real manager does, so the texts shown are
// the real translations.
class StandInManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString screen READ screen WRITE setScreen NOTIFY screenChanged)
    Q_PROPERTY(QString deviceId READ deviceId WRITE setDeviceId NOTIFY deviceIdChanged)
    Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(QString dynTr READ dynTr NOTIFY languageChanged)
    Q_PROPERTY(QString message READ message WRITE setMessage NOTIFY messageChanged)
    Q_PROPERTY(bool showCursor READ showCursor WRITE setShowCursor NOTIFY showCursorChanged)
    Q_PROPERTY(bool showErrorDesc READ showErrorDesc WRITE setShowErrorDesc NOTIFY showErrorDescChanged)
    Q_PROPERTY(int animSwitchSec READ animSwitchSec WRITE setAnimSwitchSec NOTIFY animSwitchSecChanged)
    Q_PROPERTY(QColor screenSaverBg READ screenSaverBg NOTIFY screenSaverBgChanged)
    Q_PROPERTY(QString screenSaverImg READ screenSaverImg NOTIFY screenSaverImgChanged)
    // The maintenance pages' members: the proxies come from MaintenanceServices.
    Q_PROPERTY(QObject* clock READ clock NOTIFY clockChanged)
    Q_PROPERTY(QObject* update READ update NOTIFY updateChanged)
    Q_PROPERTY(QObject* diagnostics READ diagnostics NOTIFY diagnosticsChanged)
    Q_PROPERTY(int shutdownDelaySec MEMBER m_shutdownDelaySec NOTIFY shutdownDelaySecChanged)
    Q_PROPERTY(int displayOffMin MEMBER m_displayOffMin NOTIFY displayOffMinChanged)
    Q_PROPERTY(bool lockedOut MEMBER m_lockedOut NOTIFY lockoutChanged)
    Q_PROPERTY(int lockoutRemainingSec MEMBER m_lockoutRemainingSec NOTIFY lockoutChanged)

public:
    explicit StandInManager(QObject* parent = nullptr);
    ~StandInManager() override;

    QString screen() const { return m_screen; }
    void setScreen(const QString& value);
    QString deviceId() const { return m_deviceId; }
    void setDeviceId(const QString& value);
    QString language() const { return m_language; }
    void setLanguage(const QString& name);
    QString dynTr() const { return QString(); }
    QString message() const { return m_message; }
    void setMessage(const QString& value);
    bool showCursor() const { return m_showCursor; }
    void setShowCursor(bool value);
    bool showErrorDesc() const { return m_showErrorDesc; }
    void setShowErrorDesc(bool value);
    int animSwitchSec() const { return m_animSwitchSec; }
    void setAnimSwitchSec(int value);
    QColor screenSaverBg() const { return QColor(Qt::black); }
    QString screenSaverImg() const { return QStringLiteral("qrc:/qml/images/Icons/orvo.png"); }

    QObject* clock() const { return m_clock; }
    QObject* update() const { return m_update; }
    QObject* diagnostics() const { return m_diagnostics; }
    // Set once, before the window loads.
    void setMaintenanceObjects(QObject* clock, QObject* update, QObject* diagnostics);

    // What the screens asked for, for whoever drives the window.
    int maintenanceRequests() const { return m_maintenanceRequests; }
    QString savedDeviceId() const { return m_savedDeviceId; }

public slots:
    void setMaintenanceScreen() { ++m_maintenanceRequests; }
    void saveDeviceIdRequest(const QString& deviceId) { m_savedDeviceId = deviceId; }
    void settingsLoginRequest(const QString&) {}
    void settingsLogoutRequest() {}
    void rebootRequest() {}
    void shutdownRequest() {}
    void exitRequest() {}
    void setSecretShown(const QString&, bool) {}

signals:
    void screenChanged();
    void deviceIdChanged();
    void languageChanged();
    void messageChanged();
    void showCursorChanged();
    void showErrorDescChanged();
    void animSwitchSecChanged();
    void screenSaverBgChanged();
    void screenSaverImgChanged();
    void errorOccured(const QString& error);
    void settingsAccessGranted();
    void settingsAccessDenied();
    void barcodeConfigurationApplied(const QStringList& configList);
    void shutdownDelaySecChanged();
    void displayOffMinChanged();
    void clockChanged();
    void updateChanged();
    void diagnosticsChanged();
    void lockoutChanged();

private:
    QString m_screen = QStringLiteral("Busy");
    QString m_deviceId;
    QString m_language;
    QString m_message;
    bool m_showCursor = false;
    bool m_showErrorDesc = false;
    int m_animSwitchSec = 0;
    int m_maintenanceRequests = 0;
    QString m_savedDeviceId;
    QTranslator m_translator;
    QObject* m_clock = nullptr;
    QObject* m_update = nullptr;
    QObject* m_diagnostics = nullptr;
    int m_shutdownDelaySec = 120;
    int m_displayOffMin = 5;
    bool m_lockedOut = false;
    int m_lockoutRemainingSec = 0;
};
