#include "lines/ServiceNotifier.h"

#include <systemd/sd-daemon.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

ServiceNotifier::ServiceNotifier()
{
    const char* socket = std::getenv("NOTIFY_SOCKET");
    active = socket && *socket;
    uint64_t usec = 0;
    if (active && sd_watchdog_enabled(0, &usec) > 0 && usec > 0)
        watchdogMs = int(std::clamp<uint64_t>(usec / 2000, 1, 24ull * 3600 * 1000));
}

void ServiceNotifier::Send(const std::string& message)
{
    if (active) sd_notify(0, message.c_str());
}

void ServiceNotifier::Ready() { Send("READY=1"); }

void ServiceNotifier::Stopping() { Send("STOPPING=1"); }

void ServiceNotifier::Ping() { Send("WATCHDOG=1"); }

void ServiceNotifier::Status(const std::string& text)
{
    if (text == lastStatus) return;
    lastStatus = text;
    // One line: the manager shows the status as a single line.
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    Send("STATUS=" + line);
}
