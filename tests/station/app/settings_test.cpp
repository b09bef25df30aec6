#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "../../support/TempDir.h"
#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "station/app/StationSettings.h"

TEST(StationSettings, DefaultsOfANewStation)
{
    TempDir dir;
    TIniFile ini(dir / "mox.ini");
    TMOX_Diagram d;
    const StationSettings s = ReadStationSettings(ini, d, false);
    EXPECT_EQ(s.Bounds.Width, 600);
    EXPECT_EQ(s.Bounds.Height, 400);
    EXPECT_TRUE(s.Toolbar && s.BatchWAP && s.BatchHTML);
    EXPECT_FALSE(s.BatchVorschau || s.BatchVortag);
    EXPECT_EQ(d.get_Legende(1), "Bx");
    EXPECT_EQ(d.get_Legende(4), "B");
    EXPECT_EQ(d.get_Titel(), "");
    EXPECT_FALSE(d.get_is_Autolegende());
    EXPECT_TRUE(d.get_is_Legendebemerkung());
    EXPECT_TRUE(d.get_is_AutoScale());
    EXPECT_EQ(d.Color1, 0x800000u);
    EXPECT_EQ(d.Color2, 0x0000FFu);
    EXPECT_EQ(d.get_TextColor(), 0x000000u);
    EXPECT_EQ(d.get_Alarm_limit(), 90);
    EXPECT_EQ(d.get_Ort(), "Polverin");  // the component's site record
    // Logging keys are read in logging mode only.
    EXPECT_EQ(s.IntervalMinutes, 0);
    EXPECT_EQ(s.DataDir, "");
}

TEST(StationSettings, StoredValuesReachTheDiagramAndTheLoggingKeys)
{
    TempDir dir;
    WriteBytes(dir / "mox.ini", "[MOX-Header]\r\nAutor=Ödön\r\nL\xE4nge=13.5 E\r\n1-Sensor=3\r\n"
                                "[Diagram]\r\nTitel=$ORT$\r\nColor1=255\r\nAlarmschwelle=4\r\nKurve2-K-Wert=0\r\n"
                                "Legende-Stil=x\r\n"
                                "[K-Wert]\r\nK3=20\r\nK4=95\r\n"
                                "[Batch]\r\nIntervall=5\r\nFTP-Kommando=/usr/local/bin/upload\r\n"
                                "[Verzeichnisse]\r\nDatenverzeichnis=C:\\MOX\\Daten\r\nBilder=/srv/www\r\n"
                                "[COM-Port]\r\nPort=ttyUSB0\r\n");
    TIniFile ini(dir / "mox.ini");
    TMOX_Diagram d;
    const StationSettings s = ReadStationSettings(ini, d, true);
    EXPECT_EQ(d.get_Autor(), "Ödön");
    EXPECT_EQ(d.get_Laenge(), "13.5 E");
    EXPECT_EQ(d.get_1sensor_vec(), vecBy);  // 3 would be the total field: ignored
    EXPECT_EQ(d.get_Titel(), "$ORT$");
    EXPECT_EQ(d.Color1, 255u);
    EXPECT_EQ(d.get_Alarm_limit(), 4);
    EXPECT_FALSE(d.get_is_K_curve(2));
    EXPECT_EQ(d.get_Legendestil(), legBETREIBER_ORT);  // not a number: the default
    EXPECT_EQ(d.get_K_limit(3), 25);                   // below K2: K2's, as told
    EXPECT_EQ(d.get_K_limit(4), 95);
    EXPECT_EQ(s.IntervalMinutes, 5);
    EXPECT_EQ(s.FTP_Kommando, "/usr/local/bin/upload");
    EXPECT_EQ(s.Port, "ttyUSB0");
    EXPECT_EQ(s.BatchBreite, 400);
    EXPECT_EQ(s.BatchHoehe, 250);
    EXPECT_TRUE(s.BatchStandard);
    EXPECT_EQ(s.DataDir, DefaultDataDir());  // a Windows drive is no folder here
    EXPECT_EQ(ReadImageDir(ini), "/srv/www/");
    EXPECT_EQ(ReadImageFormat(ini), 0);
}

TEST(StationSettings, FoldersAlwaysEndInOneSeparator)
{
    EXPECT_EQ(AsFolder("/srv/www"), "/srv/www/");
    EXPECT_EQ(AsFolder("/srv/www//"), "/srv/www/");
    EXPECT_EQ(AsFolder("/"), "/");
    EXPECT_EQ(AsFolder(""), "./");
    setenv("HOME", "/home/obs", 1);
    EXPECT_EQ(AsFolder("~/daten"), "/home/obs/daten/");
    setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(DefaultDataDir(), "/data/mox/data/");
    EXPECT_EQ(DefaultImageDir(), "/data/mox/images/");
}

TEST(StationSettings, WindowBoundsRoundTrip)
{
    TempDir dir;
    TIniFile ini(dir / "mox.ini");
    WriteWindowBounds(ini, {10, 20, 700, 500});
    TMOX_Diagram d;
    const StationSettings s = ReadStationSettings(ini, d, false);
    EXPECT_EQ(s.Bounds.Left, 10);
    EXPECT_EQ(s.Bounds.Top, 20);
    EXPECT_EQ(s.Bounds.Width, 700);
    EXPECT_EQ(s.Bounds.Height, 500);
}

// A first start is one where the station never ran on the file and no record was set: the
// browser's section alone does not make one, a record typed in or a run of the station does.
TEST(StationSettings, AFirstStartIsNoticed)
{
    TempDir dir;
    TIniFile ini(dir / "mox.ini");
    EXPECT_TRUE(FirstStationStart(ini));
    ini.WriteString("MOX_Browser", "Datenverzeichnis", "/tmp");
    EXPECT_TRUE(FirstStationStart(ini));
    ini.WriteString("MOX-Header", "Ort", "Lindenberg");
    EXPECT_FALSE(FirstStationStart(ini));

    TIniFile ran(dir / "ran.ini");
    WriteWindowBounds(ran, {});
    EXPECT_FALSE(FirstStationStart(ran));
}

TEST(StationSettings, ExtremeValuesAreHeldToTheirRangesAndTold)
{
    TempDir dir;
    WriteBytes(dir / "mox.ini", "[Diagram]\r\nWidth=2147483647\r\nHeight=100000\r\nLeft=-99999999\r\nColor2=-1\r\n"
                                "Skalierung=7\r\nAlarmschwelle=0\r\nOffset-Filter-Limit=100000\r\n"
                                "[K-Wert]\r\nK5=-1\r\nK8=123456\r\n[MOX-Header]\r\n1-Sensor=258\r\n"
                                "[Batch]\r\nIntervall=35792\r\nFTP-Timeout=2147484\r\nBreite=200000\r\nHoehe=-5\r\n"
                                "FTP-Intervall=0\r\nStandard=0\r\n");
    TIniFile ini(dir / "mox.ini");
    TakeSettingNotes();
    TMOX_Diagram d;
    const StationSettings s = ReadStationSettings(ini, d, true);
    EXPECT_EQ(s.Bounds.Width, 7680);
    EXPECT_EQ(s.Bounds.Height, 4320);
    EXPECT_EQ(s.Bounds.Left, -32768);
    EXPECT_EQ(d.Color2, 0u);
    EXPECT_EQ(d.get_Y_Skalierung(), scale1000);
    EXPECT_EQ(d.get_Alarm_limit(), 1);
    EXPECT_EQ(d.get_offsetfilter_limit(), 100);
    EXPECT_EQ(d.get_K_limit(5), 90);  // the limit of K4, below which none may lie
    EXPECT_EQ(d.get_K_limit(8), 999);
    EXPECT_EQ(d.get_1sensor_vec(), vecBy);  // 3, the total field, is ignored
    // The timers count in milliseconds within an int: minutes x 60000 and seconds x 1000 fit.
    EXPECT_EQ(s.IntervalMinutes, 30);
    EXPECT_EQ(s.FtpTimeoutSeconds, 120);
    EXPECT_EQ(s.BatchBreite, 1200);
    EXPECT_EQ(s.BatchHoehe, 250);
    EXPECT_EQ(s.FTP_Intervall, 1);
    const std::vector<std::string> notes = TakeSettingNotes();
    EXPECT_EQ(notes.size(), 15u);
    EXPECT_NE(std::find(notes.begin(), notes.end(),
                        dir / "mox.ini" + ": [Batch] Intervall=35792 liegt nicht zwischen 1 und 30; es gilt 30."),
              notes.end());
    // The told value is the one in use.
    EXPECT_NE(std::find(notes.begin(), notes.end(),
                        dir / "mox.ini" + ": [K-Wert] K5=-1 liegt nicht zwischen 90 und 999; es gilt 90."),
              notes.end());
}
