#include <gtest/gtest.h>

#include <cmath>

#include "../support/DayFiles.h"
#include "ConversionFiles.h"
#include "RealSeconds.h"
#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"

namespace {

std::vector<std::string> Constant(const std::string& v) { return std::vector<std::string>(1440, v); }

// 1440 minute values: `first` at 00:00, `last` at 23:59 (NaN for none), NaN between.
std::vector<std::string> FirstAndLast(const std::string& first, const std::string& last)
{
    auto v = Constant("NaN");
    v[0] = first;
    v[1439] = last;
    return v;
}

// A one-sensor raw log of 15 June 2003 with readings at 00:00 and 12:00.
void WriteToday(const TempDir& dir)
{
    WriteBytes(dir / "20030615.txt",
               DeviceStamp(15, 6, 2003, 0) + "  500\r\n" + DeviceStamp(15, 6, 2003, 43200) + "  520\r\n");
}

void Unload(TMOX_Diagram& d)
{
    for (int c = 1; c <= 4; ++c) {
        d.DelCurve(c);
        d.set_Offset(c, 99);
    }
}

}  // namespace

TEST(AutoLoad, PreviousDayFromItsDayFileOrItsRawLog)
{
    struct Case {
        std::string name;
        std::string previousMox;  // empty: none
        std::string previousTxt;  // empty: none
        bool previousLoaded;
        int offset;
    };
    const std::vector<Case> cases = {
        {"day file", DayFileText({{"By", FirstAndLast("100", "130.7")}}, "14.06.03"), "", true, 30},
        {"falling", DayFileText({{"By", FirstAndLast("100", "69.3")}}, "14.06.03"), "", true, -30},
        {"no 23:59", DayFileText({{"By", FirstAndLast("100", "NaN")}}, "14.06.03"), "", true, 0},
        {"raw log", "", DeviceStamp(14, 6, 2003, 60) + "  100\r\n" + DeviceStamp(14, 6, 2003, 86399) + "  140\r\n",
         true, 40},
        {"none", "", "", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteToday(dir);
        if (!c.previousMox.empty()) WriteBytes(dir / "20030614.mox", c.previousMox);
        if (!c.previousTxt.empty()) WriteBytes(dir / "20030614.txt", c.previousTxt);
        // An unrelated day file two days back must not be taken.
        WriteBytes(dir / "20030613.mox", DayFileText({{"By", Constant("1")}}, "13.06.03"));

        TMOX_Diagram d;
        Unload(d);
        d.AutoLoad(dir / "20030615.txt", true);
        ASSERT_TRUE(d.is_loaded(2));
        EXPECT_EQ(d.get_data(2, 1), 500.0);
        EXPECT_EQ(d.get_data(2, 721), 520.0);
        EXPECT_EQ(d.is_loaded(1), c.previousLoaded);
        if (c.previousLoaded) {
            EXPECT_EQ(d.get_Header(1).Date, EncodeDate(2003, 6, 14));
            EXPECT_EQ(d.get_Offset(1), 0);
        }
        EXPECT_EQ(d.get_Offset(2), c.offset);
        EXPECT_FALSE(d.is_loaded(3));
        EXPECT_FALSE(d.is_loaded(4));
        EXPECT_EQ(d.get_Offset(3), 99);  // curves it does not load stay as they were
    }
}

TEST(AutoLoad, WithoutPreviousDayLoadsCurveOne)
{
    TempDir dir;
    WriteToday(dir);
    WriteBytes(dir / "20030614.mox", DayFileText({{"By", Constant("1")}}, "14.06.03"));
    TMOX_Diagram d;
    Unload(d);
    d.AutoLoad(dir / "20030615.txt", false);
    ASSERT_TRUE(d.is_loaded(1));
    EXPECT_EQ(d.get_data(1, 1), 500.0);
    EXPECT_EQ(d.get_Offset(1), 0);
    EXPECT_FALSE(d.is_loaded(2));
    EXPECT_EQ(d.get_Header(1).FileName, dir / "20030615.mox");
}

TEST(AutoLoad, TwoComponentsInTheOrderBxByBz)
{
    TempDir dir;
    WriteBytes(dir / "zx.mox", DayFileText({{"Bz", Constant("3")}, {"Bx", Constant("1")}}, "15.06.03"));
    WriteBytes(dir / "yz.mox", DayFileText({{"By", Constant("2")}, {"Bz", Constant("3")}}, "15.06.03"));
    TMOX_Diagram d;
    d.AutoLoad(dir / "zx.mox", false);
    EXPECT_EQ(d.get_data(1, 1), 1.0);
    EXPECT_EQ(d.get_data(2, 1), 3.0);
    d.AutoLoad(dir / "yz.mox", false);
    EXPECT_EQ(d.get_data(1, 1), 2.0);
    EXPECT_EQ(d.get_data(2, 1), 3.0);

    // With the previous day: today in curves 2 and 4, the day before in 1 and 3.
    WriteBytes(dir / "20030615.txt", DeviceStamp(15, 6, 2003, 0) + " Z,  30 X,  10\r\n");
    WriteBytes(dir / "20030614.mox",
               DayFileText({{"Bz", FirstAndLast("5", "8")}, {"Bx", FirstAndLast("7", "17")}}, "14.06.03"));
    Unload(d);
    d.AutoLoad(dir / "20030615.txt", true);
    EXPECT_EQ(d.get_data(1, 1), 7.0);
    EXPECT_EQ(d.get_data(2, 1), 10.0);
    EXPECT_EQ(d.get_data(3, 1), 5.0);
    EXPECT_EQ(d.get_data(4, 1), 30.0);
    EXPECT_EQ(d.get_Offset(1), 0);
    EXPECT_EQ(d.get_Offset(2), 10);
    EXPECT_EQ(d.get_Offset(3), 0);
    EXPECT_EQ(d.get_Offset(4), 3);
}

TEST(AutoLoad, DayFilesAreNotConvertedAgain)
{
    TempDir dir;
    const std::string four = DayFileText(
        {{"Bx", Constant("1")}, {"By", Constant("2")}, {"Bz", Constant("3")}, {"B", Constant("4")}}, "15.06.03");
    WriteBytes(dir / "150603MR.MOX", four);
    TMOX_Diagram d;
    Unload(d);
    d.AutoLoad(dir / "150603MR.MOX", true);
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(d.get_data(k, 1440), double(k));
        EXPECT_EQ(d.get_Offset(k), 0);
    }
    EXPECT_EQ(ReadBytes(dir / "150603MR.MOX"), four);
    EXPECT_FALSE(FileExists(dir / "150603MR.log"));
}

TEST(AutoLoad, NothingToLoad)
{
    TempDir dir;
    WriteBytes(dir / "notype.mox", "DATE: 15.06.03\r\nDATA:\r\n1\r\n");
    WriteBytes(dir / "type3.mox", "TYPE: 3\r\nDATA:\r\n1\r\n");
    TMOX_Diagram d;
    d.AutoLoad(dir / "missing.txt", true);
    d.AutoLoad(dir / "notype.mox", false);
    d.AutoLoad(dir / "type3.mox", false);
    EXPECT_TRUE(d.is_empty());
    EXPECT_FALSE(FileExists(dir / "missing.mox"));
}
