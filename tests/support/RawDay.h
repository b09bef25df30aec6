#pragma once
// A raw day log as the station writes it, for the batch's tests.
#include <cstdio>
#include <string>

// One reading every ten seconds from 00:00 to 05:59 of `date` ("dd.mm.yy").
inline std::string RawDay(const std::string& date)
{
    std::string text;
    for (int s = 0; s < 6 * 3600; s += 10) {
        char line[64];
        std::snprintf(line, sizeof line, "%s %02d:%02d:%02d: Y,  %d\r\n", date.c_str(), s / 3600, s / 60 % 60, s % 60,
                      100 + (s / 600) % 17);
        text += line;
    }
    return text;
}
