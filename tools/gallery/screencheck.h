#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QStringList>

class QQuickItem;
class QQuickWindow;

// Waits until the window has no image still loading (at most maxMs) and has drawn a fresh
// frame, then grabs it. Needs a platform that can read the window back (Xvfb with OpenGL);
// offscreen with software drawing gives a null image.
QImage settleAndGrab(QQuickWindow* window, int maxMs = 5000);

// Every visible text under root that a passenger could not read whole: elided or truncated,
// wider or taller than its own box, cut by a clipping parent, or reaching outside the window.
// One line per fault, naming the text.
QStringList textProblems(QQuickItem* root, const QSize& window);

// The share of pixels inside area that differ between two pictures of the same size.
double changedShare(const QImage& a, const QImage& b, const QRect& area);

// Runs this program again under xvfb-run (a private X server) unless it already runs under
// one; returns only when it already does or cannot re-run itself. With openGL, Qt Quick draws
// through Mesa (graphical effects included); without, it draws in software.
void reexecUnderXvfb(char** argv, bool openGL = true);
