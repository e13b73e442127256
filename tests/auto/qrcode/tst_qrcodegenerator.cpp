#include "logcapture.h"
#include "qrcodegenerator.h"
#include "qrscan.h"

#include <QRegularExpression>
#include <QSet>
#include <QSvgRenderer>
#include <QtTest>

using qrcodegen::QrCode;

namespace {

const QString Head = QStringLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">"
    "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" viewBox=\"0 0 %1 %1\" stroke=\"none\">"
    "<rect width=\"100%\" height=\"100%\" fill=\"#FFFFFF\"/><path d=\"");
const QString Tail = QStringLiteral("\" fill=\"#000000\"/></svg>");

QString pathOf(const QString& svg)
{
    const int start = svg.indexOf(QStringLiteral("<path d=\"")) + 9;
    return svg.mid(start, svg.indexOf(QLatin1Char('"'), start) - start);
}

} // namespace

class Tst_QrCodeGenerator : public QObject
{
    Q_OBJECT

private slots:
    void document_data();
    void document();
    void pathDrawsExactlyTheDarkModules_data();
    void pathDrawsExactlyTheDarkModules();
    void scansBack_data();
    void scansBack();
    void tooLongForAnyCode();
};

void Tst_QrCodeGenerator::document_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("border");
    QTest::addColumn<int>("side");
    QTest::addColumn<QString>("firstCommand");

    QTest::newRow("version 1, border 1") << "K12345678" << 1 << 23 << "M1,1h1v1h-1z";
    QTest::newRow("empty text is still a version 1 code") << "" << 1 << 23 << "M1,1h1v1h-1z";
    QTest::newRow("no border") << "" << 0 << 21 << "M0,0h1v1h-1z";
    QTest::newRow("quiet zone of four") << "" << 4 << 29 << "M4,4h1v1h-1z";
    QTest::newRow("version 2 at 20 bytes") << QString(20, 'x') << 1 << 27 << "M1,1h1v1h-1z";
}

// The whole document is one line in a fixed shape: a viewer that reads any of it strictly
// (declaration first, one path, attributes quoted) must not stumble.
void Tst_QrCodeGenerator::document()
{
    QFETCH(QString, text);
    QFETCH(int, border);
    QFETCH(int, side);
    QFETCH(QString, firstCommand);

    const QString svg = QrCodeGenerator().generateSvgQr(text, quint16(border), QrCode::Ecc::MEDIUM);
    QVERIFY2(svg.startsWith(Head.arg(side)), qPrintable(svg.left(400)));
    QVERIFY(svg.endsWith(Tail));
    QVERIFY(!svg.contains('\n'));
    QCOMPARE(svg.count(QStringLiteral("<path")), 1);
    const QString path = pathOf(svg);
    QVERIFY(path.startsWith(firstCommand + ' '));
    QVERIFY(!path.endsWith(' '));
    QVERIFY(QSvgRenderer(svg.toUtf8()).isValid());
}

void Tst_QrCodeGenerator::pathDrawsExactlyTheDarkModules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("border");
    QTest::newRow("short, border 1") << "0ab1:0007" << 1;
    QTest::newRow("longer, border 3") << QString("OK;ERROR;MISSING;").repeated(12) << 3;
}

// Parse the path back into modules: every dark module exactly once, nothing else, at the
// right place (a swapped x and y or a forgotten border would show here before any scanner).
void Tst_QrCodeGenerator::pathDrawsExactlyTheDarkModules()
{
    QFETCH(QString, text);
    QFETCH(int, border);

    const QrCode code = QrCode::encodeText(text.toUtf8().constData(), QrCode::Ecc::MEDIUM);
    const QString path = pathOf(QrCodeGenerator().toSvgString(code, quint16(border)));
    const QStringList commands = path.split(' ');
    static const QRegularExpression square(QStringLiteral("^M(\\d+),(\\d+)h1v1h-1z$"));

    QSet<QPair<int, int>> drawn;
    for (const QString& command : commands) {
        const QRegularExpressionMatch match = square.match(command);
        QVERIFY2(match.hasMatch(), qPrintable(command));
        const QPair<int, int> module(match.captured(1).toInt() - border, match.captured(2).toInt() - border);
        QVERIFY2(!drawn.contains(module), qPrintable(command));
        drawn.insert(module);
    }
    int dark = 0;
    for (int y = 0; y < code.getSize(); ++y) {
        for (int x = 0; x < code.getSize(); ++x) {
            QCOMPARE(drawn.contains({ x, y }), code.getModule(x, y));
            dark += code.getModule(x, y);
        }
    }
    QCOMPARE(drawn.size(), dark);
}

void Tst_QrCodeGenerator::scansBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ecc");

    QTest::newRow("serial number") << "K12345678" << int(QrCode::Ecc::MEDIUM);
    QTest::newRow("Greek") << "Αθήνα;Θεσσαλονίκη;ΣΦΑΛΜΑ" << int(QrCode::Ecc::MEDIUM);
    QTest::newRow("mixed scripts and symbols") << "Ü ß € ✓ 東京;100%;#0001" << int(QrCode::Ecc::LOW);
    QTest::newRow("long, high correction") << QString("ΟΚ;ERROR (Could not open);MISSING;").repeated(6)
                                           << int(QrCode::Ecc::HIGH);
}

void Tst_QrCodeGenerator::scansBack()
{
    QFETCH(QString, text);
    QFETCH(int, ecc);

    const QString svg = QrCodeGenerator().generateSvgQr(text, 1, QrCode::Ecc(ecc));
    QCOMPARE(QrScan::scan(svg), text);
}

void Tst_QrCodeGenerator::tooLongForAnyCode()
{
    // 2331 bytes is the most a code holds at level medium; three thousand cannot fit.
    const QString text(3000, QLatin1Char('z'));
    LogCapture log;
    QCOMPARE(QrCodeGenerator().generateSvgQr(text, 1, QrCode::Ecc::MEDIUM), QString());
    QCOMPARE(log.lines(QtWarningMsg),
             QStringList { "[QrCodeGenerator] WARN: Text of 3000 bytes does not fit a QR code; no image" });

    // Greek letters take two bytes each: the length that counts is the encoded one.
    LogCapture greek;
    QCOMPARE(QrCodeGenerator().generateSvgQr(QString(1500, QChar(0x03A9)), 1, QrCode::Ecc::MEDIUM), QString());
    QCOMPARE(greek.lines(QtWarningMsg),
             QStringList { "[QrCodeGenerator] WARN: Text of 3000 bytes does not fit a QR code; no image" });
}

QTEST_MAIN(Tst_QrCodeGenerator)
#include "tst_qrcodegenerator.moc"
