#pragma once
// Real one-second observatory records (IAGA-2002 exchange format) and raw device log lines
// made from them, for the conversion tests and the benchmark.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

struct SecondRecord {
    int second = 0;    // of the day
    double v[3] = {};  // the first three elements; NaN where the record has no value
};

// Data records only: the header lines start with a blank and the column line with "DATE".
inline std::vector<SecondRecord> ReadIagaSeconds(const std::string& path)
{
    std::vector<SecondRecord> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 40 || line[0] < '0' || line[0] > '9') continue;
        SecondRecord r;
        r.second =
            std::atoi(line.c_str() + 11) * 3600 + std::atoi(line.c_str() + 14) * 60 + std::atoi(line.c_str() + 17);
        const char* p = line.c_str() + 27;  // past the day of the year
        for (double& v : r.v) {
            char* end;
            v = std::strtod(p, &end);
            p = end;
            if (v >= 88888.0) v = std::nan("");  // missing or not recorded
        }
        out.push_back(r);
    }
    return out;
}

// "dd.mm.yy hh:mm:ss:" as the device stamps its lines.
inline std::string DeviceStamp(int day, int month, int year, int second)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%02d %02d:%02d:%02d:", day, month, year % 100, second / 3600,
                  second / 60 % 60, second % 60);
    return text;
}

// The payload of a device line: whole nT, each reading announced by its axis letter and a
// comma when `letters` is given ("XY" for two sensors, "Z" for one), else one bare reading.
inline std::string DevicePayload(const std::string& letters, const long* readings)
{
    std::string p;
    if (letters.empty()) return "  " + std::to_string(readings[0]);
    for (std::size_t i = 0; i < letters.size(); ++i)
        p += std::string(" ") + letters[i] + ",  " + std::to_string(readings[i]);
    return p;
}
