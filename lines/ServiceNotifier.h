#pragma once
// Tells the service manager how the station is: ready, still alive (watchdog), its state in
// words. Without NOTIFY_SOCKET in the environment every call does nothing.
#include <string>

class ServiceNotifier {
public:
    ServiceNotifier();

    bool Active() const { return active; }
    void Ready();
    void Stopping();
    // Sends the text only when it differs from the last one sent.
    void Status(const std::string& text);
    // Milliseconds between watchdog pings: half of what the manager allows; 0 without watchdog.
    int WatchdogIntervalMs() const { return watchdogMs; }
    void Ping();

private:
    void Send(const std::string& message);

    bool active = false;
    int watchdogMs = 0;
    std::string lastStatus;
};
