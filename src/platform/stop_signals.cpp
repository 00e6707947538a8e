#include "platform/stop_signals.h"

#include <QObject>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>
#endif

namespace platform {

#ifdef Q_OS_UNIX
namespace {

int g_pipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    // Nothing else is safe in a handler; a full pipe already holds a pending stop.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
}

}  // namespace

void WatchStopSignals(QObject* context, std::function<void()> onStop) {
    if (g_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [onStop] {
        char buffer[64];
        [[maybe_unused]] const ssize_t got = ::read(g_pipe[1], buffer, sizeof buffer);
        onStop();
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
#else
void WatchStopSignals(QObject* context, std::function<void()> onStop) {
    (void)context;
    (void)onStop;
}
#endif

}  // namespace platform
