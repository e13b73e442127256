#include "buildversion.h"
#include "displayhost.h"
#include "gallery.h"
#include "inputmethod.h"
#include "screencheck.h"

#include <QAccessible>
#include <QCommandLineParser>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QTextStream>

// Draws every passenger screen in English and Greek into PNG files and one contact sheet,
// and says which pictures fail a screen check (blank, texts that do not fit, overlaps, cut rows,
// contrast, keyboard, accessibility).
int main(int argc, char** argv)
{
    reexecUnderXvfb(argv);
    // The keyboard the program would use, chosen the same way before the application exists.
    InputMethod::select();
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(buildVersion());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Screenshot gallery of the passenger screens"));
    parser.addHelpOption();
    parser.addOption({ { "o", "out" }, "Folder for the pictures (default: gallery).", "folder", "gallery" });
    parser.addOption({ "only", "Only entries whose name contains text.", "text" });
    parser.process(app);

    QTextStream out(stdout);
    QDir dir;
    const QString folder = parser.value("out");
    if (!dir.mkpath(folder)) {
        out << "cannot create " << folder << "\n";
        return 2;
    }
    if (QFontDatabase::addApplicationFont(QStringLiteral(":/qml/fonts/DejaVuSans.ttf")) >= 0)
        QGuiApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));

    DisplayHost host;
    if (!host.load()) {
        out << "the window does not load\n";
        return 2;
    }
    // As when a screen reader starts after the program: the controls learn of it then (and
    // only then: no reader listens on the private X server).
    QAccessible::setActive(false);
    QAccessible::setActive(true);
    QVector<GalleryShot> shots;
    int faulty = 0;
    for (const QString& language : galleryLanguages()) {
        for (const GalleryEntry& entry : galleryEntries()) {
            if (parser.isSet("only") && !entry.name.contains(parser.value("only")))
                continue;
            GalleryShot shot = drawEntry(host, entry, language);
            shot.image.save(QDir(folder).filePath(shot.file));
            out << (shot.problems.isEmpty() ? "ok    " : "FAULT ") << shot.file << "\n";
            for (const QString& problem : qAsConst(shot.problems))
                out << "        " << problem << "\n";
            for (const QString& known : qAsConst(shot.known))
                out << "        " << known << "\n";
            faulty += shot.problems.isEmpty() ? 0 : 1;
            shots << shot;
        }
    }
    contactSheet(shots).save(QDir(folder).filePath("contact-sheet.png"));
    if (!parser.isSet("only")) {
        for (const QString& unseen : unseenKnownFaults())
            out << "known fault no longer seen (remove it from knownfaults.cpp): " << unseen << "\n";
    }
    out << shots.size() << " pictures in " << QDir(folder).absolutePath() << ", " << faulty << " with faults\n";
    return faulty == 0 ? 0 : 1;
}
