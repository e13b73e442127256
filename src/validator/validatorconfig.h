#pragma once

#include <QObject>
#include <QUrl>

// The validator settings a technician edits: the on-board computer connection and the passback
// rules. The maintenance screen writes the new values here and then asks the validator proxy to
// save them; the service's answer on its "/config" topic writes them back.
class ValidatorConfig : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QUrl obuUrl READ obuUrl WRITE setObuUrl NOTIFY obuUrlChanged)
    Q_PROPERTY(int passbackSecs READ passbackSecs WRITE setPassbackSecs NOTIFY passbackSecsChanged)
    Q_PROPERTY(bool passbackQrEnabled READ passbackQrEnabled WRITE setPassbackQrEnabled
                   NOTIFY passbackQrEnabledChanged)

public:
    explicit ValidatorConfig(QObject* parent = nullptr);

    QUrl obuUrl() const { return m_obuUrl; }
    int passbackSecs() const { return m_passbackSecs; }
    bool passbackQrEnabled() const { return m_passbackQrEnabled; }

    void setObuUrl(const QUrl& url);
    void setPassbackSecs(int secs);
    void setPassbackQrEnabled(bool enabled);

signals:
    void obuUrlChanged();
    void passbackSecsChanged();
    void passbackQrEnabledChanged();

private:
    QUrl m_obuUrl;
    int m_passbackSecs = 0;
    bool m_passbackQrEnabled = false;
};
