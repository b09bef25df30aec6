#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "../support/DayFiles.h"
#include "mox/CorrectionFile.h"
#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"

namespace {

// A loaded curve whose readings the test then sets one by one.
class FilterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = FormatSettings();
        WriteBytes(dir / "20030615.mox", DayFileText({{"By", Minutes([](int) { return 0.0; })}}, "15.06.03"));
        d.LoadData(dir / "20030615.mox", 0, 1);
        ASSERT_TRUE(d.is_loaded(1));
    }
    void TearDown() override { FormatSettings() = saved; }
    void Set(std::initializer_list<double> values, int from = 1)
    {
        for (double v : values) d.set_data(1, from++, v);
    }
    void Fill(double v)
    {
        for (int i = 1; i <= 1440; ++i) d.set_data(1, i, v);
    }

    TempDir dir;
    TMOX_Diagram d;
    TFormatSettings saved;
};

using Correction = FilterTest;
using NoiseFilter = FilterTest;
using OffsetFilter = FilterTest;

TEST_F(Correction, RaisesTheRestOfTheDayForTheMatchingComponent)
{
    WriteBytes(dir / "20030615.kor",
               "By;12:00;10\r\n\r\nBx;01:00;99\r\nBy;06:00;5\r\nBy;18:00;-5\r\nBy;23:59;1000\r\n");
    WriteBytes(dir / "bx.mox", DayFileText({{"Bx", Minutes([](int) { return 0.0; })}}, "15.06.03"));
    d.set_is_Korrektur(true);
    d.LoadData(dir / "20030615.mox", 0, 1);
    EXPECT_TRUE(d.get_Header(1).is_korr_file);
    EXPECT_EQ(d.get_data(1, 361), 0.0);    // 06:00 itself
    EXPECT_EQ(d.get_data(1, 362), 5.0);    // 06:01
    EXPECT_EQ(d.get_data(1, 721), 5.0);    // 12:00
    EXPECT_EQ(d.get_data(1, 722), 15.0);   // 12:01
    EXPECT_EQ(d.get_data(1, 1081), 15.0);  // 18:00
    EXPECT_EQ(d.get_data(1, 1082), 10.0);  // 18:01
    EXPECT_EQ(d.get_data(1, 1440), 10.0);  // the 23:59 line changes nothing
    EXPECT_EQ(d.get_korr_errors(1), "");

    d.LoadData(dir / "bx.mox", 0, 2);
    EXPECT_EQ(d.get_data(2, 60), 0.0);
    EXPECT_EQ(d.get_data(2, 62), 99.0);

    // Switched off: the file is noticed but not applied.
    d.set_is_Korrektur(false);
    d.LoadData(dir / "20030615.mox", 0, 1);
    EXPECT_TRUE(d.get_Header(1).is_korr_file);
    EXPECT_EQ(d.get_data(1, 1440), 0.0);
}

// The correction dialog writes a total-field curve's correction without a component: such a
// line is read, applied to no curve, and not taken for a typing error.
TEST_F(Correction, TotalFieldAndMissingReadingsTakeNoCorrection)
{
    WriteBytes(dir / "20030616.kor",
               "Bx;00:00;1\r\nBy;00:00;1\r\nBz;00:00;1\r\n" + CorrectionLine(vecB, 30, -17) + "\r\n");
    auto nan = Minutes([](int m) { return m == 5 ? NAN : 0.0; });
    WriteBytes(dir / "four.mox", DayFileText({{"Bx", nan}, {"By", nan}, {"Bz", nan}, {"B", nan}}, "16.06.03"));
    d.set_is_Korrektur(true);
    d.LoadData(dir / "four.mox", 4, 4);
    EXPECT_EQ(d.get_data(4, 100), 0.0);
    d.LoadData(dir / "four.mox", 3, 3);
    EXPECT_EQ(d.get_data(3, 100), 1.0);
    EXPECT_TRUE(std::isnan(d.get_data(3, 6)));
    EXPECT_EQ(d.get_korr_errors(3), "");
    EXPECT_EQ(d.get_korr_errors(4), "");
    std::string component;
    int minute = 0;
    double value = 0;
    ASSERT_TRUE(ParseCorrectionLine(CorrectionLine(vecB, 30, -17), component, minute, value));
    EXPECT_EQ(component, "");
    EXPECT_EQ(minute, 30);
    EXPECT_EQ(value, -17.0);
}

TEST_F(Correction, UnreadableLinesAreSkippedAndReported)
{
    FormatSettings().DecimalSeparator = ',';
    WriteBytes(dir / "20030615.kor", "By;12:00;2,5\r\nBy;1x:00;10\r\nBy\r\nBy;13:00;zehn\r\nBy;14:00;1\r\n");
    d.set_is_Korrektur(true);
    d.LoadData(dir / "20030615.mox", 0, 1);
    ASSERT_TRUE(d.is_loaded(1));
    EXPECT_EQ(d.get_data(1, 1440), 3.5);
    const std::string errors = d.get_korr_errors(1);
    EXPECT_NE(errors.find("20030615.kor, Zeile 2: By;1x:00;10\n"), std::string::npos) << errors;
    EXPECT_NE(errors.find("Zeile 3: By\n"), std::string::npos);
    EXPECT_NE(errors.find("Zeile 4: By;13:00;zehn\n"), std::string::npos);
    EXPECT_EQ(errors.find("Zeile 5"), std::string::npos);
}

TEST_F(Correction, CommaAndPointAreReadUnderAnyLocale)
{
    // A file written on a German desktop, read by a service under the C locale, and back.
    WriteBytes(dir / "20030615.kor", "By;12:00;2,5\r\nBy;13:00;-0.25\r\nBy;14:00;1,5.0\r\nBy;15:00;1,,5\r\n");
    d.set_is_Korrektur(true);
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    for (char separator : {'.', ','}) {
        SCOPED_TRACE(separator);
        FormatSettings().DecimalSeparator = separator;
        d.LoadData(dir / "20030615.mox", 0, 1);
        EXPECT_EQ(d.get_data(1, 722), 2.5);
        EXPECT_EQ(d.get_data(1, 1440), 2.25);
        const std::string errors = d.get_korr_errors(1);
        EXPECT_NE(errors.find("Zeile 3: By;14:00;1,5.0\n"), std::string::npos) << errors;
        EXPECT_NE(errors.find("Zeile 4: By;15:00;1,,5\n"), std::string::npos) << errors;
        EXPECT_EQ(errors.find("Zeile 1"), std::string::npos) << errors;
    }
    std::setlocale(LC_ALL, saved.c_str());
}

TEST_F(NoiseFilter, MedianForSpikesMeanForJitter)
{
    Fill(100);
    Set({101, 100, 180, 100, 99, 100}, 8);
    d.noise_filter(1);
    EXPECT_EQ(d.get_data(1, 10), 100.0);  // the spike gives way to the median

    Fill(NAN);
    Set({100, 101, 102, 110, 104, 105, 106});
    d.noise_filter(1);
    EXPECT_EQ(d.get_data(1, 4), 104.0);         // spread 10: the mean 728 / 7
    EXPECT_EQ(d.get_data(1, 1), 100.0);         // the first three never change
    EXPECT_TRUE(std::isnan(d.get_data(1, 8)));  // gaps stay gaps

    Fill(NAN);
    Set({100, 101}, 4);
    d.noise_filter(1);
    EXPECT_EQ(d.get_data(1, 4), 100.0);  // 100.5 rounds to even
    EXPECT_EQ(d.get_data(1, 5), 100.0);  // its window holds the filtered 100 and 101: 100.5

    Fill(NAN);
    Set({200, 300, 200}, 1436);
    Set({900, 900, 900}, 1438);
    d.noise_filter(1);
    EXPECT_EQ(d.get_data(1, 1438), 900.0);  // the last three never change
    EXPECT_EQ(d.get_data(1, 1437), 900.0);  // 300 900 900 900 900: the outlier goes
}

TEST_F(OffsetFilter, StepsAndSpikes)
{
    Fill(80);
    Set({0, 0});
    d.offset_filter(1);
    for (int i : {1, 3, 700, 1440}) EXPECT_EQ(d.get_data(1, i), 0.0) << i;

    Fill(0);
    Set({80}, 3);
    d.offset_filter(1);
    EXPECT_EQ(d.get_data(1, 3), 80.0);
    EXPECT_EQ(d.get_data(1, 1440), 80.0);  // first pass lifts the rest of the day
    d.offset_filter(1);
    for (int i : {1, 3, 4, 1440}) EXPECT_EQ(d.get_data(1, i), 0.0) << i;

    Fill(50);
    Set({0, 0});
    d.offset_filter(1);
    EXPECT_EQ(d.get_data(1, 3), 50.0);  // a step of exactly the limit stays

    Fill(80);
    Set({0, 0});
    d.set_data(1, 5, 30);  // two minutes later differs by exactly the limit
    d.offset_filter(1);
    EXPECT_EQ(d.get_data(1, 3), 80.0);

    // Through the loader, which runs it twice.
    WriteBytes(dir / "spike.mox",
               DayFileText({{"By", Minutes([](int m) { return m == 600 ? 500.0 : 10.0; })}}, "15.06.03"));
    d.set_is_offsetfilter(true);
    d.LoadData(dir / "spike.mox", 0, 2);
    EXPECT_EQ(d.get_data(2, 601), 10.0);
    EXPECT_EQ(d.get_data(2, 1440), 10.0);
}

}  // namespace

TEST(CorrectionLine, WhatTheCorrectionWindowWritesIsReadBackWithEitherDecimalSeparator)
{
    const TFormatSettings saved = FormatSettings();
    for (char separator : {',', '.'}) {
        SCOPED_TRACE(separator);
        FormatSettings().DecimalSeparator = separator;
        const std::string line = CorrectionLine(vecBz, 12 * 60 + 34, -2.75);
        EXPECT_EQ(line, std::string("Bz;12:34;-2") + separator + "75");
        std::string component;
        int minute = 0;
        double value = 0;
        ASSERT_TRUE(ParseCorrectionLine(line, component, minute, value)) << line;
        EXPECT_EQ(component, "Bz");
        EXPECT_EQ(minute, 754);
        EXPECT_EQ(value, -2.75);
    }
    FormatSettings() = saved;
    // The total field takes no corrections: its line names no component.
    EXPECT_EQ(CorrectionLine(vecB, 0, 1), "00:00;1");
}
