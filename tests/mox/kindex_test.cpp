#include <gtest/gtest.h>

#include <cmath>

#include "../support/DayFiles.h"
#include "mox/Mm.h"

namespace {

// Curves whose block b (1..8) has the given range: readings alternate 0 and range.
std::vector<std::string> BlockRanges(std::initializer_list<double> ranges)
{
    std::vector<double> r(ranges);
    return Minutes([&r](int m) {
        const double range = r[std::size_t(m / 180)];
        if (std::isnan(range)) return double(NAN);
        return m % 2 ? range : 0.0;
    });
}

class KIndex : public ::testing::Test {
protected:
    void Load(int curve, std::initializer_list<double> ranges)
    {
        const std::string f = dir / ("c" + std::to_string(curve) + ".mox");
        WriteBytes(f, DayFileText({{"By", BlockRanges(ranges)}}, "15.06.03"));
        d.LoadData(f, 0, curve);
        ASSERT_TRUE(d.is_loaded(curve));
    }
    TempDir dir;
    TMOX_Diagram d;
};

TEST_F(KIndex, ClassesAtTheirUpperLimits)
{
    // Each range exactly at a limit, and one just above.
    Load(1, {10, 10.5, 15, 25, 50, 90, 600, 600.5});
    const int expected[] = {0, 1, 1, 2, 3, 4, 8, 9};
    for (int b = 1; b <= 8; ++b) {
        EXPECT_EQ(d.get_K_Curve(1, b), expected[b - 1]) << b;
        EXPECT_EQ(d.get_K_index(b), expected[b - 1]) << b;
    }
    Load(1, {152, 152.1, 225, 370, 371, 0, 0, 0});
    const int more[] = {5, 6, 6, 7, 8, 0};
    for (int b = 1; b <= 6; ++b) EXPECT_EQ(d.get_K_Curve(1, b), more[b - 1]) << b;
}

TEST_F(KIndex, CombinedIndexIsTheLargestSelectedCurveRange)
{
    Load(1, {40, 0, NAN, 0, 0, 0, 0, 0});
    Load(2, {95, 0, NAN, 0, 0, 0, 0, 700});
    EXPECT_EQ(d.get_K_Curve(1, 1), 3);
    EXPECT_EQ(d.get_K_Curve(2, 1), 5);
    EXPECT_EQ(d.get_K_index(1), 5);
    EXPECT_EQ(d.get_K_Curve(1, 3), -1);  // a block without readings
    EXPECT_EQ(d.get_K_index(3), -1);
    EXPECT_EQ(d.get_K_Curve(3, 1), -1);  // unloaded curve

    d.set_is_K_curve(2, false);
    d.bestimme_K_Wert();
    EXPECT_EQ(d.get_K_Curve(2, 1), 5);  // still its own values
    EXPECT_EQ(d.get_K_index(1), 3);
    EXPECT_EQ(d.get_K_index(8), 0);

    d.reset_Diagram();
    d.bestimme_K_Wert();
    for (int b = 1; b <= 8; ++b) {
        EXPECT_EQ(d.get_K_index(b), -1);
        for (int c = 1; c <= 4; ++c) EXPECT_EQ(d.get_K_Curve(c, b), -1);
    }
}

TEST_F(KIndex, LimitsStayAscendingThroughTheSetter)
{
    d.set_K_limit(3, 20);  // below K2 = 25
    EXPECT_EQ(d.get_K_limit(3), 50);
    d.set_K_limit(1, 5);  // limits 0 and 1 take any value >= 0
    EXPECT_EQ(d.get_K_limit(1), 5);
    d.set_K_limit(0, -1);
    d.set_K_limit(9, 1000);
    EXPECT_EQ(d.get_K_limit(0), 10);
    EXPECT_EQ(d.get_K_limit(9), 0);
    EXPECT_EQ(d.get_K_limit(-1), 0);

    // Limits set directly may be out of order: the smallest qualifying class still wins.
    d.K5 = 5;
    Load(1, {8, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(d.get_K_Curve(1, 1), 0);
    Load(1, {12, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(d.get_K_Curve(1, 1), 2);  // K1 = 5, K2 = 25
}

TEST_F(KIndex, AlarmThresholdIsTheNamedLimitClampedToTheTable)
{
    d.set_Alarm_limit(4);
    EXPECT_EQ(d.get_Alarm_threshold(), 90);
    d.set_Alarm_limit(0);
    EXPECT_EQ(d.get_Alarm_threshold(), 10);
    d.set_Alarm_limit(9);
    EXPECT_EQ(d.get_Alarm_threshold(), 600);
    d.set_Alarm_limit(90);  // the initial value
    EXPECT_EQ(d.get_Alarm_threshold(), 600);
    d.set_Alarm_limit(-3);
    EXPECT_EQ(d.get_Alarm_threshold(), 10);
}

}  // namespace
