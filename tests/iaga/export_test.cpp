#include <gtest/gtest.h>

#include <filesystem>

#include "../support/DayFiles.h"
#include "IagaFiles.h"
#include "mox/Iaga2002.h"
#include "mox/rtl/SysUtils.h"

namespace {

// Whole numbers with a sign change and gaps, different in every series.
std::vector<std::string> Series(int k)
{
    return Minutes([k](int m) {
        if ((m + k) % 97 == 0) return std::nan("");
        return double((m * (k + 3)) % 2001 - 1000 + k * 20000);
    });
}

void ExpectWellFormed(const std::string& path, const std::vector<std::string>& records)
{
    const std::string text = ReadBytes(path);
    ASSERT_FALSE(text.empty()) << path;
    ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
    const std::vector<std::string> lines = Lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].size(), 70u) << path << " line " << i + 1 << ": " << lines[i];
    ASSERT_GE(lines.size(), records.size() + 1440);
    for (std::size_t i = 0; i < records.size(); ++i) EXPECT_EQ(lines[i], records[i]);
    EXPECT_EQ(lines[lines.size() - 1441].substr(0, 32), "DATE       TIME         DOY     ");
}

}  // namespace

TEST(IagaExport, FourSeriesHeaderRecordsAndRows)
{
    TempDir dir;
    std::vector<Section> sections;
    for (int k = 0; k < 4; ++k) sections.push_back({k == 3 ? "B" : std::string("B") + "xyz"[k], Series(k)});
    WriteBytes(dir / "20261208.mox", DayFileText(sections, "08.12.26", "Pölverin", "Hans Meier"));

    const std::string path = ExportIaga2002(dir / "20261208.mox", "plv", dir / "out");
    EXPECT_EQ(path, dir / "out/plv20261208vmin.min");
    ExpectWellFormed(path, {
                               " Format                 IAGA-2002                                    |",
                               " Source of Data         Hans Meier                                   |",
                               " Station Name           Poelverin                                    |",
                               " IAGA CODE              PLV                                          |",
                               " Geodetic Latitude      52.0                                         |",
                               " Geodetic Longitude     13.0                                         |",
                               " Elevation                                                           |",
                               " Reported               XYZF                                         |",
                               " Sensor Orientation     XYZF                                         |",
                               " Digital Sampling                                                    |",
                               " Data Interval Type     1-minute                                     |",
                               " Data Type              variation                                    |",
                               "DATE       TIME         DOY     PLVX      PLVY      PLVZ      PLVF   |",
                           });
    const std::vector<std::string> lines = Lines(ReadBytes(path));
    const std::vector<std::string> rows(lines.end() - 1440, lines.end());
    EXPECT_EQ(rows[0], "2026-12-08 00:00:00.000 342     99999.00  19000.00  39000.00  59000.00");
    EXPECT_EQ(rows[1439], "2026-12-08 23:59:00.000 342      -685.00  20754.00  40192.00  59630.00");
}

TEST(IagaExport, RoundTripIsExactForWholeNumbers)
{
    TempDir dir;
    std::vector<Section> sections;
    for (int k = 0; k < 4; ++k) sections.push_back({k == 3 ? "B" : std::string("B") + "xyz"[k], Series(k)});
    WriteBytes(dir / "20030615.mox", DayFileText(sections, "15.06.03", "Polverin", "Obs"));

    const std::string exported = ExportIaga2002(dir / "20030615.mox", "PLV");
    const auto back = ImportIaga2002(exported, dir / "back");
    ASSERT_EQ(back, std::vector<std::string>{dir / "back/plv20030615.mox"});
    const ParsedDayFile f = ReadDayFileText(back[0]);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(f.sections.at("DATA: " + sections[k].name), sections[k].lines) << sections[k].name;
    EXPECT_EQ(f.header.at("DATE"), "15.06.03");
    EXPECT_EQ(f.header.at("LOCATION"), "Polverin");
    EXPECT_EQ(f.header.at("AUTHOR"), "Obs");
    EXPECT_EQ(f.header.at("LATITUDE"), "52.0N");
    EXPECT_EQ(f.header.at("LONGITUDE"), "13.0E");
    EXPECT_EQ(f.header.at("LOCATOR"), "JO62MA");  // 12-14 degrees east, 52-52.04 north
}

TEST(IagaExport, StationFilesMarkWhatTheyDoNotHold)
{
    TempDir dir;
    // One sensor (By) and two sensors (Bz first), each with a remark for the comment records.
    std::string one = DayFileText({{"By", Series(1)}}, "01.01.26");
    one.replace(one.find("REMARKS: "), 9,
                "REMARKS: Sensor im Keller, Nordwand; Werte ohne Temperaturkorrektur, vorläufig und "
                "ungeprüft");
    WriteBytes(dir / "20260101.mox", one);
    WriteBytes(dir / "20260102.mox", DayFileText({{"Bz", Series(2)}, {"Bx", Series(0)}}, "02.01.26"));

    const std::string a = ExportIaga2002(dir / "20260101.mox", "abc");
    ExpectWellFormed(a, {});
    const std::vector<std::string> la = Lines(ReadBytes(a));
    EXPECT_EQ(la[8], " Sensor Orientation     Y                                            |");
    EXPECT_EQ(la[12], " # Sensor im Keller, Nordwand; Werte ohne Temperaturkorrektur,       |");
    EXPECT_EQ(la[13], " # vorlaeufig und ungeprueft                                         |");
    EXPECT_EQ(la[15], "2026-01-01 00:00:00.000 001     88888.00  19000.00  88888.00  88888.00");

    const std::string b = ExportIaga2002(dir / "20260102.mox", "abc");
    ExpectWellFormed(b, {});
    const std::vector<std::string> lb = Lines(ReadBytes(b));
    EXPECT_EQ(lb[8], " Sensor Orientation     XZ                                           |");
    EXPECT_EQ(lb[13], "2026-01-02 00:00:00.000 002     99999.00  88888.00  39000.00  88888.00");
}

TEST(IagaExport, DamagedDayFileNamesLineAndLeavesFormerFile)
{
    TempDir dir;
    const std::string good = DayFileText({{"Bx", Series(0)}, {"By", Series(1)}}, "02.01.26");
    const std::string target = dir / "abc20260102vmin.min";
    WriteBytes(target, "former");
    const std::size_t line20 = [&] {
        std::size_t p = 0;
        for (int i = 0; i < 19; ++i) p = good.find('\n', p) + 1;
        return p;
    }();
    struct Case {
        std::string text;
        const char* where;
    } cases[] = {
        {good.substr(0, good.size() - 3000), ", Zeile "},  // cut off in By
        {good.substr(0, line20) + "12x\r\n" + good.substr(good.find('\n', line20) + 1), ", Zeile 20: "},
        {"TYPE: 3\r\n", ", Zeile 1: "},
    };
    for (const Case& c : cases) {
        WriteBytes(dir / "20260102.mox", c.text);
        try {
            ExportIaga2002(dir / "20260102.mox", "abc");
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& e) {
            EXPECT_NE(std::string(e.what()).find(dir / "20260102.mox" + c.where), std::string::npos) << e.what();
        }
        EXPECT_EQ(ReadBytes(target), "former");
    }
    EXPECT_THROW(ExportIaga2002(dir / "20260102.mox", "ab"), EConvertError);
    EXPECT_THROW(ExportIaga2002(dir / "missing.mox", "abc"), std::system_error);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 2);
}

// Boulder lies west of Greenwich: the day file says 105.236W, the exchange file 254.764 as the
// observatory's own file does, and every header record of the position survives both ways.
TEST(IagaExport, RealBoulderDayKeepsItsEastLongitude)
{
    TempDir dir;
    const std::string source = RealUsgs("bou20141101vmin.min");
    const auto imported = ImportIaga2002(source, dir / "day");
    ASSERT_EQ(imported.size(), 1u);
    const std::string exported = ExportIaga2002(imported[0], "BOU", dir / "out");
    const std::vector<std::string> original = Lines(ReadBytes(source));
    const std::vector<std::string> lines = Lines(ReadBytes(exported));
    ASSERT_GT(lines.size(), 5u);
    EXPECT_EQ(lines[4], original[4]);  // Geodetic Latitude 40.137
    EXPECT_EQ(lines[5], original[5]);  // Geodetic Longitude 254.764
    EXPECT_EQ(lines[5], " Geodetic Longitude     254.764                                      |");

    const auto back = ImportIaga2002(exported, dir / "back");
    ASSERT_EQ(back.size(), 1u);
    const ParsedDayFile f = ReadDayFileText(back[0]);
    EXPECT_EQ(f.header.at("LONGITUDE"), "105.236W");
    EXPECT_EQ(f.header.at("LATITUDE"), "40.137N");
    EXPECT_EQ(f.header.at("LOCATOR"), "DN70JD");
    const ParsedDayFile first = ReadDayFileText(imported[0]);
    for (const char* name : {"DATA: Bx", "DATA: By", "DATA: Bz", "DATA: B"})
        EXPECT_EQ(f.sections.at(name), first.sections.at(name)) << name;
}

TEST(IagaExport, LongitudesNearGreenwichStayBelow360)
{
    TempDir dir;
    const struct {
        const char* dayFile;
        const char* iaga;
    } cases[] = {{"0.0004W", "0.0"}, {"0.5W", "359.5"}, {"180.0W", "180.0"}, {"13.0E", "13.0"}};
    for (const auto& c : cases) {
        std::string text = DayFileText({{"Bx", Series(0)}}, "02.01.26");
        const std::size_t at = text.find("LONGITUDE: ") + 11;
        text.replace(at, text.find("\r\n", at) - at, c.dayFile);
        WriteBytes(dir / "20260102.mox", text);
        const std::vector<std::string> lines = Lines(ReadBytes(ExportIaga2002(dir / "20260102.mox", "abc")));
        ASSERT_GT(lines.size(), 5u);
        EXPECT_EQ(lines[5].substr(24, std::string(c.iaga).size() + 1), std::string(c.iaga) + " ") << c.dayFile;
    }
}
