#include "mox/CorrectionFile.h"

#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"

std::string CorrectionFileName(const MOX_Header& h)
{
    // An explicit pattern: the program's short date format stays as it is.
    return ExtractFilePath(h.FileName) + FormatDateTime("yyyymmdd", h.Date) + ".kor";
}

const char* CorrectionComponent(std::uint8_t vector)
{
    switch (vector) {
    case vecBx: return "Bx";
    case vecBy: return "By";
    case vecBz: return "Bz";
    default: return nullptr;
    }
}

std::string CorrectionLine(std::uint8_t vector, int minute, double value)
{
    const char* component = CorrectionComponent(vector);
    return (component ? std::string(component) + ";" : std::string()) + FormatDateTime("hh:mm", minute / 1440.0) + ";" +
           FloatToStr(value);
}

bool ParseCorrectionLine(const std::string& line, std::string& component, int& minute, double& value)
{
    // A correction of a total-field curve is written without a component ("hh:mm;value").
    const bool total = line.size() > 6 && line[2] == ':' && line[5] == ';';
    const std::size_t at = total ? 0 : 3;
    if (line.size() < at + 6) return false;
    component = total ? std::string() : line.substr(0, 2);
    TDateTime t;
    if (!TryStrToTime(line.substr(at, 5), t)) return false;
    minute = MinuteOfDay(t);
    // The writer uses the desktop's decimal separator, and services run under the C locale.
    std::string number = line.substr(at + 6);
    const std::size_t comma = number.find(',');
    if (comma != std::string::npos) {
        if (number.find_first_of(",.", comma + 1) != std::string::npos || number.find('.') < comma) return false;
        number[comma] = '.';
    }
    return TryParseDecimal(number.data(), number.size(), value);
}
