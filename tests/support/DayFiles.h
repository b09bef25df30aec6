#pragma once
// Day files written by hand, in the layout the converters produce, for the loader's tests.
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "TempDir.h"

// 1440 value lines from a function of the minute; NaN is written as "NaN".
inline std::vector<std::string> Minutes(const std::function<double(int)>& f)
{
    std::vector<std::string> lines;
    for (int m = 0; m < 1440; ++m) {
        const double v = f(m);
        char text[32];
        std::snprintf(text, sizeof text, "%.10g", v);
        lines.push_back(std::isnan(v) ? "NaN" : text);
    }
    return lines;
}

struct Section {
    std::string name;  // "Bx", "By", "Bz" or "B"
    std::vector<std::string> lines;
};

// TYPE 1 with one section, TYPE 2 with two, TYPE 4 with four.
inline std::string DayFileText(const std::vector<Section>& sections, const std::string& date,
                               const std::string& location = "Polverin", const std::string& author = "Obs")
{
    std::string t;
    auto line = [&t](const std::string& s) { t += s + "\r\n"; };
    const std::size_t n = sections.size();
    line("TYPE: " + std::to_string(n));
    if (n == 1) {
        line("TYPEDESCRIPTION: " + sections[0].name);
    } else if (n == 2) {
        line("TYPEDESCRIPTION: " + sections[0].name + " " + sections[1].name);
    } else {
        line("TYPEDESCRIPTION: Bx, By, Bz, B");
    }
    line("VECTORS: " + std::to_string(n));
    for (std::size_t i = 0; i < n; ++i) line("NAME" + std::to_string(i + 1) + ": " + sections[i].name);
    line("DATE: " + date);
    line("LOCATION: " + location);
    line("LATITUDE: 52.0 N");
    line("LONGITUDE: 13.0 E");
    line("LOCATOR: JO62AA");
    line("AUTHOR: " + author);
    line("REMARKS: ");
    for (const Section& s : sections) {
        line(n == 1 ? "DATA:" : "DATA: " + s.name);
        for (const std::string& v : s.lines) line(v);
        line("END");
    }
    return t;
}
