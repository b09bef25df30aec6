#pragma once
// The day a device line belongs to: its own "dd.mm.yy" at the start, never the computer's
// clock. The station's logger and the central collector name their day files by this one rule.
#include <string>

enum class LineDay {
    NoDate,   // no "dd.mm.yy " at the start: a device message, not a data line
    BadDate,  // the eight characters are no date: line noise
    Found
};

// On Found, `yyyymmdd` is the day file's name without ".txt". Leaves the process-wide short
// date format at "yyyymmdd", as the station's packet handler always has.
LineDay DayOfLine(const std::string& line, std::string& yyyymmdd);
