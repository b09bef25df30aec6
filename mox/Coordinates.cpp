#include "mox/Coordinates.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "mox/rtl/SysUtils.h"

namespace {

// The hemisphere letter at either end of the text, removed; +1, -1, or 0 for none.
int TakeHemisphere(std::string& t, bool latitude)
{
    if (t.empty()) return 0;
    const auto signOf = [latitude](char c) {
        if (latitude) return c == 'N' ? 1 : c == 'S' ? -1 : 0;
        return c == 'E' || c == 'O' ? 1 : c == 'W' ? -1 : 0;
    };
    if (const int s = signOf(t.back())) {
        t.pop_back();
        return s;
    }
    if (const int s = signOf(t.front())) {
        t.erase(0, 1);
        return s;
    }
    return 0;
}

}  // namespace

bool ParseDegrees(const std::string& text, bool latitude, double& degrees)
{
    std::string t = UpperCase(Trim(text));
    const int hemisphere = TakeHemisphere(t, latitude);
    // Degree sign, minute and second marks separate the parts like blanks.
    std::string plain;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const unsigned char c = t[i];
        if (c == 0xC2 && i + 1 < t.size() && (unsigned char)t[i + 1] == 0xB0) {
            plain += ' ';
            ++i;
        } else if (c == 0xB0 || c == '\'' || c == '"') {
            plain += ' ';
        } else {
            plain += c == ',' ? '.' : char(c);
        }
    }
    const std::vector<std::string> parts = SplitWords(plain, " \t");
    if (parts.empty() || parts.size() > 3) return false;

    double value = 0, scale = 1;
    bool negative = false;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        double v;
        if (!TryParseDecimal(parts[i].data(), parts[i].size(), v)) return false;
        if (i == 0) {
            negative = parts[i][0] == '-';
            v = std::fabs(v);
        } else if (v < 0 || v >= 60 || parts[i][0] == '-') {
            return false;
        }
        value += v / scale;
        scale *= 60;
    }
    // A sign and a letter together would contradict each other or say the same twice.
    if (negative && hemisphere != 0) return false;
    if (negative || hemisphere < 0) value = -value;
    if (!(latitude ? IsPlausibleLatitude(value) : IsPlausibleLongitude(value))) return false;
    degrees = value;
    return true;
}

std::string FormatDegrees(double degrees)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", degrees);
    std::string s = text;
    while (s.size() > 1 && s.back() == '0' && s[s.size() - 2] != '.') s.pop_back();
    if (s == "-0.0") s = "0.0";
    return s;
}

bool IsPlausibleLatitude(double degrees) { return degrees >= -90 && degrees <= 90; }

bool IsPlausibleLongitude(double degrees) { return degrees >= -180 && degrees <= 360; }

std::string MaidenheadLocator(double latitude, double longitude)
{
    double lon = std::fmod(longitude + 180.0, 360.0);
    if (lon < 0) lon += 360.0;
    // The north pole belongs to the last row of fields.
    const double lat = std::min(std::max(latitude + 90.0, 0.0), 180.0 - 1e-9);
    const int lonField = int(lon / 20), latField = int(lat / 10);
    const int lonSquare = int(std::fmod(lon, 20.0) / 2), latSquare = int(std::fmod(lat, 10.0));
    const int lonSub = std::min(23, int(std::fmod(lon, 2.0) * 12));
    const int latSub = std::min(23, int(std::fmod(lat, 1.0) * 24));
    return {char('A' + lonField),  char('A' + latField), char('0' + lonSquare),
            char('0' + latSquare), char('A' + lonSub),   char('A' + latSub)};
}
