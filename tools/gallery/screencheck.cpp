#include "screencheck.h"

#include "scenegeometry.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QInputMethod>
#include <QQuickItem>
#include <QQuickWindow>
#include <QThread>
#include <QTimer>

#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {

bool anyImageLoading(QQuickItem* item)
{
    if (!item->isVisible())
        return false;
    // Image, AnimatedImage and BorderImage all report Loading (2) in "status".
    if (item->inherits("QQuickImageBase") && item->property("status").toInt() == 2)
        return true;
    const QList<QQuickItem*> children = item->childItems();
    for (QQuickItem* child : children) {
        if (anyImageLoading(child))
            return true;
    }
    return false;
}

qreal effectiveOpacity(const QQuickItem* item)
{
    qreal opacity = 1.0;
    for (; item; item = item->parentItem())
        opacity *= item->opacity();
    return opacity;
}

QString describe(const QQuickItem* text)
{
    QString shown = text->property("text").toString();
    shown.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    const QString name = text->objectName().isEmpty() ? QString() : text->objectName() + QLatin1Char(' ');
    return name + QLatin1Char('"') + shown + QLatin1Char('"');
}

void checkText(QQuickItem* text, const QSize& window, QStringList* problems)
{
    const QString shown = text->property("text").toString();
    if (shown.trimmed().isEmpty() || effectiveOpacity(text) <= 0.0)
        return;
    const qreal width = text->width();
    const qreal height = text->height();
    const qreal contentWidth = text->property("contentWidth").toReal();
    const qreal contentHeight = text->property("contentHeight").toReal();
    const qreal tolerance = 1.0;

    if (text->property("truncated").toBool())
        problems->append(describe(text) + QStringLiteral(" is elided or truncated"));
    if (width > 0 && contentWidth > width + tolerance)
        problems->append(describe(text) + QStringLiteral(" is %1 px wide in a %2 px box").arg(contentWidth).arg(width));
    if (height > 0 && contentHeight > height + tolerance)
        problems->append(describe(text) + QStringLiteral(" is %1 px tall in a %2 px box").arg(contentHeight).arg(height));

    // Text in a scrolling area (a list, a swiped page, a scrolled form) may lie partly or wholly
    // outside the view: that is scrolling, not a text that does not fit its place.
    for (const QQuickItem* parent = text->parentItem(); parent; parent = parent->parentItem()) {
        if (parent->inherits("QQuickFlickable"))
            return;
    }

    const QRectF drawn = text->mapRectToScene(scene::drawnTextRect(text));

    if (drawn.left() < -tolerance || drawn.right() > window.width() + tolerance)
        problems->append(describe(text) + QStringLiteral(" reaches outside the window width (x %1 to %2)")
                                              .arg(drawn.left()).arg(drawn.right()));
    if (drawn.top() < -tolerance || drawn.bottom() > window.height() + tolerance)
        problems->append(describe(text) + QStringLiteral(" reaches outside the window height (y %1 to %2)")
                                              .arg(drawn.top()).arg(drawn.bottom()));
    for (const QQuickItem* parent = text->parentItem(); parent; parent = parent->parentItem()) {
        if (!parent->clip())
            continue;
        const QRectF box = parent->mapRectToScene(parent->boundingRect());
        if (!box.adjusted(-tolerance, -tolerance, tolerance, tolerance).contains(drawn))
            problems->append(describe(text) + QStringLiteral(" is cut by its clipping parent ")
                             + (parent->objectName().isEmpty() ? QString::fromLatin1(parent->metaObject()->className())
                                                               : parent->objectName()));
    }
}

void walk(QQuickItem* item, const QSize& window, QStringList* problems)
{
    if (!item->isVisible())
        return;
    if (item->inherits("QQuickText"))
        checkText(item, window, problems);
    const QList<QQuickItem*> children = item->childItems();
    for (QQuickItem* child : children)
        walk(child, window, problems);
}

// Something on screen still moves toward where it will rest.
bool moving(QQuickItem* item)
{
    if (!item->isVisible())
        return false;
    if (item->property("busy").toBool())   // a StackView between pages
        return true;
    if (item->inherits("QQuickPopupItem") && (!qFuzzyCompare(item->opacity(), 1.0) || !qFuzzyCompare(item->scale(), 1.0)))
        return true;
    if (item->inherits("QQuickFlickable") && item->property("moving").toBool())
        return true;
    const QVariant restingY = item->property("restingY");   // the keyboard panel sliding
    if (restingY.isValid() && !qFuzzyCompare(1.0 + item->property("panelY").toReal(), 1.0 + restingY.toReal()))
        return true;
    const QList<QQuickItem*> children = item->childItems();
    for (QQuickItem* child : children) {
        if (moving(child))
            return true;
    }
    return false;
}

} // namespace

void settleScene(QQuickWindow* window, int maxMs)
{
    QElapsedTimer clock;
    clock.start();
    int still = 0;
    // Two quiet looks in a row, at least a frame apart: a transition that starts on the next
    // frame is not missed.
    while (still < 2 && clock.elapsed() < maxMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
        still = window && moving(window->contentItem()) ? 0 : still + 1;
    }
}

bool waitForKeyboard(int maxMs)
{
    QElapsedTimer clock;
    clock.start();
    auto up = [] { return QGuiApplication::inputMethod()->isVisible() && QGuiApplication::focusWindow(); };
    while (!up() && clock.elapsed() < maxMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
        // A request made before the window was active, or before the keyboard existed, is lost.
        QGuiApplication::inputMethod()->show();
    }
    return up();
}

QImage settleAndGrab(QQuickWindow* window, int maxMs)
{
    QElapsedTimer clock;
    clock.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    } while (anyImageLoading(window->contentItem()) && clock.elapsed() < maxMs);

    // Two fresh frames: the first may still carry the previous screen's scene graph.
    for (int frame = 0; frame < 2; ++frame) {
        QEventLoop loop;
        QObject::connect(window, &QQuickWindow::frameSwapped, &loop, &QEventLoop::quit);
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        window->update();
        loop.exec();
    }
    return window->grabWindow();
}

QStringList textProblems(QQuickItem* root, const QSize& window)
{
    QStringList problems;
    if (root)
        walk(root, window, &problems);
    return problems;
}

QStringList layoutProblems(QQuickWindow* window, const QImage& shot, QQuickItem* screen)
{
    QStringList problems;
    if (!window)
        return problems;
    QQuickItem* root = window->contentItem();
    problems << textProblems(root, window->size()) << overlapProblems(root, window->size())
             << scrollProblems(root, window->size()) << contrastProblems(root, shot)
             << keyboardProblems(root, window->size()) << accessibilityProblems(window, screen);
    return problems;
}

double changedShare(const QImage& a, const QImage& b, const QRect& area)
{
    if (a.size() != b.size() || area.isEmpty())
        return 0.0;
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    const QRect box = area.intersected(left.rect());
    qint64 changed = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        const QRgb* l = reinterpret_cast<const QRgb*>(left.constScanLine(y));
        const QRgb* r = reinterpret_cast<const QRgb*>(right.constScanLine(y));
        for (int x = box.left(); x <= box.right(); ++x) {
            if (l[x] != r[x])
                ++changed;
        }
    }
    return double(changed) / (double(box.width()) * box.height());
}

void reexecUnderXvfb(char** argv, bool openGL)
{
    if (qEnvironmentVariableIsSet("VOVADUDOZ_UNDER_XVFB"))
        return;
    setenv("VOVADUDOZ_UNDER_XVFB", "1", 1);
    // Mesa's driver and Qt Quick's software renderer keep allocations until exit and unload
    // libraries before the leak check can name them. The same window is checked for leaks
    // under the offscreen platform (tst_guimanager); here the sanitizers
    // watch for memory errors only.
    const QByteArray asan = qgetenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (asan.isEmpty() ? QByteArray("detect_leaks=0") : asan + ":detect_leaks=0").constData(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    if (openGL)
        unsetenv("QT_QUICK_BACKEND");
    else
        setenv("QT_QUICK_BACKEND", "software", 1);
    // Our own starter lets the X server choose a free display, so tests run side by side;
    // xvfb-run is the fallback outside the source tree.
    std::vector<char*> args { const_cast<char*>(VOVADUDOZ_WITH_XVFB) };
    for (char** arg = argv; *arg; ++arg)
        args.push_back(*arg);
    args.push_back(nullptr);
    execv(args[0], args.data());
    std::vector<char*> fallback { const_cast<char*>("xvfb-run"), const_cast<char*>("-a"), const_cast<char*>("-s"),
                                  const_cast<char*>("-screen 0 480x800x24") };
    for (char** arg = argv; *arg; ++arg)
        fallback.push_back(*arg);
    fallback.push_back(nullptr);
    execvp(fallback[0], fallback.data());
    // Only reached when neither is there: carry on where we are, the caller decides.
    unsetenv("VOVADUDOZ_UNDER_XVFB");
}
