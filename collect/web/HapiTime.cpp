#include "collect/web/HapiTime.h"

#include <cstdio>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// `n` digits at `at` into `value`.
bool Number(const std::string& s, std::size_t at, std::size_t n, int& value)
{
    if (at + n > s.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (!IsDigit(s[i])) return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && LeapYear(y) ? 29 : days[m - 1];
}

}  // namespace

std::int64_t DaysFromCivil(int year, unsigned month, unsigned day)
{
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return std::int64_t(era) * 146097 + std::int64_t(doe) - 719468;
}

std::string DayName(std::int64_t days)
{
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const long long y = (long long)(yoe) + era * 400 + (m <= 2 ? 1 : 0);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld%02u%02u", y, m, d);
    return text;
}

std::optional<std::int64_t> ParseHapiTime(const std::string& input)
{
    std::string s = input;
    if (!s.empty() && s.back() == 'Z') s.pop_back();
    int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    if (!Number(s, 0, 4, year)) return std::nullopt;
    std::size_t at = 4;
    if (at < s.size()) {
        if (s[at] != '-') return std::nullopt;
        // yyyy-mm-dd or yyyy-ddd: the length of the date part tells which.
        const std::size_t t = s.find('T');
        const std::size_t dateEnd = t == std::string::npos ? s.size() : t;
        if (dateEnd == 10) {
            if (!Number(s, 5, 2, month) || s[7] != '-' || !Number(s, 8, 2, day)) return std::nullopt;
            if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
        } else if (dateEnd == 8) {
            int ordinal = 0;
            if (!Number(s, 5, 3, ordinal) || ordinal < 1 || ordinal > (LeapYear(year) ? 366 : 365)) return std::nullopt;
            for (month = 1; ordinal > DaysInMonth(year, month); ++month) ordinal -= DaysInMonth(year, month);
            day = ordinal;
        } else {
            return std::nullopt;
        }
        at = dateEnd;
    }
    bool fraction = false;
    if (at < s.size()) {
        ++at;  // the 'T'
        if (!Number(s, at, 2, hour)) return std::nullopt;
        at += 2;
        if (at < s.size()) {
            if (s[at] != ':' || !Number(s, at + 1, 2, minute)) return std::nullopt;
            at += 3;
        }
        if (at < s.size()) {
            if (s[at] != ':' || !Number(s, at + 1, 2, second)) return std::nullopt;
            at += 3;
        }
        if (at < s.size()) {
            if (s[at] != '.' || at + 1 >= s.size()) return std::nullopt;
            for (std::size_t i = at + 1; i < s.size(); ++i) {
                if (!IsDigit(s[i])) return std::nullopt;
                fraction = fraction || s[i] != '0';
            }
        }
        if (minute > 59 || second > 59 || hour > 24 || (hour == 24 && (minute || second || fraction)))
            return std::nullopt;
    }
    return DaysFromCivil(year, unsigned(month), unsigned(day)) * 86400 + hour * 3600 + minute * 60 + second +
           (fraction ? 1 : 0);
}

std::string FormatHapiTime(std::int64_t seconds)
{
    std::int64_t days = seconds / 86400, rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const std::string d = DayName(days);
    char text[32];
    std::snprintf(text, sizeof text, "%.4s-%.2s-%.2sT%02d:%02d:%02dZ", d.c_str(), d.c_str() + 4, d.c_str() + 6,
                  int(rest / 3600), int(rest / 60 % 60), int(rest % 60));
    return text;
}

std::optional<std::int64_t> DeviceLineTime(const char* s, std::size_t n)
{
    if (n < 17 || s[2] != '.' || s[5] != '.' || s[8] != ' ' || s[11] != ':' || s[14] != ':') return std::nullopt;
    for (std::size_t i : {0, 1, 3, 4, 6, 7, 9, 10, 12, 13, 15, 16})
        if (!IsDigit(s[i])) return std::nullopt;
    auto two = [s](std::size_t i) { return (s[i] - '0') * 10 + (s[i + 1] - '0'); };
    const int day = two(0), month = two(3), year = 2000 + two(6), hour = two(9), minute = two(12), second = two(15);
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return DaysFromCivil(year, unsigned(month), unsigned(day)) * 86400 + hour * 3600 + minute * 60 + second;
}
