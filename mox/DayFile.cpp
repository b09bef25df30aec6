// Reading .mox day files: the header lines into a curve's header, one data section into a
// curve, with the day's corrections, the filters and the K index applied on every load.
#include <cmath>
#include <cstring>
#include <limits>

#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool StartsWith(const std::string& line, const char* key) { return line.compare(0, std::strlen(key), key) == 0; }

// The value of a header line: what follows the key and the one character after it.
std::string ValueAfter(const std::string& line, const char* key)
{
    const std::size_t start = std::strlen(key) + 1;
    return line.size() > start ? line.substr(start) : std::string();
}

// The section marker of a component in a file of the given type; empty if there is none.
std::string SectionMarker(int type, int selector)
{
    if (type == 1) return "DATA:";
    if (type != 2 && type != 4) return {};
    switch (selector) {
    case 0:
    case 1: return "DATA: Bx";
    case 2: return "DATA: By";
    case 3: return "DATA: Bz";
    case 4: return type == 4 ? "DATA: B" : std::string();
    default: return {};
    }
}

[[noreturn]] void RaiseAt(const std::string& file, long line, const EConvertError& e)
{
    throw EConvertError(file + ", Zeile " + IntToStr(line) + ": " + e.what());
}

}  // namespace

void TMOX_Diagram::LoadHeader(const std::string& FileName, int curve, int selector)
{
    if (!is_valid_curve(curve)) return;
    MOX_Header& h = Header[curve - 1];
    h = MOX_Header{};
    h.FileName = FileName;
    h.Type = 1;
    h.Vectors = 1;
    h.Vector = std::uint8_t(selector - 1);  // selector 0 gives 255: no component
    h.Date = Date();

    TextReader in;
    if (!in.Open(FileName)) return;
    std::string line;
    while (line.find("DATA:") == std::string::npos && in.ReadLine(line)) {
        try {
            if (StartsWith(line, "TYPE:")) {
                h.Type = StrToInt(ValueAfter(line, "TYPE:"));
            } else if (StartsWith(line, "TYPEDESCRIPTION:")) {
                h.TypeDescription = ValueAfter(line, "TYPEDESCRIPTION:");
                if (h.Type == 1) {
                    if (h.TypeDescription == "Bx") h.Vector = vecBx;
                    else if (h.TypeDescription == "By") h.Vector = vecBy;
                    else if (h.TypeDescription == "Bz") h.Vector = vecBz;
                }
            } else if (StartsWith(line, "VECTORS:")) {
                h.Vectors = StrToInt(ValueAfter(line, "VECTORS:"));
            } else if (StartsWith(line, "NAME1:")) {
                h.Name1 = ValueAfter(line, "NAME1:");
            } else if (StartsWith(line, "NAME2:")) {
                h.Name2 = ValueAfter(line, "NAME2:");
            } else if (StartsWith(line, "DATE:")) {
                // Day files always hold day.month.year, whatever the process's format.
                const std::string value = ValueAfter(line, "DATE:");
                if (!TryStrToDateDMY(value, h.Date)) throw EConvertError("'" + value + "' ist kein gültiges Datum");
            } else if (StartsWith(line, "LOCATION:")) {
                h.Location = ValueAfter(line, "LOCATION:");
            } else if (StartsWith(line, "LONGITUDE:")) {
                h.Longitude = ValueAfter(line, "LONGITUDE:");
            } else if (StartsWith(line, "LATITUDE:")) {
                h.Latitude = ValueAfter(line, "LATITUDE:");
            } else if (StartsWith(line, "LOCATOR:")) {
                h.Locator = ValueAfter(line, "LOCATOR:");
            } else if (StartsWith(line, "AUTHOR:")) {
                h.Author = ValueAfter(line, "AUTHOR:");
            } else if (StartsWith(line, "REMARKS:")) {
                h.Remarks = ValueAfter(line, "REMARKS:");
            }
        } catch (const EConvertError& e) {
            RaiseAt(FileName, in.LineNumber(), e);
        }
    }
}

void TMOX_Diagram::LoadData(const std::string& FileName, int selector, int curve)
{
    if (!is_valid_curve(curve)) return;
    loaded[curve - 1] = false;
    int last = 0;
    LoadHeader(FileName, curve, selector);

    const std::string marker = SectionMarker(Header[curve - 1].Type, selector);
    if (marker.empty()) return;
    TextReader in;
    if (!in.Open(FileName)) return;
    std::string line;
    bool found = false;
    while (in.ReadLine(line)) {
        if (line == marker) {
            found = true;
            break;
        }
    }
    if (!found) return;

    double* r = data[curve - 1];
    for (int k = 1; k <= DayLength; ++k) {
        // Past the end of the file a line reads as empty, and so as missing.
        if (!in.ReadLine(line)) line.clear();
        double v;
        if (line.find("NaN") != std::string::npos || !TryParseDecimal(line.data(), line.size(), v)) {
            r[k - 1] = kNaN;
        } else {
            r[k - 1] = v;
            last = k;
        }
    }
    in.Close();

    use_korr_file(curve);
    if (Noisefilter) noise_filter(curve);
    if (Offsetfilter) {
        // Twice: a one-minute spike is only taken out by the second pass.
        offset_filter(curve);
        offset_filter(curve);
    }
    if (last > 0) {
        loaded[curve - 1] = true;
        last_time[curve - 1] = (last - 1) / 1440.0;
        bestimme_K_Wert();
    }
}
