#include "../diagnostics/diagnosticsrig.h"
#include "logcapture.h"
#include "qrscan.h"

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QtTest>

#include <memory>

namespace {

const QDateTime Now(QDate(2026, 12, 7), QTime(10, 2, 41));

QString svgOf(const QString& uri)
{
    return uri.mid(QStringLiteral("data:image/svg,").size());
}

} // namespace

class Tst_DiagnosticsQr : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void payloadScansBack_data();
    void payloadScansBack();
    void qmlImageShowsTheUri();
};

void Tst_DiagnosticsQr::initTestCase()
{
    QCoreApplication::setApplicationVersion(QStringLiteral("1.4.2"));
}

void Tst_DiagnosticsQr::payloadScansBack_data()
{
    QTest::addColumn<bool>("known");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("every service reported, Greek values")
            << true
            << QStringList { "ΑΘΗ-0042", "2026-12-07 10:02", "04A1B2C3", "BC 1.0", "RF 2.1.0", "4.2.0", "1.4.2",
                             "2026.11", "img-7 (Αθήνα)",
                             "OK", "OK", "OK", "MISSING", "ERROR", "MISSING", "MISSING", "MISSING", "MISSING", "OK",
                             "OK", "ERROR", "OK", "OK", "OK", "OK", "ΣΦΑΛΜΑ", "", "OK", "OK", "OK", "OK", "", "OK",
                             "OK", "MISSING" };
    QTest::newRow("fresh start, nothing reported")
            << false
            << QStringList { "K12345678", "2026-12-07 10:02", "SAM not present", "", "", "", "1.4.2", "", "",
                             "OK", "ERROR", "", "", "", "", "", "", "", "",
                             "", "", "OK", "ERROR", "ERROR", "ERROR", "", "", "", "ERROR", "ERROR", "ERROR", "", "",
                             "MISSING", "" };
}

// What leaves the vehicle: the code on the screen, read by a decoder, gives the 35 results.
void Tst_DiagnosticsQr::payloadScansBack()
{
    QFETCH(bool, known);
    QFETCH(QStringList, fields);
    QCOMPARE(fields.size(), 35);

    DiagnosticsRig rig;
    rig.diagnostics->setClock([] { return Now; });
    if (known)
        rig.fillKnownState();

    const QString uri = rig.diagnostics->generateQr();
    QVERIFY(uri.startsWith(QStringLiteral("data:image/svg,<?xml version=\"1.0\" encoding=\"UTF-8\"?>")));
    // The page shows the image at 200 x 200; decode it at that size as well as larger.
    for (int pixels : { 200, 400 }) {
        const QString decoded = QrScan::scan(svgOf(uri), pixels);
        QVERIFY2(!decoded.isNull(), qPrintable(QString("no code found at %1 px").arg(pixels)));
        QCOMPARE(decoded.split(';'), fields);
    }
}

// The page hands the URI straight to an Image: raw SVG with '#' and '%' in it must still load.
void Tst_DiagnosticsQr::qmlImageShowsTheUri()
{
    DiagnosticsRig rig;
    rig.fillKnownState();
    const QString uri = rig.diagnostics->generateQr();

    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData("import QtQuick 2.15\nImage { width: 200; height: 200; sourceSize.width: 200;"
                      " sourceSize.height: 200 }",
                      QUrl());
    std::unique_ptr<QObject> image(component.create());
    QVERIFY2(image, qPrintable(component.errorString()));
    image->setProperty("source", QUrl(uri));
    QTRY_COMPARE(image->property("status").toInt(), 1); // Image.Ready
    QCOMPARE(image->property("implicitWidth").toInt(), 200);
}

QTEST_MAIN(Tst_DiagnosticsQr)
#include "tst_diagnosticsqr.moc"
