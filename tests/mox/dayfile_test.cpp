#include <gtest/gtest.h>

#include <cmath>

#include "../support/DayFiles.h"
#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"

namespace {

std::vector<std::string> Constant(const std::string& v) { return std::vector<std::string>(1440, v); }

}  // namespace

TEST(DayFile, Type1HeaderAndReadings)
{
    TempDir dir;
    auto values = Minutes([](int m) { return -320.0 + m; });
    values[0] = "  -12.5";  // leading blanks and a decimal
    values[1] = "xxNaNxx";  // NaN anywhere means missing
    values[2] = "abc";      // not a number: missing too
    values[1439] = "NaN";
    WriteBytes(dir / "20030615.mox", DayFileText({{"Bz", values}}, "15.06.03", "Polverin", "Ödön"));

    TMOX_Diagram d;
    d.LoadData(dir / "20030615.mox", 0, 3);
    ASSERT_TRUE(d.is_loaded(3));
    EXPECT_EQ(d.get_data(3, 1), -12.5);
    EXPECT_TRUE(std::isnan(d.get_data(3, 2)));
    EXPECT_TRUE(std::isnan(d.get_data(3, 3)));
    EXPECT_EQ(d.get_data(3, 4), -317.0);
    EXPECT_TRUE(std::isnan(d.get_data(3, 1440)));
    EXPECT_EQ(d.get_data_count(3), 1437);
    EXPECT_DOUBLE_EQ(d.get_last_time(3), 1438 / 1440.0);

    const MOX_Header h = d.get_Header(3);
    EXPECT_EQ(h.FileName, dir / "20030615.mox");
    EXPECT_EQ(h.Type, 1);
    EXPECT_EQ(h.TypeDescription, "Bz");
    EXPECT_EQ(h.Vectors, 1);
    EXPECT_EQ(h.Vector, vecBz);
    EXPECT_EQ(h.Name1, "Bz");
    EXPECT_EQ(h.Date, EncodeDate(2003, 6, 15));
    EXPECT_EQ(h.Location, "Polverin");
    EXPECT_EQ(h.Latitude, "52.0 N");
    EXPECT_EQ(h.Longitude, "13.0 E");
    EXPECT_EQ(h.Locator, "JO62AA");
    EXPECT_EQ(h.Author, "Ödön");
    EXPECT_EQ(h.Remarks, "");
    EXPECT_FALSE(h.is_korr_file);
    // The K index is worked out on every load.
    EXPECT_GE(d.get_K_index(1), 0);
}

TEST(DayFile, LoadedOnlyWithAtLeastOneNumber)
{
    TempDir dir;
    WriteBytes(dir / "nan.mox", DayFileText({{"By", Constant("NaN")}}, "15.06.03"));
    auto one = Constant("NaN");
    one[0] = "7";
    WriteBytes(dir / "one.mox", DayFileText({{"By", one}}, "15.06.03"));

    TMOX_Diagram d;
    d.LoadData(dir / "nan.mox", 0, 1);
    EXPECT_FALSE(d.is_loaded(1));
    d.LoadData(dir / "one.mox", 0, 1);
    ASSERT_TRUE(d.is_loaded(1));
    EXPECT_EQ(d.get_last_time(1), 0.0);
    EXPECT_EQ(d.get_K_Curve(1, 1), 0);   // one reading: range 0
    EXPECT_EQ(d.get_K_Curve(1, 2), -1);  // no reading in the block
    // Loading the all-NaN file again unloads the curve.
    d.LoadData(dir / "nan.mox", 0, 1);
    EXPECT_FALSE(d.is_loaded(1));
}

TEST(DayFile, SectionsOfType2And4FollowTheSelector)
{
    TempDir dir;
    WriteBytes(dir / "two.mox", DayFileText({{"Bz", Constant("3")}, {"Bx", Constant("1")}}, "15.06.03"));
    WriteBytes(dir / "four.mox",
               DayFileText({{"Bx", Constant("1")}, {"By", Constant("2")}, {"Bz", Constant("3")}, {"B", Constant("4")}},
                           "15.06.2003"));
    TMOX_Diagram d;
    d.LoadData(dir / "two.mox", 0, 1);
    EXPECT_EQ(d.get_data(1, 10), 1.0);
    d.LoadData(dir / "two.mox", 3, 2);
    EXPECT_EQ(d.get_data(2, 10), 3.0);
    EXPECT_EQ(d.get_Header(2).Vector, vecBz);  // selector - 1, for the reload by the hosts
    d.LoadData(dir / "two.mox", 2, 3);         // no By section
    EXPECT_FALSE(d.is_loaded(3));
    d.LoadData(dir / "two.mox", 4, 3);  // no total field in TYPE 2
    EXPECT_FALSE(d.is_loaded(3));
    EXPECT_EQ(d.get_Header(3).FileName, dir / "two.mox");  // the header is read regardless

    for (int k = 1; k <= 4; ++k) {
        d.LoadData(dir / "four.mox", k, k);
        ASSERT_TRUE(d.is_loaded(k));
        EXPECT_EQ(d.get_data(k, 1440), double(k));
    }
    EXPECT_EQ(d.get_Header(4).Vector, vecB);
    EXPECT_EQ(d.get_Header(4).Date, EncodeDate(2003, 6, 15));

    // A selector the type has no section for leaves the curve unloaded.
    d.LoadData(dir / "four.mox", 7, 1);
    EXPECT_FALSE(d.is_loaded(1));
    d.LoadData(dir / "four.mox", 1, 0);  // invalid curve: nothing at all
}

TEST(DayFile, MarkerMustMatchTheWholeLine)
{
    TempDir dir;
    std::string text = DayFileText({{"Bz", Constant("3")}, {"Bx", Constant("1")}}, "15.06.03");
    text.replace(text.find("DATA: Bx\r\n"), 10, "DATA: Bx \r\n");
    WriteBytes(dir / "blank.mox", text);
    TMOX_Diagram d;
    d.LoadData(dir / "blank.mox", 1, 1);
    EXPECT_FALSE(d.is_loaded(1));
}

TEST(DayFile, HeaderRules)
{
    TempDir dir;
    // Only a TYPE 1 description names the curve's component; keys after DATA:, keys not at
    // the first column and unknown keys are ignored.
    WriteBytes(dir / "h.mox", "TYPE: 2\r\nTYPEDESCRIPTION: Bx\r\n LOCATION: no\r\nNAME3: x\r\nDATE: 1.2.2003\r\n"
                              "DATA:\r\nLOCATION: late\r\n5\r\n");
    TMOX_Diagram d;
    d.LoadHeader(dir / "h.mox", 1, 2);
    MOX_Header h = d.get_Header(1);
    EXPECT_EQ(int(h.Vector), vecBy);  // from the selector
    EXPECT_EQ(h.Location, "");
    EXPECT_EQ(h.Date, EncodeDate(2003, 2, 1));
    d.LoadHeader(dir / "h.mox", 1, 0);
    EXPECT_EQ(int(d.get_Header(1).Vector), 255);

    // A missing file resets the header to today and nothing else.
    d.LoadData(dir / "none.mox", 0, 1);
    h = d.get_Header(1);
    EXPECT_EQ(h.FileName, dir / "none.mox");
    EXPECT_EQ(h.Type, 1);
    EXPECT_EQ(h.Date, Date());
    EXPECT_FALSE(d.is_loaded(1));
}

TEST(DayFile, UnreadableHeaderValuesRaiseWithFileAndLine)
{
    TempDir dir;
    WriteBytes(dir / "t.mox", "TYPE: eins\r\nDATA:\r\n5\r\n");
    WriteBytes(dir / "d.mox", "TYPE: 1\r\nVECTORS: 1\r\nDATE: 31.02.03\r\nDATA:\r\n5\r\n");
    TMOX_Diagram d;
    for (const char* f : {"t.mox", "d.mox"}) {
        try {
            d.LoadData(dir / f, 0, 1);
            ADD_FAILURE() << f << ": no error";
        } catch (const EConvertError& e) {
            const std::string msg = e.what();
            EXPECT_NE(msg.find(dir / f), std::string::npos) << msg;
            EXPECT_NE(msg.find(std::string(f) == "t.mox" ? "Zeile 1" : "Zeile 3"), std::string::npos) << msg;
        }
        EXPECT_FALSE(d.is_loaded(1));
    }
}

TEST(DayFile, DamagedFilesNeverCrashTheLoader)
{
    TempDir dir;
    std::string full = DayFileText({{"By", Minutes([](int m) { return m; })}}, "15.06.03");
    WriteBytes(dir / "cut.mox", full.substr(0, full.size() / 2));
    WriteBytes(dir / "empty.mox", "");
    std::string garbage;
    for (int i = 0; i < 200000; ++i) garbage += char((i * 7919) % 256);
    WriteBytes(dir / "garbage.mox", garbage);
    WriteBytes(dir / "long.mox", "TYPE: 1\r\nDATA:\r\n" + std::string(10 << 20, '9') + "\r\n1e400\r\n12\r\n");

    TMOX_Diagram d;
    d.LoadData(dir / "cut.mox", 0, 1);
    ASSERT_TRUE(d.is_loaded(1));  // the rest of a cut section reads as missing
    EXPECT_EQ(d.get_data(1, 2), 1.0);
    EXPECT_TRUE(std::isnan(d.get_data(1, 1440)));
    d.LoadData(dir / "empty.mox", 0, 2);
    EXPECT_FALSE(d.is_loaded(2));
    d.LoadData(dir / "garbage.mox", 0, 3);
    EXPECT_FALSE(d.is_loaded(3));
    d.LoadData(dir / "long.mox", 0, 4);
    ASSERT_TRUE(d.is_loaded(4));
    // Numbers beyond the range of a double are no readings.
    EXPECT_TRUE(std::isnan(d.get_data(4, 1)));
    EXPECT_TRUE(std::isnan(d.get_data(4, 2)));
    EXPECT_EQ(d.get_data(4, 3), 12.0);
    EXPECT_EQ(d.get_K_Curve(4, 1), 0);
}

TEST(DayFile, DatesReadAsDayMonthYearWhateverTheProcessFormat)
{
    TempDir dir;
    WriteBytes(dir / "d.mox", DayFileText({{"By", Constant("1")}}, "15.06.03"));
    const TFormatSettings saved = FormatSettings();
    // The serial handler leaves this format behind between two batches.
    FormatSettings().ShortDateFormat = "yyyymmdd";
    TMOX_Diagram d;
    d.LoadData(dir / "d.mox", 0, 1);
    FormatSettings() = saved;
    EXPECT_EQ(d.get_Header(1).Date, EncodeDate(2003, 6, 15));
}
