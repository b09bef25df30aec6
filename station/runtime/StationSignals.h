#pragma once
// What the station does on a signal. Ctrl-C and a service manager's stop (SIGINT, SIGTERM) end
// it as its Quit command does. SIGUSR1 publishes at once (`systemctl kill -s USR1 mox-station`):
// after the observer changed the page templates or the picture settings, or to see a new
// station's first picture without waiting for the batch interval. The signal only wakes the
// event loop, which then runs the action.
#include <functional>

class QObject;

void OnStationSignals(QObject* owner, std::function<void()> stop, std::function<void()> publish);
