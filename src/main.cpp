#include "buildversion.h"
#include "cliargs.h"
#include "config.h"
#include "guimanager.h"
#include "inputmethod.h"
#include "signalwatcher.h"
#include "systemdnotifier.h"

#include <QDebug>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>

#include <csignal>

int main(int argc, char** argv)
{
    // The toolkit reads both variables only before the application object exists.
    const InputMethodChoice keyboard = InputMethod::select();
    // The default idle time delays the first frame after a scan by 5 ms.
    if (!qEnvironmentVariableIsSet("QT_QPA_UPDATE_IDLE_TIME"))
        qputenv("QT_QPA_UPDATE_IDLE_TIME", QByteArrayLiteral("0"));
    QCoreApplication::setApplicationName(QStringLiteral("VovadudozAD"));
    QCoreApplication::setApplicationVersion(buildVersion());

    // Help, version and a bad command line are answered before the window system is
    // touched, so they work on a machine without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (parseCLIArgs(arguments, false).exit) {
        QCoreApplication core(argc, argv);
        finishCLI(parseCLIArgs(QCoreApplication::arguments()));
    }

    // The toolkit reads this attribute only before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QGuiApplication app(argc, argv);
    // From here on a stop signal waits in the event loop for the normal way out.
    SignalWatcher stopSignals({ SIGTERM, SIGINT, SIGHUP });
    QGuiApplication::setApplicationName(QStringLiteral("VovadudozAD"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Vovadudoz AD"));
    QGuiApplication::setApplicationVersion(buildVersion());
    QGuiApplication::setOrganizationName(QStringLiteral("orvo"));
    QGuiApplication::setOrganizationDomain(QStringLiteral("vovadudoz.example"));

    const QVariantMap overrides = parseCLIArgs();
    const QString fileName = overrides.contains(QStringLiteral("config"))
        ? overrides.value(QStringLiteral("config")).toString()
        : QStringLiteral("gui.conf");

    Config config(fileName, GUIManager::Defaults);
    config.addOverrides(overrides);

    if (QFontDatabase::addApplicationFont(QStringLiteral(":/qml/fonts/DejaVuSans.ttf")) >= 0)
        QGuiApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));

    // The controller lives in `main` until the event loop ends; it is destroyed before the
    // store it reads, and it leaves the window's object tree on its way out.
    // As a service, the event log goes to the state folder systemd made (STATE_DIRECTORY),
    // which is also the working directory; by hand it stays next to the executable.
    GUIManager gui(config, qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0));
    qInfo().noquote().nospace() << keyboard.logLine;
    gui.load();
    SystemdNotifier systemd;
    systemd.readyOnFirstFrame(gui.engine());
    QObject::connect(&stopSignals, &SignalWatcher::received, &gui, [&gui, &systemd](int signalNumber) {
        qInfo().noquote().nospace() << "[GUIManager] Stop signal " << signalNumber << " received";
        systemd.notifyStopping();
        gui.stop(0);
    });

    return app.exec();
}
