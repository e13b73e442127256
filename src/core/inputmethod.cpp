#include "inputmethod.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>

namespace InputMethod {

const QString FreeKeyboard = QStringLiteral("freevirtualkeyboard");
const QString QtKeyboard = QStringLiteral("qtvirtualkeyboard");

InputMethodChoice choose(const QString& fromEnvironment, const QStringList& installed)
{
    const QString tag = QStringLiteral("[Main] On-screen keyboard: ");
    if (!fromEnvironment.isEmpty())
        return { fromEnvironment, tag + fromEnvironment + QStringLiteral(" (QT_IM_MODULE from the environment)") };
    if (installed.contains(FreeKeyboard, Qt::CaseInsensitive))
        return { FreeKeyboard, tag + FreeKeyboard };
    if (installed.contains(QtKeyboard, Qt::CaseInsensitive))
        return { QtKeyboard, tag + QtKeyboard + QStringLiteral(" (") + FreeKeyboard + QStringLiteral(" is not installed)") };
    return { QString(), tag + QStringLiteral("none (neither ") + FreeKeyboard + QStringLiteral(" nor ") + QtKeyboard
                            + QStringLiteral(" is installed)") };
}

QStringList installedKeys(const QStringList& libraryPaths)
{
    QStringList keys;
    for (const QString& path : libraryPaths) {
        const QDir folder(path + QStringLiteral("/platforminputcontexts"));
        const QStringList files = folder.entryList(QDir::Files, QDir::Name);
        for (const QString& file : files) {
            const QJsonObject meta = QPluginLoader(folder.absoluteFilePath(file)).metaData();
            const QJsonArray declared = meta.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("Keys")).toArray();
            for (const QJsonValue& key : declared)
                if (!key.toString().isEmpty() && !keys.contains(key.toString(), Qt::CaseInsensitive))
                    keys << key.toString();
        }
    }
    return keys;
}

InputMethodChoice select()
{
    const InputMethodChoice choice = choose(qEnvironmentVariable("QT_IM_MODULE"), installedKeys(QCoreApplication::libraryPaths()));
    if (choice.module.isEmpty())
        qunsetenv("QT_IM_MODULE");
    else
        qputenv("QT_IM_MODULE", choice.module.toLocal8Bit());
    // The window hosts the one keyboard panel. Without this, Qt's keyboard opens a top-level
    // window of its own whenever it is asked to show while no panel is in the scene, and that
    // window takes taps meant for the screen below it.
    qputenv("QT_VIRTUALKEYBOARD_DESKTOP_DISABLE", "1");
    return choice;
}

} // namespace InputMethod
