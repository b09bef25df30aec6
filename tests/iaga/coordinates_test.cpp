#include <gtest/gtest.h>

#include "mox/Coordinates.h"

TEST(Coordinates, FreeTextReadsAsSignedDegrees)
{
    struct Case {
        const char* text;
        bool latitude;
        double degrees;
    } good[] = {
        {"52.0 N", true, 52.0},       {"52.29N", true, 52.29},    {"13.0 E", false, 13.0},
        {"10.42E", false, 10.42},     {"33.9 s", true, -33.9},    {"70,5 W", false, -70.5},
        {"13.5 O", false, 13.5},      {"N 52.5", true, 52.5},     {"-12.25", false, -12.25},
        {"52°17'24\"N", true, 52.29}, {"52 17.4 N", true, 52.29}, {"254.764", false, 254.764},
    };
    for (const Case& c : good) {
        double d = 0;
        ASSERT_TRUE(ParseDegrees(c.text, c.latitude, d)) << c.text;
        EXPECT_NEAR(d, c.degrees, 1e-9) << c.text;
    }
    const char* const badLatitudes[] = {"", "abc", "95 N", "52.0 E", "-52 S", "52 61 N", "1 2 3 4"};
    for (const char* text : badLatitudes) {
        double d;
        EXPECT_FALSE(ParseDegrees(text, true, d)) << text;
    }
    EXPECT_EQ(FormatDegrees(52.29), "52.29");
    EXPECT_EQ(FormatDegrees(13), "13.0");
    EXPECT_EQ(FormatDegrees(-105.2364), "-105.236");
}

TEST(Coordinates, MaidenheadLocator)
{
    // The Magnetsrode observatory's record names its own locator.
    EXPECT_EQ(MaidenheadLocator(52.29, 10.42), "JO52FG");
    EXPECT_EQ(MaidenheadLocator(40.137, -105.236), "DN70JD");
    EXPECT_EQ(MaidenheadLocator(40.137, 254.764), "DN70JD");
    // The corners of the grid stay inside it.
    EXPECT_EQ(MaidenheadLocator(-90, -180), "AA00AA");
    EXPECT_EQ(MaidenheadLocator(90, 179.9999), "RR99XX");
}
