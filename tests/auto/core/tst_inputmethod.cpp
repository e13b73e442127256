#include "inputmethod.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtTest>

// The keyboard choice: the environment wins, then the vendor's keyboard, then Qt's.
class Tst_InputMethod : public QObject
{
    Q_OBJECT

private slots:
    void choose_data()
    {
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("logLine");

        const QStringList both{ "compose", "freevirtualkeyboard", "ibus", "qtvirtualkeyboard" };
        const QStringList qtOnly{ "compose", "ibus", "qtvirtualkeyboard" };
        QTest::newRow("environment wins over an installed free keyboard")
            << "qtvirtualkeyboard" << both << "qtvirtualkeyboard"
            << "[Main] On-screen keyboard: qtvirtualkeyboard (QT_IM_MODULE from the environment)";
        QTest::newRow("environment wins even when not installed")
            << "freevirtualkeyboard" << qtOnly << "freevirtualkeyboard"
            << "[Main] On-screen keyboard: freevirtualkeyboard (QT_IM_MODULE from the environment)";
        QTest::newRow("environment may pick a desktop method") << "ibus" << both << "ibus"
            << "[Main] On-screen keyboard: ibus (QT_IM_MODULE from the environment)";
        QTest::newRow("free keyboard installed") << "" << both << "freevirtualkeyboard"
                                                 << "[Main] On-screen keyboard: freevirtualkeyboard";
        QTest::newRow("free keyboard key in other case") << "" << QStringList{ "FreeVirtualKeyboard" }
                                                         << "freevirtualkeyboard"
                                                         << "[Main] On-screen keyboard: freevirtualkeyboard";
        QTest::newRow("free keyboard absent") << "" << qtOnly << "qtvirtualkeyboard"
            << "[Main] On-screen keyboard: qtvirtualkeyboard (freevirtualkeyboard is not installed)";
        QTest::newRow("neither installed") << "" << QStringList{ "compose" } << ""
            << "[Main] On-screen keyboard: none (neither freevirtualkeyboard nor qtvirtualkeyboard is installed)";
    }

    void choose()
    {
        QFETCH(QString, environment);
        QFETCH(QStringList, installed);
        QFETCH(QString, module);
        QFETCH(QString, logLine);

        const InputMethodChoice choice = InputMethod::choose(environment, installed);
        QCOMPARE(choice.module, module);
        QCOMPARE(choice.logLine, logLine);
    }

    // The plug-in metadata of this machine: scripts/setup installs Qt's keyboard.
    void readsInstalledPluginKeys()
    {
        QStringList keys = InputMethod::installedKeys(QCoreApplication::libraryPaths());
        QVERIFY2(keys.contains(InputMethod::QtKeyboard), qPrintable(keys.join(',')));
        QCOMPARE(keys.removeDuplicates(), 0);
    }

    void ignoresWhatIsNotAPlugin()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("platforminputcontexts")));
        QFile junk(dir.path() + QStringLiteral("/platforminputcontexts/libfreevirtualkeyboard.so"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a shared object");
        junk.close();
        QCOMPARE(InputMethod::installedKeys({ dir.path(), dir.path() + QStringLiteral("/missing") }), QStringList());
    }
};

QTEST_MAIN(Tst_InputMethod)
#include "tst_inputmethod.moc"
