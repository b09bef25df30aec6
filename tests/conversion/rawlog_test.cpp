#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <system_error>

#include "ConversionFiles.h"
#include "RealSeconds.h"
#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"

namespace {

std::string Join(const std::vector<std::string>& lines)
{
    std::string t;
    for (const std::string& l : lines) t += l + "\r\n";
    return t;
}

std::string Stamp(int second) { return DeviceStamp(15, 6, 2003, second); }
int At(int h, int m, int s) { return h * 3600 + m * 60 + s; }

// The report's counters: Lines, Correct, Errors.
std::vector<long> Counters(const std::vector<std::string>& report)
{
    std::vector<long> c;
    for (const char* key : {"Lines   : ", "Correct : ", "Errors  : "})
        for (const std::string& l : report)
            if (l.rfind(key, 0) == 0) c.push_back(std::stol(l.substr(10)));
    return c;
}

}  // namespace

TEST(Convert, MedianPerMinuteInTheDayFileLayout)
{
    TempDir dir;
    WriteBytes(dir / "20030615.txt", Join({
                                         Stamp(At(12, 0, 10)) + "  5",
                                         Stamp(At(12, 0, 20)) + "  9",
                                         Stamp(At(12, 0, 40)) + "  7",
                                         Stamp(At(12, 1, 10)) + "  5",
                                         Stamp(At(12, 1, 20)) + "  9",
                                         Stamp(At(12, 1, 40)) + "  7",
                                         Stamp(At(12, 1, 50)) + "  8",
                                         Stamp(At(23, 59, 59)) + " -320",
                                     }));
    TMOX_Diagram d;
    d.set_Ort("Göttingen");
    d.set_Breite("51.5 N");
    d.set_Laenge("9.9 E");
    d.set_Locator("JO41XM");
    d.set_Autor("Obs");
    d.set_Bemerkung("");
    d.Convert(dir / "20030615.txt");

    std::string expected = "TYPE: 1\r\nTYPEDESCRIPTION: By\r\nVECTORS: 1\r\nNAME1: By\r\nDATE: 15.06.03\r\n"
                           "LOCATION: G\xF6ttingen\r\nLATITUDE: 51.5 N\r\nLONGITUDE: 9.9 E\r\nLOCATOR: JO41XM\r\n"
                           "AUTHOR: Obs\r\nREMARKS: \r\nDATA:\r\n";
    for (int m = 0; m < 1440; ++m) {
        // 5 7 9 -> 7; 5 7 8 9 -> the upper middle, 8.
        const char* v = m == 720 ? "7" : m == 721 ? "8" : m == 1439 ? "-320" : "NaN";
        expected += std::string(v) + "\r\n";
    }
    expected += "END\r\n";
    EXPECT_EQ(ReadBytes(dir / "20030615.mox"), expected);
    EXPECT_EQ(ReadBytes(dir / "20030615.log"), "MOX_View - Convert:\r\n\r\n1-sensor-system:\r\n\r\n\r\n"
                                               "Lines   : 8\r\nCorrect : 8\r\nErrors  : 0\r\n\r\n");
}

TEST(Convert, ProbeLineDecidesSensorsAndComponents)
{
    struct Case {
        std::vector<std::string> lines;
        MOX_Vector_Typ oneSensor;
        std::vector<std::string> header;  // TYPE and TYPEDESCRIPTION
        std::string configuration;        // the report's third line
        std::string firstValueAt1200;
    };
    const std::string g = "garbage line";
    const std::vector<Case> cases = {
        {{Stamp(At(12, 0, 0)) + " X,  5 Y,  -6", Stamp(At(12, 0, 1)) + " X,  5 Y,  -6"},
         vecBy,
         {"TYPE: 2", "TYPEDESCRIPTION: Bx By"},
         "1st sensor : X-component",
         "5"},
        // The first sensor comes first, whatever its component.
        {{Stamp(At(12, 0, 0)) + " Y, 7 X, 5", Stamp(At(12, 0, 1)) + " Y, 7 X, 5"},
         vecBy,
         {"TYPE: 2", "TYPEDESCRIPTION: By Bx"},
         "1st sensor : Y-component",
         "7"},
        {{Stamp(At(12, 0, 0)) + " Z,  5", Stamp(At(12, 0, 1)) + " Z,  5"},
         vecBy,
         {"TYPE: 1", "TYPEDESCRIPTION: Bz"},
         "Z-component",
         "5"},
        {{Stamp(At(12, 0, 0)) + "  5", Stamp(At(12, 0, 1)) + "  5"},
         vecBy,
         {"TYPE: 1", "TYPEDESCRIPTION: By"},
         "1-sensor-system:",
         "5"},
        {{Stamp(At(12, 0, 0)) + "  5"}, vecBx, {"TYPE: 1", "TYPEDESCRIPTION: Bx"}, "1-sensor-system:", "5"},
        // A letter named twice is one sensor.
        {{Stamp(At(12, 0, 0)) + " X,  5 X,  9", Stamp(At(12, 0, 1)) + " X,  5 X,  9"},
         vecBy,
         {"TYPE: 1", "TYPEDESCRIPTION: Bx"},
         "X-component",
         "5"},
        // Letters of lines before the first valid time stamp do not count...
        {{g + " Z", g + " Z", Stamp(At(12, 0, 0)) + " X, 5", Stamp(At(12, 0, 1)) + " X, 5"},
         vecBy,
         {"TYPE: 1", "TYPEDESCRIPTION: Bx"},
         "X-component",
         "5"},
        // ...unless none of the first five has one: then the fifth line's letters do.
        {{g, g, g, g, g + " Y, Z, ", Stamp(At(12, 0, 0)) + " Y, 3 Z, 4"},
         vecBy,
         {"TYPE: 2", "TYPEDESCRIPTION: By Bz"},
         "1st sensor : Y-component",
         "3"},
        // A file whose only valid line is its last still takes that line's letters.
        {{g, Stamp(At(12, 0, 0)) + " Z, 5"}, vecBy, {"TYPE: 1", "TYPEDESCRIPTION: Bz"}, "Z-component", "5"},
        // No letter counts at position 80 or later, nor as the last character of the line.
        {{Stamp(At(12, 0, 0)) + "  5" + std::string(58, ' ') + "X, 1", Stamp(At(12, 0, 1)) + "  5 X"},
         vecBy,
         {"TYPE: 1", "TYPEDESCRIPTION: By"},
         "1-sensor-system:",
         "5"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        const Case& c = cases[i];
        TempDir dir;
        WriteBytes(dir / "log.txt", Join(c.lines));
        TMOX_Diagram d;
        d.set_1sensor_vec(c.oneSensor);
        d.Convert(dir / "log.txt");
        const auto mox = CrLfLines(dir / "log.mox");
        ASSERT_GE(mox.size(), 2u);
        EXPECT_EQ(std::vector<std::string>(mox.begin(), mox.begin() + 2), c.header);
        EXPECT_EQ(mox.size(), c.header[0] == "TYPE: 2" ? 12u + 2884 : 11u + 1442);
        const auto report = CrLfLines(dir / "log.log");
        ASSERT_GE(report.size(), 3u);
        EXPECT_EQ(report[2], c.configuration);
        const std::string marker = c.header[0] == "TYPE: 2" ? "DATA: " + c.header[1].substr(17, 2) : "DATA:";
        const auto values = SectionOf(mox, marker);
        ASSERT_EQ(values.size(), 1440u);
        EXPECT_EQ(values[720], c.firstValueAt1200);
    }
}

TEST(Convert, ReportListsEveryRejectedLineWithItsNumber)
{
    TempDir dir;
    const char noiseText[] = "15.06.03 12:00:50: X,\0 5\x1b Y,\r 6";
    const std::string noise(noiseText, sizeof noiseText - 1);
    WriteBytes(dir / "20030615.txt", Join({
                                         Stamp(At(12, 0, 10)) + " X,  5 Y,  6",
                                         "",                                      // counted, not reported
                                         "15.06.03 12:00:20; X,  5 Y,  6",        // no ':' after the time
                                         Stamp(At(12, 0, 30)) + " X  5 Y,  6",    // no comma after X
                                         Stamp(At(12, 0, 40)) + " X, --5 Y,  6",  // two signs
                                         "16.06.03 00:05:00: X,  5 Y,  6",        // tomorrow's 00:05
                                         noise,                                   // line noise, shown with '?'
                                         Stamp(At(0, 5, 0)) + " X,  +7 Y,  -8",
                                         "15.06.03 12:00:60: X,  1 Y,  2",                    // no such second
                                         Stamp(At(12, 0, 11)) + " X,  5",                     // second reading missing
                                         Stamp(At(12, 0, 12)) + " X=a,  -5 and Y: b, +6 K3",  // text around is ignored
                                         Stamp(At(12, 0, 13)) + " X,  99999999999 Y,  6",     // beyond any reading
                                     }));
    TMOX_Diagram d;
    d.Convert(dir / "20030615.txt");
    EXPECT_EQ(ReadBytes(dir / "20030615.log"), "MOX_View - Convert:\r\n"
                                               "\r\n"
                                               "1st sensor : X-component\r\n"
                                               "2nd sensor : Y-component\r\n"
                                               "\r\n"
                                               "line 3: 15.06.03 12:00:20; X,  5 Y,  6\r\n"
                                               "line 4: 15.06.03 12:00:30: X  5 Y,  6\r\n"
                                               "line 5: 15.06.03 12:00:40: X, --5 Y,  6\r\n"
                                               "line 6: 16.06.03 00:05:00: X,  5 Y,  6\r\n"
                                               "line 7: 15.06.03 12:00:50: X,? 5? Y,? 6\r\n"
                                               "line 9: 15.06.03 12:00:60: X,  1 Y,  2\r\n"
                                               "line 10: 15.06.03 12:00:11: X,  5\r\n"
                                               "line 12: 15.06.03 12:00:13: X,  99999999999 Y,  6\r\n"
                                               "\r\n"
                                               "Lines   : 12\r\n"
                                               "Correct : 3\r\n"
                                               "Errors  : 9\r\n"
                                               "\r\n");
    const auto mox = CrLfLines(dir / "20030615.mox");
    const auto bx = SectionOf(mox, "DATA: Bx"), by = SectionOf(mox, "DATA: By");
    ASSERT_EQ(bx.size(), 1440u);
    ASSERT_EQ(by.size(), 1440u);
    // Only this day's 00:05 is at 00:05.
    EXPECT_EQ(bx[5], "7");
    EXPECT_EQ(by[5], "-8");
    EXPECT_EQ(bx[720], "5");  // -5 5: the upper middle
    EXPECT_EQ(by[720], "6");
    EXPECT_EQ(std::count(bx.begin(), bx.end(), "NaN"), 1438);
}

TEST(Convert, LeavesDayFilesAloneAndSetsTheDateFormat)
{
    TempDir dir;
    const std::string day = "TYPE: 1\r\nanything\r\n";
    for (const char* name : {"20030615.mox", "20030616.MoX", "20030617.LOG"}) {
        WriteBytes(dir / name, day);
        FormatSettings().ShortDateFormat = "yyyymmdd";
        FormatSettings().DateSeparator = '/';
        TMOX_Diagram d;
        d.Convert(dir / name);
        EXPECT_EQ(ReadBytes(dir / name), day) << name;
        EXPECT_EQ(FormatSettings().ShortDateFormat, "dd.mm.yy");
        EXPECT_EQ(FormatSettings().DateSeparator, '.');
    }
    // Nothing was written beside them: not a report, and no .mox for the .LOG file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 3);

    // A file that does not exist changes nothing at all.
    FormatSettings().ShortDateFormat = "yyyymmdd";
    TMOX_Diagram d;
    d.Convert(dir / "20030618.txt");
    EXPECT_EQ(FormatSettings().ShortDateFormat, "yyyymmdd");
    EXPECT_FALSE(FileExists(dir / "20030618.mox"));
    FormatSettings().ShortDateFormat = "dd.mm.yy";
    FormatSettings().DateSeparator = '.';
}

TEST(Convert, DayWithoutValidLinesIsAllNaNWithTheZeroDate)
{
    TempDir dir;
    WriteBytes(dir / "x.txt", "\r\nno date here\r\n");
    TMOX_Diagram d;
    d.Convert(dir / "x.txt");
    const auto mox = CrLfLines(dir / "x.mox");
    ASSERT_EQ(mox.size(), 11u + 1442);
    EXPECT_EQ(mox[4], "DATE: 30.12.99");
    const auto values = SectionOf(mox, "DATA:");
    EXPECT_EQ(std::count(values.begin(), values.end(), "NaN"), 1440);
    EXPECT_EQ(Counters(CrLfLines(dir / "x.log")), (std::vector<long>{2, 0, 2}));
}

TEST(Convert, GarbageIsReportedAndNeverStopsTheConversion)
{
    TempDir dir;
    std::mt19937 random(7);
    std::string text;
    std::vector<int> good;  // line numbers of the valid lines
    int line = 0;
    auto add = [&](const std::string& s, bool valid) {
        text += s + "\r\n";
        ++line;
        if (valid) good.push_back(line);
    };
    for (int i = 0; i < 30; ++i) {
        add(Stamp(At(1, i, 0)) + " X,  " + std::to_string(i) + " Y,  " + std::to_string(-i), true);
        add("XYZXYZXYZX", false);
        add(Stamp(At(1, i, 30)).substr(0, 13), false);  // cut off by a power failure
        std::string noise(300, '\0');
        for (char& c : noise) {
            const int b = int(random() % 256);
            c = char(b == '\n' ? 0 : b);
        }
        add(noise, false);
    }
    add(std::string(100000, 'Z'), false);    // 100 kB with neither date nor end
    add(std::string(3 << 20, '\0'), false);  // longer than any block
    add(Stamp(At(2, 0, 0)) + " X, 1 Y, 2", true);
    text += Stamp(At(2, 1, 0)) + " X, 3 Y, 4";  // last line without a line end
    good.push_back(++line);
    WriteBytes(dir / "g.txt", text);

    TMOX_Diagram d;
    ASSERT_NO_THROW(d.Convert(dir / "g.txt"));
    const auto mox = CrLfLines(dir / "g.mox");
    EXPECT_EQ(mox.size(), 12u + 2884);
    EXPECT_EQ(SectionOf(mox, "DATA: Bx")[121], "3");
    EXPECT_EQ(SectionOf(mox, "DATA: By")[121], "4");

    const auto report = CrLfLines(dir / "g.log");
    EXPECT_EQ(Counters(report), (std::vector<long>{line, long(good.size()), line - long(good.size())}));
    std::set<int> reported;
    for (const std::string& l : report) {
        if (l.rfind("line ", 0) != 0) continue;
        reported.insert(std::stoi(l.substr(5)));
        EXPECT_LE(l.size(), (1u << 20) + 20);
        EXPECT_EQ(l.find('\0'), std::string::npos);
    }
    for (int n = 1; n <= line; ++n)
        EXPECT_EQ(reported.count(n), std::count(good.begin(), good.end(), n) ? 0u : 1u) << n;
}

TEST(Convert, FailedWriteLeavesTheOldFilesInPlace)
{
    TempDir dir;
    std::string log;
    for (int s = 0; s < 86400; s += 10) log += Stamp(s) + " X, 1 Y, 2\r\n";
    WriteBytes(dir / "20030615.txt", log);
    WriteBytes(dir / "20030615.mox", "alt\r\n");
    WriteBytes(dir / "20030615.log", "alt\r\n");

    // A full disk, as far as this process is concerned.
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    auto* oldHandler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    TMOX_Diagram d;
    EXPECT_THROW(d.Convert(dir / "20030615.txt"), std::system_error);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(ReadBytes(dir / "20030615.mox"), "alt\r\n");
    EXPECT_EQ(ReadBytes(dir / "20030615.log"), "alt\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 3);

    d.Convert(dir / "20030615.txt");
    EXPECT_EQ(CrLfLines(dir / "20030615.mox").size(), 12u + 2884);
}

// A raw log made from a real day of one-second observatory data, as the device would have
// logged it, converted and checked minute by minute against the records themselves.
TEST(Convert, RealDayOfSeconds)
{
    const std::string source = std::string(REAL_DATA_DIR) + "/wic20220810vsec.sec";
    if (!FileExists(source)) GTEST_SKIP() << "no real data at " << source;
    const auto records = ReadIagaSeconds(source);
    ASSERT_EQ(records.size(), 86400u);

    struct Variant {
        std::string letters;  // "XY": two sensors, X and Y; "": one sensor without letter
        int step;             // seconds between lines
    };
    for (const Variant& v : {Variant{"XY", 1}, Variant{"", 10}}) {
        SCOPED_TRACE(v.letters + " every " + std::to_string(v.step) + " s");
        TempDir dir;
        std::string text;
        std::map<int, std::vector<long>> expected[2];
        long lines = 0, correct = 0;
        for (const SecondRecord& r : records) {
            if (r.second % v.step) continue;
            const int sensor0 = v.letters.empty() ? 2 : 0;  // Z for the one-sensor log
            if (std::isnan(r.v[sensor0]) || std::isnan(r.v[1])) continue;
            const long readings[2] = {std::lround(r.v[sensor0]), std::lround(r.v[1])};
            text += DeviceStamp(10, 8, 2022, r.second) + DevicePayload(v.letters, readings) + "\r\n";
            ++lines;
            ++correct;
            for (int s = 0; s < (v.letters.empty() ? 1 : 2); ++s) expected[s][r.second / 60].push_back(readings[s]);
            if (r.second % 997 == 0) {
                text += DeviceStamp(10, 8, 2022, r.second).substr(0, 20) + "\r\n";
                ++lines;
            }
        }
        WriteBytes(dir / "20220810.txt", text);
        TMOX_Diagram d;
        d.set_1sensor_vec(vecBz);
        d.Convert(dir / "20220810.txt");

        const auto mox = CrLfLines(dir / "20220810.mox");
        ASSERT_GE(mox.size(), 5u);
        EXPECT_EQ(mox[4 + (v.letters.empty() ? 0 : 1)], "DATE: 10.08.22");
        const std::vector<std::string> markers =
            v.letters.empty() ? std::vector<std::string>{"DATA:"} : std::vector<std::string>{"DATA: Bx", "DATA: By"};
        for (std::size_t s = 0; s < markers.size(); ++s) {
            const auto values = SectionOf(mox, markers[s]);
            ASSERT_EQ(values.size(), 1440u);
            for (int m = 0; m < 1440; ++m) {
                auto list = expected[s][m];
                std::string want = "NaN";
                if (!list.empty()) {
                    std::sort(list.begin(), list.end());
                    want = std::to_string(list[list.size() / 2]);
                }
                ASSERT_EQ(values[m], want) << markers[s] << " minute " << m;
            }
        }
        EXPECT_EQ(Counters(CrLfLines(dir / "20220810.log")), (std::vector<long>{lines, correct, lines - correct}));
    }
}
