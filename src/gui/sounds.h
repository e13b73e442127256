#pragma once

#include <QString>

// The result sounds the package installs for the inspector service to play. Every part that
// asks for a sound (the screens, the maintenance pages, an applied barcode) takes its path here.
namespace sounds {

inline QString directory()
{
    return QStringLiteral("/opt/orvo/vovadudozad");
}

inline QString valid()
{
    return directory() + QStringLiteral("/Valid.wav");
}

inline QString invalid()
{
    return directory() + QStringLiteral("/Invalid.wav");
}

} // namespace sounds
