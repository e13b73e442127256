#include "sessionactivity.h"

#include "sessionmanager.h"

#include <QEvent>

SessionActivity::SessionActivity(SessionManager& session, std::function<bool()> inMaintenanceArea, QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_inMaintenanceArea(std::move(inMaintenanceArea))
{
}

bool SessionActivity::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::TouchBegin:
    case QEvent::KeyPress:
        if (m_session.sessionActive() && m_inMaintenanceArea())
            m_session.resetTimer();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
