#pragma once
// Ctrl-C and a service manager's stop (SIGINT, SIGTERM) end the station as its Quit command
// does: the signal only wakes the event loop, which then runs `stop`.
#include <functional>

class QObject;

void OnStopSignals(QObject* owner, std::function<void()> stop);
