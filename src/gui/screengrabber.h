#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QThreadPool>
#include <QTimer>

class QQuickWindow;

// Takes a picture of the passenger window for a remote party and hands it over as a PNG.
//
// Only the grab itself runs on the GUI thread, and never while a new screen waits for its
// first frame: the passenger's result is drawn first, then grabbed. Scaling and PNG encoding
// run on a worker thread of its own. A platform that cannot read the window back (offscreen
// with the software renderer) is asked for the scene through the root item instead. A request
// while one is under way joins it. The GUI manager owns it and feeds it the window and the
// screen changes.
class ScreenGrabber : public QObject
{
    Q_OBJECT
public:
    // The largest PNG handed over; larger pictures are scaled down until they fit.
    static constexpr int MaxBytes = 200 * 1024;
    // How long a grab waits for the frame of a new screen before it goes ahead anyway.
    static constexpr int FrameWaitMs = 500;

    explicit ScreenGrabber(QObject* parent = nullptr);
    ~ScreenGrabber() override;

    void setWindow(QQuickWindow* window);
    bool busy() const { return m_busy; }

    // The PNG of image, scaled down (keeping its proportions) until it is at most maxBytes;
    // empty when not even a small picture fits. Runs on any thread.
    static QByteArray encodePng(const QImage& image, int maxBytes, QSize* size = nullptr);
    // Makes the calling thread give way to every other thread of the program (the GUI and
    // render threads first); the encoding worker runs this way.
    static void yieldToOthers();

    // What the last picture cost: the grab on the GUI thread, the encoding on the worker.
    qint64 lastGrabNs() const { return m_grabNs; }
    qint64 lastEncodeNs() const { return m_encodeNs; }

public slots:
    void request();
    // The screen changed: its first frame is not drawn yet.
    void onScreenChanged();

signals:
    void taken(const QByteArray& png, const QSize& size);
    // No picture: no window, or the window gave no image.
    void failed();

private slots:
    void onFrameSwapped();

private:
    void grab();
    void encode(const QImage& image);
    void fail(const char* why);

    QPointer<QQuickWindow> m_window;
    QThreadPool m_worker;
    QTimer m_frameWait;
    bool m_busy = false;
    bool m_framePending = false;
    qint64 m_grabNs = 0;
    qint64 m_encodeNs = 0;
};
