#pragma once
// Compares the device's clock, as its lines carry it ("dd.mm.yy hh:mm:ss"), with the
// computer's UTC. A device set wrongly files its lines into the wrong day; the line is still
// filed as sent, but the observer hears of it once, and again when the clock is right again.
// A clock near the tolerance must not make the station flap between the two: the all clear
// needs the difference back within three quarters of the tolerance, and the state changes at
// most once a minute.
#include <ctime>
#include <optional>
#include <string>

class ClockWatch {
public:
    // A tolerance of 0 or less turns the comparison off.
    explicit ClockWatch(int toleranceSeconds = 120) : tolerance(toleranceSeconds) {}

    enum class Change { None, Off, Back };
    Change Line(const std::string& line, time_t nowUtc);

    bool Off() const { return off; }
    // What to tell after a change: the difference, the line's and the computer's time.
    const std::string& Text() const { return text; }

    // The line's time as seconds since 1970 (UTC), if it starts with a valid date and time.
    static std::optional<time_t> LineTime(const std::string& line);
    // "3 h 12 min 5 s", "2534 Tage 4 h".
    static std::string Duration(long long seconds);

private:
    static constexpr time_t kMinSecondsBetweenChanges = 60;

    int tolerance;
    bool off = false;
    bool changed = false;
    time_t lastChange = 0;
    std::string text;
};
