// Runs the Qt Quick tests in tests/qml against the real controls and screens from the
// program's resources. Every tests/qml/fakes/Fake<Name>.qml is created once per test file and
// set as context property <name> (FakeManager.qml -> `manager`), standing in for the
// program's own objects; adding a fake is adding a file.
#include "inputmethod.h"
#include "symbolimageprovider.h"

#include <QDir>
#include <QFileInfo>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QtQuickTest>

class Setup : public QObject
{
    Q_OBJECT

public:
    // Runs before the application object exists: the same keyboard choice as the program's.
    Setup() { InputMethod::select(); }

public slots:
    void applicationAvailable()
    {
        QQuickStyle::setStyle(QStringLiteral("Material"));
    }

    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->addImageProvider(QStringLiteral("symbol"), new SymbolImageProvider);

        const QDir fakes(QStringLiteral(VOVADUDOZ_QML_FAKES));
        const QFileInfoList files = fakes.entryInfoList({ QStringLiteral("Fake*.qml") }, QDir::Files, QDir::Name);
        for (const QFileInfo& file : files) {
            QQmlComponent component(engine, QUrl::fromLocalFile(file.absoluteFilePath()));
            QObject* fake = component.create();
            if (!fake)
                qFatal("Fake %s does not load: %s", qPrintable(file.fileName()), qPrintable(component.errorString()));
            fake->setParent(engine);
            QString name = file.completeBaseName().mid(4);
            name[0] = name[0].toLower();
            engine->rootContext()->setContextProperty(name, fake);
        }
    }
};

QUICK_TEST_MAIN_WITH_SETUP(vovadudoz, Setup)

#include "main.moc"
