#include "platform/TerminationSignals.h"

#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};
QPointer<QSocketNotifier> signalNotifier;

void OnTerminationSignal(int) {
    int saved = errno;
    char byte = 1;
    if (signalPipe[1] >= 0 && write(signalPipe[1], &byte, 1) < 0) {
        // Nothing can be done inside a signal handler; the pipe being full is fine.
    }
    errno = saved;
}

} // namespace

bool WatchTerminationSignals(QObject* context, std::function<void()> onSignal) {
    StopWatchingTerminationSignals();
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
        return false;
    }
    signalNotifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(signalNotifier, &QSocketNotifier::activated, context,
                     [onSignal = std::move(onSignal)] {
                         char buffer[16];
                         while (read(signalPipe[0], buffer, sizeof buffer) > 0) {
                         }
                         onSignal();
                     });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return true;
}

void StopWatchingTerminationSignals() {
    if (signalPipe[0] < 0)
        return;
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    delete signalNotifier;
    signalNotifier = nullptr;
    close(signalPipe[0]);
    close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}
