#include "lines/LineDay.h"

#include "mox/rtl/SysUtils.h"

LineDay DayOfLine(const std::string& line, std::string& yyyymmdd)
{
    // A data line starts with "dd.mm.yy" and a blank. Explicit patterns: the process's date
    // formats belong to the pictures and pages.
    if (line.find(' ') != 8) return LineDay::NoDate;
    TDateTime date;
    if (!TryStrToDateDMY(line.substr(0, 8), date)) return LineDay::BadDate;
    yyyymmdd = FormatDateTime("yyyymmdd", date);
    return LineDay::Found;
}
