#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <vector>

#include "RenderSupport.h"
#include "mox/Bitmaps.h"
#include "mox/rtl/SysUtils.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::set<int> Range(int first, int last)
{
    std::set<int> s;
    for (int i = first; i <= last; ++i) s.insert(i);
    return s;
}

// The hour lines of a 400-pixel-wide drawing, 00:00 to 24:00.
const std::vector<int> kHours400 = {45,  59,  73,  87,  101, 115, 129, 143, 157, 171, 185, 199, 212,
                                    226, 240, 254, 268, 282, 296, 310, 324, 338, 352, 366, 380};

// Pixels per nT of the last drawing, read back through the pixel query.
double YScale(const TMOX_Diagram& d, int H) { return 1.0 / d.get_nT(H / 2 - 1); }

}  // namespace

TEST(Magnetogram, WorkedExampleFrameScalesAndLabels)
{
    FormatSettings().LongTimeFormat = "hh:nn:ss";
    TMOX_Diagram d;
    TImage img(400, 250);
    d.MOX_Image = &img;
    d.ShowMagnetogramm();
    const TBitmap& pic = img.Picture;

    EXPECT_EQ(FormatSettings().LongTimeFormat, "hh:mm");
    EXPECT_DOUBLE_EQ(d.get_Time(45), 0.0);
    EXPECT_DOUBLE_EQ(d.get_Time(380), 1.0);
    EXPECT_DOUBLE_EQ(d.get_Time(381), -1.0);
    EXPECT_DOUBLE_EQ(d.get_nT(125 - 13), 8.0);  // 1.625 pixels per nT

    // Value ticks: 92 from 92.5 and 28 from 27.5, halves to even; the bottom one is the axis.
    EXPECT_EQ(RowsOf(pic, 44, kFrame), (std::set<int>{28, 60, 92, 125, 158, 190, 222}));
    for (int row : {28, 125, 222}) EXPECT_EQ(ColumnsOf(pic, row, kFrame, 40), Range(42, 380)) << row;
    for (int row : {60, 92, 158, 190}) {
        EXPECT_EQ(ColumnsOf(pic, row, kFrame, 40, 60), Range(42, 47)) << row;
        EXPECT_EQ(pic.Pixel(48, row), kGrid) << row;
    }
    const struct {
        int y;
        const char* text;
    } labels[] = {{118, "0"}, {85, "20"}, {53, "40"}, {21, "60"}, {151, "-20"}, {183, "-40"}, {215, "-60"}};
    for (const auto& l : labels) EXPECT_TRUE(TextAt(pic, 8, l.y, l.text, 8, false, kFrame));

    // Below the time axis only the hour ticks and lines reach row 223, 24:00 included.
    EXPECT_EQ(ColumnsOf(pic, 223, kFrame, 40), std::set<int>(kHours400.begin(), kHours400.end()));
    // Three-hour lines run the full height; the others are dotted.
    EXPECT_EQ(pic.Pixel(87, 100), kFrame);
    std::set<int> tick = Range(220, 225);
    tick.insert({28, 125});  // top frame and zero line
    EXPECT_EQ(RowsOf(pic, 59, kFrame), tick);
    EXPECT_EQ(pic.Pixel(59, 219), kGrid);
    EXPECT_EQ(pic.Pixel(59, 27), kWhite);

    const char* hours[] = {"03:00", "06:00", "09:00", "12:00", "15:00", "18:00", "21:00", "00:00"};
    for (int k = 1; k <= 8; ++k)
        EXPECT_TRUE(TextAt(pic, kHours400[std::size_t(3 * k)] - 15, 227, hours[k - 1], 8, false, kFrame));
    // The left edge carries "UTC", never an hour label.
    EXPECT_TRUE(TextAt(pic, 45, 227, "UTC", 8, true, kFrame));
    for (int y = 228; y < 240; ++y) EXPECT_TRUE(ColumnsOf(pic, y, kFrame, 28, 45).empty()) << y;

    EXPECT_TRUE(TextAt(pic, 15, 5, "nT", 8, true, kFrame));
    EXPECT_TRUE(TextAt(pic, 200 - 3 * 14, 5, "MOX - Polverin", 10, true, kFrame));

    // The logo is ANDed in at the bottom right: on white background its own pixels show.
    std::unique_ptr<TBitmap> logo(MakeLogoBitmap());
    ASSERT_TRUE(logo);
    const int lx = 400 - logo->Width() - 20, ly = 222 - logo->Height() - 5;
    int compared = 0;
    for (int y = 0; y < logo->Height(); ++y) {
        for (int x = 0; x < logo->Width(); ++x) {
            if (ly + y == 190 || std::count(kHours400.begin(), kHours400.end(), lx + x)) continue;
            EXPECT_EQ(pic.Pixel(lx + x, ly + y), logo->Pixel(x, y));
            ++compared;
        }
    }
    EXPECT_GT(compared, 2000);
}

TEST(Magnetogram, WorkedExampleLegendKRowsAndBarsForCurves124)
{
    TempDir dir;
    TMOX_Diagram d;
    d.set_Alarm_limit(8);
    // One jump at the end of each block: the block ranges give K 0, 2, 3, 4, 5, 6, 7 and 9.
    const double ranges[8] = {5, 20, 40, 80, 100, 200, 300, 700};
    auto steps = [&](double scale) {
        return [&ranges, scale](int m) { return m % 180 == 179 ? ranges[m / 180] * scale : 0.0; };
    };
    LoadCurve(d, dir, 1, steps(1.0), "Bx");
    LoadCurve(d, dir, 2, steps(0.5), "By");
    LoadCurve(d, dir, 4, steps(0.1), "Bz");
    TImage img(400, 250);
    d.MOX_Image = &img;
    d.ShowMagnetogramm();
    const TBitmap& pic = img.Picture;

    // Legend lines 39, 26 and 13 rows above the axis at 222, each with its colour mark.
    const struct {
        int curve;
        int y;
        TColor colour;
    } legend[] = {{1, 183, d.Color1}, {2, 196, d.Color2}, {4, 209, d.Color4}};
    for (const auto& l : legend) {
        EXPECT_EQ(ColumnsOf(pic, l.y + 3, l.colour, 40, 56), Range(49, 52)) << l.curve;
        EXPECT_TRUE(TextAt(pic, 56, l.y - 5, d.generate_legend(l.curve), 8, false, kFrame, kWhite, 11));
    }

    // Per-curve K rows at 29, 42 and 68 (curve 3's row stays empty), labels 42 pixels apart.
    const struct {
        int curve;
        int y;
        TColor colour;
        int rows;
    } kRows[] = {{1, 29, d.Color1, 13}, {2, 42, d.Color2, 14}, {4, 68, d.Color4, 14}};
    for (const auto& r : kRows) {
        for (int k = 1; k <= 8; ++k) {
            const std::string label = "K " + std::to_string(d.get_K_Curve(r.curve, k));
            EXPECT_TRUE(TextAt(pic, 60 + 42 * (k - 1), r.y, label, 9, false, r.colour, kWhite, r.rows));
        }
    }
    EXPECT_EQ(d.get_K_Curve(1, 8), 9);
    EXPECT_EQ(d.get_K_Curve(4, 8), 4);

    // Bars of the combined index just above the axis, between the three-hour lines.
    const int left[8] = {46, 88, 130, 172, 214, 255, 297, 339};
    const int right[8] = {87, 129, 171, 213, 254, 296, 338, 380};
    const TColor green = RGBColor(0, 190, 0), yellow = RGBColor(255, 230, 0), red = RGBColor(255, 0, 0);
    const TColor expected[8] = {green, green, green, yellow, yellow, red, red, red};
    for (int k = 0; k < 8; ++k) {
        for (int y = 216; y <= 219; ++y)
            EXPECT_EQ(ColumnsOf(pic, y, expected[k], left[k], right[k] + 1), Range(left[k], right[k] - 1))
                << "bar " << k + 1 << " row " << y;
        EXPECT_NE(pic.Pixel(left[k], 215), expected[k]);
        EXPECT_NE(pic.Pixel(left[k], 220), expected[k]);
    }
}

TEST(Magnetogram, CombinedKRowInTheFirstCurveColour)
{
    TempDir dir;
    TMOX_Diagram d;
    d.set_is_K_summe(false);
    d.set_is_K_Balken(false);
    LoadCurve(d, dir, 2, [](int m) { return m < 180 ? m * 0.3 : 0.0; });  // block 1: range 53.7
    TImage img(400, 250);
    d.MOX_Image = &img;
    d.ShowMagnetogramm();
    EXPECT_TRUE(TextAt(img.Picture, 60, 29, "K 4", 9, false, d.Color1));
    EXPECT_TRUE(TextAt(img.Picture, 102, 29, "K 0", 9, false, d.Color1));
    // No bars: the row above the axis holds only the curve-free background and hour lines.
    EXPECT_TRUE(ColumnsOf(img.Picture, 217, RGBColor(0, 190, 0)).empty());
}

TEST(Magnetogram, AlarmMarksCoverTwentyOneMinutesAndSkipTheNextTwentyOne)
{
    TempDir dir;
    TMOX_Diagram d;
    d.set_Alarm_limit(4);  // K4 = 90 nT in ten minutes
    // A rise of 10 nT a minute for 40 minutes: first reaches 90 nT at reading 109.
    LoadCurve(d, dir, 1, [](int m) { return std::clamp(10.0 * (m + 1 - 100), 0.0, 400.0); });
    // 89.9 nT in ten minutes stays below the threshold.
    LoadCurve(d, dir, 2, [](int m) { return std::clamp(8.99 * (m + 1 - 600), 0.0, 359.6); });
    TImage img(1505, 250);  // one pixel per minute
    d.MOX_Image = &img;
    d.ShowMagnetogramm();

    // Marks from reading 109 and 131: filled from 45 + i - 1 to 45 + i + 19 (exclusive),
    // outlined by the red pen of width 2.
    std::set<int> expected = Range(152, 172);
    for (int x : Range(174, 194)) expected.insert(x);
    for (int y = 225; y <= 229; ++y) EXPECT_EQ(ColumnsOf(img.Picture, y, kAlarmRed), expected) << y;
    EXPECT_TRUE(ColumnsOf(img.Picture, 230, kAlarmRed).empty());

    d.set_is_Alarm(false);
    d.ShowMagnetogramm();
    EXPECT_TRUE(ColumnsOf(img.Picture, 227, kAlarmRed).empty());
}

TEST(Magnetogram, PreviousDayCountsNeitherInTheKIndexNorTheAlarm)
{
    TempDir dir;
    // A stormy 14 June (800 nT swings every ten minutes) before a quiet 15 June.
    WriteBytes(dir / "20030614.mox",
               DayFileText({{"By", Minutes([](int m) { return (m / 10) % 2 ? 800.0 : 0.0; })}}, "14.06.03"));
    WriteBytes(dir / "20030615.mox",
               DayFileText({{"By", Minutes([](int m) { return m % 2 ? 5.0 : 0.0; })}}, "15.06.03"));
    TMOX_Diagram d;
    d.set_Alarm_limit(4);
    d.set_is_Alarm(true);
    d.set_is_K_Balken(true);
    d.AutoLoad(dir / "20030615.mox", true);
    ASSERT_TRUE(d.is_loaded(1));
    ASSERT_TRUE(d.is_loaded(2));
    for (int b = 1; b <= 8; ++b) {
        EXPECT_EQ(d.get_K_index(b), 0) << b;
        EXPECT_EQ(d.get_K_Curve(1, b), 9) << b;  // yesterday keeps its own row
    }
    TImage img(1505, 250);
    d.MOX_Image = &img;
    d.ShowMagnetogramm();
    EXPECT_TRUE(ColumnsOf(img.Picture, 227, kAlarmRed).empty());

    // The same stormy day alone is today: it counts and raises the alarm.
    d.reset_Diagram();
    d.AutoLoad(dir / "20030614.mox", false);
    EXPECT_EQ(d.get_K_index(1), 9);
    d.ShowMagnetogramm();
    EXPECT_FALSE(ColumnsOf(img.Picture, 227, kAlarmRed).empty());
}

TEST(Magnetogram, AutoScaleWidensFromTheLargestTruncatedDeviation)
{
    struct Case {
        MOX_y_scale_Typ scale;
        bool autoScale;
        double first, extreme;
        int offset;
        int range;
    };
    const Case cases[] = {
        {scale60, true, 0.0, 61.0, 0, 200},    {scale60, true, 0.0, 60.0, 0, 120},
        {scale60, true, 0.7, 60.9, 0, 120},  // both truncated: 60 - 0
        {scale60, true, 0.0, -61.0, 0, 200},   {scale60, true, 0.0, 0.0, 61, 200},
        {scale500, true, 0.0, 400.0, 0, 1000}, {scale60, true, 0.0, 260.0, 0, 1000},
        {scale60, true, 0.0, 1200.0, 0, 2000}, {scale250, true, 0.0, 201.0, 0, 500},
        {scale60, false, 0.0, 300.0, 0, 120},
    };
    TempDir dir;
    for (const Case& c : cases) {
        TMOX_Diagram d;
        d.set_Y_Skalierung(c.scale);
        d.set_is_AutoScale(c.autoScale);
        LoadCurve(d, dir, 3, [&c](int m) { return m == 0 ? c.first : m == 700 ? c.extreme : c.first; });
        d.set_Offset(3, c.offset);
        TImage img(400, 255);
        d.MOX_Image = &img;
        d.ShowMagnetogramm();
        EXPECT_DOUBLE_EQ(YScale(d, 255), 200.0 / c.range) << c.extreme << " offset " << c.offset;
        EXPECT_EQ(d.get_Y_Skalierung(), c.scale);
    }
}

TEST(Magnetogram, CurvesAreDrawnAroundTheirFirstReadingWithOffsetAndGaps)
{
    TempDir dir;
    TMOX_Diagram d;
    d.set_is_Alarm(false);
    LoadCurve(d, dir, 1, [](int m) { return m == 499 ? 1000.7 : m == 699 ? 1020.2 : kNaN; });
    LoadCurve(d, dir, 3, [](int m) { return m >= 900 && m < 960 ? 5.0 : kNaN; });
    d.set_Offset(1, 10);
    TImage img(1505, 250);
    d.MOX_Image = &img;
    d.ShowMagnetogramm();
    const TBitmap& pic = img.Picture;

    // Readings between gaps are single pixels: y = 125 - trunc((v - 1000 + 10) * 1.625).
    EXPECT_EQ(pic.Pixel(544, 108), d.Color1);
    EXPECT_EQ(pic.Pixel(744, 76), d.Color1);
    for (auto [x, y] : {std::pair{543, 108}, {545, 108}, {544, 107}, {544, 109}, {745, 76}})
        EXPECT_NE(pic.Pixel(x, y), d.Color1) << x << "," << y;
    // A run of readings is a line of the pen's width 2, on the zero line for a flat curve.
    EXPECT_EQ(ColumnsOf(pic, 124, d.Color3), Range(944, 1004));
    EXPECT_EQ(ColumnsOf(pic, 125, d.Color3), Range(944, 1004));
    EXPECT_TRUE(ColumnsOf(pic, 126, d.Color3, 900, 1100).empty());
}

TEST(Magnetogram, ReadingsFarOutsideTheFrameRunToThePictureEdge)
{
    TempDir dir;
    TMOX_Diagram d;
    d.set_is_Alarm(false);
    LoadCurve(d, dir, 1, [](int m) { return m == 700 ? 1e12 : m == 701 ? -1e300 : 0.0; });
    TImage img(1505, 250);
    d.MOX_Image = &img;
    d.ShowMagnetogramm();
    EXPECT_EQ(img.Picture.Pixel(744, 0), d.Color1);
    EXPECT_EQ(img.Picture.Pixel(745, 249), d.Color1);
}

TEST(Magnetogram, WhiteTextColourOverlaysWithoutBackgroundGridOrLogo)
{
    TempDir dir;
    TMOX_Diagram d;
    LoadCurve(d, dir, 1, [](int m) { return m < 300 ? 0.0 : 20.0; });
    d.set_TextColor(0xFFFFFF);
    TImage img(400, 250);
    const TColor underlay = RGBColor(200, 220, 255);
    img.Picture.Canvas.Brush.Color = underlay;
    img.Picture.Canvas.FillRect(Rect(0, 0, 400, 250));
    d.MOX_Image = &img;
    d.ShowMagnetogramm();
    const TBitmap& pic = img.Picture;

    EXPECT_EQ(pic.Pixel(200, 150), underlay);               // no background fill
    EXPECT_EQ(ColumnsOf(pic, 28, kFrame), Range(45, 380));  // the top frame line only
    EXPECT_EQ(pic.Pixel(200, 222), underlay);               // no time axis
    EXPECT_EQ(pic.Pixel(44, 92), underlay);                 // no value ticks
    EXPECT_EQ(pic.Pixel(87, 100), underlay);                // no hour lines
    EXPECT_EQ(pic.Pixel(360, 200), underlay);               // no logo
    EXPECT_DOUBLE_EQ(d.get_Time(380), 1.0);
    // Curve, title and K labels are drawn over it; text cells in the background colour.
    EXPECT_EQ(pic.Pixel(60, 124), d.Color1);
    EXPECT_EQ(pic.Pixel(60, 125), d.Color1);
    EXPECT_TRUE(TextAt(pic, 158, 5, "MOX - Polverin", 10, true, kFrame, d.get_bkColor()));
    EXPECT_TRUE(TextAt(pic, 60, 29, "K " + std::to_string(d.get_K_Curve(1, 1)), 9, false, d.Color1));
}

TEST(Magnetogram, ThousandPixelsWideHourLabels)
{
    TMOX_Diagram d;
    TImage img(1000, 600);
    d.MOX_Image = &img;
    d.ShowMagnetogramm();
    EXPECT_DOUBLE_EQ(d.get_Time(980), 1.0);  // x_scale = 935 / 1440
    // 45 + 116.875 k rounded, halves to even (512.5 -> 512); axis at 600 - 28.
    const int xs[8] = {162, 279, 396, 512, 629, 746, 863, 980};
    const char* hours[] = {"03:00", "06:00", "09:00", "12:00", "15:00", "18:00", "21:00", "00:00"};
    for (int k = 0; k < 8; ++k) EXPECT_TRUE(TextAt(img.Picture, xs[k] - 15, 577, hours[k], 8, false, kFrame));
    // The 24:00 line closes the frame; its label covers the line's first pixel.
    for (int y = 28; y < 577; ++y) ASSERT_EQ(img.Picture.Pixel(980, y), kFrame) << y;
    EXPECT_NE(img.Picture.Pixel(980, 27), kFrame);
}

TEST(Magnetogram, RightFrameEdgeIsDrawnAtEveryWidth)
{
    // Summing the hour positions up drops the 24:00 line at about one width in four.
    for (int W = 66; W <= 1600; ++W) {
        TMOX_Diagram d;
        d.set_is_K_index(false);
        TImage img(W, 120);
        d.MOX_Image = &img;
        d.ShowMagnetogramm();
        ASSERT_EQ(img.Picture.Pixel(W - 20, 60), kFrame) << W;
    }
}

TEST(Magnetogram, ImagesTooSmallForTheFrameStillFinish)
{
    TempDir dir;
    TMOX_Diagram d;
    LoadCurve(d, dir, 1, [](int m) { return std::sin(m / 50.0) * 30.0; });
    for (auto [w, h] : {std::pair{0, 0}, {30, 20}, {60, 56}, {65, 100}, {66, 52}, {300, 55}}) {
        TImage img(w, h);
        d.MOX_Image = &img;
        d.ShowMagnetogramm();
        if (w > 0 && h > 0) {
            EXPECT_EQ(img.Picture.Pixel(0, h - 1), kWhite) << w << "x" << h;
        }
    }
    d.MOX_Image = nullptr;
    d.ShowMagnetogramm();  // nothing to draw on
}
