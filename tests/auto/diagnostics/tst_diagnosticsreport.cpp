#include "diagnosticsrig.h"
#include "logcapture.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

namespace {

const QDateTime Now(QDate(2026, 12, 7), QTime(10, 2, 41));

// The report of DiagnosticsRig::fillKnownState(), line by line.
const QStringList Golden {
    "-----------------------------------------------------",
    " DEVICE TEST REPORT",
    "-----------------------------------------------------",
    " Device UID                                  ΑΘΗ-0042",
    " Date                                2026-12-07 10:02",
    " SAM                                         04A1B2C3",
    " Barcode Firmware                              BC 1.0",
    " RFID Firmware                               RF 2.1.0",
    " Board Firmware                                 4.2.0",
    " App Version                                    1.4.2",
    " Bundle Version                               2026.11",
    " Image Version                          img-7 (Αθήνα)",
    "-----------------------------------------------------",
    " RTC                                               OK",
    " Ethernet                                          OK",
    " USB Hub                                           OK",
    " USB Host                                     MISSING",
    " FTDI                                         MISSING",
    " mPCIe #1                                     MISSING",
    " Touch                                        MISSING",
    " SD Card                                           OK",
    " Ignition                                          OK",
    " Temperature                                       OK",
    " Voltage                                           OK",
    " RFID                                           ERROR",
    " Barcode                                      MISSING",
    " SAM                                               OK",
    " Buzzer                                            OK",
    " Front LEDs                                     ERROR",
    " Barcode Scan                                        ",
    " Card Scan                                         OK",
    " RFID Manager                                      OK",
    " Barocde Manager                                   OK",
    " Board Manager                                     OK",
    " Light Sensor                                        ",
    " Display RGB Test                                  OK",
    "-----------------------------------------------------",
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList reportsIn(const QString& directory)
{
    return QDir(directory).entryList({ "TestReport_*" }, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
}

} // namespace

class Tst_DiagnosticsReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void golden();
    void namedValues();
    void header_data();
    void header();
    void result_data();
    void result();
    void longValueWidensItsLine();
    void sameMinuteOverwrites();
    void cannotSave_data();
    void cannotSave();

private:
    QString m_startDir;
    std::unique_ptr<QTemporaryDir> m_work;
};

void Tst_DiagnosticsReport::initTestCase()
{
    QCoreApplication::setApplicationVersion(QStringLiteral("1.4.2"));
    m_startDir = QDir::currentPath();
}

// Reports go to the working directory: each test gets a fresh one.
void Tst_DiagnosticsReport::init()
{
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
    QVERIFY(QDir::setCurrent(m_work->path()));
}

void Tst_DiagnosticsReport::cleanup()
{
    QDir::setCurrent(m_startDir);
    m_work.reset();
}

void Tst_DiagnosticsReport::golden()
{
    DiagnosticsRig rig;
    rig.fillKnownState();
    rig.diagnostics->setClock([] { return Now; });
    QSignalSpy finished(rig.diagnostics.get(), &Diagnostics::saveReportFinished);
    QSignalSpy made(rig.diagnostics.get(), &Diagnostics::reportMade);
    LogCapture log;
    rig.diagnostics->saveReport();

    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    // The same test for the depot: the values by name, the device, the moment in UTC and the
    // verdict (the LEDs failed).
    QCOMPARE(made.count(), 1);
    const QVariantMap published = made.at(0).at(0).toMap();
    QCOMPARE(published.value("values").toMap(), DiagnosticsReport(*rig.diagnostics, Now).toVariantMap());
    QCOMPARE(published.value("deviceId").toString(), QString("ΑΘΗ-0042"));
    QCOMPARE(published.value("time").toDateTime(), Now);
    QCOMPARE(published.value("time").toDateTime().timeSpec(), Qt::UTC);
    QCOMPARE(published.value("result").toString(), QString("fail"));
    QCOMPARE(finished.at(0).at(1).toString(), QString("Test report saved successfully:\n./TestReport_20261207_1002.txt"));

    const QString text = Golden.join('\n');
    QCOMPARE(reportsIn(m_work->path()), QStringList { "TestReport_20261207_1002.txt" });
    const QByteArray written = readAll(m_work->filePath("TestReport_20261207_1002.txt"));
    QCOMPARE(QString::fromUtf8(written).split('\n'), Golden);
    QCOMPARE(written, text.toUtf8()); // UTF-8, no newline after the last line
    QCOMPARE(log.lines(QtInfoMsg), (QStringList { "[Diagnostics] \n" + text,
                                                  "[Diagnostics] Saving Diagnostics report to : "
                                                  "./TestReport_20261207_1002.txt" }));
    QVERIFY(log.problems().isEmpty());
}

// The named values are what a published report carries: each name must hold the value the
// page shows under that name, in the order of the QR code.
void Tst_DiagnosticsReport::namedValues()
{
    DiagnosticsRig rig;
    rig.fillKnownState();
    rig.diagnostics->setSpeaker("ERROR");
    rig.diagnostics->setLightSensor("OK");
    const DiagnosticsReport report(*rig.diagnostics, Now);
    const QList<DiagnosticsReport::Value> values = report.values();
    QCOMPARE(values.size(), 35);

    QStringList names;
    QStringList inOrder;
    int pageValues = 0;
    for (const DiagnosticsReport::Value& value : values) {
        names << value.first;
        inOrder << value.second;
        const QVariant shown = rig.diagnostics->property(value.first.toLatin1().constData());
        if (shown.isValid()) {
            ++pageValues;
            QCOMPARE(value.second, shown.toString());
        }
    }
    QCOMPARE(pageValues, 26); // every result the page shows
    QCOMPARE(names.size(), int(QSet<QString>(names.begin(), names.end()).size()));
    QCOMPARE(inOrder.join(';'), report.qrPayload());
    QCOMPARE(report.toVariantMap().size(), 35);
    QCOMPARE(report.value("deviceUid"), QString("ΑΘΗ-0042"));
    QCOMPARE(report.value("date"), QString("2026-12-07 10:02"));
    QCOMPARE(report.value("samUid"), QString("04A1B2C3"));
    QCOMPARE(report.value("appVersion"), QString("1.4.2"));
    QCOMPARE(report.value("imageVersion"), QString("img-7 (Αθήνα)"));
    QCOMPARE(report.value("no such value"), QString());
}

void Tst_DiagnosticsReport::header_data()
{
    QTest::addColumn<QByteArray>("osRelease"); // null: no file
    QTest::addColumn<QByteArray>("deviceStatus"); // null: the update service never reported
    QTest::addColumn<bool>("samPresent");
    QTest::addColumn<QStringList>("lines"); // SAM, Bundle Version, Image Version

    const auto lines = [](const char* sam, const char* bundle, const char* image) {
        return QStringList { QString(" SAM              %1").arg(sam, 35),
                             QString(" Bundle Version   %1").arg(bundle, 35),
                             QString(" Image Version    %1").arg(image, 35) };
    };
    QTest::newRow("nothing known") << QByteArray() << QByteArray() << false
                                   << lines("SAM not present", "<null>", "<null>");
    QTest::newRow("os-release without image version") << QByteArray("NAME=Orvo\nVERSION_ID=12\n") << QByteArray()
                                                      << true << lines("04A1", "<null>", "<null>");
    QTest::newRow("unquoted image version") << QByteArray("IMAGE_VERSION=7.1\n") << QByteArray() << true
                                            << lines("04A1", "<null>", "7.1");
    QTest::newRow("single quotes, blanks around")
            << QByteArray("ID=orvo\n  IMAGE_VERSION='7.1 rc'  \n") << QByteArray() << true << lines("04A1", "<null>", "7.1 rc");
    QTest::newRow("a longer key is another key") << QByteArray("IMAGE_VERSION_ID=9\n") << QByteArray() << true
                                                 << lines("04A1", "<null>", "<null>");
    QTest::newRow("empty image version") << QByteArray("IMAGE_VERSION=\"\"\n") << QByteArray() << true
                                         << lines("04A1", "<null>", "<null>");
    QTest::newRow("bundle as a bare version") << QByteArray() << QByteArray(R"({"update": {"software": "3.0"}})")
                                              << true << lines("04A1", "3.0", "<null>");
    QTest::newRow("bundle from the versions object")
            << QByteArray() << QByteArray(R"({"update": {"software": {"current": "3.1", "pending": "3.2"}}})") << true
            << lines("04A1", "3.1", "<null>");
}

void Tst_DiagnosticsReport::header()
{
    QFETCH(QByteArray, osRelease);
    QFETCH(QByteArray, deviceStatus);
    QFETCH(bool, samPresent);
    QFETCH(QStringList, lines);

    DiagnosticsRig rig;
    DiagnosticsRig::writeFile(rig.paths().osRelease, osRelease);
    if (!deviceStatus.isNull())
        rig.send("orvo/device/status", deviceStatus);
    if (samPresent)
        rig.validator.rfid()->setSams(QJsonArray { QJsonObject { { "uid", "04A1" } } });

    const QStringList report = DiagnosticsReport(*rig.diagnostics, Now).text().split('\n');
    QCOMPARE(report.size(), Golden.size());
    QCOMPARE(report.at(5), lines.at(0));
    QCOMPARE(report.at(10), lines.at(1));
    QCOMPARE(report.at(11), lines.at(2));

    // The QR code carries the same facts, with nothing in place of an unknown version.
    const QStringList fields = DiagnosticsReport(*rig.diagnostics, Now).qrPayload().split(';');
    QCOMPARE(fields.size(), 35);
    QCOMPARE(fields.at(2), lines.at(0).mid(18).trimmed());
    const auto orEmpty = [](const QString& line) {
        const QString value = line.mid(18).trimmed();
        return value == "<null>" ? QString() : value;
    };
    QCOMPARE(fields.at(7), orEmpty(lines.at(1)));
    QCOMPARE(fields.at(8), orEmpty(lines.at(2)));
}

// The verdict the depot reads, from a report whose every result the page shows as good with
// one value changed: the device facts never count, and only "OK" passes.
void Tst_DiagnosticsReport::result_data()
{
    QTest::addColumn<QString>("name"); // empty: nothing changed
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("result");

    QTest::newRow("every result OK") << QString() << QString() << "pass";
    QTest::newRow("unknown firmware is a fact") << "rfidFirmware" << QString() << "pass";
    QTest::newRow("device id is a fact") << "deviceUid" << "ERROR" << "pass";
    QTest::newRow("first result untested") << "rtc" << QString() << "fail";
    QTest::newRow("device missing") << "usbHub" << "MISSING" << "fail";
    QTest::newRow("serial port could not open") << "serialPortTest" << "ERROR (Could not open)" << "fail";
    QTest::newRow("answer in another language") << "speaker" << "ΣΦΑΛΜΑ" << "fail";
    QTest::newRow("lower case is not OK") << "leds" << "ok" << "fail";
}

void Tst_DiagnosticsReport::result()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, result);

    DiagnosticsRig rig;
    rig.fillKnownState();
    QList<DiagnosticsReport::Value> values = DiagnosticsReport(*rig.diagnostics, Now).values();
    int results = 0;
    for (DiagnosticsReport::Value& entry : values) {
        if (rig.diagnostics->property(entry.first.toLatin1().constData()).isValid()) {
            entry.second = "OK";
            ++results;
        }
        if (entry.first == name)
            entry.second = value;
    }
    QCOMPARE(results, 26);
    QCOMPARE(DiagnosticsReport::result(values), result);
}

void Tst_DiagnosticsReport::longValueWidensItsLine()
{
    DiagnosticsRig rig;
    const QString id = QStringLiteral("VVD-2026-0000000000000000000000000000042"); // 40 characters
    rig.deviceId = id;
    rig.diagnostics->setBuzzer(QString(35, 'x'));
    const QStringList report = DiagnosticsReport(*rig.diagnostics, Now).text().split('\n');
    QCOMPARE(report.at(3), " Device UID       " + id);
    QCOMPARE(report.at(3).size(), 58);
    QCOMPARE(report.at(27), " Buzzer           " + QString(35, 'x')); // exactly fits: 53
    QCOMPARE(report.at(27).size(), 53);
}

// Reports are named to the minute: a second save in the same minute replaces the first.
void Tst_DiagnosticsReport::sameMinuteOverwrites()
{
    DiagnosticsRig rig;
    QDateTime now(QDate(2026, 12, 7), QTime(23, 59, 1));
    rig.diagnostics->setClock([&] { return now; });
    QSignalSpy finished(rig.diagnostics.get(), &Diagnostics::saveReportFinished);

    rig.diagnostics->setBuzzer("ERROR");
    rig.diagnostics->saveReport();
    rig.diagnostics->setBuzzer("OK");
    now = now.addSecs(58);
    rig.diagnostics->saveReport();
    QCOMPARE(finished.count(), 2);
    QCOMPARE(reportsIn(m_work->path()), QStringList { "TestReport_20261207_2359.txt" });
    const QString text = QString::fromUtf8(readAll(m_work->filePath("TestReport_20261207_2359.txt")));
    QCOMPARE(text, DiagnosticsReport(*rig.diagnostics, now).text());
    QVERIFY(text.contains(" Buzzer           " + QString("OK").rightJustified(35)));

    now = now.addSecs(1); // the next day
    rig.diagnostics->saveReport();
    QCOMPARE(reportsIn(m_work->path()),
             (QStringList { "TestReport_20261207_2359.txt", "TestReport_20261208_0000.txt" }));
}

void Tst_DiagnosticsReport::cannotSave_data()
{
    QTest::addColumn<bool>("removeDirectory");
    QTest::addColumn<bool>("systemText"); // the reason is the system's text for an error number

    QTest::newRow("working directory removed") << true << true;
    QTest::newRow("report name taken by a folder") << false << false;
}

void Tst_DiagnosticsReport::cannotSave()
{
    QFETCH(bool, removeDirectory);
    QFETCH(bool, systemText);

    DiagnosticsRig rig;
    rig.diagnostics->setClock([] { return Now; });
    const QString gone = m_work->filePath("gone");
    if (removeDirectory) {
        QVERIFY(QDir().mkdir(gone));
        QVERIFY(QDir::setCurrent(gone));
        QVERIFY(QDir().rmdir(gone));
    } else {
        QVERIFY(QDir().mkdir("TestReport_20261207_1002.txt"));
    }
    QSignalSpy finished(rig.diagnostics.get(), &Diagnostics::saveReportFinished);
    QSignalSpy made(rig.diagnostics.get(), &Diagnostics::reportMade);
    LogCapture log;
    rig.diagnostics->saveReport();

    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QCOMPARE(made.count(), 1); // the depot hears of the test all the same
    const QString message = finished.at(0).at(1).toString();
    const QString prefix = QStringLiteral("Could not save Test Report\nERROR: ");
    QVERIFY2(message.startsWith(prefix), qPrintable(message));
    const QString reason = message.mid(prefix.size());
    QVERIFY(!reason.isEmpty());
    if (systemText) {
        // Which error the kernel picks for a removed directory varies (no entry, not
        // permitted); that it is passed on as the system says it does not.
        bool known = false;
        for (int code = 1; code < 200 && !known; ++code)
            known = reason == qt_error_string(code);
        QVERIFY2(known, qPrintable(reason));
    }
    QCOMPARE(log.lines(QtCriticalMsg), QStringList { "[Diagnostics] ERROR: Could not save file : " + reason });
    // Nothing half-written is left behind, and the folder in the way is untouched.
    QVERIFY(QDir::setCurrent(m_work->path()));
    QCOMPARE(reportsIn(m_work->path()),
             removeDirectory ? QStringList() : QStringList { "TestReport_20261207_1002.txt" });
    QVERIFY(removeDirectory || QFileInfo(m_work->filePath("TestReport_20261207_1002.txt")).isDir());
}

QTEST_GUILESS_MAIN(Tst_DiagnosticsReport)
#include "tst_diagnosticsreport.moc"
