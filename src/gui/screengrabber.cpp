#include "screengrabber.h"

#include <QBuffer>
#include <QDebug>
#include <QElapsedTimer>
#include <QQuickItem>
#include <QQuickItemGrabResult>
#include <QQuickWindow>
#include <QSharedPointer>

#include <cmath>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

const char* const Tag = "[GUIManager] ";
// Below this width a picture tells a depot nothing.
constexpr int MinWidth = 48;
constexpr int MaxAttempts = 8;

QByteArray toPng(const QImage& image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return QByteArray();
    return png;
}

} // namespace

ScreenGrabber::ScreenGrabber(QObject* parent)
    : QObject(parent)
{
    m_worker.setMaxThreadCount(1);
    m_frameWait.setSingleShot(true);
    m_frameWait.setInterval(FrameWaitMs);
    connect(&m_frameWait, &QTimer::timeout, this, [this] {
        m_framePending = false;
        grab();
    });
}

ScreenGrabber::~ScreenGrabber()
{
    // An encoding under way reports back to this object: let it finish first.
    m_worker.waitForDone();
}

void ScreenGrabber::setWindow(QQuickWindow* window)
{
    if (m_window)
        disconnect(m_window, nullptr, this, nullptr);
    m_window = window;
    // Emitted on the render thread where there is one: the connection queues it to ours.
    if (m_window)
        connect(m_window, &QQuickWindow::frameSwapped, this, &ScreenGrabber::onFrameSwapped);
}

void ScreenGrabber::onScreenChanged()
{
    m_framePending = true;
}

void ScreenGrabber::onFrameSwapped()
{
    m_framePending = false;
    if (m_frameWait.isActive()) {
        m_frameWait.stop();
        grab();
    }
}

void ScreenGrabber::request()
{
    if (m_busy)
        return;
    if (!m_window) {
        fail("there is no window");
        return;
    }
    m_busy = true;
    if (m_framePending) {
        // The passenger's new screen is drawn first; its frame is the one grabbed.
        m_window->update();
        m_frameWait.start();
        return;
    }
    grab();
}

void ScreenGrabber::grab()
{
    if (!m_window) {
        fail("the window is gone");
        return;
    }
    QElapsedTimer timer;
    timer.start();
    const QImage image = m_window->grabWindow();
    m_grabNs = timer.nsecsElapsed();
    if (!image.isNull()) {
        encode(image);
        return;
    }
    // Offscreen with the software renderer there is no window surface to read back; the
    // scene graph still renders the root item into an image, on the next frame.
    QQuickItem* root = m_window->contentItem();
    const QSharedPointer<QQuickItemGrabResult> result = root ? root->grabToImage() : nullptr;
    if (!result) {
        fail("the window gives no image");
        return;
    }
    connect(result.data(), &QQuickItemGrabResult::ready, this, [this, result, timer] {
        m_grabNs = timer.nsecsElapsed();
        const QImage image = result->image();
        if (image.isNull())
            fail("the window gives no image");
        else
            encode(image);
    });
}

void ScreenGrabber::encode(const QImage& image)
{
    m_worker.start([this, image] {
        yieldToOthers();
        QElapsedTimer timer;
        timer.start();
        QSize size;
        const QByteArray png = encodePng(image, MaxBytes, &size);
        const qint64 ns = timer.nsecsElapsed();
        QMetaObject::invokeMethod(this, [this, png, size, ns] {
            m_encodeNs = ns;
            if (png.isEmpty()) {
                fail("the picture does not fit in 200 KB");
                return;
            }
            m_busy = false;
            qInfo().noquote().nospace() << Tag << "Screenshot taken : " << size.width() << "x" << size.height()
                                        << ", " << png.size() << " bytes";
            emit taken(png, size);
        }, Qt::QueuedConnection);
    });
}

void ScreenGrabber::fail(const char* why)
{
    m_busy = false;
    qWarning().noquote().nospace() << Tag << "WARN: No screenshot: " << why;
    emit failed();
}

void ScreenGrabber::yieldToOthers()
{
#ifdef Q_OS_LINUX
    // Niceness is per thread on Linux; Qt's thread priorities do nothing under the default
    // scheduler.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
#endif
}

QByteArray ScreenGrabber::encodePng(const QImage& image, int maxBytes, QSize* size)
{
    // The window is opaque: no alpha channel to store.
    QImage frame = image.convertToFormat(QImage::Format_RGB888);
    for (int attempt = 0; attempt < MaxAttempts && !frame.isNull(); ++attempt) {
        const QByteArray png = toPng(frame);
        if (png.isEmpty())
            break;
        if (png.size() <= maxBytes) {
            if (size)
                *size = frame.size();
            return png;
        }
        // Bytes follow the area; aim a little below the limit so that one more pass is rare.
        const double factor = std::sqrt(double(maxBytes) / double(png.size())) * 0.9;
        const int width = int(frame.width() * factor);
        if (width < MinWidth)
            break;
        frame = frame.scaledToWidth(width, Qt::SmoothTransformation);
    }
    return QByteArray();
}
