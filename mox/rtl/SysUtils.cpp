#include "mox/rtl/SysUtils.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <langinfo.h>
#include <locale.h>

namespace {

// Day 0 of TDateTime, 30.12.1899, counted in days from 1.1.1970.
constexpr long long kEpochOffset = -25569;

long long DaysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (long long)doe - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400 + (m <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

char LocaleDecimalSeparator()
{
    locale_t loc = newlocale(LC_NUMERIC_MASK, "", (locale_t)0);
    if (loc == (locale_t)0) return '.';
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    const char sep = (radix && radix[0] && !radix[1]) ? radix[0] : '.';
    freelocale(loc);
    return sep;
}

TFormatSettings MakeInitialSettings()
{
    TFormatSettings s;
    s.DecimalSeparator = LocaleDecimalSeparator();
    return s;
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SkipBlanks(const char* s, std::size_t n, std::size_t& pos)
{
    while (pos < n && s[pos] == ' ') ++pos;
}

// Up to maxDigits decimal digits; tells how many were taken.
bool ScanNumber(const char* s, std::size_t n, std::size_t& pos, int maxDigits, int& value, int& digits)
{
    value = 0;
    digits = 0;
    while (pos < n && IsDigit(s[pos]) && digits < maxDigits) {
        value = value * 10 + (s[pos] - '0');
        ++pos;
        ++digits;
    }
    // More digits than a field can hold is not a number of that field.
    if (digits == maxDigits && pos < n && IsDigit(s[pos])) return false;
    return digits > 0;
}

enum class DateOrder { DMY, MDY, YMD };

DateOrder OrderOf(const std::string& format)
{
    for (char c : format) {
        switch (c | 0x20) {
        case 'd': return DateOrder::DMY;
        case 'm': return DateOrder::MDY;
        case 'y': return DateOrder::YMD;
        default: break;
        }
    }
    return DateOrder::DMY;
}

// The current year, looked up at most once a minute: parsing is on the hot path of the
// raw log conversion.
int CurrentYear()
{
    static thread_local time_t checked = 0;
    static thread_local int year = 0;
    const time_t now = time(nullptr);
    if (year == 0 || now - checked >= 60 || now < checked) {
        tm local;
        localtime_r(&now, &local);
        year = local.tm_year + 1900;
        checked = now;
    }
    return year;
}

int ExpandYear(int year, int digits)
{
    if (digits > 2) return year;
    const int window = FormatSettings().TwoDigitYearCenturyWindow;
    const int pivot = CurrentYear() - window;
    int result = year + pivot - pivot % 100;
    if (window > 0 && result < pivot) result += 100;
    return result;
}

void AppendPadded(std::string& out, long long v, int width)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v < 0 ? -v : v);
    int len = int(r.ptr - buf);
    if (v < 0) out += '-';
    for (int i = len; i < width; ++i) out += '0';
    out.append(buf, r.ptr);
}

}  // namespace

TFormatSettings& FormatSettings()
{
    static TFormatSettings settings = MakeInitialSettings();
    return settings;
}

ShortDateFormatScope::ShortDateFormatScope(const std::string& format) : saved(FormatSettings().ShortDateFormat)
{
    FormatSettings().ShortDateFormat = format;
}

ShortDateFormatScope::~ShortDateFormatScope() { FormatSettings().ShortDateFormat = saved; }

bool IsValidDate(int year, int month, int day)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    return day <= days[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result)
{
    if (!IsValidDate(year, month, day)) return false;
    result = double(DaysFromCivil(year, unsigned(month), unsigned(day)) - kEpochOffset);
    return true;
}

TDateTime EncodeDate(int year, int month, int day)
{
    TDateTime r;
    if (!TryEncodeDate(year, month, day, r))
        throw EConvertError("Ungültiges Datum: " + std::to_string(day) + "." + std::to_string(month) + "." +
                            std::to_string(year));
    return r;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec)
{
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999)
        throw EConvertError("Ungültige Uhrzeit");
    return (hour * 3600000.0 + min * 60000.0 + sec * 1000.0 + msec) / 86400000.0;
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day)
{
    if (!std::isfinite(dt)) {
        year = month = day = 0;
        return;
    }
    CivilFromDays((long long)std::trunc(dt) + kEpochOffset, year, month, day);
}

void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec)
{
    if (!std::isfinite(dt)) {
        hour = min = sec = msec = 0;
        return;
    }
    long long ms = std::llround(std::fabs(dt - std::trunc(dt)) * 86400000.0);
    if (ms >= 86400000) ms = 86399999;
    hour = int(ms / 3600000);
    min = int(ms / 60000 % 60);
    sec = int(ms / 1000 % 60);
    msec = int(ms % 1000);
}

int MinuteOfDay(TDateTime dt)
{
    int h, m, s, ms;
    DecodeTime(dt, h, m, s, ms);
    return h * 60 + m;
}

TDateTime DateOf(TDateTime dt) { return std::trunc(dt); }

TDateTime Now()
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local;
    localtime_r(&ts.tv_sec, &local);
    TDateTime d = 0;
    TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, d);
    return d + (local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + ts.tv_nsec / 1e9) / 86400.0;
}

TDateTime Date() { return std::floor(Now()); }

std::string FormatDateTime(const std::string& pattern, TDateTime dt)
{
    int year, month, day, hour, min, sec, msec;
    DecodeDate(dt, year, month, day);
    DecodeTime(dt, hour, min, sec, msec);
    const TFormatSettings& fs = FormatSettings();

    std::string out;
    bool afterHour = false;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        const char lc = char(c | 0x20);
        if (c == '"' || c == '\'') {
            std::size_t end = pattern.find(c, i + 1);
            if (end == std::string::npos) end = pattern.size();
            out.append(pattern, i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        std::size_t run = 1;
        if (lc == 'd' || lc == 'm' || lc == 'y' || lc == 'h' || lc == 'n' || lc == 's' || lc == 'z') {
            while (i + run < pattern.size() && char(pattern[i + run] | 0x20) == lc) ++run;
        }
        switch (lc) {
        case 'd': AppendPadded(out, day, run >= 2 ? 2 : 1); break;
        case 'm':
            if (afterHour) AppendPadded(out, min, run >= 2 ? 2 : 1);
            else AppendPadded(out, month, run >= 2 ? 2 : 1);
            break;
        case 'y':
            if (run <= 2) AppendPadded(out, year % 100, 2);
            else AppendPadded(out, year, 4);
            break;
        case 'h': AppendPadded(out, hour, run >= 2 ? 2 : 1); break;
        case 'n': AppendPadded(out, min, run >= 2 ? 2 : 1); break;
        case 's': AppendPadded(out, sec, run >= 2 ? 2 : 1); break;
        case 'z': AppendPadded(out, msec, run >= 3 ? 3 : 1); break;
        case '/': out += fs.DateSeparator; break;
        case ':': out += fs.TimeSeparator; break;
        default: out += c; break;
        }
        if (lc == 'h') afterHour = true;
        else if (lc == 'd' || lc == 'm' || lc == 'y' || lc == 'n' || lc == 's') afterHour = false;
        i += run;
    }
    return out;
}

std::string DateToStr(TDateTime dt) { return FormatDateTime(FormatSettings().ShortDateFormat, dt); }
std::string TimeToStr(TDateTime dt) { return FormatDateTime(FormatSettings().LongTimeFormat, dt); }
std::string DateTimeToStr(TDateTime dt)
{
    std::string s = DateToStr(dt);
    if (dt - std::trunc(dt) != 0.0) s += ' ' + TimeToStr(dt);
    return s;
}

namespace {

bool ScanDateOrdered(const char* s, std::size_t n, std::size_t& pos, DateOrder order, char sep, TDateTime& result)
{
    std::size_t p = pos;
    SkipBlanks(s, n, p);
    int v[3], digits[3];
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            if (p >= n || s[p] != sep) return false;
            ++p;
        }
        if (!ScanNumber(s, n, p, 4, v[k], digits[k])) return false;
    }
    int y, m, d, yd;
    switch (order) {
    case DateOrder::DMY:
        d = v[0];
        m = v[1];
        y = v[2];
        yd = digits[2];
        break;
    case DateOrder::MDY:
        m = v[0];
        d = v[1];
        y = v[2];
        yd = digits[2];
        break;
    default:
        y = v[0];
        yd = digits[0];
        m = v[1];
        d = v[2];
        break;
    }
    if (!TryEncodeDate(ExpandYear(y, yd), m, d, result)) return false;
    pos = p;
    return true;
}

}  // namespace

bool ScanDate(const char* s, std::size_t n, std::size_t& pos, TDateTime& result)
{
    const TFormatSettings& fs = FormatSettings();
    return ScanDateOrdered(s, n, pos, OrderOf(fs.ShortDateFormat), fs.DateSeparator, result);
}

bool TryStrToDateDMY(const std::string& text, TDateTime& result)
{
    std::size_t pos = 0;
    if (!ScanDateOrdered(text.data(), text.size(), pos, DateOrder::DMY, '.', result)) return false;
    SkipBlanks(text.data(), text.size(), pos);
    return pos == text.size();
}

bool ScanTime(const char* s, std::size_t n, std::size_t& pos, TDateTime& result)
{
    const char sep = FormatSettings().TimeSeparator;
    std::size_t p = pos;
    SkipBlanks(s, n, p);
    int h, m, sec = 0, ms = 0, digits;
    if (!ScanNumber(s, n, p, 2, h, digits)) return false;
    if (p + 1 >= n || s[p] != sep || !IsDigit(s[p + 1])) return false;
    ++p;
    if (!ScanNumber(s, n, p, 2, m, digits)) return false;
    if (p + 1 < n && s[p] == sep && IsDigit(s[p + 1])) {
        ++p;
        if (!ScanNumber(s, n, p, 2, sec, digits)) return false;
        if (p + 1 < n && s[p] == '.' && IsDigit(s[p + 1])) {
            ++p;
            if (!ScanNumber(s, n, p, 3, ms, digits)) return false;
            for (; digits < 3; ++digits) ms *= 10;
        }
    }
    if (h > 23 || m > 59 || sec > 59) return false;
    result = EncodeTime(h, m, sec, ms);
    pos = p;
    return true;
}

bool ScanDateTime(const char* s, std::size_t n, std::size_t& pos, TDateTime& result)
{
    std::size_t p = pos;
    TDateTime d, t;
    if (!ScanDate(s, n, p, d)) return false;
    // A date must be set off from its time.
    if (p >= n || s[p] != ' ') return false;
    if (!ScanTime(s, n, p, t)) return false;
    result = d + t;
    pos = p;
    return true;
}

namespace {

template <typename Scan>
bool ScanWhole(const std::string& text, Scan scan, TDateTime& result)
{
    std::size_t pos = 0;
    if (!scan(text.data(), text.size(), pos, result)) return false;
    SkipBlanks(text.data(), text.size(), pos);
    return pos == text.size();
}

}  // namespace

bool TryStrToDate(const std::string& s, TDateTime& result) { return ScanWhole(s, ScanDate, result); }
bool TryStrToTime(const std::string& s, TDateTime& result) { return ScanWhole(s, ScanTime, result); }

TDateTime StrToDate(const std::string& s)
{
    TDateTime r;
    if (!TryStrToDate(s, r)) throw EConvertError("'" + s + "' ist kein gültiges Datum");
    return r;
}

TDateTime StrToTime(const std::string& s)
{
    TDateTime r;
    if (!TryStrToTime(s, r)) throw EConvertError("'" + s + "' ist keine gültige Zeit");
    return r;
}

TDateTime StrToDateTime(const std::string& s)
{
    TDateTime r;
    if (ScanWhole(s, ScanDateTime, r) || TryStrToDate(s, r)) return r;
    throw EConvertError("'" + s + "' ist kein gültiges Datum und Zeit");
}

bool TryStrToInt(const std::string& s, int& result)
{
    std::size_t p = 0, n = s.size();
    SkipBlanks(s.data(), n, p);
    bool neg = false;
    if (p < n && (s[p] == '+' || s[p] == '-')) neg = s[p++] == '-';
    if (p >= n || !IsDigit(s[p])) return false;
    long long v = 0;
    while (p < n && IsDigit(s[p])) {
        v = v * 10 + (s[p++] - '0');
        if (v > (long long)INT_MAX + 1) return false;
    }
    SkipBlanks(s.data(), n, p);
    if (p != n) return false;
    if (neg) v = -v;
    if (v > INT_MAX || v < INT_MIN) return false;
    result = int(v);
    return true;
}

int StrToInt(const std::string& s)
{
    int r;
    if (!TryStrToInt(s, r)) throw EConvertError("'" + s + "' ist kein gültiger Integerwert");
    return r;
}

int StrToIntDef(const std::string& s, int def)
{
    int r;
    return TryStrToInt(s, r) ? r : def;
}

bool TryParseDecimal(const char* s, std::size_t n, double& result)
{
    std::size_t p = 0;
    while (p < n && (s[p] == ' ' || s[p] == '\t')) ++p;
    while (n > p && (s[n - 1] == ' ' || s[n - 1] == '\t')) --n;
    if (p < n && s[p] == '+') ++p;
    // Only digits may start a number: no "inf", "nan" or hex through the back door.
    const std::size_t first = (p < n && s[p] == '-') ? p + 1 : p;
    if (first >= n || !(IsDigit(s[first]) || (s[first] == '.' && first + 1 < n && IsDigit(s[first + 1])))) return false;
    double v;
    auto r = std::from_chars(s + p, s + n, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != s + n) return false;
    result = v;
    return true;
}

bool TryStrToFloat(const std::string& s, double& result)
{
    const char sep = FormatSettings().DecimalSeparator;
    if (sep == '.') return TryParseDecimal(s.data(), s.size(), result);
    std::string t = s;
    for (char& c : t)
        if (c == sep) c = '.';
    return TryParseDecimal(t.data(), t.size(), result);
}

double StrToFloat(const std::string& s)
{
    double r;
    if (!TryStrToFloat(s, r)) throw EConvertError("'" + s + "' ist kein gültiger Gleitkommawert");
    return r;
}

std::string IntToStr(long long v)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string FloatToStr(double value)
{
    if (std::isnan(value)) return "NaN";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    std::string s = buf;
    const char sep = FormatSettings().DecimalSeparator;
    for (char& c : s)
        if (c == '.') c = sep;
    return s;
}

long long RoundHalfEven(double v)
{
    constexpr double limit = 9.0e18;
    if (!(v > -limit)) return (long long)-limit;
    if (v > limit) return (long long)limit;
    // The default rounding mode rounds halves to even.
    return (long long)std::nearbyint(v);
}

std::string Trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (unsigned char)s[b] <= ' ') ++b;
    while (e > b && (unsigned char)s[e - 1] <= ' ') --e;
    return s.substr(b, e - b);
}

std::string UpperCase(const std::string& s)
{
    std::string r = s;
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return r;
}

bool SameText(const std::string& a, const std::string& b) { return UpperCase(a) == UpperCase(b); }

std::string ExtractFilePath(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::string> SplitWords(const std::string& text, const std::string& separators)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (separators.find(c) == std::string::npos) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

void UseStationFormats()
{
    TFormatSettings& fs = FormatSettings();
    fs.ShortDateFormat = "dd.mm.yy";
    fs.LongDateFormat = "dd.mm.yy";
    fs.DateSeparator = '.';
    fs.TwoDigitYearCenturyWindow = 50;
}
