#include "config.h"
#include "contextproxy.h"
#include "diagnostics.h"
#include "guimanager.h"
#include "inputmethod.h"
#include "logcapture.h"
#include "mqttpeer.h"
#include "technician.h"
#include "testbroker.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QTemporaryDir>
#include <QtTest>

#include <zbar.h>

#include <memory>

namespace {

const QString Pin = QStringLiteral("8642");
const QString Serial = QStringLiteral("K20261207");

QJsonObject parse(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

// The text of the first QR code zbar finds in the picture.
// Mean grey level of a picture's region, 0 (black) to 255 (white).
double meanGrey(const QImage& picture, const QRect& region)
{
    double sum = 0;
    int count = 0;
    for (int y = region.top(); y <= region.bottom(); y += 2) {
        for (int x = region.left(); x <= region.right(); x += 2) {
            sum += qGray(picture.pixel(x, y));
            ++count;
        }
    }
    return count > 0 ? sum / count : 0;
}

QString decodeQr(const QImage& picture)
{
    const QImage gray = picture.convertToFormat(QImage::Format_Grayscale8);
    QByteArray pixels;
    pixels.reserve(gray.width() * gray.height());
    for (int y = 0; y < gray.height(); ++y)
        pixels.append(reinterpret_cast<const char*>(gray.constScanLine(y)), gray.width());
    zbar::ImageScanner scanner;
    scanner.set_config(zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    scanner.set_config(zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    zbar::Image image(unsigned(gray.width()), unsigned(gray.height()), "Y800", pixels.constData(),
                      unsigned(pixels.size()));
    if (scanner.scan(image) <= 0)
        return QString();
    return QString::fromStdString(image.symbol_begin()->get_data());
}

// A USB device directory as the kernel shows it under /sys/bus/usb/devices.
void addUsbDevice(const QDir& root, const QString& port, const QByteArray& vendor, const QByteArray& product)
{
    QVERIFY(root.mkpath(port));
    const auto write = [&](const QString& name, const QByteArray& text) {
        QFile file(root.filePath(port + QLatin1Char('/') + name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text + '\n');
    };
    write(QStringLiteral("idVendor"), vendor);
    write(QStringLiteral("idProduct"), product);
    write(QStringLiteral("product"), "Device on " + port.toUtf8());
}

} // namespace

// A technician's visit to the maintenance area, end to end: the program's controller and its
// real window against a private broker and the service simulator, worked only through taps on
// the screen. The cases run in order on one running program.
class Tst_MaintenanceWalk : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void clockGestureAndPinOpenTheMenu();
    void everyPageOpensFromTheMenu_data();
    void everyPageOpensFromTheMenu();
    void optionsMenuPutsTheKeyboardAway();
    void dialogDarkensThePage();
    void greekUnitKeepsDiagnosticsEnglish();
    void volumeReachesTheInspector();
    void selfTestWritesReportAndShowsQr();
    void logoutReturnsToThePassengerScreen();
    void fiveWrongPinsShowTheLockout();

private:
    QString sim(const QString& command);
    bool openLogin();
    bool typePin(const QString& pin);
    QString screen() const { return m_gui->screen(); }

    QTemporaryDir m_dir;
    QString m_previousDir;
    TestBroker m_broker;
    std::unique_ptr<MqttPeer> m_peer;
    QProcess m_sim;
    QByteArray m_simLog;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<GUIManager> m_gui;
    QQuickWindow* m_window = nullptr;
    std::unique_ptr<Technician> m_tech;
};

void Tst_MaintenanceWalk::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The report is written to the working directory.
    m_previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));

    // Six of the seven expected devices; the barcode reader's port stays empty.
    const QDir usb(m_dir.filePath(QStringLiteral("usb")));
    addUsbDevice(usb, QStringLiteral("1-1"), "0451", "2077");
    addUsbDevice(usb, QStringLiteral("1-1.2"), "8087", "0aaa");
    addUsbDevice(usb, QStringLiteral("1-1.3"), "0ab1", "0007");
    addUsbDevice(usb, QStringLiteral("1-1.4"), "1d6b", "0002");
    addUsbDevice(usb, QStringLiteral("1-1.5"), "0403", "6015");
    addUsbDevice(usb, QStringLiteral("1-1.7"), "222a", "0001");
    QFile sdCard(m_dir.filePath(QStringLiteral("mmcblk1p1")));
    QVERIFY(sdCard.open(QIODevice::WriteOnly));
    sdCard.close();

    QVERIFY(m_broker.start());
    m_peer.reset(new MqttPeer(m_broker));
    QVERIFY(m_peer->waitConnected(5000));
    m_peer->subscribe(QStringLiteral("orvo/#"));
    QVERIFY(m_peer->sync(3000));

    connect(&m_sim, &QProcess::readyReadStandardError, this, [this] { m_simLog += m_sim.readAllStandardError(); });
    m_sim.setProcessChannelMode(QProcess::SeparateChannels);
    m_sim.start(QStringLiteral(VOVADUDOZ_SIM),
                { QStringLiteral("-P"), QString::number(m_broker.port()), QStringLiteral("--step-ms"),
                  QStringLiteral("10"), QStringLiteral("--network-status-ms"), QStringLiteral("3600000"),
                  QStringLiteral("--no-prompt") });
    QVERIFY(m_sim.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(sim(QStringLiteral("show")).startsWith(QLatin1String("validation service up")), 15000);

    QFile serial(m_dir.filePath(QStringLiteral("serialnumber")));
    QVERIFY(serial.open(QIODevice::WriteOnly));
    serial.write(Serial.toUtf8() + '\n');
    serial.close();

    m_config.reset(new Config(m_dir.filePath(QStringLiteral("gui.conf")), GUIManager::Defaults));
    m_config->set(QStringLiteral("mqtt/host"), m_broker.host());
    m_config->set(QStringLiteral("mqtt/port"), m_broker.port());
    m_config->set(QStringLiteral("log/syslog"), false);
    m_config->set(QStringLiteral("gui/deviceId"), serial.fileName());
    m_config->set(QStringLiteral("gui/settingsPin"), Pin);
    m_config->set(QStringLiteral("gui/locale"), QStringLiteral("en_IE"));

    m_gui.reset(new GUIManager(*m_config, m_dir.path()));
    DiagnosticsPaths paths;
    paths.usbRoot = usb.path();
    paths.sdCard = sdCard.fileName();
    paths.virtualPort = m_dir.filePath(QStringLiteral("vcom"));
    m_gui->diagnostics()->setPaths(paths);
    m_gui->load();

    QVERIFY(!m_gui->engine().rootObjects().isEmpty());
    m_window = qobject_cast<QQuickWindow*>(m_gui->engine().rootObjects().first());
    QVERIFY(m_window);
    m_window->requestActivate();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_tech.reset(new Technician(m_window));

    // The simulator answers the program's arrival with every service's state.
    QTRY_COMPARE_WITH_TIMEOUT(screen(), QStringLiteral("ScanScreens"), 20000);
}

void Tst_MaintenanceWalk::cleanupTestCase()
{
    m_tech.reset();
    m_gui.reset();
    m_config.reset();
    if (m_sim.state() != QProcess::NotRunning) {
        m_sim.kill();
        m_sim.waitForFinished(5000);
    }
    m_peer.reset();
    QDir::setCurrent(m_previousDir);
}

QString Tst_MaintenanceWalk::sim(const QString& command)
{
    // A reply that came after its command gave up waiting must not answer this one.
    while (!m_peer->waitFor(QStringLiteral("orvo/sim/command/reply"), 0).isNull()) {
    }
    m_peer->publish(QStringLiteral("orvo/sim/command"), command.toUtf8());
    return QString::fromUtf8(m_peer->waitFor(QStringLiteral("orvo/sim/command/reply"), 3000));
}

bool Tst_MaintenanceWalk::openLogin()
{
    // The hidden gesture: three quick taps on the header's clock.
    QQuickItem* clock = m_tech->waitFor(QStringLiteral("clock"));
    if (!clock)
        return false;
    const QPointF centre = clock->mapToScene(QPointF(clock->width() / 2, clock->height() / 2));
    for (int i = 0; i < 3; ++i)
        m_tech->tapAt(centre);
    return QTest::qWaitFor([this] { return screen() == QLatin1String("Login"); }, 5000);
}

bool Tst_MaintenanceWalk::typePin(const QString& pin)
{
    for (const QChar digit : pin) {
        if (!m_tech->tap(QStringLiteral("calc_") + digit))
            return false;
    }
    return m_tech->text(QStringLiteral("pinText")) == pin && m_tech->tap(QStringLiteral("loginButton"));
}

void Tst_MaintenanceWalk::clockGestureAndPinOpenTheMenu()
{
    QVERIFY(openLogin());
    QTRY_COMPARE(m_tech->text(QStringLiteral("pinText")), QStringLiteral("Pin"));
    QVERIFY(!m_tech->find(QStringLiteral("loginButton"))->isEnabled());

    m_peer->takeAll();
    QVERIFY(typePin(Pin));
    QTRY_COMPARE(screen(), QStringLiteral("Settings"));
    QVERIFY(m_tech->waitFor(QStringLiteral("menu_eventLog")));
    QCOMPARE(m_tech->text(QStringLiteral("settingsTitle")), QStringLiteral("Settings"));
    // The passenger header gives way to the maintenance toolbar.
    QVERIFY(!m_tech->find(QStringLiteral("clock")));
    // The session's status, behind any that a screen change sent first.
    QVERIFY(QTest::qWaitFor([this] {
        return parse(m_peer->waitFor(QStringLiteral("orvo/ui/status"), 100)).value("technician").toBool();
    }, 5000));
}

void Tst_MaintenanceWalk::everyPageOpensFromTheMenu_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("subPage");   // a "Configure" button and the page it opens

    QTest::newRow("Validator") << "menu_validator" << "Validator" << "validatorPage" << "validatorConfigure";
    QTest::newRow("Region") << "menu_region" << "Region" << "regionPage" << "";
    QTest::newRow("Audio") << "menu_audio" << "Audio" << "audioPage" << "";
    QTest::newRow("Display") << "menu_display" << "Display" << "displayPage" << "";
    QTest::newRow("Network") << "menu_network" << "Network" << "networkPage" << "";
    QTest::newRow("Update") << "menu_update" << "Update" << "updatePage" << "";
    QTest::newRow("Event Log") << "menu_eventLog" << "Event Log" << "eventLogPage" << "";
    QTest::newRow("Diagnostics") << "menu_diagnostics" << "Diagnostics" << "diagnosticsPage" << "";
}

void Tst_MaintenanceWalk::everyPageOpensFromTheMenu()
{
    QFETCH(QString, row);
    QFETCH(QString, title);
    QFETCH(QString, page);
    QFETCH(QString, subPage);

    // A page that opens, and each of its tabs, warns about no QML (a binding loop included).
    LogCapture log;
    QVERIFY(m_tech->tap(row));
    QVERIFY(m_tech->waitFor(page));
    if (page == QLatin1String("networkPage")) {
        QVERIFY(m_tech->tap(QStringLiteral("tabEthernet")));
        QVERIFY(m_tech->waitFor(QStringLiteral("ethernetConfigure")));
    }
    QCOMPARE(m_tech->text(QStringLiteral("settingsTitle")), title);
    if (!subPage.isEmpty()) {
        QVERIFY(m_tech->tap(subPage));
        QVERIFY(m_tech->waitFor(QStringLiteral("validatorConfigPage")));
        QVERIFY(m_tech->tap(QStringLiteral("validatorConfigBack")));
        QVERIFY(m_tech->waitFor(page));
    }
    if (page == QLatin1String("eventLogPage")) {
        // The login of this visit is the newest event.
        QTRY_VERIFY(m_tech->find(QStringLiteral("eventRow_0")));
    }
    QVERIFY(m_tech->tap(QStringLiteral("settingsBack")));
    QVERIFY(m_tech->waitFor(QStringLiteral("menu_validator")));
    QCOMPARE(m_tech->text(QStringLiteral("settingsTitle")), QStringLiteral("Settings"));
    const QStringList qmlWarnings = log.all().filter(QRegularExpression("qrc:/qml/\\S+\\.qml:\\d+"));
    QVERIFY2(qmlWarnings.isEmpty(), qPrintable(qmlWarnings.join('\n')));
}

void Tst_MaintenanceWalk::optionsMenuPutsTheKeyboardAway()
{
    QVERIFY(m_tech->tap(QStringLiteral("menu_eventLog")));
    QVERIFY(m_tech->tap(QStringLiteral("eventSearchField")));
    // The window's one keyboard comes up below the page and fills its panel.
    QTRY_VERIFY(QGuiApplication::inputMethod()->isVisible());
    QQuickItem* keyboard = m_tech->waitFor(QStringLiteral("keyboardPanel"));
    QVERIFY(keyboard);
    QCOMPARE(keyboard->height(), 250.0);
    const auto* panel = qvariant_cast<QQuickItem*>(keyboard->property("panel"));
    QVERIFY(panel);
    QTRY_VERIFY2(panel->height() >= 245 && panel->mapToScene(QPointF(0, panel->height())).y() > 795,
                 qPrintable(QString::number(panel->height())));

    // The options menu takes the focus, and the keyboard goes with it.
    QVERIFY(m_tech->tap(QStringLiteral("settingsMenuButton")));
    QVERIFY(m_tech->waitFor(QStringLiteral("optionScanConfig")));
    QTRY_VERIFY(!QGuiApplication::inputMethod()->isVisible());
    QTRY_VERIFY(!m_tech->find(QStringLiteral("keyboardPanel")));

    m_peer->takeAll();
    QVERIFY(m_tech->tap(QStringLiteral("optionScanConfig")));
    QVERIFY(m_tech->waitFor(QStringLiteral("barcodePopup")));
    QCOMPARE(m_tech->text(QStringLiteral("popupText")), QStringLiteral("Scan Configuration QR code"));
    QVERIFY(!QGuiApplication::inputMethod()->isVisible());
    // The reader is on while the popup is up: asked for over MQTT unless it already was.
    QTRY_VERIFY(m_peer->count(QStringLiteral("orvo/barcode/enable")) == 1
                || contextProxy<manager::Validator>(m_gui->engine(), "validatorManager")->barcode()->enabled());
    QVERIFY(m_tech->tap(QStringLiteral("popupText")));
    QTRY_VERIFY(!m_tech->find(QStringLiteral("barcodePopup")));
    QVERIFY(m_tech->tap(QStringLiteral("settingsBack")));
    QVERIFY(m_tech->waitFor(QStringLiteral("menu_validator")));
}

void Tst_MaintenanceWalk::dialogDarkensThePage()
{
    // The menu rows are dark grey; behind a dialog they must get darker, not washed out.
    const QRect rows(0, 100, 60, 300);
    const double before = meanGrey(m_window->grabWindow(), rows);
    QVERIFY(m_tech->tap(QStringLiteral("settingsMenuButton")));
    QVERIFY(m_tech->tap(QStringLiteral("optionReboot")));
    QVERIFY(m_tech->waitFor(QStringLiteral("popupNoButton")));
    QTest::qWait(300);
    const double behind = meanGrey(m_window->grabWindow(), rows);
    QVERIFY2(behind < before * 0.7, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(behind)));
    QVERIFY(m_tech->tap(QStringLiteral("popupNoButton")));
    QTRY_VERIFY(!m_tech->find(QStringLiteral("confirmPopup")));
}

void Tst_MaintenanceWalk::greekUnitKeepsDiagnosticsEnglish()
{
    m_gui->setLanguage(QStringLiteral("el_GR"));
    QVERIFY(m_tech->tap(QStringLiteral("menu_diagnostics")));
    QVERIFY(m_tech->waitFor(QStringLiteral("testFinish")));
    QCOMPARE(m_tech->text(QStringLiteral("testFinish")), QStringLiteral("FINISH"));
    QCOMPARE(m_tech->text(QStringLiteral("testBuzzer"), "label"), QStringLiteral("Buzzer"));
    QVERIFY(m_tech->tap(QStringLiteral("settingsBack")));
    QVERIFY(m_tech->waitFor(QStringLiteral("menu_validator")));
    m_gui->setLanguage(QStringLiteral("en_IE"));
}

void Tst_MaintenanceWalk::volumeReachesTheInspector()
{
    QVERIFY(m_tech->tap(QStringLiteral("menu_audio")));
    QQuickItem* slider = m_tech->waitFor(QStringLiteral("volumeSlider"));
    QVERIFY(slider);
    m_peer->takeAll();

    // A tap a quarter along the slider sets about a quarter of the volume.
    m_tech->tapAt(slider->mapToScene(QPointF(slider->width() / 4, slider->height() / 2)));
    const QString play = QStringLiteral("orvo/inspector/audio/play");
    const QString set = QStringLiteral("orvo/inspector/audio/set");
    QTRY_VERIFY(m_peer->count(play) == 1 && m_peer->count(set) == 1);
    const auto messages = m_peer->takeAll();
    int playAt = -1;
    int setAt = -1;
    int volume = -1;
    for (int i = 0; i < messages.size(); ++i) {
        if (messages.at(i).first == play) {
            playAt = i;
            QCOMPARE(parse(messages.at(i).second).value("filepath").toString(),
                     QStringLiteral("/opt/orvo/vovadudozad/Valid.wav"));
        } else if (messages.at(i).first == set) {
            setAt = i;
            volume = parse(messages.at(i).second).value("internal").toObject().value("volume").toInt(-1);
        }
    }
    // The sound goes first, so the technician hears the old volume and then the new one.
    QVERIFY(playAt < setAt);
    QVERIFY2(volume > 5 && volume < 45, qPrintable(QString::number(volume)));
    QCOMPARE(m_tech->text(QStringLiteral("volumeText")), QString::number(volume) + QLatin1Char('%'));
    // The simulated inspector takes it; the page follows when the service reports it back.
    QTRY_COMPARE(contextProxy<manager::Inspector>(m_gui->engine(), "inspector")->audioVolume(), volume);
    QVERIFY(m_tech->tap(QStringLiteral("settingsBack")));
}

void Tst_MaintenanceWalk::selfTestWritesReportAndShowsQr()
{
    Diagnostics* diagnostics = m_gui->diagnostics();
    QVERIFY(m_tech->tap(QStringLiteral("menu_diagnostics")));
    QVERIFY(m_tech->waitFor(QStringLiteral("diagnosticsPage")));
    // The check runs on the fake device tree at once.
    QTRY_COMPARE(m_tech->text(QStringLiteral("diag_usbHubValue")), QStringLiteral("OK"));
    QCOMPARE(m_tech->text(QStringLiteral("diag_barcodeUsbValue")), QStringLiteral("MISSING"));
    QCOMPARE(m_tech->text(QStringLiteral("diag_sdCardValue")), QStringLiteral("OK"));

    const auto answer = [this](const QString& button, bool yes) {
        if (!m_tech->tap(button) || !m_tech->waitFor(QStringLiteral("testDialog")))
            return false;
        if (!m_tech->tap(yes ? QStringLiteral("popupYesButton") : QStringLiteral("popupNoButton")))
            return false;
        // The next tap must not land on a dialog that is still fading out.
        return QTest::qWaitFor([this] { return !m_tech->find(QStringLiteral("testDialog")); }, 5000);
    };
    QVERIFY(answer(QStringLiteral("testBuzzer"), true));
    QTRY_COMPARE(diagnostics->buzzer(), QStringLiteral("OK"));
    QVERIFY(answer(QStringLiteral("testLeds"), false));
    QTRY_COMPARE(diagnostics->leds(), QStringLiteral("ERROR"));
    QVERIFY(answer(QStringLiteral("testSpeaker"), true));
    QVERIFY(answer(QStringLiteral("testSensor"), true));

    // A card in the field while the card popup is up.
    QVERIFY(m_tech->tap(QStringLiteral("testRfid")));
    QVERIFY(m_tech->waitFor(QStringLiteral("testMessage")));
    // The reader is switched on by the popup; the simulator may hear of it a moment later.
    QTRY_COMPARE(sim(QStringLiteral("found")), QStringLiteral("card in the field"));
    QTRY_VERIFY(m_tech->text(QStringLiteral("popupText")).startsWith(QLatin1String("CARD DETECTED\n")));
    QCOMPARE(diagnostics->cardScan(), QStringLiteral("OK"));
    QVERIFY(m_tech->tap(QStringLiteral("popupText")));
    QTRY_VERIFY(!m_tech->find(QStringLiteral("testMessage")));

    // A ticket read while the barcode popup is up closes it.
    QVERIFY(m_tech->tap(QStringLiteral("testBarcode")));
    QVERIFY(m_tech->waitFor(QStringLiteral("testMessage")));
    // The reader is switched on by the popup; on a busy machine the simulator hears of it late.
    QTRY_VERIFY_WITH_TIMEOUT(!sim(QStringLiteral("scan valid")).startsWith(QLatin1String("error")), 15000);
    QTRY_COMPARE(diagnostics->barcodeScan(), QStringLiteral("OK"));
    QTRY_VERIFY(!m_tech->find(QStringLiteral("testMessage")));

    // Three taps through red, green and blue, then the question.
    QVERIFY(m_tech->tap(QStringLiteral("testRgb")));
    for (int i = 0; i < 3; ++i)
        QVERIFY(m_tech->tap(QStringLiteral("rgbArea")));
    QVERIFY(m_tech->waitFor(QStringLiteral("testDialog")));
    QVERIFY(m_tech->tap(QStringLiteral("popupYesButton")));
    QTRY_COMPARE(diagnostics->rgbTest(), QStringLiteral("OK"));
    QTRY_VERIFY(!m_tech->find(QStringLiteral("testDialog")));

    QVERIFY(m_tech->tap(QStringLiteral("testFinish")));
    QQuickItem* qr = m_tech->waitFor(QStringLiteral("reportQr"), 10000);
    QVERIFY(qr);
    QTRY_COMPARE(qr->property("status").toInt(), 1); // Image.Ready
    // Until the code is on screen and reads back.
    QString payload;
    QTRY_VERIFY((payload = decodeQr(m_window->grabWindow())).contains(QLatin1Char(';')));
    const QStringList fields = payload.split(QLatin1Char(';'));
    QCOMPARE(fields.size(), 35);
    QCOMPARE(fields.at(0), Serial);
    QCOMPARE(fields.at(14), QStringLiteral("MISSING"));   // barcodeUsb
    QCOMPARE(fields.at(18), QStringLiteral("OK"));        // sdCard
    QCOMPARE(fields.at(19), QStringLiteral("OK"));        // buzzer
    QCOMPARE(fields.at(20), QStringLiteral("ERROR"));     // leds
    QCOMPARE(fields.at(26), QStringLiteral("OK"));        // barcodeScan
    QCOMPARE(fields.at(27), QStringLiteral("OK"));        // cardScan
    QCOMPARE(fields.at(32), QStringLiteral("OK"));        // rgbTest

    // The depot reads the same test, kept on the broker for whoever subscribes later: every
    // value by name as the code carries it in order, the unit, the moment and the verdict.
    const QString topic = QStringLiteral("orvo/ui/diagnostics");
    QVERIFY(!m_peer->waitFor(topic, 5000).isNull());
    MqttPeer depot(m_broker);
    QVERIFY(depot.waitConnected(5000));
    depot.subscribe(topic);
    const QJsonObject published = parse(depot.waitFor(topic, 5000));
    QCOMPARE(published.value(QStringLiteral("deviceId")).toString(), Serial);
    QCOMPARE(published.value(QStringLiteral("result")).toString(), QStringLiteral("fail")); // the LEDs
    const QDateTime time = QDateTime::fromString(published.value(QStringLiteral("time")).toString(), Qt::ISODate);
    QCOMPARE(time.timeSpec(), Qt::UTC);
    QVERIFY(qAbs(time.secsTo(QDateTime::currentDateTimeUtc())) < 600);
    const QJsonObject values = published.value(QStringLiteral("values")).toObject();
    const QList<DiagnosticsReport::Value> names = diagnostics->report().values();
    QCOMPARE(values.size(), 35);
    for (int i = 0; i < names.size(); ++i) {
        if (names.at(i).first != QLatin1String("date")) // to the minute: the code may be a minute later
            QCOMPARE(values.value(names.at(i).first).toString(), fields.at(i));
    }

    const QStringList reports = QDir(m_dir.path()).entryList({ QStringLiteral("TestReport_*.txt") }, QDir::Files);
    QCOMPARE(reports.size(), 1);
    QFile report(m_dir.filePath(reports.first()));
    QVERIFY(report.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(report.readAll()).split(QLatin1Char('\n'));
    QVERIFY(lines.contains(QStringLiteral(" Device UID       %1").arg(Serial, 35)));
    QVERIFY(lines.contains(QStringLiteral(" Buzzer           %1").arg(QStringLiteral("OK"), 35)));
    QVERIFY(lines.contains(QStringLiteral(" Front LEDs       %1").arg(QStringLiteral("ERROR"), 35)));
    QVERIFY(lines.contains(QStringLiteral(" Barcode          %1").arg(QStringLiteral("MISSING"), 35)));
    QVERIFY(lines.contains(QStringLiteral(" Display RGB Test %1").arg(QStringLiteral("OK"), 35)));
    QCOMPARE(m_tech->text(QStringLiteral("reportText")),
             QStringLiteral("Test report saved successfully:\n./") + reports.first());

    // Closing the popup after a saved report goes back to the menu and stops the checks.
    QVERIFY(m_tech->tap(QStringLiteral("reportText")));
    QVERIFY(m_tech->waitFor(QStringLiteral("menu_diagnostics")));
    QVERIFY(!m_tech->find(QStringLiteral("diagnosticsPage")));
}

void Tst_MaintenanceWalk::logoutReturnsToThePassengerScreen()
{
    QVERIFY(m_tech->tap(QStringLiteral("settingsMenuButton")));
    QVERIFY(m_tech->tap(QStringLiteral("optionLogout")));
    QTRY_COMPARE(screen(), QStringLiteral("ScanScreens"));
    QVERIFY(m_tech->waitFor(QStringLiteral("clock")));
    QVERIFY(!m_tech->find(QStringLiteral("settingsToolBar")));
}

void Tst_MaintenanceWalk::fiveWrongPinsShowTheLockout()
{
    QVERIFY(openLogin());
    for (int i = 0; i < 4; ++i) {
        QVERIFY(typePin(QStringLiteral("1111")));
        // Refused: the box is emptied and shaken, and nothing else happens.
        QTRY_COMPARE(m_tech->text(QStringLiteral("pinText")), QStringLiteral("Pin"));
    }
    QVERIFY(typePin(QStringLiteral("1111")));
    QTRY_VERIFY(m_tech->text(QStringLiteral("pinText")).startsWith(QLatin1String("Too many wrong PINs")));
    // Even the right PIN is refused now, and the box keeps saying why.
    {
        LogCapture log;
        QVERIFY(typePin(Pin));
        QTRY_VERIFY(log.contains(QStringLiteral("[SessionManager] WARN: Access denied, login locked for")));
    }
    QCOMPARE(screen(), QStringLiteral("Login"));
    QVERIFY(m_tech->text(QStringLiteral("pinText")).startsWith(QLatin1String("Too many wrong PINs")));
}

int main(int argc, char** argv)
{
    // The program's keyboard choice, made as the program makes it: before the application object.
    InputMethod::select();
    // QtTest's mouse helpers take the application for a QApplication when widgets are linked.
    QApplication app(argc, argv);
    Tst_MaintenanceWalk test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_maintenancewalk.moc"
