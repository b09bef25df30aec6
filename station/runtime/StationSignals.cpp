#include "station/runtime/StationSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int signal)
{
    const char c = char(signal);
    if (write(signalPipe[1], &c, 1) < 0) _exit(1);
}

}  // namespace

void OnStationSignals(QObject* owner, std::function<void()> stop, std::function<void()> publish)
{
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [stop, publish] {
        char c;
        if (read(signalPipe[0], &c, 1) <= 0) return;
        if (c == SIGUSR1) publish();
        else stop();
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGUSR1}) sigaction(signal, &action, nullptr);
}
