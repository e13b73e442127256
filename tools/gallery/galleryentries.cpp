#include "galleryentries.h"

#include "displayhost.h"
#include "screencheck.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QInputMethod>
#include <QJsonArray>
#include <QMetaObject>
#include <QQuickItem>
#include <QQuickWindow>

namespace {

QJsonObject accepted(int type, const QString& product, const QJsonObject& extra)
{
    QJsonObject transaction { { "result", true }, { "type", type }, { "fareProductName", product } };
    for (auto it = extra.begin(); it != extra.end(); ++it)
        transaction.insert(it.key(), it.value());
    return transaction;
}

QJsonObject journeys(int after, int transferMin)
{
    return { { "card", QJsonObject { { "storedJourneys",
                                       QJsonObject { { "after", after },
                                                     { "transferRemainingMin", transferMin },
                                                     { "activationTimestamp", "2026-12-07T08:15:00Z" } } } } } };
}

QJsonObject purse(int before, int after)
{
    return { { "card", QJsonObject { { "balanceBefore", before }, { "balanceAfter", after } } } };
}

// The serial-number page with the on-screen keyboard up, as after a tap on the field.
void keyboardUp(DisplayHost& host)
{
    QQuickItem* field = findVisibleItem(host.window()->contentItem(), QStringLiteral("serialField"));
    if (!field)
        return;
    host.window()->requestActivate();
    field->forceActiveFocus(Qt::MouseFocusReason);
    QGuiApplication::inputMethod()->show();
    // Without an input-method plug-in nothing would come up: show the panel's place anyway.
    if (!waitForKeyboard()) {
        if (QQuickItem* keyboard = findVisibleItem(host.window()->contentItem(), QStringLiteral("keyboardPanel")))
            keyboard->setProperty("shown", true);
    }
    // The panel slides up in 150 ms.
    settleScene(host.window());
}

} // namespace

QStringList galleryLanguages()
{
    return { QStringLiteral("en_IE"), QStringLiteral("el_GR") };
}

QVector<GalleryEntry> galleryEntries()
{
    const QJsonObject periodPass { { "card", QJsonObject { { "periodPass",
        QJsonObject { { "remainingDays", 23 }, { "activationTimestamp", "2026-11-30T05:00:00Z" } } } } } };
    const QJsonObject transferPurse { { "card", QJsonObject { { "balanceBefore", 1240 }, { "balanceAfter", 1240 },
                                                              { "ePurse", QJsonObject { { "transferRemainingMin", 74 } } } } } };
    const QJsonObject barcode { { "barcode", QJsonObject { { "fromStopGroupName", "Central" },
                                                           { "toStopGroupName", "Harbour" },
                                                           { "transferRemainingMin", 90 } } } };
    const QJsonObject refused { { "result", false }, { "type", 2 }, { "denyReason", QJsonObject { { "id", 205 } } } };
    const QJsonObject refusedLong { { "result", false }, { "type", 5 }, { "denyReason", QJsonObject { { "id", 206 } } } };

    QVector<GalleryEntry> entries {
        { "Valid-0-barcode", "Valid", {}, accepted(0, "90-minute ticket", barcode), {} },
        { "Valid-2-epurse", "Valid", {}, accepted(2, "Pay as you go", purse(1000, 850)), {} },
        { "Valid-5-journeys", "Valid", {}, accepted(5, "10 journeys", journeys(7, 45)), {} },
        { "Valid-8-period", "Valid", {}, accepted(8, "Monthly pass, all zones", periodPass), {} },
        { "Valid-12-journeys-transfer", "Valid", {}, accepted(12, "10 journeys, transfer", journeys(7, 121)), {} },
        { "Valid-14-epurse-transfer", "Valid", {}, accepted(14, "Pay as you go, transfer", transferPurse), {} },
        { "Valid-15-epurse-capped", "Valid", {}, accepted(15, "Pay as you go, capped", purse(560, 0)), {} },
        { "Valid-16-journeys-capped", "Valid", {}, accepted(16, "Journeys, capped", journeys(1, 1441)), {} },
        { "AlreadyValid-5", "AlreadyValid", {}, accepted(5, "10 journeys", journeys(6, 30)), {} },
        { "AlreadyValid-16", "AlreadyValid", {}, accepted(16, "Journeys, capped", journeys(6, 30)), {} },
        { "Invalid", "Invalid", {}, refused, {} },
        { "Invalid-long-reason", "Invalid", {}, refusedLong, {} },
        { "Retry", "Retry", {}, {}, {} },
        { "OutOfOrder", "OutOfOrder", "#0002", {}, {} },
        { "OutOfOrder-description", "OutOfOrder", "#0005\nSAM not present,RFID is not operational", {}, {} },
        { "OutOfService", "OutOfService", {}, {}, {} },
        { "ScreenSaver", "ScreenSaver", {}, {}, {} },
        { "ScanScreens", "ScanScreens", {}, {}, {} },
        { "ScanCard", "ScanCard", {}, {}, {} },
        { "ScanBarcode", "ScanBarcode", {}, {}, {} },
        { "InitPage-keyboard", "InitPage", {}, {}, keyboardUp,
          [](DisplayHost&) { QGuiApplication::inputMethod()->hide(); } },
        { "Busy", "Busy", "Please Wait", {}, {} },
    };
    entries << maintenanceEntries();
    return withLightVariants(entries);
}
