#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "RenderSupport.h"
#include "station/export/ImageExport.h"

namespace {

// One-second IAGA-2002 records averaged into minutes for the first two field elements.
struct MinuteMeans {
    double sum[2][1440] = {};
    int count[2][1440] = {};

    void Read(const std::string& file)
    {
        std::ifstream in(file);
        std::string line;
        while (std::getline(in, line)) {
            // Data records start with the date; header records with a blank, the column
            // heading with "DATE".
            if (line.size() < 60 || !std::isdigit(static_cast<unsigned char>(line[0]))) continue;
            const int minute = std::stoi(line.substr(11, 2)) * 60 + std::stoi(line.substr(14, 2));
            std::istringstream values(line.substr(30));
            double v[2];
            values >> v[0] >> v[1];
            for (int k = 0; k < 2; ++k) {
                if (!values || v[k] >= 88888.0) continue;  // missing or not recorded
                sum[k][minute] += v[k];
                ++count[k][minute];
            }
        }
    }
    std::vector<std::string> Lines(int k) const
    {
        return Minutes([&](int m) { return count[k][m] ? std::round(sum[k][m] / count[k][m]) : NAN; });
    }
};

}  // namespace

// A real two-sensor day as the station shows it; the picture stays in the build folder.
TEST(RealDay, TwoSensorObservatoryDay)
{
    TempDir dir;
    const std::string zip = std::string(MOX_SOURCE_DIR) + "/tests/data/real/geosphere/wic20220810vsec.zip";
    if (!std::ifstream(zip)) GTEST_SKIP() << "observatory data not available: " << zip;
    ASSERT_EQ(std::system(("unzip -q -o '" + zip + "' -d '" + dir.str() + "'").c_str()), 0);
    MinuteMeans means;
    means.Read(dir / "wic20220810vsec.sec");
    ASSERT_EQ(means.count[0][720], 60);

    std::string text = DayFileText({{"Bx", means.Lines(0)}, {"By", means.Lines(1)}}, "10.08.22", "Conrad Observatorium",
                                   "GeoSphere Austria");
    const std::string file = dir / "20220810.mox";
    WriteBytes(file, text);
    TMOX_Diagram d;
    d.LoadData(file, 1, 1);
    d.LoadData(file, 2, 2);
    ASSERT_TRUE(d.is_loaded(1) && d.is_loaded(2));
    d.set_Titel("Magnetogramm $ORT1$, $DATUM1$");
    d.set_is_AutoScale(true);
    d.set_Alarm_limit(3);

    TImage img(1000, 600);
    d.MOX_Image = &img;
    d.ShowMagnetogramm();
    const std::string png = std::string(MOX_BINARY_DIR) + "/magnetogram_real_day.png";
    BitmapToPng(png, img.Picture);
    EXPECT_TRUE(std::ifstream(png).good());

    // A quiet summer day: K 0..3, all bars green; both curves and their legends are there.
    for (int k = 1; k <= 8; ++k) {
        EXPECT_GE(d.get_K_index(k), 0);
        EXPECT_LE(d.get_K_index(k), 3);
    }
    EXPECT_EQ(img.Picture.Pixel(500, 572 - 4), RGBColor(0, 190, 0));
    EXPECT_TRUE(TextAt(img.Picture, 56, 572 - 26 - 5, d.generate_legend(1), 8, false, kFrame));
    EXPECT_TRUE(TextAt(img.Picture, 56, 572 - 13 - 5, d.generate_legend(2), 8, false, kFrame, kWhite, 11));
    int red = 0, navy = 0;
    for (int y = 40; y < 540; ++y)
        for (int x = 46; x < 980; ++x) {
            red += img.Picture.Pixel(x, y) == d.Color1;
            navy += img.Picture.Pixel(x, y) == d.Color2;
        }
    EXPECT_GT(red, 1500);
    EXPECT_GT(navy, 1500);
}
