#include "station/app/LineDay.h"

#include "mox/rtl/SysUtils.h"

LineDay DayOfLine(const std::string& line, std::string& yyyymmdd)
{
    // A data line starts with "dd.mm.yy" and a blank. The process-wide date formats stay
    // untouched: the collector files lines while its web face converts days on another thread.
    if (line.find(' ') != 8) return LineDay::NoDate;
    TDateTime date;
    if (!TryStrToDateDMY(line.substr(0, 8), date)) return LineDay::BadDate;
    yyyymmdd = FormatDateTime("yyyymmdd", date);
    return LineDay::Found;
}
