#pragma once
// Reading the test's inputs and outputs independently of the code under test: IAGA-2002 data
// rows with sscanf, day file sections by their markers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../support/TempDir.h"

inline std::string RealUsgs(const std::string& name)
{
    return std::string(MOX_SOURCE_DIR) + "/tests/data/real/usgs/" + name;
}

// Rows of an IAGA-2002 file: minute of the day and the four values.
struct IagaRow {
    int minute = 0;
    double v[4] = {};
};

inline std::vector<IagaRow> IagaRows(const std::string& path)
{
    std::vector<IagaRow> rows;
    std::istringstream in(ReadBytes(path));
    std::string line;
    while (std::getline(in, line)) {
        int y, mo, d, h, mi, doy;
        double s;
        IagaRow r;
        if (std::sscanf(line.c_str(), "%d-%d-%d %d:%d:%lf %d %lf %lf %lf %lf", &y, &mo, &d, &h, &mi, &s, &doy, &r.v[0],
                        &r.v[1], &r.v[2], &r.v[3]) != 11)
            continue;
        r.minute = h * 60 + mi;
        rows.push_back(r);
    }
    return rows;
}

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// A day file: header values by key, sections by marker ("DATA: Bx"), each 1440 texts.
struct ParsedDayFile {
    std::map<std::string, std::string> header;
    std::map<std::string, std::vector<std::string>> sections;
    std::size_t lineCount = 0;
};

inline ParsedDayFile ReadDayFileText(const std::string& path)
{
    ParsedDayFile f;
    const std::vector<std::string> lines = Lines(ReadBytes(path));
    f.lineCount = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.rfind("DATA:", 0) == 0) {
            std::vector<std::string>& s = f.sections[l];
            for (std::size_t k = i + 1; k < lines.size() && lines[k] != "END"; ++k) s.push_back(lines[k]);
            i += s.size() + 1;
        } else if (const std::size_t colon = l.find(": "); colon != std::string::npos) {
            f.header[l.substr(0, colon)] = l.substr(colon + 2);
        }
    }
    return f;
}

// Halves to the even neighbour, spelt out.
inline long long HalfEven(double v)
{
    const double lower = std::floor(v);
    const double frac = v - lower;
    if (frac < 0.5) return (long long)lower;
    if (frac > 0.5) return (long long)lower + 1;
    return std::fmod(lower, 2.0) == 0 ? (long long)lower : (long long)lower + 1;
}

// The expected day file text of minute means of `sum`/`count`, "NaN" where there is none.
inline std::vector<std::string> MeanTexts(const std::vector<double>& sum, const std::vector<int>& count)
{
    std::vector<std::string> out;
    for (std::size_t m = 0; m < sum.size(); ++m)
        out.push_back(count[m] ? std::to_string(HalfEven(sum[m] / count[m])) : "NaN");
    return out;
}
