#pragma once

#include "galleryentries.h"

#include <QImage>
#include <QString>
#include <QStringList>

class DisplayHost;

// One drawn picture and what is wrong with it.
struct GalleryShot
{
    QString file;          // <entry>_<language>.png
    QImage image;
    QStringList problems;  // empty when the screen passes every check
    QStringList known;     // faults listed in knownFaults(), each with its reason
};

// Faults the gallery already knows of and tolerates until the page is fixed: the picture's
// file name (a prefix, "*" for any), a text of the fault message, and why it is tolerated.
struct KnownFault
{
    QString picture;
    QString fault;
    QString reason;
};
const QVector<KnownFault>& knownFaults();

// The known faults no picture drawn so far has shown: fixed, so their rows can go.
QStringList unseenKnownFaults();

// Draws the entry in the language on the loaded window and checks it against the picture of
// the same window with no screen (blank) and with layoutProblems() (texts, overlaps, scrolling,
// contrast, keyboard, accessibility).
GalleryShot drawEntry(DisplayHost& host, const GalleryEntry& entry, const QString& language);

// All shots as thumbnails on one sheet, labelled with their file names.
QImage contactSheet(const QVector<GalleryShot>& shots);
