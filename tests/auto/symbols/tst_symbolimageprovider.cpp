#include "logcapture.h"
#include "symbolimageprovider.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickItemGrabResult>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QtTest>

// The symbols of the result screens are tinted by this provider rather than by a graphical
// effect, so they must show in the software renderer that devices without a GPU use.
class Tst_SymbolImageProvider : public QObject
{
    Q_OBJECT

private:
    static int share(const QImage& image, const QColor& colour)
    {
        int hits = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == colour)
                    ++hits;
        return hits * 100 / (image.width() * image.height());
    }

    static bool onlyTintOrClear(const QImage& image, const QColor& tint)
    {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                // Faint antialiased edge pixels lose precision when un-premultiplied.
                if (c.alpha() < 64)
                    continue;
                if (qAbs(c.red() - tint.red()) > 4 || qAbs(c.green() - tint.green()) > 4
                    || qAbs(c.blue() - tint.blue()) > 4)
                    return false;
            }
        }
        return true;
    }

private slots:
    void tinted_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QSize>("requested");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QColor>("tint");

        QTest::newRow("valid, green") << "qml/images/Icons/valid.svg?color=41b987" << QSize(250, 250)
                                      << QSize(250, 250) << QColor("#41b987");
        QTest::newRow("bare name") << "invalid?color=db4a37" << QSize(64, 64) << QSize(64, 64) << QColor("#db4a37");
        QTest::newRow("leading hash") << "warning.svg?color=%23fcdb03" << QSize(64, 64) << QSize(64, 64)
                                      << QColor("#fcdb03");
        QTest::newRow("width only keeps the proportions") << "qml/images/Icons/retry.svg?color=fcdb03"
                                                         << QSize(120, 0) << QSize(120, 120) << QColor("#fcdb03");
        QTest::newRow("raster picture as a silhouette") << "qml/images/Icons/orvo.png?color=00add7" << QSize()
                                                       << QSize(327, 176) << QColor("#00add7");
        QTest::newRow("raster picture scaled") << "/qml/images/Icons/orvo.png?color=ffffff" << QSize(0, 88)
                                              << QSize(163, 88) << QColor("#ffffff");
    }

    void tinted()
    {
        QFETCH(QString, id);
        QFETCH(QSize, requested);
        QFETCH(QSize, size);
        QFETCH(QColor, tint);

        SymbolImageProvider provider;
        QSize reported;
        LogCapture log;
        const QImage image = provider.requestImage(QUrl::fromPercentEncoding(id.toUtf8()), &reported, requested);
        QCOMPARE(log.problems(), QStringList());
        QCOMPARE(image.size(), size);
        QCOMPARE(reported, size);
        // A real silhouette: a good part of it in the tint, nothing in any other colour.
        QVERIFY2(share(image, tint) >= 10, qPrintable(QString::number(share(image, tint))));
        QVERIFY(onlyTintOrClear(image, tint));
    }

    void translucentTint()
    {
        SymbolImageProvider provider;
        const QImage image = provider.requestImage(QStringLiteral("valid?color=8041b987"), nullptr, QSize(64, 64));
        int strongest = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                strongest = qMax(strongest, image.pixelColor(x, y).alpha());
        QVERIFY2(qAbs(strongest - 0x80) <= 2, qPrintable(QString::number(strongest)));
    }

    void untintedKeepsItsColours()
    {
        SymbolImageProvider provider;
        const QImage flag = provider.requestImage(QStringLiteral("qml/images/Flags/gr.png"), nullptr, QSize());
        // Drawn at the size the header shows it.
        QCOMPARE(flag.size(), QSize(100, 100));
        // The Greek flag has blue and white, never one flat colour.
        QSet<QRgb> colours;
        for (int x = 15; x < 45; ++x)
            colours.insert(flag.pixel(x, 30) | 0xff000000u);
        QVERIFY2(colours.size() > 2, qPrintable(QString::number(colours.size())));
    }

    void badInput_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QSize>("requested");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("line");

        QTest::newRow("missing file") << "qml/images/Icons/nothing.svg?color=ffffff" << QSize(40, 40)
                                      << QSize(40, 40) << "[SymbolProvider] WARN: cannot draw symbol :/qml/images/Icons/nothing.svg";
        QTest::newRow("missing name, no size") << "nothing" << QSize() << QSize(1, 1)
                                               << "[SymbolProvider] WARN: cannot draw symbol :/qml/images/Icons/nothing.svg";
        QTest::newRow("not a picture") << "qml/main.qml" << QSize(10, 10) << QSize(10, 10)
                                       << "[SymbolProvider] WARN: cannot draw symbol :/qml/main.qml";
        QTest::newRow("empty") << "" << QSize(8, 8) << QSize(8, 8) << "[SymbolProvider] WARN: cannot draw symbol :/";
        QTest::newRow("bad colour") << "valid?color=zz12" << QSize(16, 16) << QSize(16, 16)
                                    << "[SymbolProvider] WARN: bad colour 'zz12' for :/qml/images/Icons/valid.svg, drawn in its own colours";
    }

    void badInput()
    {
        QFETCH(QString, id);
        QFETCH(QSize, requested);
        QFETCH(QSize, size);
        QFETCH(QString, line);

        SymbolImageProvider provider;
        LogCapture log;
        QSize reported;
        const QImage image = provider.requestImage(id, &reported, requested);
        QCOMPARE(log.problems(), QStringList{ line });
        QCOMPARE(image.size(), size);
        QCOMPARE(reported, size);
    }

    // The whole road: an ImageBox of the real controls, drawn by the software renderer.
    void imageBoxShowsTheTintInSoftware()
    {
        QQmlEngine engine;
        engine.addImageProvider(QStringLiteral("symbol"), new SymbolImageProvider);
        QQmlComponent component(&engine);
        component.setData("import QtQuick 2.15\nimport \"qrc:/qml/controls\"\n"
                          "ImageBox { width: 120; icon: \"qrc:/qml/images/Icons/invalid.svg\";"
                          " iconSize: Qt.size(120, 120); iconColor: \"#db4a37\" }",
                          QUrl(QStringLiteral("file:///imagebox.qml")));
        QScopedPointer<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        auto* box = qobject_cast<QQuickItem*>(object.data());
        QQuickWindow window;
        window.resize(120, 120);
        box->setParentItem(window.contentItem());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.rendererInterface()->graphicsApi(), QSGRendererInterface::Software);
        auto* image = box->findChild<QQuickItem*>(QStringLiteral("image"));
        QVERIFY(image);
        QTRY_COMPARE(image->property("status").toInt(), 1); // Image.Ready

        QSharedPointer<QQuickItemGrabResult> grab = box->grabToImage();
        QVERIFY(grab);
        QSignalSpy ready(grab.data(), &QQuickItemGrabResult::ready);
        QVERIFY(ready.wait());
        const QImage shot = grab->image().convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(share(shot, QColor("#db4a37")) >= 10, qPrintable(QString::number(share(shot, QColor("#db4a37")))));
    }
};

QTEST_MAIN(Tst_SymbolImageProvider)
#include "tst_symbolimageprovider.moc"
