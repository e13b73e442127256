// Runs the Qt Quick tests in tests/qml against the real controls and screens from the
// program's resources. Every tests/qml/fakes/Fake<Name>.qml is created once per test file and
// set as context property <name> (FakeManager.qml -> `manager`), standing in for the
// program's own objects; adding a fake is adding a file. `testTranslator.load("el_GR")` puts the
// program's Greek catalogue in place, `load("")` takes it out; as in the program, texts change
// when the `dynTr` they are bound to notifies (`manager.dynTrChanged()`).
#include "inputmethod.h"
#include "qmlrules.h"
#include "symbolimageprovider.h"

#include <QDir>
#include <QFileInfo>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QTranslator>
#include <QtQuickTest>

class TestTranslator : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    Q_INVOKABLE bool load(const QString& language)
    {
        QCoreApplication::removeTranslator(&m_translator);
        bool ok = true;
        if (!language.isEmpty()) {
            ok = m_translator.load(QStringLiteral(":/qml/translations/VovadudozAD_") + language + QStringLiteral(".qm"));
            if (ok)
                QCoreApplication::installTranslator(&m_translator);
        }
        return ok;
    }

private:
    QTranslator m_translator;
};

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
        QmlRules::registerTypes();
        engine->rootContext()->setContextProperty(QStringLiteral("testTranslator"), new TestTranslator(engine));

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
