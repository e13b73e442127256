#include "standinmanager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLocale>

StandInManager::StandInManager(QObject* parent)
    : QObject(parent)
{
    if (!m_translator.load(QStringLiteral(":/qml/translations/VovadudozAD_el_GR.qm")))
        qWarning().noquote().nospace() << "[StandInManager] WARN: Greek catalogue missing from the resources";
}

StandInManager::~StandInManager()
{
    QCoreApplication::removeTranslator(&m_translator);
}

void StandInManager::setScreen(const QString& value)
{
    // Like the real manager's timed screens, every request is announced, even a repeated one.
    m_screen = value;
    emit screenChanged();
}

void StandInManager::setDeviceId(const QString& value)
{
    if (value == m_deviceId)
        return;
    m_deviceId = value;
    emit deviceIdChanged();
}

void StandInManager::setLanguage(const QString& name)
{
    if (name == m_language)
        return;
    const QLocale locale(name);
    if (locale.language() == QLocale::English)
        QCoreApplication::removeTranslator(&m_translator);
    else
        QCoreApplication::installTranslator(&m_translator);
    QLocale::setDefault(locale);
    m_language = name;
    emit languageChanged();
}

void StandInManager::setMessage(const QString& value)
{
    if (value == m_message)
        return;
    m_message = value;
    emit messageChanged();
}

void StandInManager::setShowCursor(bool value)
{
    if (value == m_showCursor)
        return;
    m_showCursor = value;
    emit showCursorChanged();
}

void StandInManager::setShowErrorDesc(bool value)
{
    if (value == m_showErrorDesc)
        return;
    m_showErrorDesc = value;
    emit showErrorDescChanged();
}

void StandInManager::setAnimSwitchSec(int value)
{
    if (value == m_animSwitchSec)
        return;
    m_animSwitchSec = value;
    emit animSwitchSecChanged();
}

void StandInManager::setMaintenanceObjects(QObject* clock, QObject* update, QObject* diagnostics)
{
    m_clock = clock;
    m_update = update;
    m_diagnostics = diagnostics;
    emit clockChanged();
    emit updateChanged();
    emit diagnosticsChanged();
}
