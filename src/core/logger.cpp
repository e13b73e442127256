#include "logger.h"

#include "secretmask.h"

#include <QLoggingCategory>
#include <QMutexLocker>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <syslog.h>
#include <time.h>

namespace manager {

namespace {

void defaultSyslog(int priority, const char* line)
{
    syslog(priority, "%s", line);
}

void defaultStderr(const char* line)
{
    fputs(line, stderr);
    fflush(stderr);
}

} // namespace

Logger::Logger()
    : m_startTime(now())
    , m_syslogSink(defaultSyslog)
    , m_stderrSink(defaultStderr)
{
    qSetMessagePattern(messagePattern(false));
    QLoggingCategory::setFilterRules(filterRules(Info));
    qInstallMessageHandler(&Logger::handler);
}

Logger* Logger::instance()
{
    // Deliberately never destroyed: messages may still arrive during static destruction.
    static Logger* logger = new Logger;
    return logger;
}

double Logger::now()
{
    timespec ts {};
    // The monotonic clock: the stamps count the seconds since start even when NTP or a
    // technician sets the wall clock meanwhile.
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double(ts.tv_sec) * 1e9 + double(ts.tv_nsec)) / 1e6;
}

QByteArray Logger::formatElapsed(double seconds)
{
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%9.03f", seconds);
    return QByteArray(buffer);
}

QString Logger::filterRules(Level level)
{
    QStringList rules { QStringLiteral("*=true") };
    switch (level) {
    case Errors:
        rules << QStringLiteral("*.warning=false") << QStringLiteral("*.info=false")
              << QStringLiteral("*.debug=false") << QStringLiteral("qt.*=false");
        break;
    case Warnings:
        rules << QStringLiteral("*.info=false") << QStringLiteral("*.debug=false") << QStringLiteral("qt.*=false");
        break;
    case Info:
        rules << QStringLiteral("*.debug=false") << QStringLiteral("qt.*=false");
        break;
    case Debug:
        rules << QStringLiteral("qt.*=false");
        break;
    case All:
        break;
    }
    return rules.join(QLatin1Char('\n'));
}

QString Logger::messagePattern(bool color)
{
    if (!color)
        return QStringLiteral("%{if-fatal}%{function} at %{file}:%{line} (%{pid}:%{threadid}:%{qthreadptr}) - %{endif}%{message}");
    return QStringLiteral("%{if-category}[%{category}] %{endif}"
                          "%{if-info}%{message}%{endif}"
                          "%{if-warning}\x1b[33m%{message}\x1b[39m%{endif}"
                          "%{if-debug}\x1b[35m%{message}\x1b[39m%{endif}"
                          "%{if-critical}\x1b[31m%{message}\x1b[39m%{endif}"
                          "%{if-fatal}%{function} at %{file}:%{line} (%{pid}:%{threadid}:%{qthreadptr}) - \x1b[31m%{message}\x1b[39m%{endif}");
}

void Logger::setLevel(Level level)
{
    if (level < Errors || level > All)
        return;
    QMutexLocker lock(&m_mutex);
    QLoggingCategory::setFilterRules(filterRules(level));
}

void Logger::setLevel(int level)
{
    switch (level) {
    case 0: setLevel(Errors); break;
    case 1: setLevel(Warnings); break;
    case 3: setLevel(Debug); break;
    case 4: setLevel(All); break;
    default: setLevel(Info); break;
    }
}

void Logger::setSyslog(bool on)
{
    QMutexLocker lock(&m_mutex);
    m_syslog = on;
}

void Logger::setStderr(bool on)
{
    QMutexLocker lock(&m_mutex);
    m_stderr = on;
}

void Logger::setColor(bool on)
{
    QMutexLocker lock(&m_mutex);
    qSetMessagePattern(messagePattern(on));
}

QMutex* Logger::getMutex() { return &m_mutex; }
bool Logger::getSyslog() const { return m_syslog; }
bool Logger::getStderr() const { return m_stderr; }

bool Logger::keeps(QtMsgType type) const
{
    return (m_syslog || m_stderr) && QLoggingCategory::defaultCategory()->isEnabled(type);
}
double Logger::getStartTime() const { return m_startTime; }

void Logger::setSinks(SyslogSink syslogSink, StderrSink stderrSink)
{
    QMutexLocker lock(&m_mutex);
    m_syslogSink = syslogSink ? syslogSink : defaultSyslog;
    m_stderrSink = stderrSink ? stderrSink : defaultStderr;
}

void Logger::setStartTime(double millis)
{
    QMutexLocker lock(&m_mutex);
    m_startTime = millis;
}

QString Logger::lineFor(const QString& text)
{
    const QString masked = SecretMask::maskText(text);
    // One message, one line: a line break from a service text must not forge a second entry,
    // and an escape sequence must not reach a terminal.
    QString line;
    line.reserve(masked.size());
    for (const QChar c : masked) {
        const ushort u = c.unicode();
        if (u == '\n')
            line += QLatin1String("\\n");
        else if (u == '\r')
            line += QLatin1String("\\r");
        else if ((u < 0x20 && u != '\t') || u == 0x7f)
            line += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            line += c;
    }
    const QByteArray utf8 = line.toUtf8();
    if (utf8.size() <= MaxTextBytes)
        return line;
    const QByteArray marker = " [... cut, " + QByteArray::number(utf8.size()) + " bytes]";
    int cut = MaxTextBytes - marker.size();
    // Never split a character.
    while (cut > 0 && (uchar(utf8.at(cut)) & 0xC0) == 0x80)
        --cut;
    return QString::fromUtf8(utf8.left(cut) + marker);
}

void Logger::handler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    Logger* self = instance();
    // Nowhere to write: the line is not even formatted.
    if (type != QtFatalMsg && !self->m_syslog && !self->m_stderr)
        return;
    const QString line = lineFor(text);
    self->m_mutex.lock();
    const QByteArray message = qFormatLogMessage(type, context, line).toUtf8();
    const QByteArray stamp = "[" + formatElapsed((now() - self->m_startTime) / 1000.0) + "] ";

    if (self->m_syslog) {
        int priority = LOG_INFO;
        const char* marker = "";
        switch (type) {
        case QtDebugMsg: priority = LOG_DEBUG; marker = "[debug] "; break;
        case QtInfoMsg: priority = LOG_INFO; break;
        case QtWarningMsg: priority = LOG_WARNING; marker = "[warning] "; break;
        case QtCriticalMsg: priority = LOG_CRIT; marker = "[error] "; break;
        case QtFatalMsg: priority = LOG_ERR; marker = "[fatal] "; break;
        }
        self->m_syslogSink(priority, (stamp + marker + message).constData());
    }
    if (self->m_stderr)
        self->m_stderrSink((stamp + message + "\n").constData());
    if (type == QtFatalMsg)
        abort();
    self->m_mutex.unlock();
}

} // namespace manager
