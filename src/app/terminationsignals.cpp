#include "app/terminationsignals.h"

#include <QSocketNotifier>

#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kyro {

namespace {

constexpr int kHandled[] = {SIGTERM, SIGINT, SIGHUP};

// The handler may only do what is safe in a signal handler: it writes the signal's number to a
// socket, whose other end the event loop watches.
int g_pipe[2] = {-1, -1};

void OnSignal(int signalNumber) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) return;
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::ReadPending);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kHandled) ::sigaction(s, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_) return;
    for (int s : kHandled) std::signal(s, SIG_DFL);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void TerminationSignals::ReadPending() {
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1) emit Received(byte);
}

}  // namespace kyro
