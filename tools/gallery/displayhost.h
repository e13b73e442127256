#pragma once

#include "maintenanceservices.h"
#include "standinmanager.h"
#include "transactionview.h"

#include <QJsonObject>
#include <QQmlApplicationEngine>
#include <QString>

class QQuickItem;
class QQuickWindow;

// The real window (qrc:/qml/main.qml) with a stand-in manager and a chosen validation result
// in its context: what the gallery, the accessibility test and the idle benchmark show.
class DisplayHost
{
public:
    DisplayHost();
    ~DisplayHost();

    // Loads the window; false (with the engine's warnings in the log) when it does not load.
    bool load();

    StandInManager& manager() { return m_manager; }
    MaintenanceServices& services() { return m_services; }
    QQmlApplicationEngine& engine() { return m_engine; }
    QQuickWindow* window() const { return m_window; }

    // The result the screens read, built from the service's "transaction" object through the
    // program's own record, as the real manager does after a scan.
    void setTransaction(const QJsonObject& transaction);

    // The item of the screen with that name (its objectName), or null.
    QQuickItem* screen(const QString& name) const;

private:
    StandInManager m_manager;
    MaintenanceServices m_services;
    TransactionView m_transaction;
    QQmlApplicationEngine m_engine;
    QQuickWindow* m_window = nullptr;
};

// Finds an item by objectName in the visual tree under root (depth first), or null.
QQuickItem* findItem(QQuickItem* root, const QString& objectName);

// Finds a visible item by objectName under root (depth first), or null.
QQuickItem* findVisibleItem(QQuickItem* root, const QString& objectName);
