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
    QStringList problems;  // empty when the screen shows and every text fits
};

// Draws the entry in the language on the loaded window and checks it against the picture of
// the same window with no screen (blank), and its texts against the window's edges.
GalleryShot drawEntry(DisplayHost& host, const GalleryEntry& entry, const QString& language);

// All shots as thumbnails on one sheet, labelled with their file names.
QImage contactSheet(const QVector<GalleryShot>& shots);
