#include <gtest/gtest.h>

#include <cmath>

#include "../support/DayFiles.h"
#include "mox/Mm.h"

TEST(Component, NewDiagramHasTheStationDefaults)
{
    TMOX_Diagram d;
    EXPECT_TRUE(d.is_empty());
    EXPECT_EQ(d.get_Titel(), "MOX - Polverin");
    EXPECT_EQ(d.get_Bemerkung(), "");
    EXPECT_TRUE(d.get_is_Autolegende());
    EXPECT_TRUE(d.get_is_Legendedatum());
    EXPECT_FALSE(d.get_is_Legendebemerkung());
    EXPECT_EQ(d.get_Legendestil(), legBETREIBER_ORT);
    EXPECT_EQ(d.get_Y_Skalierung(), scale60);
    EXPECT_FALSE(d.get_is_AutoScale());
    EXPECT_EQ(d.Color1, 0x0000FFu);
    EXPECT_EQ(d.Color2, 0x800000u);
    EXPECT_EQ(d.Color3, 0x008000u);
    EXPECT_EQ(d.Color4, 0x000000u);
    EXPECT_EQ(d.get_bkColor(), 0xFFFFFFu);
    EXPECT_EQ(d.get_TextColor(), 0x404040u);
    EXPECT_TRUE(d.get_is_K_Balken() && d.get_is_K_index() && d.get_is_K_summe());
    EXPECT_FALSE(d.get_is_Korrektur() || d.get_is_noisefilter() || d.get_is_offsetfilter());
    EXPECT_EQ(d.get_offsetfilter_limit(), 50);
    EXPECT_TRUE(d.get_is_Alarm());
    EXPECT_EQ(d.get_Alarm_limit(), 90);
    EXPECT_EQ(d.get_1sensor_vec(), vecBy);
    const int limits[] = {10, 15, 25, 50, 90, 152, 225, 370, 600};
    for (int n = 0; n <= 8; ++n) EXPECT_EQ(d.get_K_limit(n), limits[n]);
    for (int b = 1; b <= 8; ++b) EXPECT_EQ(d.get_K_index(b), -1);
    for (int c = 1; c <= 4; ++c) {
        EXPECT_TRUE(d.get_is_K_curve(c));
        EXPECT_EQ(d.get_Legende(c), "");
        EXPECT_EQ(d.get_Offset(c), 0);
    }
    EXPECT_TRUE(std::isnan(d.get_data(1, 1)));
    EXPECT_EQ(d.MOX_Image, nullptr);
}

TEST(Component, InvalidCurvesAndIndexesAreIgnoredOrAnsweredNeutrally)
{
    TempDir dir;
    WriteBytes(dir / "d.mox", DayFileText({{"By", Minutes([](int m) { return 100.0 + m % 7; })}}, "15.06.03"));
    TMOX_Diagram d;
    d.LoadData(dir / "d.mox", 0, 1);
    ASSERT_TRUE(d.is_loaded(1));
    for (auto [c, i] : {std::pair{0, 5}, {5, 5}, {1, 0}, {1, 1441}, {-1, 1}}) {
        EXPECT_TRUE(std::isnan(d.get_data(c, i))) << c << "," << i;
        d.set_data(c, i, 1.0);
    }
    EXPECT_EQ(d.get_data(1, 1), 100.0);
    EXPECT_EQ(d.get_data(1, 1440), 100.0 + 1439 % 7);
    EXPECT_FALSE(d.is_loaded(0) || d.is_loaded(5));
    EXPECT_EQ(d.get_data_count(9), 0);
    EXPECT_EQ(d.get_K_Curve(0, 1), 0);
    EXPECT_EQ(d.get_K_Curve(1, 9), 0);
    EXPECT_EQ(d.get_K_index(0), 0);
    EXPECT_EQ(d.get_K_index(9), 0);
    EXPECT_EQ(d.get_Header(7).FileName, "");
    d.set_Offset(5, 3);
    d.set_Color(0, 1);
    d.set_Legende(5, "x");
    d.set_is_K_curve(0, false);
    EXPECT_EQ(d.get_Offset(5), 0);
    EXPECT_EQ(d.get_Color(0), 0u);
    EXPECT_EQ(d.get_Legende(5), "");
    d.set_Color(3, 0x123456);
    d.set_Legende(4, "vier");
    EXPECT_EQ(d.Color3, 0x123456u);
    EXPECT_EQ(d.Legende4, "vier");

    double lo = 7, hi = 8;
    d.get_Min_Max(0, lo, hi);
    EXPECT_EQ(lo, 7);
    EXPECT_EQ(hi, 8);
    d.get_Min_Max(1, lo, hi);
    EXPECT_EQ(lo, 100);
    EXPECT_EQ(hi, 106);
    d.get_Min_Max(2, lo, hi);  // valid but not loaded
    EXPECT_TRUE(std::isnan(lo) && std::isnan(hi));
    for (int i = 1; i <= 1440; ++i) d.set_data(1, i, NAN);
    d.get_Min_Max(1, lo, hi);
    EXPECT_TRUE(std::isnan(lo) && std::isnan(hi));
    EXPECT_EQ(d.get_data_count(1), 0);
}

TEST(Component, UnloadingKeepsHeadersButHidesReadings)
{
    TempDir dir;
    WriteBytes(dir / "d.mox", DayFileText({{"Bx", Minutes([](int) { return 5.0; })}}, "15.06.03"));
    TMOX_Diagram d;
    d.LoadData(dir / "d.mox", 0, 2);
    ASSERT_EQ(d.get_data_count(2), 1440);
    d.DelCurve(2);
    EXPECT_FALSE(d.is_loaded(2));
    EXPECT_EQ(d.get_data_count(2), 0);
    EXPECT_TRUE(std::isnan(d.get_data(2, 3)));

    d.LoadData(dir / "d.mox", 0, 1);
    d.reset_Diagram();
    EXPECT_TRUE(d.is_empty());
    EXPECT_EQ(d.get_Header(1).Location, "Polverin");
    EXPECT_EQ(d.get_Header(1).FileName, dir / "d.mox");
    for (int b = 1; b <= 8; ++b) EXPECT_EQ(d.get_K_index(b), -1);
}

TEST(Component, OneSensorComponentNeverTheTotalField)
{
    TMOX_Diagram d;
    d.set_1sensor_vec(vecB);
    EXPECT_EQ(d.get_1sensor_vec(), vecBy);
    d.set_1sensor_vec(vecBz);
    EXPECT_EQ(d.get_1sensor_vec(), vecBz);
}

TEST(Component, PixelQueriesBeforeAnyDrawingAnswerOutOfRange)
{
    TMOX_Diagram d;
    EXPECT_EQ(d.get_Time(44), -1.0);
    EXPECT_EQ(d.get_Time(45), -1.0);
    EXPECT_EQ(d.get_Time(500), -1.0);
    EXPECT_TRUE(std::isnan(d.get_nT(100)));
}
