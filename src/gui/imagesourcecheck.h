#pragma once

#include <QString>
#include <QUrl>

// Decides whether a picture named by a setting (the screen saver's "gui/screenSaverImg") may be
// shown. A setting arrives from the settings file and from "/config/set", so the value is
// untrusted: only a picture compiled into the program (qrc:/...) or a regular file of at most
// MaxFileBytes inside the program's own state folder is taken, and only when its header
// declares at most MaxSide pixels a side. Everything else (devices, named pipes, network URLs,
// links that lead out of the folder, pictures that would decode to hundreds of megabytes) is
// refused without opening it, and the caller shows its default picture instead.
//
// The GUI manager owns one and asks it for the URL the window loads; the window loads that URL
// asynchronously, at a bounded size.
class ImageSourceCheck
{
public:
    static constexpr qint64 MaxFileBytes = 2 * 1024 * 1024;
    static constexpr int MaxSide = 2048;

    // ownFolder: the only folder whose files are shown (the state folder).
    explicit ImageSourceCheck(const QString& ownFolder);

    // Why value is refused, or an empty text when it is accepted; accepted then holds the URL
    // to load (a qrc: URL, or a file: URL of the link-free path).
    QString refusal(const QString& value, QUrl* accepted = nullptr) const;

    // The URL to show for value: its accepted URL, or fallback. A refusal is logged once per
    // value, not on every read.
    QString source(const QString& value, const QString& fallback);

private:
    QString headerRefusal(const QString& path) const;

    QString m_ownFolder;
    QString m_lastValue;
    QString m_lastSource;
    bool m_checked = false;
};
