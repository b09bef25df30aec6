// Raw day logs of the device into .mox day files: the sensor configuration from a probe
// line, the readings of every line filed by minute, the median of each minute, and the
// conversion report listing every line that was not taken.
//
// A day at one line a second is 86 400 lines and an observer converts years of them at
// once, so lines are parsed in place from large blocks, without an allocation per line.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <system_error>
#include <vector>

#include "mox/DayFileWriter.h"
#include "mox/LineReader.h"
#include "mox/Mm.h"
#include "mox/RawLog.h"
#include "mox/rtl/PendingFiles.h"
#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"

namespace {

constexpr std::size_t kProbeLines = 5;
constexpr std::size_t kRoomPerMinute = 60;  // one line a second fills a minute without growing
constexpr std::size_t kPayloadStart = 18;   // "dd.mm.yy hh:mm:ss:" then the readings

inline bool IsAxisLetter(char c) { return c == 'X' || c == 'Y' || c == 'Z'; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Index of the first axis letter at or after `from` that counts as a label: only the first
// 79 characters of a line are looked at, and never its last character.
std::size_t FindLabel(const char* s, std::size_t n, std::size_t from)
{
    if (n == 0) return std::string::npos;
    const std::size_t limit = std::min<std::size_t>(79, n - 1);
    for (std::size_t i = from; i < limit; ++i)
        if (IsAxisLetter(s[i])) return i;
    return std::string::npos;
}

char LabelOf(const char* s, std::size_t n, int which)
{
    const std::size_t first = FindLabel(s, n, 0);
    if (first == std::string::npos) return '-';
    if (which == 1) return s[first];
    const std::size_t second = FindLabel(s, n, first + 1);
    return second == std::string::npos ? '-' : s[second];
}

// A reading at `pos`: blanks, then the run of sign and digit characters, which must be one
// integer (an optional sign and at least one digit) within the range of int.
bool TakeReading(const char* s, std::size_t n, std::size_t& pos, int& value)
{
    while (pos < n && s[pos] == ' ') ++pos;
    std::size_t p = pos;
    bool negative = false;
    if (p < n && (s[p] == '+' || s[p] == '-')) negative = s[p++] == '-';
    const std::size_t digits = p;
    long long v = 0;
    for (; p < n && IsDigit(s[p]); ++p) {
        v = v * 10 + (s[p] - '0');
        if (v > (long long)INT_MAX + 1) return false;
    }
    // A sign after the digits continues the run, which then is no integer.
    if (p == digits || (p < n && (s[p] == '+' || s[p] == '-'))) return false;
    pos = p;
    if (negative) v = -v;
    if (v > INT_MAX) return false;
    value = int(v);
    return true;
}

// A labelled reading from `pos` on: the letter, somewhere after it a comma, then the reading.
// Neither letter nor comma may be the last character. The payload is a few characters long,
// too short for memchr to pay off.
bool TakeLabelledReading(const char* s, std::size_t n, std::size_t& pos, char letter, int& value)
{
    std::size_t at = pos;
    while (at < n && s[at] != letter) ++at;
    if (at + 1 >= n) return false;
    std::size_t comma = at + 1;
    while (comma < n && s[comma] != ',') ++comma;
    if (comma + 1 >= n) return false;
    pos = comma + 1;
    return TakeReading(s, n, pos, value);
}

bool ParseReadings(const char* s, std::size_t n, char l1, int& r1, char l2, int& r2)
{
    r1 = r2 = 0;
    if (n < kPayloadStart || s[kPayloadStart - 1] != ':') return false;
    const char* p = s + kPayloadStart;
    const std::size_t m = n - kPayloadStart;
    std::size_t pos = 0;
    if (l1 == '-') return TakeReading(p, m, pos, r1);
    if (!TakeLabelledReading(p, m, pos, l1, r1)) return false;
    if (l2 == '-') return true;
    return TakeLabelledReading(p, m, pos, l2, r2);
}

const char* ComponentOfLetter(char letter)
{
    switch (letter) {
    case 'X': return "Bx";
    case 'Y': return "By";
    default: return "Bz";
    }
}

const char* ComponentOfVector(MOX_Vector_Typ v)
{
    switch (v) {
    case vecBx: return "Bx";
    case vecBz: return "Bz";
    default: return "By";
    }
}

// The time of a line: the day as TDateTime counts it and the minute of that day.
struct LineTime {
    long long day = 0;
    int minute = 0;
};

// Time stamps of one log. The device writes "dd.mm.yy hh:mm:ss:"; that form is read in
// integers, and its date is scanned once per day rather than once per line, which more than
// halves the time of a conversion. Any other form goes through the general scanner, whose
// result the fast path reproduces exactly: the same day and the same minute.
class StampScanner {
public:
    // The fast path knows only the time separator of the device.
    explicit StampScanner(bool generalOnly) : generalOnly(generalOnly || FormatSettings().TimeSeparator != ':') {}

    // False for a line without a valid time stamp of a day after the calendar's day 0.
    bool Scan(const char* s, std::size_t n, LineTime& t)
    {
        if (!generalOnly && n >= kPayloadStart && IsDeviceTime(s) && DayOf(s, t.day)) {
            const int h = Two(s + 9), m = Two(s + 12), sec = Two(s + 15);
            if (h <= 23 && m <= 59 && sec <= 59) {
                if (!(t.day > 0 || (t.day == 0 && (h | m | sec) != 0))) return false;
                t.minute = h * 60 + m;
                return true;
            }
        }
        return ScanGeneral(s, n, t);
    }

private:
    static int Two(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

    // " hh:mm:ss:" after the date.
    static bool IsDeviceTime(const char* s)
    {
        return s[8] == ' ' && IsDigit(s[9]) && IsDigit(s[10]) && s[11] == ':' && IsDigit(s[12]) && IsDigit(s[13]) &&
               s[14] == ':' && IsDigit(s[15]) && IsDigit(s[16]) && s[17] == ':';
    }

    // The day of a "dd.mm.yy" date, scanned by the general date scanner when it differs from
    // the last one; false for any other form and for a date that is none.
    bool DayOf(const char* s, long long& day)
    {
        if (!haveDate || std::memcmp(s, lastDate, sizeof lastDate) != 0) {
            if (!IsDigit(s[0]) || !IsDigit(s[1]) || s[2] != '.' || !IsDigit(s[3]) || !IsDigit(s[4]) || s[5] != '.' ||
                !IsDigit(s[6]) || !IsDigit(s[7]))
                return false;
            std::size_t pos = 0;
            TDateTime d;
            if (!ScanDate(s, sizeof lastDate, pos, d) || pos != sizeof lastDate) return false;
            std::memcpy(lastDate, s, sizeof lastDate);
            lastDay = (long long)d;
            haveDate = true;
        }
        day = lastDay;
        return true;
    }

    static bool ScanGeneral(const char* s, std::size_t n, LineTime& t)
    {
        std::size_t pos = 0;
        TDateTime stamp;
        if (!ScanDateTime(s, n, pos, stamp) || !(stamp > 0)) return false;
        t.day = (long long)std::floor(stamp);
        t.minute = MinuteOfDay(stamp);
        return true;
    }

    bool generalOnly;
    bool haveDate = false;
    char lastDate[8] = {};
    long long lastDay = 0;
};

bool EndsWithNoCase(const std::string& s, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    return s.size() >= n && SameText(s.substr(s.size() - n), suffix);
}

// One sensor's readings filed by minute of the day.
class MinuteTable {
public:
    MinuteTable() : lists(TMOX_Diagram::DayLength)
    {
        for (std::vector<int>& l : lists) l.reserve(kRoomPerMinute);
    }
    void Add(int minute, int value) { lists[minute].push_back(value); }
    // The median of every minute, the upper middle one for an even count.
    void Medians(DayFileSection& out)
    {
        for (int m = 0; m < TMOX_Diagram::DayLength; ++m) {
            std::vector<int>& l = lists[m];
            if (l.empty()) continue;
            const auto middle = l.begin() + std::ptrdiff_t(l.size() / 2);
            std::nth_element(l.begin(), middle, l.end());
            out.minutes[m] = *middle;
        }
    }

private:
    std::vector<std::vector<int>> lists;
};

// Report lines show a rejected line as read, except that control characters (NUL, CR, ESC
// and the like from line noise) appear as '?': the report is read in an editor, where they
// would break lines or make the file count as binary.
void AppendShown(std::string& out, const char* s, std::size_t n)
{
    const std::size_t start = out.size();
    out.append(s, n);
    for (std::size_t i = start; i < out.size(); ++i) {
        const unsigned char c = (unsigned char)out[i];
        if ((c < 0x20 && c != '\t') || c == 0x7F) out[i] = '?';
    }
}

class Report {
public:
    explicit Report(TextWriter& w) : out(w) { text.reserve(256); }
    void Line(const std::string& s) { out.WriteAsciiLine(s.data(), s.size()); }
    void Rejected(long number, const char* s, std::size_t n)
    {
        text = "line ";
        text += IntToStr(number);
        text += ": ";
        AppendShown(text, s, n);
        out.WriteAsciiLine(text.data(), text.size());
    }

private:
    TextWriter& out;
    std::string text;
};

}  // namespace

char TMOX_Diagram::read_Label(const std::string& line, int n) const { return LabelOf(line.data(), line.size(), n); }

void TMOX_Diagram::read_values(const std::string& line, char l1, int& r1, char l2, int& r2, bool& ok) const
{
    ok = ParseReadings(line.data(), line.size(), l1, r1, l2, r2);
}

void TMOX_Diagram::Convert(const std::string& FileName) { Convert(FileName, RawLogOptions()); }

void TMOX_Diagram::Convert(const std::string& FileName, const RawLogOptions& options)
{
    if (!FileExists(FileName)) return;
    // The DATE values written here are read back under these settings; they stay so. Only
    // written when they differ: a batch converts days on several threads at once.
    TFormatSettings& settings = FormatSettings();
    if (settings.ShortDateFormat != "dd.mm.yy") settings.ShortDateFormat = "dd.mm.yy";
    if (settings.DateSeparator != '.') settings.DateSeparator = '.';

    // base is the name without its extension of a dot and three characters. A .mox file is
    // already converted. A .log file would be replaced by its own report, and a name whose
    // last four characters reach into the folder part would put the output elsewhere.
    if (FileName.size() < 4 || EndsWithNoCase(FileName, ".mox") || EndsWithNoCase(FileName, ".log") ||
        FileName.find('/', FileName.size() - 4) != std::string::npos)
        return;
    const std::string base = FileName.substr(0, FileName.size() - 4);

    LineReader in;
    if (!in.Open(FileName))
        throw std::system_error(errno, std::generic_category(), "Datei kann nicht gelesen werden: " + FileName);

    // The probe line: the first of the first five lines with a valid time stamp, else the
    // fifth. Its axis letters tell the sensors. A letter named twice is one sensor: a day
    // file names each component once, and a second section of the same name could never
    // be loaded.
    const char* s;
    std::size_t n;
    bool cut;
    char l1 = '-', l2 = '-';
    for (std::size_t i = 0; i < kProbeLines && in.Next(s, n, cut); ++i) {
        std::size_t pos = 0;
        TDateTime stamp;
        if (ScanDateTime(s, n, pos, stamp) || i + 1 == kProbeLines) {
            l1 = LabelOf(s, n, 1);
            l2 = l1 == '-' ? '-' : LabelOf(s, n, 2);
            if (l2 == l1) l2 = '-';
            break;
        }
    }
    const bool twoSensors = l2 != '-';
    in.Rewind();

    TextWriter mox, log;
    OpenForWriting(mox, base + ".mox");
    OpenForWriting(log, base + ".log");
    Report report(log);
    report.Line("MOX_View - Convert:");
    report.Line("");
    if (twoSensors) {
        report.Line(std::string("1st sensor : ") + l1 + "-component");
        report.Line(std::string("2nd sensor : ") + l2 + "-component");
    } else if (l1 != '-') {
        report.Line(std::string(1, l1) + "-component");
    } else {
        report.Line("1-sensor-system:");
    }
    report.Line("");

    // Every line is filed by its time of day, so a line of another date would land on the
    // same minute of this day; the station files each line under its own date, so such a
    // line is a fault (a clock that ran over midnight, a mixed-up file) and is rejected and
    // reported like any other bad line. The day is the date of the first valid time stamp.
    MinuteTable first;
    std::optional<MinuteTable> second;
    if (twoSensors) second.emplace();
    StampScanner stamps(options.generalStampsOnly);
    long lines = 0, correct = 0;
    long long day = 0;
    bool haveDay = false;
    while (in.Next(s, n, cut)) {
        ++lines;
        if (n == 0) continue;
        LineTime time;
        int r1, r2;
        // An over-long line is cut: it cannot be a device line, and what was kept of it is
        // shown in the report. A time stamp before the calendar's day 0 is no reading's
        // either; it is reported too, so that every line not taken is listed.
        if (cut || !stamps.Scan(s, n, time)) {
            report.Rejected(lines, s, n);
            continue;
        }
        if (!haveDay) {
            day = time.day;
            haveDay = true;
        }
        if (time.day != day || !ParseReadings(s, n, l1, r1, twoSensors ? l2 : '-', r2)) {
            report.Rejected(lines, s, n);
            continue;
        }
        ++correct;
        first.Add(time.minute, r1);
        if (second) second->Add(time.minute, r2);
    }
    report.Line("");
    report.Line("Lines   : " + IntToStr(lines));
    report.Line("Correct : " + IntToStr(correct));
    report.Line("Errors  : " + IntToStr(lines - correct));
    report.Line("");

    DayFileHeader header;
    header.date = FormatDateTime("dd.mm.yy", TDateTime(day));
    header.location = MOX_Ort;
    header.latitude = MOX_Breite;
    header.longitude = MOX_Laenge;
    header.locator = MOX_Locator;
    header.author = MOX_Owner;
    header.remarks = MOX_Bemerkung;
    std::vector<DayFileSection> sections(twoSensors ? 2 : 1);
    sections[0].name = l1 != '-' ? ComponentOfLetter(l1) : ComponentOfVector(MOX_1sensor);
    first.Medians(sections[0]);
    if (twoSensors) {
        header.type = 2;
        sections[1].name = ComponentOfLetter(l2);
        second->Medians(sections[1]);
        header.description = sections[0].name + " " + sections[1].name;
    } else {
        header.type = 1;
        header.description = sections[0].name;
    }
    WriteDayFile(mox, header, sections);

    // Both files are finished before either replaces its old one, and the day file, which
    // marks the log as converted, comes last: a day whose report or day file could not be
    // written stays outdated and is converted again.
    PendingFiles done;
    FinishOrRaise(log, !options.pending, done);
    FinishOrRaise(mox, !options.pending, done);
    if (options.pending) options.pending->Append(std::move(done));
    else done.PutInPlace();
}
