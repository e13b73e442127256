// The screenshot a depot asks for ("/screenshot/get"), on the real window with the "Valid"
// screen up, two figures:
//
//  1. its cost: the grab on the GUI thread and the scaling and PNG encoding on the grabber's
//     worker thread, and the whole request until the PNG is ready; the PNG's size.
//  2. the passenger's path beside it: from a screen change until the next swapped frame, with
//     pictures being encoded on a worker meanwhile and with the worker idle, alternating.
//
// Run under a private X server with OpenGL (as the vehicle draws) and again offscreen with the
// software renderer, where the grab goes through the scene graph (--offscreen).

#include "config.h"
#include "guimanager.h"
#include "screencheck.h"
#include "screengrabber.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Shots = 40;
constexpr int Switches = 200;
constexpr int Block = 20;   // alternate busy and idle runs so outside load hits both alike

template<typename Predicate>
bool spin(Predicate done, int ms = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

double percentileMs(std::vector<qint64> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return double(values[index]) / 1e6;
}

void print(const char* what, const std::vector<qint64>& ns)
{
    std::printf("  %-44s median %7.2f ms   p99 %7.2f ms   (n=%zu)\n", what, percentileMs(ns, 0.5),
                percentileMs(ns, 0.99), ns.size());
}

int run(int argc, char** argv, bool offscreen)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    Config config(dir.filePath(QStringLiteral("gui.conf")), GUIManager::Defaults);
    // No broker: the program keeps trying in the background; the screens are set here.
    config.set(QStringLiteral("mqtt/host"), QStringLiteral("127.0.0.1"));
    config.set(QStringLiteral("mqtt/port"), 9);
    config.set(QStringLiteral("log/syslog"), false);
    config.set(QStringLiteral("log/stderr"), false);
    config.set(QStringLiteral("gui/deviceId"), dir.filePath(QStringLiteral("serialnumber")));
    config.set(QStringLiteral("gui/locale"), QStringLiteral("en_IE"));
    GUIManager gui(config, dir.path());
    // Without a broker the controller would put up "OutOfOrder" at every failed attempt.
    QObject::disconnect(&gui.mqttClient(), nullptr, &gui, nullptr);
    gui.load();
    auto* window = qobject_cast<QQuickWindow*>(gui.engine().rootObjects().value(0));
    if (!window) {
        std::fprintf(stderr, "no window\n");
        return 1;
    }
    std::atomic<int> swaps { 0 };
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [&swaps] { ++swaps; }, Qt::DirectConnection);
    gui.setScreen(QStringLiteral("Valid"), 1000000);
    spin([&] { return swaps > 3; });

    std::printf("%s\n", offscreen ? "offscreen, software renderer (grab through the scene graph)"
                                  : "private X server, OpenGL through Mesa (window grab)");

    // 1. The picture.
    ScreenGrabber grabber;
    grabber.setWindow(window);
    std::vector<qint64> grab, encode, whole;
    QByteArray last;
    QSize lastSize;
    QObject::connect(&grabber, &ScreenGrabber::taken, &grabber, [&](const QByteArray& png, const QSize& size) {
        last = png;
        lastSize = size;
    });
    for (int i = 0; i < Shots; ++i) {
        last.clear();
        QElapsedTimer timer;
        timer.start();
        grabber.request();
        if (!spin([&] { return !last.isEmpty(); })) {
            std::fprintf(stderr, "no picture\n");
            return 1;
        }
        whole.push_back(timer.nsecsElapsed());
        grab.push_back(grabber.lastGrabNs());
        encode.push_back(grabber.lastEncodeNs());
    }
    std::printf(" screenshot of \"Valid\": %dx%d, %d bytes (limit %d)\n", lastSize.width(), lastSize.height(),
                int(last.size()), ScreenGrabber::MaxBytes);
    print(offscreen ? "grab (request until the scene graph's image)" : "grab (GUI thread)", grab);
    print("scale and encode (worker thread)", encode);
    print("request to PNG", whole);

    // 2. The passenger's path, with an encoding running beside it and without.
    const QImage picture = QImage::fromData(last, "PNG");
    QThreadPool worker;
    worker.setMaxThreadCount(1);
    std::atomic<bool> encoding { false };
    std::vector<qint64> busy, idle;
    const QString screens[] = { QStringLiteral("Invalid"), QStringLiteral("Valid") };
    for (int i = 0; i < Switches; ++i) {
        const bool withEncoding = (i / Block) % 2 == 0;
        if (withEncoding && !encoding) {
            encoding = true;
            worker.start([&] {
                ScreenGrabber::yieldToOthers(); // as the grabber's own worker
                while (encoding)
                    ScreenGrabber::encodePng(picture, ScreenGrabber::MaxBytes);
            });
        } else if (!withEncoding && encoding) {
            encoding = false;
            worker.waitForDone();
        }
        const int before = swaps;
        QElapsedTimer timer;
        timer.start();
        gui.setScreen(screens[i % 2], 1000000);
        if (!spin([&] { return swaps > before; })) {
            std::fprintf(stderr, "no frame\n");
            return 1;
        }
        (withEncoding ? busy : idle).push_back(timer.nsecsElapsed());
    }
    encoding = false;
    worker.waitForDone();
    print("screen change to frame, encoding beside it", busy);
    print("screen change to frame, worker idle", idle);
    std::printf(" passenger's median with encoding / idle: %.2fx\n",
                percentileMs(busy, 0.5) / std::max(0.001, percentileMs(idle, 0.5)));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const bool offscreen = argc > 1 && qstrcmp(argv[argc - 1], "--offscreen") == 0;
    if (offscreen) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_QUICK_BACKEND", "software");
        return run(argc, argv, true);
    }
    reexecUnderXvfb(argv);
    const int code = run(argc, argv, false);
    if (code != 0)
        return code;
    std::fflush(stdout);
    // The offscreen run in a process of its own: one platform per process.
    char offscreenArg[] = "--offscreen";
    char* const args[] = { argv[0], offscreenArg, nullptr };
    execv("/proc/self/exe", args);
    return 1;
}
