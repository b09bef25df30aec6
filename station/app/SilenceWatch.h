#pragma once
// Notices a device that stops sending without hanging up (some USB adapters go deaf). Times
// come from the caller: `mono` in seconds from a steady clock for the waiting, `wall` the
// computer's clock for what the observer is told.
#include <ctime>
#include <deque>
#include <string>

class SilenceWatch {
public:
    // Seconds without a line before the alarm; 0 or less: three times the usual gap between
    // lines, at least 120 s.
    explicit SilenceWatch(int configuredSeconds = 0);

    // The port is open and listening from now on. Also after a pause or a loss of the device.
    void Listen(double mono, time_t wall);
    // Paused or device gone: that is told otherwise, no alarm meanwhile.
    void Stop();
    // A line arrived. True when this ends an alarm.
    bool Line(double mono, time_t wall);

    enum class Action { None, Raise, Reopen };
    // Raise: the alarm begins now (tell it, reopen the port). Reopen: still silent one more
    // silence time later, try the port once more.
    Action Check(double mono);

    bool Alarmed() const { return alarmed; }
    double LimitSeconds() const;
    // "Keine Daten seit hh:mm UTC": since the last line, or since listening began.
    std::string AlarmText() const;

private:
    int configured;
    bool listening = false;
    bool alarmed = false;
    double since = 0;      // last line or start of listening, steady clock
    double lastLine = -1;  // steady clock of the last line while listening; -1 none
    time_t sinceWall = 0;
    std::deque<double> gaps;  // the latest gaps between lines
};
