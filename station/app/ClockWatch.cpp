#include "station/app/ClockWatch.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "mox/rtl/SysUtils.h"
#include "station/app/ServiceStatus.h"

namespace {

bool Digits(const std::string& s, std::size_t pos, int& value)
{
    if (pos + 2 > s.size() || !std::isdigit((unsigned char)s[pos]) || !std::isdigit((unsigned char)s[pos + 1]))
        return false;
    value = (s[pos] - '0') * 10 + (s[pos + 1] - '0');
    return true;
}

}  // namespace

std::optional<time_t> ClockWatch::LineTime(const std::string& line)
{
    TDateTime date;
    int h, m, s;
    if (line.size() < 17 || line[8] != ' ' || line[11] != ':' || line[14] != ':' ||
        !TryStrToDateDMY(line.substr(0, 8), date) || !Digits(line, 9, h) || !Digits(line, 12, m) ||
        !Digits(line, 15, s) || h > 23 || m > 59 || s > 59)
        return std::nullopt;
    // Day 25569 of the date values is 1 January 1970.
    const long long days = std::llround(date) - 25569;
    return time_t(days * 86400 + h * 3600 + m * 60 + s);
}

std::string ClockWatch::Duration(long long seconds)
{
    seconds = std::llabs(seconds);
    const long long d = seconds / 86400, h = seconds / 3600 % 24, m = seconds / 60 % 60, s = seconds % 60;
    if (d > 0) return std::to_string(d) + (d == 1 ? " Tag " : " Tage ") + std::to_string(h) + " h";
    if (h > 0) return std::to_string(h) + " h " + std::to_string(m) + " min";
    if (m > 0) return std::to_string(m) + " min " + std::to_string(s) + " s";
    return std::to_string(s) + " s";
}

ClockWatch::Change ClockWatch::Line(const std::string& line, time_t nowUtc)
{
    const std::optional<time_t> t = LineTime(line);
    if (tolerance <= 0 || !t) return Change::None;
    const long long diff = (long long)*t - (long long)nowUtc;
    const long long away = std::llabs(diff);
    const bool outside = off ? 4 * away > 3LL * tolerance : away > tolerance;
    if (outside == off) return Change::None;
    if (changed && nowUtc - lastChange < kMinSecondsBetweenChanges) return Change::None;
    off = outside;
    changed = true;
    lastChange = nowUtc;
    if (off) {
        const std::string today = FormatDateTime("dd.mm.yy", double(nowUtc / 86400) + 25569);
        text = "Die Uhr des Geräts geht " + Duration(diff) + (diff > 0 ? " vor" : " nach") + " (Zeile \"" +
               line.substr(0, 17) + "\", Rechner " + today + " " + UtcTime(nowUtc) +
               " UTC). Die Zeilen werden nach der Uhr des Geräts abgelegt.";
    } else {
        text = "Die Uhr des Geräts stimmt wieder (Abweichung " + Duration(diff) + ").";
    }
    return off ? Change::Off : Change::Back;
}
