#pragma once
// What a station should have filed, worked out from the bytes the simulator sent (--record).
#include <map>
#include <string>
#include <vector>

#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"

// The data lines a station should have logged from the bytes the simulator wrote: complete
// frames CR ... LF that start with a date and a blank, grouped by the day file they belong to.
inline std::map<std::string, std::vector<std::string>> ExpectedDayFiles(const std::string& recorded)
{
    std::map<std::string, std::vector<std::string>> days;
    std::size_t pos = 0;
    while ((pos = recorded.find('\r', pos)) != std::string::npos) {
        const std::size_t end = recorded.find('\n', pos);
        const std::size_t next = recorded.find('\r', pos + 1);
        if (end == std::string::npos) break;
        if (next < end) {  // a frame cut short: the next one starts before it ends
            pos = next;
            continue;
        }
        const std::string line = recorded.substr(pos + 1, end - pos - 1);
        pos = end;
        TDateTime d;
        if (line.size() > 70 || line.find(' ') != 8 || !TryStrToDateDMY(line.substr(0, 8), d)) continue;
        days[FormatDateTime("yyyymmdd", d) + ".txt"].push_back(line);
    }
    return days;
}

inline std::vector<std::string> Lines(const std::string& file)
{
    std::vector<std::string> lines;
    ReadTextLines(file, lines);
    return lines;
}
