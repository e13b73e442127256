// The hardware self-test on the GUI thread: one full check (seven USB device reads, the SD card
// node, the serial loop-back, the port list) and generateQr() for a full 35-field payload.
//
// The check runs over a fake USB device tree in a temporary folder with every device present,
// so each of the seven is read in full. The loop-back talks to a pseudo-terminal with an echo
// thread on the far side. Three check variants show where the time goes: without the serial
// test and with a fixed port list (the program's own work), without the serial test but with
// the system's real port list, and the whole check with the loop-back.

#include "benchsupport.h"
#include "board.h"
#include "diagnostics.h"
#include "mqttclient.h"
#include "network.h"
#include "ptyloopback.h"
#include "qrcodegenerator.h"
#include "update.h"
#include "validator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace bench;

namespace {

// Microseconds, from nanoseconds.
double percentileUs(const std::vector<qint64>& values, double p)
{
    return percentile(values, p) / 1000.0;
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

// Times `work` `runs` times after a few warm-up runs; prints median and 99th percentile of the
// wall-clock time (what the GUI thread loses) and the median of its CPU time (the same on an idle
// machine; on a shared one the wall clock also counts waiting for a core).
void measure(const char* label, int runs, const std::function<void()>& work, double targetUs)
{
    for (int i = 0; i < 10; ++i)
        work();
    std::vector<qint64> samples;
    std::vector<qint64> cpu;
    samples.reserve(size_t(runs));
    cpu.reserve(size_t(runs));
    for (int i = 0; i < runs; ++i) {
        const qint64 start = nowNs();
        const qint64 cpuStart = threadCpuNs();
        work();
        cpu.push_back(threadCpuNs() - cpuStart);
        samples.push_back(nowNs() - start);
    }
    const double median = percentileUs(samples, 0.5);
    const double cpuMedian = percentileUs(cpu, 0.5);
    printf("%-38s: median %9.1f us, p99 %9.1f us, cpu median %9.1f us  (%d runs)", label, median,
           percentileUs(samples, 0.99), cpuMedian, runs);
    if (targetUs > 0)
        printf("  under %.0f us: %s", targetUs, median < targetUs ? "yes" : cpuMedian < targetUs ? "cpu only" : "NO");
    printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.4.2"));
    // The program's default log level: debug lines (one per USB device) are filtered out.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    QTemporaryDir dir;
    DiagnosticsPaths paths;
    paths.usbRoot = dir.filePath(QStringLiteral("usb"));
    paths.sdCard = dir.filePath(QStringLiteral("mmcblk1p1"));
    paths.virtualPort = dir.filePath(QStringLiteral("vcom"));
    paths.osRelease = dir.filePath(QStringLiteral("os-release"));
    for (const Diagnostics::UsbDevice& device : Diagnostics::usbDevices()) {
        const QString directory = paths.usbRoot + QLatin1Char('/') + device.port;
        QDir().mkpath(directory);
        const QStringList id = device.id == QLatin1String("*") ? QStringList { "1d6b", "0002" } : device.id.split(':');
        writeFile(directory + QStringLiteral("/idVendor"), id.value(0).toLatin1() + '\n');
        writeFile(directory + QStringLiteral("/idProduct"), id.value(1).toLatin1() + '\n');
        writeFile(directory + QStringLiteral("/product"), device.name.toUtf8() + '\n');
    }
    writeFile(paths.sdCard, QByteArray());
    writeFile(paths.osRelease, "IMAGE_VERSION=\"img-7\"\n");

    PtyLoopback pty(PtyLoopback::Echo);
    if (!pty.isValid()) {
        fprintf(stderr, "bench_diagnostics: no pseudo-terminal\n");
        return 1;
    }

    QString deviceId = QStringLiteral("ΑΘΗ-0042-K12345678");
    manager::MqttClient client;
    manager::Board board(client, QStringLiteral("orvo/board"));
    manager::Network network(client, QStringLiteral("orvo/network"));
    manager::Validator validator(client, QStringLiteral("orvo/blm"));
    manager::Update update(client, QStringLiteral("orvo/device"));
    validator.rfid()->setActive(true);
    validator.rfid()->setFirmware(QStringLiteral("RF 2.1.0-build.20261130"));
    validator.rfid()->setSams(QJsonArray { QJsonObject { { "uid", "04A1B2C3D4E5F6" }, { "atr", "3B8F8001804F0CA0" } } });
    validator.barcode()->setFirmware(QStringLiteral("BC 1.0.7"));
    Diagnostics diagnostics(deviceId, board, network, validator, update, paths);
    for (auto setter : { &Diagnostics::setBuzzer, &Diagnostics::setLeds, &Diagnostics::setSpeaker,
                         &Diagnostics::setBarcodeScan, &Diagnostics::setCardScan, &Diagnostics::setLightSensor,
                         &Diagnostics::setRgbTest })
        (diagnostics.*setter)(QStringLiteral("ΣΦΑΛΜΑ"));

    const QList<SerialPortEntry> fixedPorts { { "ttyS0", "/dev/ttyS0", "" }, { "ttyS1", "/dev/ttyS1", "" } };
    diagnostics.setPortLister([&] { return fixedPorts; });
    diagnostics.setSerialPort(QStringLiteral("NONE"));
    measure("check, no serial test, fixed port list", 3000, [&] { diagnostics.check(); }, 1000);

    diagnostics.setPortLister({}); // the system's own list
    measure("check, no serial test, system ports", 1000, [&] { diagnostics.check(); }, 1000);

    diagnostics.setPortLister([&] { return fixedPorts; });
    diagnostics.setSerialPort(pty.path());
    measure("full check with loop-back (echo)", 300, [&] { diagnostics.check(); }, 0);
    if (diagnostics.serialPortTest() != QLatin1String("OK"))
        printf("  (loop-back result: %s)\n", qPrintable(diagnostics.serialPortTest()));

    PtyLoopback silent(PtyLoopback::Silent);
    diagnostics.setSerialPort(silent.path());
    measure("full check, loop-back without echo", 40, [&] { diagnostics.check(); }, 0);
    printf("  (worst case of the serial test; the program budgets about 100 ms)\n");

    diagnostics.setSerialPort(QStringLiteral("NONE"));
    diagnostics.check();
    const int length = DiagnosticsReport(diagnostics, QDateTime::currentDateTime()).qrPayload().toUtf8().size();
    measure(qPrintable(QStringLiteral("generateQr(), %1-byte payload").arg(length)), 1000,
            [&] { diagnostics.generateQr(); }, 5000);
    // The library's share: encoding with its choice of mask, without our SVG around it.
    const QByteArray payload = DiagnosticsReport(diagnostics, QDateTime::currentDateTime()).qrPayload().toUtf8();
    measure("  of which qrcodegen encodeText()", 1000,
            [&] { qrcodegen::QrCode::encodeText(payload.constData(), qrcodegen::QrCode::Ecc::MEDIUM); }, 0);
    const qrcodegen::QrCode code = qrcodegen::QrCode::encodeText(payload.constData(), qrcodegen::QrCode::Ecc::MEDIUM);
    measure(qPrintable(QStringLiteral("  of which SVG of %1 modules a side").arg(code.getSize())), 1000,
            [&] { QrCodeGenerator().toSvgString(code, 1); }, 0);
    return 0;
}
