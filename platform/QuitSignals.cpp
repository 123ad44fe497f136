// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuitSignals.h"

#include "SystemLog.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vantrel {

namespace {

constexpr std::array quitSignals {SIGTERM, SIGINT, SIGHUP};

// The write end for the handler; -1 while no instance listens.
volatile sig_atomic_t writeEnd = -1;

extern "C" void onQuitSignal(int signalNumber)
{
    const int savedErrno = errno;
    const int fd = writeEnd;
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds a quit request: dropping this one loses nothing.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(QObject* parent)
    : QObject(parent)
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        systemLog(QStringLiteral("Vantrel: cannot watch for quit signals; they end the program at once"));
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    writeEnd = m_pipe[1];
    struct sigaction action
    { };
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : quitSignals)
        ::sigaction(signalNumber, &action, nullptr);
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readPipe);
}

QuitSignals::~QuitSignals()
{
    struct sigaction action
    { };
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : quitSignals)
        ::sigaction(signalNumber, &action, nullptr);
    writeEnd = -1;
    for (int& fd : m_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void QuitSignals::readPipe()
{
    unsigned char bytes[16];
    const ssize_t count = ::read(m_pipe[0], bytes, sizeof bytes);
    // Several signals in a row ask for one quit.
    if (count > 0)
        Q_EMIT quitRequested(bytes[count - 1]);
}

} // namespace vantrel
