#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "ConversionFiles.h"
#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"

namespace {

std::string Join(const std::vector<std::string>& lines)
{
    std::string t;
    for (const std::string& l : lines) t += l + "\r\n";
    return t;
}

}  // namespace

TEST(ConvertMR, MinuteMeansRoundedHalfToEven)
{
    TempDir dir;
    WriteBytes(dir / "mr.dat", Join({
                                   "Zeit      Bx      By      Bz      B",  // column header: skipped
                                   "12:00:00  10  -5  100  10",
                                   "12:00:10  11  -5  100  11",
                                   "12:00:20\t 11\t -5\t 100\t 10",  // tabs count as blanks
                                   "12:00:30  12  -6  100  11",
                                   "12:00:40  10  -6  100  10",
                                   "12:00:50  12  -6  100  11",
                                   "12:01:00  1  2  3  11",
                                   "12:01:59  1  2  3  12",
                                   "23:59:30  +7  -8  9  10",
                                   "",
                               }));
    // The station's current folder is somewhere else by now.
    const auto cwd = std::filesystem::current_path();
    TMOX_Diagram d;
    d.ConvertMR(dir / "mr.dat", EncodeDate(2003, 6, 15));
    EXPECT_EQ(std::filesystem::current_path(), cwd);
    ASSERT_TRUE(FileExists(dir / "150603mr.mox"));

    const auto lines = CrLfLines(dir / "150603mr.mox");
    ASSERT_EQ(lines.size(), 14u + 5768);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 14),
              (std::vector<std::string>{"TYPE: 4", "TYPEDESCRIPTION: Bx, By, Bz, B", "VECTORS: 4", "NAME1: Bx",
                                        "NAME2: By", "NAME3: Bz", "NAME4: B", "DATE: 15.06.03", "LOCATION: Magnetsrode",
                                        "LATITUDE: 52.29N", "LONGITUDE: 10.42E", "LOCATOR: JO52FG",
                                        "AUTHOR: TU Braunschweig", "REMARKS: https://www.tu-braunschweig.de/igep"}));
    const auto bx = SectionOf(lines, "DATA: Bx"), by = SectionOf(lines, "DATA: By"), bz = SectionOf(lines, "DATA: Bz"),
               b = SectionOf(lines, "DATA: B");
    ASSERT_EQ(b.size(), 1440u);
    EXPECT_EQ(bx[720], "11");  // 10 11 11 12 10 12
    EXPECT_EQ(by[720], "-6");  // -5.5 to the even -6
    EXPECT_EQ(bz[720], "100");
    EXPECT_EQ(b[720], "10");  // 10.5 to 10
    EXPECT_EQ(b[721], "12");  // 11.5 to 12
    EXPECT_EQ(bx[1439], "7");
    EXPECT_EQ(by[1439], "-8");
    for (const auto* s : {&bx, &by, &bz, &b}) EXPECT_EQ((*s)[0], "NaN");

    // The result loads as the four curves of a day.
    d.AutoLoad(dir / "150603mr.mox", false);
    EXPECT_EQ(d.get_data(4, 721), 10.0);
    EXPECT_EQ(d.get_Header(1).Date, EncodeDate(2003, 6, 15));
}

TEST(ConvertMR, SeparatorsAndCutLines)
{
    TempDir dir;
    WriteBytes(dir / "mr.dat", Join({
                                   "00:10:00 11 22 33 44",  // one blank: the next number loses its first digit
                                   "00:11:00  11  22",      // cut off: the missing fields add nothing
                                   "00:11:10  13  24  5  6",
                                   "00:12:00\x01garbage",  // a valid time with no numbers after it
                               }));
    // Whatever short date format the process has, the file carries the one it is read with.
    FormatSettings().ShortDateFormat = "yyyymmdd";
    TMOX_Diagram d;
    d.ConvertMR(dir / "mr.dat", EncodeDate(2003, 6, 15));
    FormatSettings().ShortDateFormat = "dd.mm.yy";
    const auto lines = CrLfLines(dir / "150603mr.mox");
    EXPECT_EQ(lines[7], "DATE: 15.06.03");
    const auto bx = SectionOf(lines, "DATA: Bx"), by = SectionOf(lines, "DATA: By"), bz = SectionOf(lines, "DATA: Bz"),
               b = SectionOf(lines, "DATA: B");
    ASSERT_EQ(b.size(), 1440u);
    EXPECT_EQ(bx[10], "11");
    EXPECT_EQ(by[10], "2");
    EXPECT_EQ(bz[10], "3");
    EXPECT_EQ(b[10], "4");
    EXPECT_EQ(bx[11], "12");
    EXPECT_EQ(by[11], "23");
    EXPECT_EQ(bz[11], "5");
    EXPECT_EQ(b[11], "6");
    for (const auto* s : {&bx, &by, &bz, &b}) EXPECT_EQ((*s)[12], "NaN");
}
