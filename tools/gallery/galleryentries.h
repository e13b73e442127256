#pragma once

#include <QJsonObject>
#include <QString>
#include <QVector>

#include <functional>

class DisplayHost;

// One picture of the gallery: a screen with what it shows. Add a row to galleryEntries() to
// add a picture; every row is drawn in English and in Greek and checked the same way.
struct GalleryEntry
{
    QString name;                 // file name stem, unique
    QString screen;               // the screen name the manager announces
    QString message;              // manager.message; a "GUIManager" source text is translated
    QJsonObject transaction;      // the service's "transaction" object, empty for none
    // Extra steps after the screen is up (open the keyboard, scroll); may be empty.
    std::function<void(DisplayHost&)> prepare;
    // Undoes what prepare left behind for the next picture (a theme, a lock-out); may be empty.
    std::function<void(DisplayHost&)> finish = {};
};

QVector<GalleryEntry> galleryEntries();

// The maintenance area: the PIN page, the settings frame, every page and its popups.
QVector<GalleryEntry> maintenanceEntries();

// The entries followed by a few of them again in the light theme ("Light-" names), as the
// Display page can switch the whole window.
QVector<GalleryEntry> withLightVariants(QVector<GalleryEntry> entries);

// The two languages every entry is drawn in.
QStringList galleryLanguages();
