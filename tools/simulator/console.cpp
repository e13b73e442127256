#include "console.h"

#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
int signalPipe[2] = { -1, -1 };

void onUnixSignal(int)
{
    const char byte = 1;
    // Nothing else is safe in a signal handler; the event loop does the rest.
    const ssize_t written = ::write(signalPipe[1], &byte, 1);
    (void)written;
}
} // namespace

Console::Console(bool showPrompt, QObject* parent)
    : QObject(parent)
    , m_showPrompt(showPrompt && ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO))
{
    if (::pipe(signalPipe) == 0) {
        ::fcntl(signalPipe[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(signalPipe[1], F_SETFD, FD_CLOEXEC);
        m_signals = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
        connect(m_signals, &QSocketNotifier::activated, this, &Console::onSignal);
        struct sigaction action = {};
        action.sa_handler = onUnixSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGHUP, &action, nullptr);
    }
    m_input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_input, &QSocketNotifier::activated, this, &Console::onInput);
}

Console::~Console()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    delete m_signals;
    for (int& fd : signalPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void Console::print(const QString& text)
{
    if (text.isEmpty())
        return;
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void Console::prompt()
{
    if (!m_showPrompt)
        return;
    std::fputs("sim> ", stdout);
    std::fflush(stdout);
}

void Console::onInput()
{
    char chunk[4096];
    const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (count <= 0) {
        // End of input (or an unreadable terminal): stop watching, let the owner decide.
        m_input->setEnabled(false);
        emit endOfInput();
        return;
    }
    m_buffer.append(chunk, int(count));
    // A line longer than any command is noise; drop it rather than grow without bound.
    if (m_buffer.size() > 65536 && !m_buffer.contains('\n'))
        m_buffer.clear();
    int end;
    while ((end = m_buffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(m_buffer.left(end)).trimmed();
        m_buffer.remove(0, end + 1);
        emit lineEntered(line);
    }
}

void Console::onSignal()
{
    char bytes[16];
    const ssize_t count = ::read(signalPipe[0], bytes, sizeof bytes);
    (void)count;
    emit interrupted();
}
