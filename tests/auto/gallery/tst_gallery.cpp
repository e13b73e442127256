#include "displayhost.h"
#include "gallery.h"
#include "inputmethod.h"
#include "screencheck.h"

#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

#include <memory>

// Every passenger screen drawn in English and Greek on the real window under a private X
// server with OpenGL (so graphical effects are drawn too): no screen may be blank and no text
// may be cut, elided or reach past the window's edges. The pictures and a contact sheet stay in
// the build tree (gallery-test/) for a look.
class Tst_Gallery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void textChecksFindFaults_data();
    void textChecksFindFaults();
    void screens_data();
    void screens();

private:
    std::unique_ptr<DisplayHost> m_host;
    QVector<GalleryShot> m_shots;
    QDir m_out;
};

void Tst_Gallery::initTestCase()
{
    if (QFontDatabase::addApplicationFont(QStringLiteral(":/qml/fonts/DejaVuSans.ttf")) >= 0)
        QGuiApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));
    m_host.reset(new DisplayHost);
    QVERIFY(m_host->load());
    QVERIFY(QTest::qWaitForWindowExposed(m_host->window()));
    m_out.setPath(QStringLiteral(VOVADUDOZ_BINARY_DIR "/gallery-test"));
    QVERIFY(m_out.mkpath(QStringLiteral(".")));
}

void Tst_Gallery::cleanupTestCase()
{
    if (!m_shots.isEmpty())
        contactSheet(m_shots).save(m_out.filePath(QStringLiteral("contact-sheet.png")));
    m_host.reset();
}

// The checker itself: each row is a text that a passenger could not read whole, except the
// last, which fits.
void Tst_Gallery::textChecksFindFaults_data()
{
    QTest::addColumn<QByteArray>("qml");
    QTest::addColumn<QString>("fault");

    QTest::newRow("wider than its box")
        << QByteArray("Text { width: 50; font.pixelSize: 20; text: 'a rather long line' }") << "px wide in a 50 px box";
    QTest::newRow("taller than its box")
        << QByteArray("Text { width: 100; height: 20; wrapMode: Text.WordWrap; font.pixelSize: 20;"
                      " text: 'one two three four five' }")
        << "px tall in a 20 px box";
    QTest::newRow("elided")
        << QByteArray("Text { width: 60; elide: Text.ElideRight; font.pixelSize: 20; text: 'a rather long line' }")
        << "elided or truncated";
    QTest::newRow("right-aligned past the left edge")
        << QByteArray("Text { x: 10; width: 40; horizontalAlignment: Text.AlignRight; font.pixelSize: 20;"
                      " wrapMode: Text.NoWrap; text: 'a rather long line' }")
        << "reaches outside the window width";
    QTest::newRow("past the right edge")
        << QByteArray("Text { x: 440; font.pixelSize: 20; text: 'far right' }") << "reaches outside the window width";
    QTest::newRow("cut by a clipping parent")
        << QByteArray("Item { width: 40; height: 40; clip: true; objectName: 'box';"
                      " Text { font.pixelSize: 20; text: 'spills out' } }")
        << "cut by its clipping parent box";
    // A scrolling list shows part of its rows: a row below the view is scrolled, not cut.
    QTest::newRow("scrolled out of a list")
        << QByteArray("Flickable { width: 100; height: 40; clip: true; contentHeight: 200;"
                      " Text { y: 150; text: 'further down' } }")
        << QString();
    QTest::newRow("fits") << QByteArray("Text { width: 300; wrapMode: Text.WordWrap; text: 'fits well' }") << QString();
}

void Tst_Gallery::textChecksFindFaults()
{
    QFETCH(QByteArray, qml);
    QFETCH(QString, fault);
    QQmlComponent component(&m_host->engine());
    component.setData("import QtQuick 2.15\n" + qml, QUrl());
    std::unique_ptr<QObject> object(component.create());
    QVERIFY2(object, qPrintable(component.errorString()));
    auto* item = qobject_cast<QQuickItem*>(object.get());
    QVERIFY(item);
    const QStringList problems = textProblems(item, QSize(480, 800));
    if (fault.isEmpty()) {
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    } else {
        QVERIFY2(problems.join('\n').contains(fault), qPrintable(problems.join('\n')));
    }
}

void Tst_Gallery::screens_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("language");
    const QVector<GalleryEntry> entries = galleryEntries();
    for (const QString& language : galleryLanguages()) {
        for (int i = 0; i < entries.size(); ++i)
            QTest::addRow("%s %s", qPrintable(entries[i].name), qPrintable(language)) << i << language;
    }
}

void Tst_Gallery::screens()
{
    QFETCH(int, entry);
    QFETCH(QString, language);
    const GalleryShot shot = drawEntry(*m_host, galleryEntries().at(entry), language);
    QVERIFY(!shot.image.isNull());
    QVERIFY(shot.image.save(m_out.filePath(shot.file)));
    m_shots << shot;
    QVERIFY2(shot.problems.isEmpty(), qPrintable(shot.problems.join('\n')));
}

int main(int argc, char** argv)
{
    reexecUnderXvfb(argv);
    InputMethod::select();
    QGuiApplication app(argc, argv);
    Tst_Gallery test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_gallery.moc"
