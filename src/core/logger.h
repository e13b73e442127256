#pragma once

#include <QMutex>
#include <QObject>

#include <atomic>

namespace manager {

// The process-wide message handler: filters by level through category rules, formats with
// the message pattern, stamps each line with the seconds since start, and writes to syslog
// and optionally to standard error. Created on first use and never destroyed.
//
// Every message becomes exactly one line of bounded length, with its secrets masked: line
// breaks and other control characters are written as escapes ("\n", "\x1b"), a text longer
// than MaxTextBytes is cut with a marker saying how long it was, and PINs, passwords and URL
// passwords become "********" (see SecretMask), whatever component wrote them.
class Logger
{
    Q_GADGET
public:
    enum Level { Errors = 0, Warnings = 1, Info = 2, Debug = 3, All = 4 };
    Q_ENUM(Level)

    static Logger* instance();

    void setLevel(Level level);
    void setLevel(int level);
    void setSyslog(bool on);
    void setStderr(bool on);
    void setColor(bool on);

    QMutex* getMutex();
    bool getSyslog() const;
    bool getStderr() const;
    // Whether a message of this type in the default category would be written anywhere: a
    // costly text is then built only when someone will read it.
    bool keeps(QtMsgType type) const;
    double getStartTime() const;

    // Milliseconds with a fraction on the monotonic clock: only differences mean anything.
    static double now();
    // "[%9.03f] " style stamp body: seconds right-aligned in nine characters, three decimals.
    static QByteArray formatElapsed(double seconds);
    static QString filterRules(Level level);
    static QString messagePattern(bool color);

    // Longest message text written, in UTF-8 bytes, marker included.
    static constexpr int MaxTextBytes = 4096;
    // What the handler makes of a message's text before the pattern is applied.
    static QString lineFor(const QString& text);

    // Where the handler writes; tests replace these to observe the output.
    using SyslogSink = void (*)(int priority, const char* line);
    using StderrSink = void (*)(const char* line);
    void setSinks(SyslogSink syslogSink, StderrSink stderrSink);
    // Moves the origin of the time stamps (tests).
    void setStartTime(double millis);

private:
    Logger();
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& text);

    QMutex m_mutex;
    // Read without the lock by the handler's early way out.
    std::atomic<bool> m_syslog { true };
    std::atomic<bool> m_stderr { false };
    double m_startTime = 0;
    SyslogSink m_syslogSink = nullptr;
    StderrSink m_stderrSink = nullptr;
};

} // namespace manager
