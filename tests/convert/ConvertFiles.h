#pragma once
// Day logs and file times for the converter's tests.
#include <chrono>
#include <filesystem>
#include <string>

#include "../support/TempDir.h"

// A short raw log of the given day ("15.06.03"): three one-sensor lines at noon.
inline std::string RawLog(const std::string& date)
{
    return date + " 12:00:10:  5\r\n" + date + " 12:00:20:  9\r\n" + date + " 12:00:40:  7\r\n";
}

// Sets a file's modification time to `seconds` after a fixed instant, so that tests can
// order files exactly, equal times included.
inline void SetFileTime(const std::string& file, int seconds)
{
    using namespace std::chrono;
    const sys_seconds day = sys_days(year(2003) / 6 / 16);
    const auto base = file_clock::from_sys(day);
    std::filesystem::last_write_time(file, base + std::chrono::seconds(seconds));
}

// A log whose .mox file is older than itself.
inline void WriteOutdated(const TempDir& dir, const std::string& day, const std::string& date,
                          const std::string& moxText = "old\r\n")
{
    WriteBytes(dir / (day + ".txt"), RawLog(date));
    WriteBytes(dir / (day + ".mox"), moxText);
    SetFileTime(dir / (day + ".mox"), 0);
    SetFileTime(dir / (day + ".txt"), 60);
}

// A .mox "file" that no conversion can replace, whatever the user's rights: a folder that
// holds a file. Its log then fails in an Update run.
inline void BlockDayFile(const TempDir& dir, const std::string& day, const std::string& date)
{
    WriteBytes(dir / (day + ".txt"), RawLog(date));
    std::filesystem::create_directory(dir / (day + ".mox"));
    WriteBytes(dir / (day + ".mox/keep"), "x");
    SetFileTime(dir / (day + ".mox"), 0);
    SetFileTime(dir / (day + ".txt"), 60);
}
