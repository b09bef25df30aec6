#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ctime>

#include "mox/rtl/SysUtils.h"

namespace {

// Restores the process-wide settings that a test changes.
class FormatTest : public ::testing::Test {
protected:
    void SetUp() override { saved = FormatSettings(); }
    void TearDown() override { FormatSettings() = saved; }
    TFormatSettings saved;
};

int ThisYear()
{
    time_t now = time(nullptr);
    tm t;
    localtime_r(&now, &t);
    return t.tm_year + 1900;
}

}  // namespace

TEST(Calendar, SerialNumbersMatchTheDayZeroOf1899)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(2003, 6, 15), 37787.0);
    EXPECT_EQ(EncodeDate(2000, 3, 1) - EncodeDate(2000, 2, 28), 2.0);  // leap day
    int y, m, d;
    DecodeDate(37787.75, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20030615);
    int h, n, s, ms;
    DecodeTime(EncodeTime(23, 59, 7, 0), h, n, s, ms);
    EXPECT_EQ(h * 10000 + n * 100 + s, 235907);
    EXPECT_EQ(MinuteOfDay(37787.0 + EncodeTime(12, 1, 59, 999)), 721);
    EXPECT_THROW(EncodeDate(2003, 2, 29), EConvertError);
    EXPECT_FALSE(IsValidDate(1900, 2, 29));
    EXPECT_TRUE(IsValidDate(2000, 2, 29));
}

TEST_F(FormatTest, PatternsOfTheFileNamesAndTexts)
{
    const TDateTime t = EncodeDate(2003, 6, 5) + EncodeTime(8, 7, 9, 0);
    EXPECT_EQ(FormatDateTime("dd.mm.yy", t), "05.06.03");
    EXPECT_EQ(FormatDateTime("yyyymmdd", t), "20030605");
    EXPECT_EQ(FormatDateTime("ddmmyy", t), "050603");
    EXPECT_EQ(FormatDateTime("dd.mm.yyyy", t), "05.06.2003");
    // "mm" after an hour is the minute.
    EXPECT_EQ(FormatDateTime("hh:mm", t), "08:07");
    EXPECT_EQ(FormatDateTime("hh:nn:ss", t), "08:07:09");
    EXPECT_EQ(FormatDateTime("d.m.yyyy h:n", t), "5.6.2003 8:7");
    FormatSettings().DateSeparator = '-';
    FormatSettings().TimeSeparator = '.';
    EXPECT_EQ(FormatDateTime("dd/mm/yy hh:mm", t), "05-06-03 08.07");
    EXPECT_EQ(FormatDateTime("'dd' dd", t), "dd 05");
    FormatSettings().ShortDateFormat = "yyyymmdd";
    EXPECT_EQ(DateToStr(t), "20030605");
    {
        ShortDateFormatScope scope("dd.mm.yyyy");
        EXPECT_EQ(DateToStr(t), "05.06.2003");
    }
    EXPECT_EQ(DateToStr(t), "20030605");
}

TEST_F(FormatTest, TwoDigitYearsFallIntoTheCenturyWindow)
{
    const int pivot = ThisYear() - 50;
    int y, m, d;
    DecodeDate(StrToDate("15.06.03"), y, m, d);
    EXPECT_EQ(y, 2003);
    DecodeDate(StrToDate("15.06.2003"), y, m, d);
    EXPECT_EQ(y, 2003);
    // The year at the pivot stays in its century, the one before moves to the next.
    const int at = pivot % 100, before = (pivot + 99) % 100;
    DecodeDate(StrToDate("01.01." + std::string(at < 10 ? "0" : "") + std::to_string(at)), y, m, d);
    EXPECT_EQ(y, pivot);
    DecodeDate(StrToDate("01.01." + std::string(before < 10 ? "0" : "") + std::to_string(before)), y, m, d);
    EXPECT_EQ(y, pivot + 99);
    FormatSettings().TwoDigitYearCenturyWindow = 0;
    DecodeDate(StrToDate("01.01.75"), y, m, d);
    EXPECT_EQ(y, ThisYear() - ThisYear() % 100 + 75);
}

TEST_F(FormatTest, ParsingRejectsWhatIsNotADateOrTime)
{
    for (const char* bad :
         {"", "abc", "15.06", "31.02.03", "15/06/03", "0.1.03", "15.13.03", "15.06.03x", "15.06.12345"})
        EXPECT_THROW(StrToDate(bad), EConvertError) << bad;
    EXPECT_EQ(StrToDate("  1.2.2003 "), EncodeDate(2003, 2, 1));

    EXPECT_DOUBLE_EQ(StrToTime("12:00"), 0.5);
    EXPECT_DOUBLE_EQ(StrToTime("06:30:30"), EncodeTime(6, 30, 30, 0));
    for (const char* bad : {"24:00", "12:60", "12", "12:", "1200", "12:00:61", "ab:cd", "12:00 x"})
        EXPECT_THROW(StrToTime(bad), EConvertError) << bad;

    // The error names what could not be read.
    try {
        StrToDate("32.01.03");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_NE(std::string(e.what()).find("32.01.03"), std::string::npos);
    }
}

TEST_F(FormatTest, DateAndTimeScanStopsAfterTheTime)
{
    const std::string line = "15.06.03 12:00:10:  -87";
    std::size_t pos = 0;
    TDateTime t;
    ASSERT_TRUE(ScanDateTime(line.data(), line.size(), pos, t));
    EXPECT_EQ(pos, 17u);
    EXPECT_DOUBLE_EQ(t, EncodeDate(2003, 6, 15) + EncodeTime(12, 0, 10, 0));

    for (const char* bad : {"15.06.0312:00:10", "15.06.03", "15.06.03 25:00:00", "x15.06.03 1:00"}) {
        std::string s = bad;
        pos = 0;
        EXPECT_FALSE(ScanDateTime(s.data(), s.size(), pos, t)) << bad;
        EXPECT_EQ(pos, 0u);
    }
    // The day order follows the short date format.
    FormatSettings().ShortDateFormat = "mm/dd/yyyy";
    EXPECT_EQ(StrToDate("06.15.2003"), EncodeDate(2003, 6, 15));
    EXPECT_EQ(StrToDateTime("06.15.2003 12:00"), EncodeDate(2003, 6, 15) + 0.5);
}

TEST_F(FormatTest, NumbersIgnoreTheLocaleWhereTheFilesDo)
{
    EXPECT_EQ(StrToInt(" -42 "), -42);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToIntDef("1x", 5), 5);
    EXPECT_EQ(StrToIntDef("99999999999", 5), 5);
    EXPECT_EQ(StrToIntDef("--1", 5), 5);
    EXPECT_EQ(StrToIntDef("", 5), 5);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483648LL);

    double v = 0;
    EXPECT_TRUE(TryParseDecimal("  -12.5", 7, v));
    EXPECT_EQ(v, -12.5);
    for (const char* bad : {"", "  ", "nan", "inf", "-inf", "1,5", "1e999", "0x10", "12a", "--1"})
        EXPECT_FALSE(TryParseDecimal(bad, std::strlen(bad), v)) << bad;

    FormatSettings().DecimalSeparator = ',';
    EXPECT_EQ(StrToFloat("2,5"), 2.5);
    EXPECT_EQ(StrToFloat("2.5"), 2.5);  // files written under another locale still load
    EXPECT_THROW(StrToFloat("2;5"), EConvertError);

    EXPECT_EQ(RoundHalfEven(10.5), 10);
    EXPECT_EQ(RoundHalfEven(11.5), 12);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(2.6), 3);
}
