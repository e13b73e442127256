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

// Lets the window's scene come to rest: page transitions, popups opening or closing, the
// keyboard sliding and lists moving. Returns once nothing moves (or after maxMs).
void settleScene(QQuickWindow* window, int maxMs = 1500);
// After a field asked for the keyboard: waits until the input method says it is up and the
// window has the focus (the window's panel shows for the focused field of the active window),
// asking again meanwhile (the first request of a process can come before the window is active).
bool waitForKeyboard(int maxMs = 5000);

// Every visible text under root that a passenger could not read whole: elided or truncated,
// wider or taller than its own box, cut by a clipping parent, or reaching outside the window.
// One line per fault, naming the text.
QStringList textProblems(QQuickItem* root, const QSize& window);

// Controls that lie over other controls or over texts not their own (a corner label over a
// button), on the same layer: a dialog or a menu over a page is not an overlap.
QStringList overlapProblems(QQuickItem* root, const QSize& window);

// Lists and scrolled forms that cut what they hold at their edge with no sign that they scroll
// (no scroll bar or indicator shown).
QStringList scrollProblems(QQuickItem* root, const QSize& window);

// Texts below 4.5:1 against what is drawn behind them (3:1 for large text), and symbols below
// 3:1, measured in the picture of the window. What a dialog dims, what the keyboard covers and
// disabled controls are not measured.
QStringList contrastProblems(QQuickItem* root, const QImage& shot);

// The on-screen keyboard: one panel in the window, up only while a visible text field has
// focus, resting on the bottom edge at its full 250 px, and never over the focused field.
QStringList keyboardProblems(QQuickItem* root, const QSize& window);

// What a screen reader finds in the window: every control and text with a role and a name,
// every touch target a named object that can be pressed. screen is the item the shown screen
// lives in; at least one named object must be inside it.
QStringList accessibilityProblems(QQuickWindow* window, QQuickItem* screen);

// All the checks above and the text checks on a settled window and its picture.
QStringList layoutProblems(QQuickWindow* window, const QImage& shot, QQuickItem* screen);

// The share of pixels inside area that differ between two pictures of the same size.
double changedShare(const QImage& a, const QImage& b, const QRect& area);

// Runs this program again under xvfb-run (a private X server) unless it already runs under
// one; returns only when it already does or cannot re-run itself. With openGL, Qt Quick draws
// through Mesa (graphical effects included); without, it draws in software.
void reexecUnderXvfb(char** argv, bool openGL = true);
