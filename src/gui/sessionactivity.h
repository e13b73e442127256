#pragma once

#include <QObject>

#include <functional>

class SessionManager;

// Keeps a maintenance session alive while the technician works: every press, touch or key on
// the window restarts the session's ten minutes while the maintenance area is shown, so the
// session ends ten minutes after the last touch rather than after the login. Installed by the
// GUI manager as an event filter on the window; it only looks, never takes an event.
class SessionActivity : public QObject
{
    Q_OBJECT
public:
    // inMaintenanceArea: whether the screen shown is the maintenance area.
    SessionActivity(SessionManager& session, std::function<bool()> inMaintenanceArea, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SessionManager& m_session;
    std::function<bool()> m_inMaintenanceArea;
};
