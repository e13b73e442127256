#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Collects every log line written while it is alive, with its level, and hands the lines back
// to the test; the previous message handler is restored afterwards. One at a time.
class LogCapture
{
public:
    LogCapture() { s_current = this; s_previous = qInstallMessageHandler(handler); }
    ~LogCapture() { qInstallMessageHandler(s_previous); s_current = nullptr; }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList lines(QtMsgType type) const
    {
        QStringList result;
        for (const auto& line : m_lines)
            if (line.first == type)
                result << line.second;
        return result;
    }
    // Every line with its level, in order.
    QList<QPair<QtMsgType, QString>> entries() const { return m_lines; }
    QStringList all() const
    {
        QStringList result;
        for (const auto& line : m_lines)
            result << line.second;
        return result;
    }
    // Critical and warning lines together: what a bad message may cost in the log.
    QStringList problems() const { return lines(QtCriticalMsg) + lines(QtWarningMsg); }
    // Lines of any level equal to line, or starting with prefix.
    int count(const QString& line) const { return all().count(line); }
    int countStartingWith(const QString& prefix) const
    {
        int n = 0;
        for (const auto& line : m_lines)
            n += line.second.startsWith(prefix) ? 1 : 0;
        return n;
    }
    int countContaining(const QString& part) const
    {
        int n = 0;
        for (const auto& line : m_lines)
            n += line.second.contains(part) ? 1 : 0;
        return n;
    }
    bool contains(const QString& text) const
    {
        for (const auto& line : m_lines)
            if (line.second.contains(text))
                return true;
        return false;
    }
    void clear() { m_lines.clear(); }

private:
    static void handler(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        s_current->m_lines.append({type, text});
    }
    static inline LogCapture* s_current = nullptr;
    static inline QtMessageHandler s_previous = nullptr;
    QList<QPair<QtMsgType, QString>> m_lines;
};
