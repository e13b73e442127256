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
};

QVector<GalleryEntry> galleryEntries();

// The two languages every entry is drawn in.
QStringList galleryLanguages();
