// One day of the Magnetsrode observatory's data (a time of day and Bx, By, Bz, B in nT per
// line, several lines a minute) into a TYPE 4 day file of minute means.
#include <cerrno>
#include <climits>
#include <cmath>
#include <string>
#include <system_error>
#include <vector>

#include "mox/DayFileWriter.h"
#include "mox/LineReader.h"
#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"

namespace {

constexpr int kSeries = 4;
const char* const kSeriesNames[kSeries] = {"Bx", "By", "Bz", "B"};
constexpr std::size_t kTimeWidth = 9;  // "hh:mm:ss" and one separator
constexpr const char* kProviderAddress = "https://www.tu-braunschweig.de/igep";

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A number at p: blanks, an optional sign, digits. p then moves past the character that
// ended the number and one more, the separator the format puts between two numbers.
// False when there was no digit or the number is out of range: such a field adds nothing,
// so a cut-off line does not pull the minute's mean toward zero.
bool TakeNumber(const char*& p, const char* end, int& value)
{
    while (p < end && *p == ' ') ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    long long v = 0;
    bool digits = false, inRange = true;
    for (; p < end && IsDigit(*p); ++p) {
        digits = true;
        if (v <= INT_MAX) v = v * 10 + (*p - '0');
        if (v > (long long)INT_MAX + 1) inRange = false;
    }
    p = end - p > 2 ? p + 2 : end;
    if (negative) v = -v;
    if (!digits || !inRange || v > INT_MAX) return false;
    value = int(v);
    return true;
}

struct MinuteSum {
    double sum = std::nan("");
    int count = 0;
};

}  // namespace

void TMOX_Diagram::ConvertMR(const std::string& FileName, TDateTime date)
{
    // The station's file dialog leaves the current folder at the input's folder; the output
    // goes there, whatever the current folder is by the time this runs.
    const std::string output = ExtractFilePath(FileName) + FormatDateTime("ddmmyy", date) + "mr.mox";

    LineReader in;
    if (!in.Open(FileName))
        throw std::system_error(errno, std::generic_category(), "Datei kann nicht gelesen werden: " + FileName);
    std::vector<MinuteSum> tables(kSeries * DayLength);
    std::string line;
    const char* s;
    std::size_t n;
    bool cut;
    while (in.Next(s, n, cut)) {
        if (n == 0) continue;
        line.assign(s, n);
        for (char& c : line)
            if (c == '\t') c = ' ';
        // The files carry times only: the date of the data makes them time stamps. Headers
        // and comments do not start with a time and are passed over.
        std::size_t pos = 0;
        TDateTime time;
        if (!ScanTime(line.data(), line.size(), pos, time) || !(date + time > 0)) continue;
        const int minute = MinuteOfDay(time);
        const char* p = line.data() + std::min(kTimeWidth, line.size());
        const char* end = line.data() + line.size();
        for (int k = 0; k < kSeries; ++k) {
            int v;
            if (!TakeNumber(p, end, v)) continue;
            MinuteSum& m = tables[k * DayLength + minute];
            if (std::isnan(m.sum)) m.sum = 0;
            m.sum += v;
            ++m.count;
        }
    }

    DayFileHeader header;
    header.type = 4;
    header.description = "Bx, By, Bz, B";
    // Written as the raw log conversion writes it, the form the day file reader expects,
    // whatever short date format the process has at this moment.
    header.date = FormatDateTime("dd.mm.yy", date);
    header.location = "Magnetsrode";
    header.latitude = "52.29N";
    header.longitude = "10.42E";
    header.locator = "JO52FG";
    header.author = "TU Braunschweig";
    header.remarks = kProviderAddress;
    std::vector<DayFileSection> sections(kSeries);
    for (int k = 0; k < kSeries; ++k) {
        sections[k].name = kSeriesNames[k];
        for (int m = 0; m < DayLength; ++m) {
            const MinuteSum& t = tables[k * DayLength + m];
            if (t.count > 0) sections[k].minutes[m] = RoundHalfEven(t.sum / t.count);
        }
    }
    TextWriter out;
    OpenForWriting(out, output);
    WriteDayFile(out, header, sections);
    CommitOrRaise(out);
}
