// Day files into IAGA-2002 minute files of variations: twelve header records, the remark as
// comment records, the column header line and 1440 rows of X, Y, Z and F, every line 70
// characters.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "mox/Coordinates.h"
#include "mox/DayFileReader.h"
#include "mox/DayFileWriter.h"
#include "mox/Iaga2002.h"
#include "mox/StationRecord.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/StationRecord.h"
#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"

namespace {

constexpr std::size_t kLineWidth = 70;
constexpr std::size_t kKeyWidth = 23;    // columns 2-24
constexpr std::size_t kValueWidth = 45;  // columns 25-69
constexpr double kMissing = 99999.0;
constexpr double kNotRecorded = 88888.0;

// IAGA-2002 is ASCII: umlauts are spelt out, other letters become '?'.
std::string Ascii(const std::string& utf8)
{
    static const char* const kSpelt[][2] = {{"ä", "ae"}, {"ö", "oe"}, {"ü", "ue"}, {"Ä", "Ae"},
                                            {"Ö", "Oe"}, {"Ü", "Ue"}, {"ß", "ss"}, {"°", " "}};
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = utf8[i];
        if (c < 0x80) {
            out += c < 0x20 ? ' ' : char(c);
            ++i;
            continue;
        }
        bool spelt = false;
        for (const auto& s : kSpelt) {
            const std::string from = s[0];
            if (utf8.compare(i, from.size(), from) == 0) {
                out += s[1];
                i += from.size();
                spelt = true;
                break;
            }
        }
        if (spelt) continue;
        out += '?';
        ++i;
        while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) ++i;
    }
    return out;
}

std::string Padded(std::string s, std::size_t width)
{
    s.resize(width, ' ');
    return s;
}

std::string Record(const std::string& key, const std::string& value)
{
    return " " + Padded(key, kKeyWidth) + Padded(Ascii(Trim(value)), kValueWidth) + "|";
}

// The remark in comment records, broken between words.
std::vector<std::string> CommentRecords(const std::string& remark)
{
    constexpr std::size_t width = kLineWidth - 4;  // " # " and "|"
    std::vector<std::string> records;
    std::string text = Ascii(Trim(remark)), row;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        std::size_t end = text.find(' ', i);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(i, end - i);
        i = end;
        while (word.size() > width) {  // a word longer than a record is cut
            if (!row.empty()) records.push_back(row), row.clear();
            records.push_back(word.substr(0, width));
            word.erase(0, width);
        }
        if (word.empty()) continue;
        if (!row.empty() && row.size() + 1 + word.size() > width) records.push_back(row), row.clear();
        row += (row.empty() ? "" : " ") + word;
    }
    if (!row.empty()) records.push_back(row);
    for (std::string& r : records) r = " # " + Padded(r, width) + "|";
    return records;
}

// A longitude counts east from 0 to under 360 in this format; west longitudes wrap around.
std::string DegreesText(const std::string& text, bool latitude)
{
    double degrees;
    if (!ParseDegrees(text, latitude, degrees)) return std::string();
    if (!latitude && degrees < 0) degrees += 360;
    const std::string s = FormatDegrees(degrees);
    return s == "360.0" ? "0.0" : s;
}

// A value in its 10 columns; what cannot be told apart from the markers is missing.
void AppendValue(std::string& row, double v, bool recorded)
{
    char text[16];
    if (!recorded) v = kNotRecorded;
    else if (!std::isfinite(v) || std::fabs(v) >= kNotRecorded) v = kMissing;
    std::snprintf(text, sizeof text, "%10.2f", v);
    row += text;
}

}  // namespace

std::string ExportIaga2002(const std::string& dayFile, const std::string& code, const std::string& outDir)
{
    if (!IsValidIagaCode(code))
        throw EConvertError("'" + code + "' ist kein IAGA-Code aus drei Buchstaben oder Ziffern");
    const DayFileContent day = ReadDayFile(dayFile);
    const DayFileHeader& h = day.header;
    TellIfPlaceholderRecord(h.author, h.location, RecordSettingsFor(ExtractFilePath(dayFile), MoxIniPath()));
    TDateTime date;
    TryStrToDateDMY(h.date, date);  // checked by the reader
    int year, month, dayOfMonth;
    DecodeDate(date, year, month, dayOfMonth);
    const int dayOfYear = int(date - EncodeDate(year, 1, 1)) + 1;

    // X, Y, Z, F from Bx, By, Bz, B; a component the file does not hold is not recorded.
    const char* const names[4] = {"Bx", "By", "Bz", "B"};
    const DayFileSeries* series[4] = {};
    std::string orientation;
    for (int k = 0; k < 4; ++k)
        for (const DayFileSeries& s : day.series)
            if (s.name == names[k] && !series[k]) {
                series[k] = &s;
                orientation += "XYZF"[k];
            }

    const std::string upper = UpperCase(code);
    std::string lower;
    for (char c : upper) lower += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const std::string path = IagaOutputFolder(outDir, dayFile) + lower + FormatDateTime("yyyymmdd", date) + "vmin.min";

    std::vector<std::string> lines = {
        Record("Format", "IAGA-2002"),
        Record("Source of Data", h.author),
        Record("Station Name", h.location),
        Record("IAGA CODE", upper),
        Record("Geodetic Latitude", DegreesText(h.latitude, true)),
        Record("Geodetic Longitude", DegreesText(h.longitude, false)),
        Record("Elevation", ""),
        Record("Reported", "XYZF"),
        Record("Sensor Orientation", orientation),
        Record("Digital Sampling", ""),
        Record("Data Interval Type", "1-minute"),
        Record("Data Type", "variation"),
    };
    for (std::string& r : CommentRecords(h.remarks)) lines.push_back(std::move(r));
    lines.push_back("DATE       TIME         DOY     " + Padded(upper + "X", 10) + Padded(upper + "Y", 10) +
                    Padded(upper + "Z", 10) + Padded(upper + "F", 7) + "|");

    TextWriter out;
    OpenForWriting(out, path);
    for (const std::string& l : lines) out.WriteAsciiLine(l.data(), l.size());
    char stamp[40];
    std::string row;
    for (int m = 0; m < 1440; ++m) {
        std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:00.000 %03d   ", year, month, dayOfMonth, m / 60,
                      m % 60, dayOfYear);
        row = stamp;
        for (int k = 0; k < 4; ++k) AppendValue(row, series[k] ? series[k]->minutes[m] : 0.0, series[k] != nullptr);
        out.WriteAsciiLine(row.data(), row.size());
    }
    CommitOrRaise(out);
    return path;
}
