// The browser's decisions without windows: settings, change detection, loading, offsets.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cmath>
#include <thread>

#include "../support/DayFiles.h"
#include "../support/TempDir.h"
#include "browser/BrowserLogic.h"
#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"

namespace {

std::vector<std::string> Flat(double v)
{
    return Minutes([v](int) { return v; });
}

}  // namespace

TEST(BrowserSettingsTest, MissingKeysGiveDefaultsAndStateRoundTrips)
{
    TempDir dir;
    TIniFile ini(dir / "mox.ini");
    // A Windows station's folder ("C:") is no folder here: the station's data folder is used.
    ini.WriteString("Verzeichnisse", "Datenverzeichnis", dir.str());
    BrowserSettings s = ReadBrowserSettings(ini);
    EXPECT_EQ(s.Directory + "/", dir.str());
    for (int p = 0; p < 2; ++p) {
        EXPECT_TRUE(s.Filter[p]);
        EXPECT_TRUE(s.OffsetFilter[p]);
        EXPECT_TRUE(s.Korrektur[p]);
        EXPECT_EQ(s.Zoom[p].Width, 800);
        EXPECT_EQ(s.Zoom[p].Height, 600);
    }
    EXPECT_EQ(s.Colors[0], 8388608u);
    EXPECT_EQ(s.Colors[1], 255u);
    EXPECT_EQ(s.Colors[2], 32768u);
    EXPECT_EQ(s.BkColor, 16777215u);

    std::filesystem::create_directories(dir / "days");
    s.Directory = dir / "days";
    s.Filter[1] = false;
    s.Korrektur[0] = false;
    s.Zoom[1] = ZoomBounds{30, 40, 900, 700};
    WriteBrowserState(ini, s);
    const TColor colors[4] = {1, 2, 3, 4};
    WriteBrowserColors(ini, colors, 5);
    const BrowserSettings back = ReadBrowserSettings(ini);
    EXPECT_EQ(back.Directory, dir / "days");
    EXPECT_TRUE(back.Filter[0]);
    EXPECT_FALSE(back.Filter[1]);
    EXPECT_FALSE(back.Korrektur[0]);
    EXPECT_EQ(back.Zoom[1].Left, 30);
    EXPECT_EQ(back.Zoom[1].Height, 700);
    EXPECT_EQ(back.Colors[3], 4u);
    EXPECT_EQ(back.BkColor, 5u);
    const std::string text = ReadBytes(dir / "mox.ini");
    EXPECT_NE(text.find("[MOX_Browser]"), std::string::npos);
    EXPECT_NE(text.find("Offset-Filter2=1"), std::string::npos);
    EXPECT_NE(text.find("Filter2=0"), std::string::npos);

    // A stored folder that has gone falls back like a missing one.
    std::filesystem::remove_all(dir / "days");
    EXPECT_EQ(ReadBrowserSettings(ini).Directory + "/", dir.str());
}

TEST(BrowserSettingsTest, StationKeysReachTheDiagram)
{
    TempDir dir;
    TIniFile ini(dir / "mox.ini");
    TMOX_Diagram d;
    ApplyStationDiagramSettings(ini, d);
    EXPECT_EQ(d.get_K_limit(8), 600);
    EXPECT_TRUE(d.get_is_AutoScale());
    ini.WriteInteger("K-Wert", "K4", 100);
    ini.WriteInteger("K-Wert", "K5", 20);  // below K4: K4's, as told
    ini.WriteInteger("Diagram", "Skalierung", 5);
    ini.WriteBool("Diagram", "Auto-Skalierung", false);
    ini.WriteInteger("Diagram", "Alarmschwelle", 4);
    ini.WriteInteger("Diagram", "Offset-Filter-Limit", 30);
    ApplyStationDiagramSettings(ini, d);
    EXPECT_EQ(d.get_K_limit(4), 100);
    EXPECT_EQ(d.get_K_limit(5), 100);
    EXPECT_EQ(d.get_Y_Skalierung(), scale500);
    EXPECT_FALSE(d.get_is_AutoScale());
    EXPECT_EQ(d.get_Alarm_limit(), 4);
    EXPECT_EQ(d.get_offsetfilter_limit(), 30);
    // Out of range: the nearest scale, as for every number of the settings file.
    ini.WriteInteger("Diagram", "Skalierung", 42);
    ApplyStationDiagramSettings(ini, d);
    EXPECT_EQ(d.get_Y_Skalierung(), scale1000);
}

TEST(WatchedFileTest, AnyChangeOfAnExistingFileIsDue)
{
    TempDir dir;
    const std::string f = dir / "20030615.mox";
    WatchedFile w;
    EXPECT_FALSE(w.Due());  // no file chosen yet
    WriteBytes(f, "one");
    w.Set(f, StampOf(f));
    EXPECT_FALSE(w.Due());

    // Rewritten within the same second, as a fast batch does.
    WriteBytes(f, "two!");
    const std::optional<FileStamp> due = w.Due();
    ASSERT_TRUE(due);
    w.Loaded(*due);
    EXPECT_FALSE(w.Due());

    // Put back from an older copy: older time, still another file.
    utimbuf old{1000000000, 1000000000};
    ASSERT_EQ(utime(f.c_str(), &old), 0);
    ASSERT_TRUE(w.Due());
    w.Loaded(*w.Due());

    std::filesystem::remove(f);
    EXPECT_FALSE(w.Due());  // gone: nothing to load
    WriteBytes(f, "back");
    EXPECT_TRUE(w.Due());
}

TEST(LoadDayFileTest, TitleLegendsAndCorrectionSwitch)
{
    TempDir dir;
    const std::string f = dir / "20030615.mox";
    WriteBytes(f, DayFileText({{"Bz", Flat(200)}, {"By", Flat(100)}}, "15.06.03", "Polverin"));
    TMOX_Diagram d;
    PaneLoad r = LoadDayFile(d, f);
    EXPECT_EQ(r.Error, "");
    EXPECT_FALSE(r.KorrekturAvailable);
    EXPECT_EQ(d.get_Titel(), "20030615.mox: $ORT1$ ($KOORD1$)");
    // Curves in the order By before Bz, whatever the file's order.
    EXPECT_EQ(d.get_Legende(1), "By");
    EXPECT_EQ(d.get_Legende(2), "Bz");
    EXPECT_EQ(d.get_data(1, 1), 100);
    EXPECT_EQ(ReloadPath(d), f);

    WriteBytes(dir / "20030615.kor", "By;12:00;10\r\nBy;13:00;x\r\n");
    d.set_is_Korrektur(true);
    r = LoadDayFile(d, f);
    EXPECT_TRUE(r.KorrekturAvailable);
    EXPECT_EQ(d.get_data(1, 12 * 60 + 2), 110);
    EXPECT_EQ(r.Error, "");
    EXPECT_NE(r.Warning.find("13:00"), std::string::npos);

    // A previous load's curves do not survive a file with fewer of them.
    d.set_data(3, 1, 1);
    const std::string g = dir / "20030616.mox";
    WriteBytes(g, DayFileText({{"Bx", Flat(5)}}, "16.06.03"));
    r = LoadDayFile(d, g);
    EXPECT_TRUE(d.is_loaded(1));
    EXPECT_FALSE(d.is_loaded(2));
    EXPECT_EQ(d.get_Legende(1), "Bx");
    EXPECT_FALSE(r.KorrekturAvailable);
}

TEST(LoadDayFileTest, BadFilesAreNamedAndNeverThrow)
{
    TempDir dir;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"empty.mox", ""},
        {"text.mox", "hello\r\nworld\r\n"},
        {"badtype.mox", "TYPE: many\r\n"},
        {"baddate.mox", DayFileText({{"By", Flat(1)}}, "31.02.zz")},
        {"binary.mox", std::string("\0\xff\xfeTYPE:\x01\x02", 10)},
    };
    for (const auto& [name, text] : files) {
        SCOPED_TRACE(name);
        WriteBytes(dir / name, text);
        TMOX_Diagram d;
        const PaneLoad r = LoadDayFile(d, dir / name);
        EXPECT_NE(r.Error.find(name), std::string::npos) << r.Error;
        EXPECT_EQ(d.get_Titel(), name + ": $ORT1$ ($KOORD1$)");
    }
    TMOX_Diagram d;
    EXPECT_NE(LoadDayFile(d, dir / "gone.mox").Error.find("gone.mox"), std::string::npos);
    EXPECT_TRUE(d.is_empty());

    // The TYPE line is looked for across the whole file, also where it spans two blocks.
    const std::string padding(65534 - 2, '\n');
    WriteBytes(dir / "far.mox", padding + "\r\nTYPE: 3\r\n");
    EXPECT_NE(LoadDayFile(d, dir / "far.mox").Error.find("TYPE '3' ist nicht 1, 2 oder 4"), std::string::npos);
    EXPECT_EQ(LoadDayFile(d, dir / "far.mox").Error.find("ohne TYPE-Zeile"), std::string::npos);
    WriteBytes(dir / "none.mox", padding + "\r\nTYPX: 3\r\n");
    EXPECT_NE(LoadDayFile(d, dir / "none.mox").Error.find("ohne TYPE-Zeile"), std::string::npos);

    // A damaged day file is told with its line: as an error when nothing could be shown, as a
    // warning beside what could.
    const std::string whole = DayFileText({{"By", Flat(100)}}, "15.06.03");
    std::string marker = whole;
    marker.replace(marker.find("DATA:\r\n"), 5, "DATQ:");
    WriteBytes(dir / "marker.mox", marker);
    const PaneLoad bad = LoadDayFile(d, dir / "marker.mox");
    EXPECT_NE(bad.Error.find("beschädigt"), std::string::npos) << bad.Error;
    EXPECT_NE(bad.Error.find("marker.mox, Zeile "), std::string::npos) << bad.Error;
    WriteBytes(dir / "cut.mox", whole.substr(0, whole.size() / 2));
    const PaneLoad cut = LoadDayFile(d, dir / "cut.mox");
    EXPECT_EQ(cut.Error, "");
    EXPECT_TRUE(d.is_loaded(1));
    EXPECT_NE(cut.Warning.find("beschädigt"), std::string::npos) << cut.Warning;
    EXPECT_NE(cut.Warning.find("cut.mox, Zeile "), std::string::npos) << cut.Warning;

    // A header without data, or a type the diagram does not know, is no empty day: told why.
    const std::string flat = DayFileText({{"By", Flat(1)}}, "15.06.03");
    WriteBytes(dir / "header.mox", flat.substr(0, flat.find("DATA:")));
    EXPECT_NE(LoadDayFile(d, dir / "header.mox").Error.find("header.mox, Zeile"), std::string::npos);
    EXPECT_NE(LoadDayFile(d, dir / "header.mox").Error.find("endet vorzeitig"), std::string::npos);
    std::string nine = flat;
    nine.replace(nine.find("TYPE: 1"), 7, "TYPE: 9");
    WriteBytes(dir / "nine.mox", nine);
    EXPECT_NE(LoadDayFile(d, dir / "nine.mox").Error.find("TYPE '9' ist nicht 1, 2 oder 4"), std::string::npos);
    EXPECT_TRUE(d.is_empty());

    // A day without readings yet is no error: it is shown empty.
    WriteBytes(dir / "nan.mox", DayFileText({{"By", Minutes([](int) { return NAN; })}}, "15.06.03"));
    EXPECT_EQ(LoadDayFile(d, dir / "nan.mox").Error, "");
}

TEST(OffsetTest, ClickedRowBecomesTheStartOfEveryCurve)
{
    TempDir dir;
    const std::string f = dir / "20030615.mox";
    WriteBytes(f, DayFileText({{"Bx", Flat(300)}, {"By", Flat(100)}}, "15.06.03"));
    TMOX_Diagram d;
    TImage image(451, 250);
    d.MOX_Image = &image;
    EXPECT_FALSE(SetOffsetsAtRow(d, 100));  // nothing loaded
    LoadDayFile(d, f);
    d.ShowMagnetogramm();
    const double nT = d.get_nT(60);
    ASSERT_TRUE(std::isfinite(nT));
    ASSERT_TRUE(SetOffsetsAtRow(d, 60));
    EXPECT_EQ(d.get_Offset(1), int(std::trunc(nT)));
    EXPECT_EQ(d.get_Offset(2), int(std::trunc(nT)));
    EXPECT_GT(d.get_Offset(1), 0);
    EXPECT_EQ(d.get_Offset(3), 0);

    // The frame's top and bottom rows have no field value: the click is ignored.
    EXPECT_FALSE(SetOffsetsAtRow(d, 10));
    EXPECT_FALSE(SetOffsetsAtRow(d, 240));
    EXPECT_EQ(d.get_Offset(1), int(std::trunc(nT)));
}

TEST(ZoomCaptionTest, NamesFileTypeAndDate)
{
    TempDir dir;
    const std::string f = dir / "20030615.mox";
    WriteBytes(f, DayFileText({{"By", Flat(1)}}, "15.06.03"));
    TMOX_Diagram d;
    EXPECT_EQ(ZoomCaption(2, d), "2: ");
    LoadDayFile(d, f);
    EXPECT_EQ(ZoomCaption(1, d), "1: " + f + " - (By) - 15.06.03");
}
