#include <gtest/gtest.h>

#include <png.h>

#include <filesystem>
#include <map>
#include <set>

#include "WebSupport.h"
#include "mox/rtl/Graphics.h"
#include "station/app/WebPages.h"
#include "station/export/ImageExport.h"

namespace {

using WapTest = WebTest;

// Readings of a sensor at the WAP rows: row k is k * 5 minutes before `newest`; other minutes
// hold `other`, minutes after `newest` nothing.
Readings ByRow(int newest, std::map<int, double> rows, double other)
{
    return Until(newest, [=](int minute) {
        const int back = newest - minute;
        const auto row = rows.find(back / 5);
        return back % 5 == 0 && row != rows.end() ? row->second : other;
    });
}

std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0, end;
    while ((end = text.find("\r\n", start)) != std::string::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

std::set<std::string> FilesIn(const TempDir& dir)
{
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path))
        if (e.path().extension() != ".mox") names.insert(e.path().filename().string());
    return names;
}

struct Png {
    int width = 0, height = 0;
    bool opaqueColour = false;  // 8-bit colour without alpha, as RGB or palette
    std::vector<unsigned char> pixels;
    TColor At(int x, int y) const
    {
        const unsigned char* p = &pixels[std::size_t(3 * (y * width + x))];
        return RGBColor(p[0], p[1], p[2]);
    }
};

Png ReadPng(const std::string& file)
{
    Png png;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) return png;
    png.opaqueColour = (image.format & ~PNG_FORMAT_FLAG_COLORMAP) == PNG_FORMAT_RGB;
    image.format = PNG_FORMAT_RGB;
    png.pixels.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, png.pixels.data(), 0, nullptr)) {
        png.width = int(image.width);
        png.height = int(image.height);
    }
    png_image_free(&image);
    return png;
}

// The rows [fromRow, toRow) of the text cell at (x, y) are what the graph's font draws in
// `colour` on white, after the reduction to 256 colours.
::testing::AssertionResult TextAt(const Png& png, int x, int y, const std::string& text, TColor colour, int fromRow = 0,
                                  int toRow = 1 << 20)
{
    TBitmap probe(1, 1);
    probe.Canvas.Font.Size = 7;
    const int w = probe.Canvas.TextWidth(text), h = probe.Canvas.TextHeight(text);
    if (w == 0 || h == 0) return ::testing::AssertionFailure() << "no text metrics";
    TBitmap ref(w, h);
    ref.Canvas.Font.Size = 7;
    ref.Canvas.Font.Color = colour;
    ref.Canvas.Brush.Color = 0xFFFFFF;
    ref.Canvas.TextOut(0, 0, text);
    ref.SetPixelFormat(pf8bit);
    for (int j = std::max(fromRow, 0); j < std::min({h, toRow, png.height - y}); ++j)
        for (int i = 0; i < std::min(w, png.width - x); ++i)
            if (png.At(x + i, y + j) != ref.Pixel(i, j))
                return ::testing::AssertionFailure()
                       << "\"" << text << "\" differs at (" << x + i << ", " << y + j << ")";
    return ::testing::AssertionSuccess();
}

}  // namespace

// Newest reading at 00:30: the hour reaches back only to midnight; the row half an hour back
// lies before the day's first minute.
TEST_F(WapTest, OneSensorShortlyAfterMidnight)
{
    LoadOne(1, Until(29, [](int m) { return m == 14 ? 970.0 : m == 9 ? 1100.0 : 1000.0; }));
    ASSERT_TRUE(PublishWap(false, dir / "mox_data.wap"));

    EXPECT_EQ(ReadBytes(dir / "mox_data.wap"),
              CrLfLines({"L\xFCneburg", "10.4 E, 53.2 N", "Garten", "15.06.03", "K: 5 - - - - - - - ",
                         "00:00 - 00:30 UT", "Min. Z Trend", "now 1000 ", "- 5 1000 + ", "-10 1000 --", "-15 970 - ",
                         "-20 1100 * ", "-25 1000 * ", "-30 NaN * "}));

    // Two hours back from 00:30: ninety minutes before midnight, then the day relative to its
    // first reading; the largest deviation of 100 nT gives the scale 150.
    std::string data = "L\xFCneburg,15.06.03,00:30,Z,-,150";
    for (int i = 0; i < 90; ++i) data += ",-";
    for (int m = 0; m < 30; ++m) data += m == 14 ? ",-30" : m == 9 ? ",100" : ",0";
    EXPECT_EQ(ReadBytes(dir / "mox_data_wap.txt"), data);
    EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"mox_data.wap", "mox_data_wap.png", "mox_data_wap.txt"}));
}

// The newest reading of 23:59 is shown, although its time, 24:00, is minute 0 of the clock.
TEST_F(WapTest, LastMinuteOfTheDay)
{
    LoadOne(
        1, [](int m) { return m == 1439 ? 1234.0 : 1000.0; }, "By");
    ASSERT_TRUE(PublishWap(false, dir / "mox_data.wap"));
    const auto lines = SplitCrLf(ReadBytes(dir / "mox_data.wap"));
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines[4], "K: 0 0 0 0 0 0 0 7 ");
    EXPECT_EQ(lines[5], "23:00 - 00:00 UT");
    EXPECT_EQ(lines[6], "Min. Y Trend");
    EXPECT_EQ(lines[7], "now 1234 ");
    EXPECT_EQ(lines[8], "- 5 1000 o ");
    EXPECT_EQ(lines[18], "-55 1000 ");
    EXPECT_EQ(lines[19], "-60 1000 ");

    std::string data = "L\xFCneburg,15.06.03,00:00,Y,-,250";
    for (int i = 0; i < 119; ++i) data += ",0";
    EXPECT_EQ(ReadBytes(dir / "mox_data_wap.txt"), data + ",234");
}

// With the previous day beside it (curve 1), only today's curve (2) makes the K line.
TEST_F(WapTest, PreviousDayStaysOutOfTheKLine)
{
    LoadOne(
        1, [](int m) { return m % 2 ? 900.0 : 0.0; }, "By", "14.06.03");
    LoadOne(2, Until(200, Constant(1000)), "By", "15.06.03");
    ASSERT_TRUE(PublishWap(true, dir / "mox_data.wap"));
    const auto lines = SplitCrLf(ReadBytes(dir / "mox_data.wap"));
    ASSERT_GT(lines.size(), 4u);
    EXPECT_EQ(lines[4], "K: 0 0 - - - - - - ");
}

// Each marker compares a reading with the one ten minutes earlier; with two sensors the larger
// change decides, the second sensor on a tie, and a missing reading leaves "* ".
TEST_F(WapTest, TwoSensorTrendMarkers)
{
    const int newest = 599;  // 09:59, shown as 10:00
    LoadTwo(1,
            ByRow(newest,
                  {{0, -20000},
                   {1, -20010},
                   {2, -20030},
                   {3, -20110},
                   {4, -20000},
                   {5, -20110},
                   {6, -20024.5},
                   {7, -20080},
                   {8, -20114},
                   {9, -20073},
                   {10, -20089.5},
                   {11, -20068},
                   {12, -19999.5}},
                  -20000),
            2,
            ByRow(newest,
                  {{0, 5000},
                   {1, 5000},
                   {2, 5000},
                   {3, 5010},
                   {4, 5000},
                   {5, 5105},
                   {6, 5003},
                   {7, 5075},
                   {8, 5003},
                   {9, NAN},
                   {10, 4978},
                   {11, 5075},
                   {12, 4978}},
                  5000));
    ASSERT_TRUE(PublishWap(false, dir / "mox_data.wap"));
    auto lines = SplitCrLf(ReadBytes(dir / "mox_data.wap"));
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end()),
              (std::vector<std::string>{
                  "K: 0 0 2 5 - - - - ", "09:00 - 10:00 UT", "Min. X Y Trend", "now -20000 5000 + ",
                  "- 5 -20010 5000 ++", "-10 -20030 5000 - ", "-15 -20110 5010 --", "-20 -20000 5000 o ",
                  "-25 -20110 5105 + ", "-30 -20024 5003 + ", "-35 -20080 5075 * ", "-40 -20114 5003 + ",
                  "-45 -20073 NaN * ", "-50 -20089 4978 --", "-55 -20068 5075 ", "-60 -19999 4978 "}));

    // An alarm class beyond K8 means K8: 100 nT in ten minutes is then no alarm.
    d.set_Alarm_limit(90);
    ASSERT_TRUE(PublishWap(false, dir / "mox_data.wap"));
    lines = SplitCrLf(ReadBytes(dir / "mox_data.wap"));
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines[8], "- 5 -20010 5000 + ");
    EXPECT_EQ(lines[10], "-15 -20110 5010 - ");
}

// The graph's scale is the next multiple of 50 above the largest deviation from the oldest
// reading of the two hours, truncated.
TEST_F(WapTest, ScaleOfTheTwoHours)
{
    LoadTwo(1, Until(599, Constant(-20000)), 2, Until(599, Constant(5000)));
    ASSERT_TRUE(PublishWap(false, dir / "mox_data.wap"));
    std::string flat = "L\xFCneburg,15.06.03,10:00,X,Y,50";
    for (int i = 0; i < 240; ++i) flat += ",0";
    EXPECT_EQ(ReadBytes(dir / "mox_data_wap.txt"), flat);

    struct Case {
        double deviation1, deviation2;
        std::string scale;
    };
    for (const Case& c : {Case{-49.5, 0, ",50,"}, Case{-49.5, 50, ",100,"}, Case{120, -150, ",200,"}}) {
        LoadTwo(1, Until(599, [&](int m) { return m == 550 ? -20000 + c.deviation1 : -20000.0; }), 2,
                Until(599, [&](int m) { return m == 560 ? 5000 + c.deviation2 : 5000.0; }));
        ASSERT_TRUE(PublishWap(false, dir / "mox_data.wap"));
        const std::string data = ReadBytes(dir / "mox_data_wap.txt");
        EXPECT_EQ(data.substr(data.find(",X,Y") + 4, c.scale.size()), c.scale) << c.deviation2;
    }
}

// No reading of the first sensor: its time is the day's first minute, its values missing;
// the second sensor still shows.
TEST_F(WapTest, EmptyFirstSensor)
{
    LoadTwo(1, Constant(NAN), 2, Constant(5000));
    ASSERT_FALSE(d.is_loaded(1));
    ASSERT_TRUE(PublishWap(false, dir / "mox_data.wap"));
    const auto lines = SplitCrLf(ReadBytes(dir / "mox_data.wap"));
    EXPECT_EQ(
        std::vector<std::string>(lines.begin() + 4, lines.end()),
        (std::vector<std::string>{"K: 0 0 0 0 0 0 0 0 ", "00:00 - 00:01 UT", "Min. X Y Trend", "now NaN 5000 * "}));
    std::string data = "L\xFCneburg,15.06.03,00:01,X,Y,50";
    for (int i = 0; i < 239; ++i) data += ",-";
    EXPECT_EQ(ReadBytes(dir / "mox_data_wap.txt"), data + ",0");
}

TEST_F(WapTest, GraphOfTheLastTwoHours)
{
    // From 08:00 to 09:59: the first sensor 25 nT above its first reading, with a gap from
    // 08:59 to 09:04; the second 25 nT below.
    LoadTwo(1, Until(599, [](int m) { return m == 480               ? 1000.0
                                             : m >= 539 && m <= 544 ? NAN
                                                                    : 1025.0; }), 2,
            Until(599, [](int m) { return m == 480 ? 5000.0 : 4975.0; }));
    ASSERT_TRUE(PublishWap(false, dir / "mox_data.wap"));
    const Png png = ReadPng(dir / "mox_data_wap.png");
    ASSERT_EQ(png.width, 96);
    ASSERT_EQ(png.height, 65);
    EXPECT_TRUE(png.opaqueColour);

    constexpr TColor black = 0x000000, white = 0xFFFFFF, blue = 0xFF0000, red = 0x0000FF;
    // Zero line, axis, quarter ticks and hour ticks; lines stop before their end point.
    EXPECT_EQ(png.At(20, 32), black);
    EXPECT_EQ(png.At(1, 40), black);
    EXPECT_EQ(png.At(1, 63), black);
    for (int y : {16, 48, 64}) {
        EXPECT_EQ(png.At(2, y), black) << y;
        EXPECT_EQ(png.At(3, y), y == 64 ? white : y == 16 ? blue : red) << y;
    }
    EXPECT_EQ(png.At(3, 0), white);
    for (int x : {48, 95}) {
        EXPECT_EQ(png.At(x, 30), white) << x;
        EXPECT_EQ(png.At(x, 31), black) << x;
        EXPECT_EQ(png.At(x, 33), black) << x;
        EXPECT_EQ(png.At(x, 34), white) << x;
    }
    // Scale 50: +25 nT is a quarter of the height above the zero line, -25 below.
    EXPECT_EQ(png.At(60, 16), blue);
    EXPECT_EQ(png.At(95, 16), blue);
    EXPECT_EQ(png.At(60, 48), red);
    // The gap lifts the pen; the curve starts again with a single pixel.
    EXPECT_EQ(png.At(47, 16), blue);
    for (int x = 48; x <= 52; ++x) EXPECT_EQ(png.At(x, 16), white) << x;
    EXPECT_EQ(png.At(53, 16), blue);

    if (TextRenderingAvailable()) {
        EXPECT_TRUE(TextAt(png, 5, 0, "50", black));
        EXPECT_TRUE(TextAt(png, 5, 45, "Y", red));
        // The Y cell, drawn last, may cover the top of the X cell.
        TBitmap probe(1, 1);
        probe.Canvas.Font.Size = 7;
        EXPECT_TRUE(TextAt(png, 5, 55, "X", blue, 45 + probe.Canvas.TextHeight("Y") - 55));
    }
}

TEST_F(WapTest, WritersReplaceTheirFilesWhole)
{
    LoadOne(1, Until(700, Constant(1000)), "Bx");

    // A text that cannot be created leaves out the graph and the data file too.
    EXPECT_FALSE(PublishWap(false, dir / "missing/mox_data.wap"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));

    // A graph that cannot be staged is an image error, raised after the text and before the
    // data file; the text still goes out.
    std::filesystem::create_directory(dir / "mox_data_wap.png.tmp");
    {
        BatchFiles files;
        EXPECT_THROW(WriteWapFiles(d, false, dir / "mox_data.wap", files), EImageWriteError);
        EXPECT_TRUE(files.Publish().empty());
    }
    EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"mox_data.wap", "mox_data_wap.png.tmp"}));
    std::filesystem::remove(dir / "mox_data_wap.png.tmp");
    std::filesystem::remove(dir / "mox_data.wap");

    // A graph that cannot be put in place is named by the publishing; the others are in place
    // and no temporary file stays behind.
    std::filesystem::create_directory(dir / "mox_data_wap.png");
    {
        BatchFiles files;
        EXPECT_TRUE(WriteWapFiles(d, false, dir / "mox_data.wap", files));
        const std::vector<BatchFiles::Failure> failed = files.Publish();
        ASSERT_EQ(failed.size(), 1u);
        EXPECT_EQ(failed[0].path, dir / "mox_data_wap.png");
    }
    EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"mox_data.wap", "mox_data_wap.png", "mox_data_wap.txt"}));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "mox_data_wap.png"));
    std::filesystem::remove(dir / "mox_data_wap.png");

    WriteBytes(dir / "mox_data_wap.txt", "old");
    EXPECT_TRUE(PublishWap(false, dir / "mox_data.wap"));
    EXPECT_EQ(ReadBytes(dir / "mox_data_wap.txt").substr(0, 12), "L\xFCneburg,15.");
    EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"mox_data.wap", "mox_data_wap.png", "mox_data_wap.txt"}));
}
