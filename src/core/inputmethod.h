#pragma once

#include <QString>
#include <QStringList>

// Which on-screen keyboard the program uses. The vendor's "freevirtualkeyboard" input-method
// plug-in when it is installed, otherwise the distribution's Qt Virtual Keyboard; a
// QT_IM_MODULE given in the environment always wins. Decided in `main` before the application
// object exists, because the toolkit reads QT_IM_MODULE only then. The keyboard stays a plug-in
// loaded at run time, so a vendor can swap it without rebuilding the program.
struct InputMethodChoice
{
    QString module;  // the QT_IM_MODULE value; empty: no on-screen keyboard
    QString logLine; // what `main` logs once the log handler is in place
};

namespace InputMethod {

extern const QString FreeKeyboard;
extern const QString QtKeyboard;

// The decision alone: `fromEnvironment` is QT_IM_MODULE as the environment gives it (empty
// when unset), `installed` the keys of the installed input-context plug-ins.
InputMethodChoice choose(const QString& fromEnvironment, const QStringList& installed);

// The keys the input-context plug-ins under `libraryPaths` declare in their metadata, read
// without loading them.
QStringList installedKeys(const QStringList& libraryPaths);

// choose() on this process's environment and library paths; sets QT_IM_MODULE accordingly.
InputMethodChoice select();

} // namespace InputMethod
