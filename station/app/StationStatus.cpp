#include "station/app/StationStatus.h"

#include <cmath>
#include <cstdio>

#include "lines/DayLogger.h"
#include "lines/LineDay.h"
#include "mox/Mm.h"
#include "mox/rtl/Json.h"
#include "mox/rtl/SysUtils.h"

namespace {

constexpr int kAlarmWindowMinutes = 60;

bool Digits(const std::string& s, std::size_t at, std::size_t n)
{
    for (std::size_t i = at; i < at + n; ++i)
        if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    return true;
}

int NewestReading(const TMOX_Diagram& d, int curve)
{
    for (int i = TMOX_Diagram::DayLength; i >= 1; --i)
        if (std::isfinite(d.get_data(curve, i))) return i;
    return 0;
}

// The drawing's alarm rule (reading i against reading i - 10), asked only for the newest hour.
bool RecentAlarm(const TMOX_Diagram& d, int curve, int newest)
{
    const double threshold = d.get_Alarm_threshold();
    for (int i = std::max(11, newest - kAlarmWindowMinutes + 1); i <= newest; ++i) {
        const double now = d.get_data(curve, i), before = d.get_data(curve, i - 10);
        if (std::isfinite(now) && std::isfinite(before) && std::fabs(now - before) >= threshold) return true;
    }
    return false;
}

}  // namespace

std::string LineTimeIso(const std::string& line)
{
    std::string day;
    if (DayOfLine(line, day) != LineDay::Found) return {};
    if (!Digits(line, 9, 2) || line[11] != ':' || !Digits(line, 12, 2) || line.size() < 17 || line[14] != ':' ||
        !Digits(line, 15, 2))
        return {};
    return day.substr(0, 4) + "-" + day.substr(4, 2) + "-" + day.substr(6, 2) + "T" + line.substr(9, 8) + "Z";
}

std::string StationStatusJson(const TMOX_Diagram& d, bool withPreviousDay, const std::string& station,
                              const std::string& newestLine, std::size_t backlog)
{
    const int curves[2] = {withPreviousDay ? 2 : 1, withPreviousDay ? 4 : 2};
    std::string k = "[";
    int kMax = -1;
    for (int block = 1; block <= TMOX_Diagram::BlockCount; ++block) {
        // The newest day's curves only: with the day before loaded the combined index would
        // mix two days.
        int value = -1;
        for (int c : curves)
            if (d.is_loaded(c) && d.get_is_K_curve(c)) value = std::max(value, d.get_K_Curve(c, block));
        kMax = std::max(kMax, value);
        if (block > 1) k += ",";
        k += value < 0 ? "null" : std::to_string(value);
    }
    k += "]";

    bool alarm = false;
    std::string kDay = "null";
    for (int c : curves) {
        if (!d.is_loaded(c)) continue;
        if (kDay == "null") kDay = JsonString(FormatDateTime("yyyy-mm-dd", d.get_Header(c).Date));
        alarm = alarm || RecentAlarm(d, c, NewestReading(d, c));
    }

    std::string components = "[";
    const std::string letters = DayLogger::ComponentText(newestLine);
    for (char letter : letters) {
        if (letter == '/') continue;
        if (components.size() > 1) components += ",";
        components += JsonString(std::string(1, letter));
    }
    components += "]";

    const std::string time = LineTimeIso(newestLine);
    return "{\"station\":" + JsonString(station) + ",\"time\":" + (time.empty() ? "null" : JsonString(time)) +
           ",\"k\":" + k + ",\"k_day\":" + kDay + ",\"k_max\":" + (kMax < 0 ? "null" : std::to_string(kMax)) +
           ",\"alarm\":" + (alarm ? "true" : "false") + ",\"components\":" + components +
           ",\"location\":" + JsonString(d.get_Ort()) + ",\"latitude\":" + JsonString(d.get_Breite()) +
           ",\"longitude\":" + JsonString(d.get_Laenge()) + ",\"locator\":" + JsonString(d.get_Locator()) +
           ",\"author\":" + JsonString(d.get_Autor()) + ",\"backlog\":" + std::to_string(backlog) + "}";
}
