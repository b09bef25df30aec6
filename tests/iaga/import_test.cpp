#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <numbers>
#include <system_error>

#include "IagaFiles.h"
#include "mox/Iaga2002.h"
#include "mox/rtl/SysUtils.h"

namespace {

std::vector<std::string> FilesIn(const TempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Minute sums of four series computed from the rows by `convert`, which gives Bx, By, Bz, B
// of one row (NaN where it has none).
struct Expected {
    std::vector<double> sum[4];
    std::vector<int> count[4];
    Expected()
    {
        for (int k = 0; k < 4; ++k) sum[k].assign(1440, 0.0), count[k].assign(1440, 0);
    }
    template <class F>
    void AddRows(const std::vector<IagaRow>& rows, F convert)
    {
        for (const IagaRow& r : rows) {
            double out[4];
            convert(r, out);
            for (int k = 0; k < 4; ++k)
                if (!std::isnan(out[k])) sum[k][r.minute] += out[k], ++count[k][r.minute];
        }
    }
    void Check(const ParsedDayFile& f) const
    {
        const char* markers[4] = {"DATA: Bx", "DATA: By", "DATA: Bz", "DATA: B"};
        for (int k = 0; k < 4; ++k) {
            ASSERT_EQ(f.sections.count(markers[k]), 1u) << markers[k];
            EXPECT_EQ(f.sections.at(markers[k]), MeanTexts(sum[k], count[k])) << markers[k];
        }
    }
};

double Value(double v) { return v >= 88888 ? std::nan("") : v; }

}  // namespace

TEST(IagaImport, HdzfMinutesBecomeGeographicComponents)
{
    TempDir out;
    const std::string source = RealUsgs("bou20141101vmin.min");
    const auto written = ImportIaga2002(source, out.str());
    ASSERT_EQ(written, std::vector<std::string>{out / "bou20141101.mox"});

    Expected e;
    e.AddRows(IagaRows(source), [](const IagaRow& r, double* o) {
        const double d = r.v[1] / 60 * std::numbers::pi / 180;
        o[0] = r.v[0] * std::cos(d);
        o[1] = r.v[0] * std::sin(d);
        o[2] = Value(r.v[2]);
        o[3] = Value(r.v[3]);
    });
    const ParsedDayFile f = ReadDayFileText(written[0]);
    EXPECT_EQ(f.lineCount, 14u + 4 * 1442);
    e.Check(f);
    EXPECT_EQ(f.sections.at("DATA: Bx")[0], "20874");  // 20873.75 at -9.99'

    EXPECT_EQ(f.header.at("TYPE"), "4");
    EXPECT_EQ(f.header.at("DATE"), "01.11.14");
    EXPECT_EQ(f.header.at("LOCATION"), "Boulder");
    EXPECT_EQ(f.header.at("LATITUDE"), "40.137N");
    EXPECT_EQ(f.header.at("LONGITUDE"), "105.236W");  // 254.764 east
    EXPECT_EQ(f.header.at("LOCATOR"), "DN70JD");
    EXPECT_EQ(f.header.at("AUTHOR"), "United States Geological Survey (USGS)");
    EXPECT_EQ(f.header.at("REMARKS"), "BOU, variation, filtered 1-minute (00:15-01:45)");
}

TEST(IagaImport, XyzfSecondsGiveMinuteMeans)
{
    TempDir out;
    const std::string source = std::string(IAGA_REAL_DIR) + "/wic20220810vsec.sec";
    const auto written = ImportIaga2002(source, out.str());
    // "IAGA Code" in other letter case still names the file.
    ASSERT_EQ(written, std::vector<std::string>{out / "wic20220810.mox"});

    Expected e;
    e.AddRows(IagaRows(source), [](const IagaRow& r, double* o) {
        for (int k = 0; k < 4; ++k) o[k] = Value(r.v[k]);
    });
    EXPECT_EQ(e.count[0][0], 60);
    EXPECT_EQ(e.count[3][0], 0);  // F is missing throughout
    const ParsedDayFile f = ReadDayFileText(written[0]);
    e.Check(f);
    // Coordinates that are not degrees are kept as text, without a locator.
    EXPECT_EQ(f.header.at("LATITUDE"), "310086.6051");
    EXPECT_EQ(f.header.at("LONGITUDE"), "-34833.41399");
    EXPECT_EQ(f.header.at("LOCATOR"), "");
    EXPECT_EQ(f.header.at("LOCATION"), "Conrad Observatory");
}

TEST(IagaImport, EhzfSecondsGiveMinuteMeans)
{
    TempDir out;
    // The archive holds this day under a name of its own.
    const std::string source = std::string(IAGA_REAL_DIR) + "/example1.sec";
    const auto written = ImportIaga2002(source, out.str());
    ASSERT_EQ(written, std::vector<std::string>{out / "wic20230712.mox"});

    Expected e;
    e.AddRows(IagaRows(source), [](const IagaRow& r, double* o) {
        const double east = Value(r.v[0]), h = Value(r.v[1]);
        o[0] = std::sqrt(h * h - east * east);
        o[1] = east;
        o[2] = Value(r.v[2]);
        o[3] = Value(r.v[3]);
    });
    EXPECT_EQ(e.count[3][700], 0);  // F not recorded
    const ParsedDayFile f = ReadDayFileText(written[0]);
    e.Check(f);
    EXPECT_EQ(f.header.at("LATITUDE"), "47.928N");
    EXPECT_EQ(f.header.at("LONGITUDE"), "15.866E");
    EXPECT_EQ(f.header.at("LOCATOR"), "JN77WW");
}

TEST(IagaImport, FileWithoutHorizontalPairIsRefusedAndNothingWritten)
{
    TempDir out;
    const std::string source = RealUsgs("LLO20200106vmin.min");
    try {
        ImportIaga2002(source, out.str());
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(source), std::string::npos) << what;
        EXPECT_NE(what.find("U, V, W, NUL"), std::string::npos) << what;
    }
    EXPECT_TRUE(FilesIn(out).empty());
}

TEST(IagaImport, BrokenFilesNameFileAndLineAndWriteNothing)
{
    TempDir dir;
    const std::string text = ReadBytes(RealUsgs("bou20141101vmin.min"));
    // Header records 1-24, the column line 25, then the rows: row 701 is line 725.
    const std::size_t row701 = [&] {
        std::size_t p = 0;
        for (int i = 0; i < 724; ++i) p = text.find('\n', p) + 1;
        return p;
    }();
    const std::string out = dir / "out";
    std::filesystem::create_directory(out);
    struct Case {
        const char* name;
        std::string text;
        const char* where;
    } cases[] = {
        {"cut.min", text.substr(0, row701 + 45), ", Zeile 725: "},
        {"value.min", text.substr(0, row701 + 40) + "x" + text.substr(row701 + 41), ", Zeile 725: "},
        {"date.min", text.substr(0, row701 + 5) + "13" + text.substr(row701 + 7), ", Zeile 725: "},
        {"header.min", text.substr(0, 600), ", Zeile 9: "},
        {"rowfirst.min", text.substr(text.find("2014-11-01")), ", Zeile 1: "},
    };
    for (const Case& c : cases) {
        WriteBytes(dir / c.name, c.text);
        try {
            ImportIaga2002(dir / c.name, out);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const EConvertError& e) {
            EXPECT_NE(std::string(e.what()).find(dir / c.name + c.where), std::string::npos) << e.what();
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST(IagaImport, SeveralDaysKeysInAnyCaseHalvesToEvenAndEmptyMinutes)
{
    TempDir dir;
    // Columns in another order (D first), keys in small letters, samples around midnight.
    const std::string head = " format                 IAGA-2002                                    |\r\n"
                             " iaga code              TST                                          |\r\n"
                             " STATION NAME           Göttingen                                    |\r\n"
                             " Geodetic latitude      -33.9                                        |\r\n"
                             " Geodetic Longitude     18.4                                         |\r\n"
                             " # a comment that mentions IAGA CODE XYZ                             |\r\n"
                             "DATE       TIME         DOY     TSTD      TSTH      TSTZ      TSTF   |\r\n";
    const std::string rows = "2025-12-31 23:58:00.000 365         0.00     10.00     30.00     10.00\r\n"
                             "2025-12-31 23:58:30.000 365         0.00     11.00  99999.00     11.00\r\n"
                             "2025-12-31 23:59:00.000 365         0.00     11.00     31.00  88888.00\r\n"
                             "2025-12-31 23:59:30.000 365         0.00     12.00     32.00  88888.00\r\n"
                             "2026-01-01 00:00:00.000 001      5400.00    100.00     40.00     50.00\r\n";
    WriteBytes(dir / "two.min", head + rows);
    const auto written = ImportIaga2002(dir / "two.min");
    ASSERT_EQ(written, (std::vector<std::string>{dir / "tst20251231.mox", dir / "tst20260101.mox"}));

    const ParsedDayFile first = ReadDayFileText(written[0]);
    EXPECT_EQ(first.header.at("DATE"), "31.12.25");
    EXPECT_EQ(first.header.at("LOCATION"), "G\xf6ttingen");  // day files are Windows-1252
    EXPECT_EQ(first.header.at("LATITUDE"), "33.9S");
    EXPECT_EQ(first.header.at("LOCATOR"), "JF96EC");
    const auto& bx = first.sections.at("DATA: Bx");
    EXPECT_EQ(bx[1438], "10");  // 10 and 11: 10.5 goes to 10
    EXPECT_EQ(bx[1439], "12");  // 11 and 12: 11.5 goes to 12
    EXPECT_EQ(bx[0], "NaN");
    EXPECT_EQ(first.sections.at("DATA: By")[1439], "0");
    EXPECT_EQ(first.sections.at("DATA: Bz")[1438], "30");  // the missing value counts for nothing
    EXPECT_EQ(first.sections.at("DATA: B")[1439], "NaN");

    const ParsedDayFile second = ReadDayFileText(written[1]);
    EXPECT_EQ(second.header.at("DATE"), "01.01.26");
    EXPECT_EQ(second.sections.at("DATA: Bx")[0], "0");  // D of 90 degrees
    EXPECT_EQ(second.sections.at("DATA: By")[0], "100");
    EXPECT_EQ(second.sections.at("DATA: B")[0], "50");
    EXPECT_EQ(second.sections.at("DATA: Bx")[1], "NaN");
}
