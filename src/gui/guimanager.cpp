#include "guimanager.h"

const QVariantMap GUIManager::Defaults {
    { QStringLiteral("log/level"), 2 },
    { QStringLiteral("log/syslog"), true },
    { QStringLiteral("log/stderr"), true },
    { QStringLiteral("log/color"), false },
    { QStringLiteral("mqtt/host"), QStringLiteral("localhost") },
    { QStringLiteral("mqtt/port"), 1883 },
    { QStringLiteral("mqtt/username"), QString() },
    { QStringLiteral("mqtt/password"), QString() },
    { QStringLiteral("mqtt/base"), QStringLiteral("orvo/ui") },
    // The maintenance PIN. Empty opens no session: it is provisioned per vehicle through
    // the settings file or "/config/set", never shipped as a universal default.
    { QStringLiteral("gui/settingsPin"), QString() },
    { QStringLiteral("gui/showCursor"), true },
    { QStringLiteral("gui/deviceId"), QStringLiteral("/etc/serialnumber") },
    { QStringLiteral("gui/locale"), QStringLiteral("el_GR") },
    { QStringLiteral("gui/displayOffMin"), 3 },
    { QStringLiteral("gui/shutdownDelaySec"), 60 },
    { QStringLiteral("gui/showErrorDesc"), false },
    { QStringLiteral("gui/screenSaverBg"), QStringLiteral("black") },
    { QStringLiteral("gui/screenSaverImg"), QStringLiteral("qrc:/qml/images/Icons/orvo.png") },
    { QStringLiteral("gui/animSwitchSec"), 0 },
    { QStringLiteral("topics/barcode"), QStringLiteral("orvo/barcode") },
    { QStringLiteral("topics/blm"), QStringLiteral("orvo/blm") },
    { QStringLiteral("topics/board"), QStringLiteral("orvo/board") },
    { QStringLiteral("topics/inspector"), QStringLiteral("orvo/inspector") },
    { QStringLiteral("topics/network"), QStringLiteral("orvo/network") },
    { QStringLiteral("topics/device"), QStringLiteral("orvo/device") },
};
