#include "gallery.h"

#include "displayhost.h"
#include "screencheck.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QPainter>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>

namespace {

// A name no screen has: the window shows only its header and background.
const QString NoScreen = QStringLiteral("-");

// The area below the header, where a screen draws.
QRect screenArea(const QImage& image, bool headerShown)
{
    const int top = headerShown ? 120 : 0;
    return QRect(0, top, image.width(), image.height() - top);
}

QSet<int>& knownFaultsSeen()
{
    static QSet<int> seen;
    return seen;
}

QString knownReason(const QString& file, const QString& fault)
{
    const QVector<KnownFault>& faults = knownFaults();
    for (int i = 0; i < faults.size(); ++i) {
        const KnownFault& known = faults.at(i);
        if ((known.picture == QLatin1String("*") || file.startsWith(known.picture)) && fault.contains(known.fault)) {
            knownFaultsSeen().insert(i);
            return known.reason;
        }
    }
    return QString();
}

} // namespace

GalleryShot drawEntry(DisplayHost& host, const GalleryEntry& entry, const QString& language)
{
    GalleryShot shot;
    shot.file = entry.name + QLatin1Char('_') + language + QStringLiteral(".png");
    StandInManager& manager = host.manager();
    QQuickWindow* window = host.window();

    QGuiApplication::inputMethod()->hide();
    window->contentItem()->forceActiveFocus();
    manager.setLanguage(language);
    manager.setMessage(QString());
    manager.setScreen(NoScreen);
    const QImage empty = settleAndGrab(window);

    host.setTransaction(entry.transaction);
    manager.setMessage(QCoreApplication::translate("GUIManager", entry.message.toUtf8().constData()));
    manager.setScreen(entry.screen);
    if (entry.prepare)
        entry.prepare(host);
    shot.image = settleAndGrab(window);
    const QStringList faults = layoutProblems(window, shot.image, host.screen(entry.screen));
    if (entry.finish)
        entry.finish(host);

    if (shot.image.isNull() || empty.isNull()) {
        shot.problems << QStringLiteral("the window could not be read back (no OpenGL window system?)");
        return shot;
    }
    const bool headerShown = window->property("headerVisible").toBool();
    // A screen that draws next to nothing over the background counts as blank.
    const double changed = changedShare(empty, shot.image, screenArea(shot.image, headerShown));
    if (changed < 0.0025)
        shot.problems << QStringLiteral("the screen is blank (%1% of its area drawn)").arg(changed * 100, 0, 'f', 2);
    for (const QString& fault : faults) {
        const QString reason = knownReason(shot.file, fault);
        if (reason.isEmpty())
            shot.problems << fault;
        else
            shot.known << fault + QStringLiteral(" (known: ") + reason + QLatin1Char(')');
    }
    return shot;
}

QStringList unseenKnownFaults()
{
    QStringList unseen;
    const QVector<KnownFault>& faults = knownFaults();
    for (int i = 0; i < faults.size(); ++i) {
        if (!knownFaultsSeen().contains(i))
            unseen << faults.at(i).picture + QLatin1Char(' ') + faults.at(i).fault;
    }
    return unseen;
}

QImage contactSheet(const QVector<GalleryShot>& shots)
{
    const int columns = 8;
    const QSize thumb(160, 267);
    const int label = 18;
    const int rows = (shots.size() + columns - 1) / columns;
    QImage sheet(columns * (thumb.width() + 4), rows * (thumb.height() + label + 4), QImage::Format_RGB32);
    sheet.fill(QColor(40, 40, 40));
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(10);
    painter.setFont(font);
    painter.setPen(Qt::white);
    for (int i = 0; i < shots.size(); ++i) {
        const QPoint at((i % columns) * (thumb.width() + 4) + 2, (i / columns) * (thumb.height() + label + 4) + 2);
        painter.drawImage(QRect(at, thumb), shots[i].image);
        const QRect caption(at.x(), at.y() + thumb.height(), thumb.width(), label);
        painter.drawText(caption, Qt::AlignCenter | Qt::TextSingleLine,
                         painter.fontMetrics().elidedText(shots[i].file, Qt::ElideMiddle, thumb.width()));
        if (!shots[i].problems.isEmpty()) {
            painter.setPen(QPen(Qt::red, 3));
            painter.drawRect(QRect(at, thumb));
            painter.setPen(Qt::white);
        }
    }
    return sheet;
}
