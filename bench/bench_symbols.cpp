// Drawing a tinted symbol (the result screens' 250 x 250 silhouettes) through SymbolImageProvider,
// beside the floor: the same SVG drawn by QSvgRenderer at the same size without a tint.
// Median and 99th percentile over 3,000 draws each, alternating in blocks of 100 so that load
// from other processes affects both alike.
#include "benchsupport.h"
#include "symbolimageprovider.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cstdio>
#include <vector>

using bench::percentile;

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QSize size(250, 250);
    const QStringList symbols{ "valid", "invalid", "warning", "retry" };
    SymbolImageProvider provider;
    std::vector<double> tinted, floor;
    QElapsedTimer timer;
    int sink = 0;

    for (int block = 0; block < 30; ++block) {
        for (int i = 0; i < 100; ++i) {
            const QString name = symbols[i % symbols.size()];
            timer.start();
            const QImage image = provider.requestImage(name + QStringLiteral("?color=41b987"), nullptr, size);
            tinted.push_back(timer.nsecsElapsed() / 1e6);
            sink += image.width();
        }
        for (int i = 0; i < 100; ++i) {
            const QString name = symbols[i % symbols.size()];
            timer.start();
            QSvgRenderer renderer(QStringLiteral(":/qml/images/Icons/") + name + QStringLiteral(".svg"));
            QImage image(size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            renderer.render(&painter);
            painter.end();
            floor.push_back(timer.nsecsElapsed() / 1e6);
            sink += image.width();
        }
    }

    const double tintedMedian = percentile(tinted, 0.5), floorMedian = percentile(floor, 0.5);
    std::printf("symbol 250x250 tinted : median %.3f ms, p99 %.3f ms (%zu draws)\n", tintedMedian,
                percentile(tinted, 0.99), tinted.size());
    std::printf("plain SVG draw (floor): median %.3f ms, p99 %.3f ms (%zu draws)\n", floorMedian,
                percentile(floor, 0.99), floor.size());
    std::printf("tinted / floor median : %.2fx (%s 1.5x)\n", tintedMedian / floorMedian,
                tintedMedian <= 1.5 * floorMedian ? "within" : "above");
    return sink > 0 ? 0 : 1;
}
