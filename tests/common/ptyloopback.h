#pragma once

#include <QString>

#include <atomic>
#include <thread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal standing in for a serial port with a loop-back plug. The program opens the
// terminal side (`path()`); a thread on the other side sends back what it receives, changed or
// not at all on request. The loop-back test blocks its own thread while it waits, so the echo
// cannot live on the test's event loop.
class PtyLoopback
{
public:
    enum Mode {
        Echo,      // the plug is in
        EchoOther, // a noisy line: every byte comes back, but not as sent
        Silent,    // no plug
    };

    explicit PtyLoopback(Mode mode)
    {
        char name[128] = {};
        if (::openpty(&m_master, &m_terminal, name, nullptr, nullptr) != 0)
            return;
        // Raw from the start: a cooked terminal would echo stray bytes back to us forever.
        termios settings {};
        ::tcgetattr(m_terminal, &settings);
        ::cfmakeraw(&settings);
        ::tcsetattr(m_terminal, TCSANOW, &settings);
        if (::pipe(m_stop) != 0)
            return;
        m_path = QString::fromLocal8Bit(name);
        m_thread = std::thread([this, mode] { serve(mode); });
    }

    ~PtyLoopback()
    {
        if (m_thread.joinable()) {
            const char stop = 0;
            (void)!::write(m_stop[1], &stop, 1);
            m_thread.join();
        }
        for (int fd : { m_master, m_terminal, m_stop[0], m_stop[1] })
            if (fd >= 0)
                ::close(fd);
    }
    PtyLoopback(const PtyLoopback&) = delete;
    PtyLoopback& operator=(const PtyLoopback&) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    // The terminal node, such as "/dev/pts/3".
    QString path() const { return m_path; }
    // Bytes that arrived from the program.
    int received() const { return m_received; }

private:
    void serve(Mode mode)
    {
        pollfd fds[2] = { { m_master, POLLIN, 0 }, { m_stop[0], POLLIN, 0 } };
        for (;;) {
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (fds[1].revents)
                return;
            if (!(fds[0].revents & POLLIN))
                continue;
            char buffer[64];
            const ssize_t count = ::read(m_master, buffer, sizeof buffer);
            if (count <= 0)
                continue;
            m_received += int(count);
            if (mode == Silent)
                continue;
            if (mode == EchoOther)
                for (ssize_t i = 0; i < count; ++i)
                    buffer[i] = char(buffer[i] + 1);
            (void)!::write(m_master, buffer, size_t(count));
        }
    }

    int m_master = -1;
    int m_terminal = -1; // held open so that the other side never sees a hang-up between tests
    int m_stop[2] = { -1, -1 };
    QString m_path;
    std::atomic<int> m_received { 0 };
    std::thread m_thread;
};
