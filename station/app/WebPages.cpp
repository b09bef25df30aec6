#include "station/app/WebPages.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mox/Mm.h"
#include "mox/rtl/AtomicFile.h"
#include "mox/rtl/Graphics.h"
#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"
#include "station/app/BatchFiles.h"
#include "station/export/ImageExport.h"

namespace {

constexpr int kDay = TMOX_Diagram::DayLength;
constexpr int kSteps = 12;    // five-minute rows of the WAP text: one hour back
constexpr int kMarkers = 11;  // marker j compares the readings of rows j + 2 and j
constexpr int kSeries = 120;  // minutes of the graph and the data file
constexpr int kGraphWidth = 96;
constexpr int kGraphHeight = 65;

constexpr TColor kBlack = 0x000000;
constexpr TColor kWhite = 0xFFFFFF;

struct SensorCurves {
    int first;
    int second;
};

SensorCurves CurvesShown(bool withPreviousDay) { return withPreviousDay ? SensorCurves{2, 4} : SensorCurves{1, 2}; }

bool Valid(double v) { return std::isfinite(v); }

// Truncated toward zero; readings far outside any field strength are clamped rather than
// overflowing the conversion.
long long Truncated(double v)
{
    constexpr double limit = 9.0e18;
    return (long long)std::trunc(std::clamp(v, -limit, limit));
}

// Index of the newest valid reading of the curve, 0 when there is none.
int NewestReading(const TMOX_Diagram& d, int curve)
{
    for (int i = kDay; i >= 1; --i)
        if (Valid(d.get_data(curve, i))) return i;
    return 0;
}

// Minute n of the day stands for the reading with index n, so a reading `back` minutes before
// the newest one (index `newest`) is index newest - back. Counting on indexes rather than the
// clock keeps the newest reading of 23:59 (time 24:00, minute of the day 0) in view.
double ReadingBefore(const TMOX_Diagram& d, int curve, int newest, int back)
{
    return d.get_data(curve, newest - back);  // NaN before the first minute of the day
}

char ComponentLetter(std::uint8_t vector, char otherwise)
{
    switch (vector) {
    case vecBx: return 'X';
    case vecBy: return 'Y';
    case vecBz: return 'Z';
    default: return otherwise;
    }
}

TColor LetterColour(char letter)
{
    switch (letter) {
    case 'Y': return 0x0000FF;
    case 'Z': return 0x008000;
    default: return 0xFF0000;
    }
}

std::string TimeOfMinute(int minute) { return TimeToStr(minute / double(kDay)); }

// The day's trend in words: quiet below K2, "+"/"-" for a rise or fall below the alarm
// threshold, doubled at or above it. t is the older reading minus the newer one.
std::string Marker(long long t, int quiet, int alarm)
{
    const long long size = std::llabs(t);
    if (size < quiet) return "o ";
    if (size < alarm) return t < 0 ? "+ " : "- ";
    return t < 0 ? "++" : "--";
}

std::string WapValue(double v) { return Valid(v) ? IntToStr(Truncated(v)) + " " : "NaN "; }

// Shift a series so that its oldest valid value, truncated, becomes the zero line.
void MakeRelative(std::vector<double>& series)
{
    const auto first = std::find_if(series.begin(), series.end(), Valid);
    if (first == series.end()) return;
    const double base = double(Truncated(*first));
    for (double& v : series)
        if (Valid(v)) v -= base;
}

double LargestDeviation(const std::vector<double>& series, double largest)
{
    for (double v : series)
        if (Valid(v)) largest = std::max(largest, std::fabs(v));
    return largest;
}

// Lines of a file as stored (no decoding), without their LF or CR LF ends.
bool ReadRawLines(const std::string& path, std::vector<std::string>& lines)
{
    lines.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::string text;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    if (!ok) return false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos) end = text.size();
        if (end > start && text[end - 1] == '\r') --end;
        lines.push_back(text.substr(start, end - start));
        start = next;
    }
    return true;
}

std::string WithoutLastFour(const std::string& name) { return name.substr(0, name.size() >= 4 ? name.size() - 4 : 0); }

// One curve of the graph: the first valid point after a gap is set as a pixel, every further
// valid point is joined to the one before.
void DrawSeries(TCanvas& cv, const std::vector<double>& series, TColor colour, long long scale)
{
    constexpr int half = kGraphHeight / 2;
    cv.Pen.Color = colour;
    bool penDown = false;
    for (int i = 1; i <= kSeries; ++i) {
        const double v = series[std::size_t(i - 1)];
        if (!Valid(v)) {
            penDown = false;
            continue;
        }
        const int x = (kGraphWidth - 2) * i / kSeries + 2;
        const int y = half - int(std::trunc(half * v / double(scale)));
        if (penDown) {
            cv.LineTo(x, y);
        } else {
            cv.SetPixel(x, y, colour);
            cv.MoveTo(x, y);
            penDown = true;
        }
    }
}

void StageGraph(BatchFiles& files, const std::string& name, const std::vector<double>& p1,
                const std::vector<double>& p2, bool two, char k, char j, long long scale)
{
    constexpr int half = kGraphHeight / 2;
    TBitmap bitmap(kGraphWidth, kGraphHeight);
    TCanvas& cv = bitmap.Canvas;
    cv.Brush.Color = kWhite;
    cv.FillRect(Rect(0, 0, kGraphWidth, kGraphHeight));
    cv.Font.Name = "Arial";
    cv.Font.Size = 7;
    cv.Font.Color = kBlack;
    cv.Pen.Color = kBlack;

    cv.MoveTo(0, half);
    cv.LineTo(kGraphWidth - 1, half);
    cv.MoveTo(1, 0);
    cv.LineTo(1, kGraphHeight - 1);
    for (int y : {0, kGraphHeight / 4, 3 * kGraphHeight / 4, kGraphHeight - 1}) {
        cv.MoveTo(0, y);
        cv.LineTo(3, y);
    }
    cv.TextOut(5, 0, IntToStr(scale));

    DrawSeries(cv, p1, LetterColour(k), scale);
    if (two) DrawSeries(cv, p2, LetterColour(j), scale);

    cv.Pen.Color = kBlack;
    for (int hour = 1; hour <= 2; ++hour) {
        const int x = int(RoundHalfEven((kGraphWidth - 1) * 60.0 * hour / kSeries));
        cv.MoveTo(x, half - 1);
        cv.LineTo(x, half + 2);
    }

    cv.Font.Color = LetterColour(k);
    cv.TextOut(5, kGraphHeight - 10, std::string(1, k));
    if (two) {
        cv.Font.Color = LetterColour(j);
        cv.TextOut(5, kGraphHeight - 20, std::string(1, j));
    }

    bitmap.SetPixelFormat(pf8bit);
    if (!files.Stage(name, PngBytes(bitmap)))
        throw EImageWriteError(AtomicFile::TemporaryName(name) + ": " + std::strerror(errno));
}

}  // namespace

bool WriteWapFiles(const TMOX_Diagram& d, bool withPreviousDay, const std::string& name, BatchFiles& files)
{
    const SensorCurves curves = CurvesShown(withPreviousDay);
    // The header in use: the first sensor's, replaced by the second sensor's on a two-sensor day.
    MOX_Header header = d.get_Header(curves.first);
    const int newest = std::max(NewestReading(d, curves.first), 1);

    std::string text;
    auto line = [&text](const std::string& s) {
        text += Utf8ToCp1252(s);
        text += "\r\n";
    };
    line(d.get_Ort());
    line(d.get_Laenge() + ", " + d.get_Breite());
    line(d.get_Bemerkung());
    line(DateTimeToStr(header.Date));

    std::string kLine = "K: ";
    for (int block = 1; block <= TMOX_Diagram::BlockCount; ++block) {
        const int k = d.get_K_index(block);
        kLine += k < 0 ? "- " : IntToStr(k) + " ";
    }
    line(kLine);
    line(TimeOfMinute(std::max(newest - 60, 0)) + " - " + TimeOfMinute(newest) + " UT");

    const char k = ComponentLetter(header.Vector, 'X');
    char j = 'Y';
    std::string heading = std::string("Min. ") + k;
    if (header.Vectors != 1) {
        header = d.get_Header(curves.second);
        j = ComponentLetter(header.Vector, 'Y');
        heading += ' ';
        heading += j;
    }
    line(heading + " Trend");
    const bool oneSensor = header.Vectors == 1;
    const bool two = header.Vectors == 2;

    // Rows reach an hour back, but not past midnight.
    const int rows = std::min(kSteps, newest / 5);
    std::vector<double> s1(kSteps + 1, NAN), s2(kSteps + 1, NAN);
    for (int row = 0; row <= rows; ++row) {
        s1[std::size_t(row)] = ReadingBefore(d, curves.first, newest, 5 * row);
        s2[std::size_t(row)] = ReadingBefore(d, curves.second, newest, 5 * row);
    }

    const int quiet = d.get_K_limit(2);
    const int alarm = d.get_Alarm_threshold();
    std::vector<std::string> markers(kMarkers, "* ");
    for (std::size_t m = 0; m < kMarkers; ++m) {
        const double d1 = s1[m + 2] - s1[m];
        if (oneSensor) {
            if (Valid(d1)) markers[m] = Marker(Truncated(d1), quiet, alarm);
        } else {
            const double d2 = s2[m + 2] - s2[m];
            if (Valid(d1) && Valid(d2))
                markers[m] = Marker(Truncated(std::fabs(d1) > std::fabs(d2) ? d1 : d2), quiet, alarm);
        }
    }

    std::string now = "now " + WapValue(s1[0]);
    if (two) now += WapValue(s2[0]) + markers[0];
    line(now);
    for (int row = 1; row <= rows; ++row) {
        char label[8];
        std::snprintf(label, sizeof label, "-%2d ", 5 * row);
        std::string r = label + WapValue(s1[std::size_t(row)]);
        if (two) r += WapValue(s2[std::size_t(row)]);
        if (row < kMarkers) r += markers[std::size_t(row)];
        line(r);
    }
    if (!files.Stage(name, text)) return false;

    // The last two hours, oldest first, not reaching past midnight.
    std::vector<double> p1(kSeries, NAN), p2(kSeries, NAN);
    for (int back = 0; back <= std::min(kSeries - 1, newest); ++back) {
        const std::size_t i = std::size_t(kSeries - 1 - back);
        p1[i] = ReadingBefore(d, curves.first, newest, back);
        if (two) p2[i] = ReadingBefore(d, curves.second, newest, back);
    }
    MakeRelative(p1);
    if (two) MakeRelative(p2);
    const double largest = LargestDeviation(p2, LargestDeviation(p1, 0.0));
    const long long scale = (Truncated(largest) / 50 + 1) * 50;

    const std::string graphName = WithoutLastFour(name) + "_wap.png";
    StageGraph(files, graphName, p1, p2, two, k, j, scale);

    const bool secondLoaded = d.is_loaded(curves.second);
    std::string data = Utf8ToCp1252(d.get_Ort()) + "," + DateTimeToStr(header.Date) + "," + TimeOfMinute(newest) + "," +
                       k + "," + (secondLoaded ? std::string(1, j) : "-") + "," + IntToStr(scale);
    auto values = [&data](const std::vector<double>& series) {
        for (double v : series) data += Valid(v) ? "," + IntToStr(Truncated(v)) : ",-";
    };
    values(p1);
    if (secondLoaded) values(p2);
    return files.Stage(WithoutLastFour(graphName) + ".txt", data);
}

bool WriteHtmlPage(const TMOX_Diagram& d, bool withPreviousDay, const std::string& imageDir, const std::string& name,
                   BatchFiles& files)
{
    std::string folder = imageDir;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    std::vector<std::string> header, footer;
    if (!ReadRawLines(folder + "Header.txt", header) || !ReadRawLines(folder + "Footer.txt", footer)) return false;

    const SensorCurves curves = CurvesShown(withPreviousDay);
    const int newest = NewestReading(d, curves.first);
    std::string page;
    for (const std::string& l : header) page += l + "\r\n";

    auto readings = [&](int curve) {
        for (int i = 1; i <= newest; ++i) {
            if (i > 1) page += ',';
            const double v = d.get_data(curve, i);
            page += Valid(v) ? IntToStr(Truncated(v)) : "0";
        }
    };
    page += '"';
    readings(curves.first);
    if (d.is_loaded(curves.second)) {
        page += ',';
        readings(curves.second);
    }
    page += '"';

    for (const std::string& l : footer) page += l + "\r\n";
    return files.Stage(name, page);
}

std::vector<std::string> MissingHtmlTemplates(const std::string& imageDir)
{
    std::string folder = imageDir;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    std::vector<std::string> missing;
    for (const char* name : {"Header.txt", "Footer.txt"})
        if (!FileExists(folder + name)) missing.push_back(name);
    return missing;
}

std::string MissingTemplatesMessage(const std::string& imageDir, const std::vector<std::string>& missing)
{
    if (missing.empty()) return {};
    std::string folder = imageDir;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    std::string what;
    if (missing.size() > 1) what = " fehlen Header.txt und Footer.txt, die Vorlagen für Anfang und Ende der Seite.";
    else if (missing.front() == "Header.txt") what = " fehlt Header.txt, die Vorlage für den Anfang der Seite.";
    else what = " fehlt Footer.txt, die Vorlage für das Ende der Seite.";
    return "Die HTML-Seite wird nicht geschrieben: im Bildverzeichnis " + folder + what +
           " Die Hilfe (Batch-Modus) zeigt ein Beispiel. Wer keine Seite braucht, setzt in der "
           "Einstellungsdatei im Abschnitt [Batch] HTML=0 (im Fenster: \"HTML-Output erzeugen?\" "
           "unter Einstellungen, Batch...).";
}
