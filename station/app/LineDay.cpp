#include "station/app/LineDay.h"

#include "mox/rtl/SysUtils.h"

LineDay DayOfLine(const std::string& line, std::string& yyyymmdd)
{
    // A data line starts with "dd.mm.yy" and a blank.
    if (line.find(' ') != 8) return LineDay::NoDate;
    TFormatSettings& fs = FormatSettings();
    fs.DateSeparator = '.';
    fs.ShortDateFormat = "dd.mm.yy";
    TDateTime date;
    if (!TryStrToDate(line.substr(0, 8), date)) return LineDay::BadDate;
    fs.ShortDateFormat = "yyyymmdd";
    yyyymmdd = DateToStr(date);
    return LineDay::Found;
}
