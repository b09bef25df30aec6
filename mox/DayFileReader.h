#pragma once
// Reading a whole .mox day file for passing it on, strictly: unlike the diagram's loader,
// which shows what it can, a file that is cut off or damaged is refused with the file and the
// line, so that nothing half-read leaves the station.
#include <array>
#include <string>
#include <vector>

#include "mox/DayFileWriter.h"

struct DayFileSeries {
    std::string name;                  // "Bx", "By", "Bz" or "B"
    std::array<double, 1440> minutes;  // NaN for a minute without a reading
};

struct DayFileContent {
    DayFileHeader header;  // date as written in the file
    std::vector<DayFileSeries> series;
};

// Raises EConvertError ("file, Zeile n: why") for a damaged or cut-off file and
// std::system_error when the file cannot be read.
DayFileContent ReadDayFile(const std::string& path);
