#include "brokerfixture.h"
#include "config.h"
#include "displayhost.h"
#include "guimanager.h"
#include "screencheck.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray journeysScan(const QString& product, int trips, int transferMin)
{
    const QJsonObject journeys { { "after", trips }, { "transferRemainingMin", transferMin },
                                 { "activationTimestamp", "2026-12-07T08:15:00Z" } };
    const QJsonObject transaction { { "result", true }, { "type", 5 }, { "fareProductName", product },
                                    { "card", QJsonObject { { "storedJourneys", journeys } } } };
    return json({ { "transaction", transaction } });
}

} // namespace

// The controller and the real window under a private X server, against a broker on which this
// test plays the validation service: what a passenger sees after a tap, and after pressing the
// language flag. Cases run in order on one window.
class Tst_PassengerDisplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void onlineShowsIdleAnimation();
    void idleFramesFadeOutAtTheirLowerEdge_data();
    void idleFramesFadeOutAtTheirLowerEdge();
    void flagsAreDrawnAtTheSizeShown();
    void scanShowsValidWithProductAndDetails();
    void flagPressSwitchesToGreek();
    void nextScanShowsGreekResult();
    void depotSeesTheScreenAndAScreenshot();

private:
    QString textOf(const QString& screen, const QString& objectName) const;
    bool waitForScreen(const QString& name, int ms = 10000);
    // Waits for a status on the broker that names this screen.
    bool waitForStatusScreen(const QString& name, int ms = 10000);

    QTemporaryDir m_dir;
    std::unique_ptr<BrokerFixture> m_wire;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<GUIManager> m_gui;
    QQuickWindow* m_window = nullptr;
};

QString Tst_PassengerDisplay::textOf(const QString& screen, const QString& objectName) const
{
    QQuickItem* item = findVisibleItem(findItem(m_window->contentItem(), screen), objectName);
    return item ? item->property("text").toString() : QStringLiteral("<no visible %1 on %2>").arg(objectName, screen);
}

bool Tst_PassengerDisplay::waitForScreen(const QString& name, int ms)
{
    return QTest::qWaitFor([&] {
        QQuickItem* screen = findItem(m_window->contentItem(), name);
        return screen && screen->isVisible();
    }, ms);
}

bool Tst_PassengerDisplay::waitForStatusScreen(const QString& name, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        const QByteArray status = m_wire->peer->waitFor("orvo/ui/status", int(ms - timer.elapsed()));
        if (QJsonDocument::fromJson(status).object().value("screen").toString() == name)
            return true;
    }
    return false;
}

void Tst_PassengerDisplay::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (QFontDatabase::addApplicationFont(QStringLiteral(":/qml/fonts/DejaVuSans.ttf")) >= 0)
        QGuiApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));
    m_wire.reset(new BrokerFixture);
    QVERIFY(m_wire->start({ "orvo/#" }));

    QFile serial(m_dir.filePath("serialnumber"));
    QVERIFY(serial.open(QIODevice::WriteOnly));
    serial.write("K12345678\n");
    serial.close();
    m_config.reset(new Config(m_dir.filePath("gui.conf"), GUIManager::Defaults));
    m_config->set("mqtt/host", m_wire->broker.host());
    m_config->set("mqtt/port", int(m_wire->broker.port()));
    m_config->set("log/syslog", false);
    m_config->set("gui/deviceId", serial.fileName());
    m_config->set("gui/locale", "en_IE");

    m_gui.reset(new GUIManager(*m_config, m_dir.path()));
    m_gui->load();
    QVERIFY(!m_gui->engine().rootObjects().isEmpty());
    m_window = qobject_cast<QQuickWindow*>(m_gui->engine().rootObjects().first());
    QVERIFY(m_window);
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    QTRY_VERIFY_WITH_TIMEOUT(m_gui->mqttClient().isConnected(), 10000);
    // Its configuration goes out once it listens to the services.
    QVERIFY(!m_wire->peer->waitFor("orvo/ui/config", 10000).isNull());
}

void Tst_PassengerDisplay::cleanupTestCase()
{
    m_gui.reset();
    m_config.reset();
    m_wire.reset();
}

void Tst_PassengerDisplay::onlineShowsIdleAnimation()
{
    const QJsonObject state { { "hasRfid", true }, { "hasRoute", true }, { "hasQr", true }, { "hasObu", true } };
    m_wire->peer->publish("orvo/blm/status", json({ { "service", true }, { "state", state } }));
    QVERIFY(waitForScreen("ScanScreens"));
    QCOMPARE(m_window->property("currentScreen").toString(), QString("ScanScreens"));
    QVERIFY(textOf("ScanScreens", "prompt").startsWith("SCAN\n"));
}

void Tst_PassengerDisplay::idleFramesFadeOutAtTheirLowerEdge_data()
{
    QTest::addColumn<QString>("frame");
    for (int i = 0; i <= 6; ++i)
        QTest::newRow(qPrintable(QStringLiteral("card %1").arg(i))) << QStringLiteral("NFC/%1").arg(i);
    for (int i = 0; i <= 8; ++i)
        QTest::newRow(qPrintable(QStringLiteral("ticket %1").arg(i))) << QStringLiteral("Barcode/%1").arg(i);
}

void Tst_PassengerDisplay::idleFramesFadeOutAtTheirLowerEdge()
{
    // The window shows the frames with their lower edge 62 px above the bottom of the screen:
    // the pole, the arm and what it holds run into that edge and thin out to nothing there,
    // instead of ending in a hard line.
    QFETCH(QString, frame);
    const QImage image = QImage(QStringLiteral(":/qml/images/") + frame + QStringLiteral(".png"))
                             .convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(480, 536));
    const auto strongest = [&](int y) {
        int alpha = 0;
        for (int x = 0; x < image.width(); ++x)
            alpha = qMax(alpha, qAlpha(image.pixel(x, y)));
        return alpha;
    };
    QVERIFY2(strongest(image.height() - 1) <= 8, qPrintable(QString::number(strongest(image.height() - 1))));
    QVERIFY(strongest(image.height() - 30) > 24);
    QVERIFY(strongest(image.height() - 80) > 200);
}

void Tst_PassengerDisplay::flagsAreDrawnAtTheSizeShown()
{
    // A flag scaled up from fewer pixels than the header shows looks soft.
    QQuickItem* button = findItem(m_window->contentItem(), QStringLiteral("languageButton"));
    QVERIFY(button);
    const int shown = button->property("iconSize").toInt();
    for (const char* flag : { "gr", "uk" })
        QCOMPARE(QImage(QStringLiteral(":/qml/images/Flags/%1.png").arg(QLatin1String(flag))).size(), QSize(shown, shown));
}

void Tst_PassengerDisplay::scanShowsValidWithProductAndDetails()
{
    m_wire->peer->publish("orvo/blm/rfid/scanned", journeysScan("10 journeys", 7, 45));
    QVERIFY(waitForScreen("Valid"));
    QCOMPARE(textOf("Valid", "label"), QString("VALID"));
    QCOMPARE(textOf("Valid", "fareProduct"), QString("10 journeys"));
    QCOMPARE(textOf("Valid", "leftHeading"), QString("Remaining"));
    QCOMPARE(textOf("Valid", "leftValue"), QString("45 mins"));
    QCOMPARE(textOf("Valid", "rightHeading"), QString("Trips"));
    QCOMPARE(textOf("Valid", "rightValue"), QString("7"));
    // The picture a passenger sees has the screen drawn, not only the window's background.
    QVERIFY(!settleAndGrab(m_window).isNull());
}

void Tst_PassengerDisplay::flagPressSwitchesToGreek()
{
    QQuickItem* flag = findVisibleItem(m_window->contentItem(), "languageButton");
    QVERIFY(flag);
    const QPoint centre = flag->mapToScene(QPointF(flag->width() / 2, flag->height() / 2)).toPoint();
    m_window->requestActivate();
    // A press and a release at the flag, delivered to the window like the touch screen's.
    // (QTest::mouseClick trips the sanitizer's type check inside Qt's own header.)
    for (QEvent::Type type : { QEvent::MouseButtonPress, QEvent::MouseButtonRelease }) {
        QMouseEvent event(type, centre, m_window->mapToGlobal(centre), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_window, &event);
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_gui->language(), QString("el_GR"), 5000);
    // Whatever screen is up now speaks Greek at once.
    const QString screen = m_window->property("currentScreen").toString();
    if (screen == "Valid") {
        QCOMPARE(textOf("Valid", "label"), QString::fromUtf8("ΕΓΚΥΡΟ"));
    } else {
        QCOMPARE(screen, QString("ScanScreens"));
        QVERIFY2(textOf("ScanScreens", "prompt").startsWith(QString::fromUtf8("ΣΑΡΩΣΤΕ")),
                 qPrintable(textOf("ScanScreens", "prompt")));
    }
}

void Tst_PassengerDisplay::nextScanShowsGreekResult()
{
    QVERIFY(waitForScreen("ScanScreens"));
    m_wire->peer->publish("orvo/blm/rfid/scanned", journeysScan("10 journeys", 6, 1441));
    QVERIFY(waitForScreen("Valid"));
    QCOMPARE(textOf("Valid", "label"), QString::fromUtf8("ΕΓΚΥΡΟ"));
    QCOMPARE(textOf("Valid", "leftHeading"), QString::fromUtf8("Υπόλοιπο"));
    QCOMPARE(textOf("Valid", "leftValue"), QString::fromUtf8("1 ημέρα"));
    QCOMPARE(textOf("Valid", "rightHeading"), QString::fromUtf8("Διαδρομές"));
    QCOMPARE(textOf("Valid", "rightValue"), QString("6"));
}

void Tst_PassengerDisplay::depotSeesTheScreenAndAScreenshot()
{
    // The status follows the screen: the next result, then the idle animation again.
    QVERIFY(waitForScreen("ScanScreens"));
    m_wire->peer->takeAll();
    m_wire->peer->publish("orvo/blm/rfid/scanned", journeysScan("10 journeys", 5, 30));
    QVERIFY(waitForStatusScreen("Valid"));

    // A picture of the result, asked for while it is up, as the depot would.
    m_wire->peer->publish("orvo/ui/screenshot/get", QByteArray());
    const QByteArray png = m_wire->peer->waitFor("orvo/ui/screenshot", 30000);
    QVERIFY(!png.isNull());
    QVERIFY(png.size() <= 200 * 1024);
    QImage picture;
    QVERIFY(picture.loadFromData(png, "PNG"));
    QCOMPARE(picture.size(), m_window->size() * m_window->devicePixelRatio());
    // The result's green symbol is on it (the idle animation has none of that colour).
    const QColor valid(0x41, 0xb9, 0x87);
    int green = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor pixel = picture.pixelColor(x, y);
            green += qAbs(pixel.red() - valid.red()) + qAbs(pixel.green() - valid.green())
                        + qAbs(pixel.blue() - valid.blue()) < 24;
        }
    }
    QVERIFY2(green > picture.width() * picture.height() / 100, qPrintable(QString::number(green)));

    QVERIFY(waitForStatusScreen("ScanScreens"));
}

int main(int argc, char** argv)
{
    reexecUnderXvfb(argv);
    QGuiApplication app(argc, argv);
    Tst_PassengerDisplay test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_passengerdisplay.moc"
