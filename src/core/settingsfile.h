#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// The INI files the program writes through the settings library (the settings, the event log,
// the login lock-out) are written whole into a new file that replaces the old one, under a
// lock file beside them ("gui.conf.lock"). That library waits for a lock without a time limit
// and treats an empty one (a power cut between its creation and its filling in) as stale only
// after 30 s. These helpers keep every writer from waiting on such a lock:
//
// - lockIsFree() removes a lock that nobody holds and that is old enough to be left over, and
//   says whether a write can start now without waiting; a lock whose holder is gone (a process
//   that no longer runs, an earlier boot) is left over at once, and so is one written before
//   this boot, whatever it holds (a power cut between its creation and its filling in);
// - a SettingsFile object runs a write at once when it can, and otherwise retries a little
//   later on the event loop, so the GUI thread never waits on a lock;
// - removeLeftovers() removes the half-written replacement files a power cut leaves;
// - makePrivate() keeps a file readable by its owner only.
class SettingsFile : public QObject
{
    Q_OBJECT
public:
    // A lock younger than this may be one that its writer has created and not yet filled in.
    static constexpr int FreshLockMs = 2000;
    // How soon a deferred write tries again.
    static constexpr int RetryMs = 50;
    // Replacement files older than this are left over from a write that never finished.
    static constexpr int LeftoverAgeMs = 60000;

    // write: puts the current state into fileName; it runs on the caller's thread.
    SettingsFile(const QString& fileName, std::function<void()> write, QObject* parent = nullptr);
    // A write still waiting gets a last, bounded try.
    ~SettingsFile() override;

    QString fileName() const { return m_fileName; }
    // Writes now when the lock is free, otherwise as soon as it is. True when written now.
    bool write();
    bool isPending() const { return m_retry.isActive(); }
    // Tries the waiting write for up to ms (at exit, off the screen's clock); true when done.
    bool flush(int ms);

    static QString lockFileName(const QString& fileName) { return fileName + QStringLiteral(".lock"); }
    // True when no writer holds the lock of fileName, after removing a left-over lock: one no
    // process holds and that is at least FreshLockMs old (by either clock direction) or names
    // a holder that is gone. Never removes a lock that a writer holds or may be filling in.
    static bool lockIsFree(const QString& fileName);
    // When this boot began, in milliseconds since the epoch by the wall clock (the kernel's
    // "btime" in /proc/stat, which follows the clock when it is set); 0 when unknown, and then
    // no lock counts as older than the boot. Tests put their own clock in; an empty one puts
    // the kernel's back.
    using BootClock = std::function<qint64()>;
    static void setBootClock(BootClock clock);
    static qint64 bootTimeMs();
    // Removes what an unfinished write of fileName left beside it ("gui.conf.Ab12Cd", the
    // library's replacement file) and, when given, copies matching copyPattern (a file name
    // pattern) in copyDir, if they are ours and older than LeftoverAgeMs. Returns how many.
    static int removeLeftovers(const QString& fileName, const QString& copyDir = QString(),
                               const QString& copyPattern = QString());
    // Creates fileName empty with mode 0600 when missing, and takes the rights of group and
    // others away when present.
    static void makePrivate(const QString& fileName);

signals:
    // A deferred write has been done.
    void written();

private:
    void retry();

    QString m_fileName;
    std::function<void()> m_write;
    QTimer m_retry;
    // A wait has been reported; the next one is reported again.
    bool m_waiting = false;
};
