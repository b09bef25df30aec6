#include "StandardSet.h"
#include "paramtool/ParamForm.h"

#include <gtest/gtest.h>

using namespace moxparam;

TEST(ParamForm, StandardFieldsCodeToTheStandardSet)
{
  TParamSet b{};
  ASSERT_FALSE(paramform::Take(paramform::StandardFields(), b));
  EXPECT_EQ(b, StandardSet);
  TParamFields shown;
  paramform::Show(b, shown);
  EXPECT_EQ(shown, paramform::StandardFields());
}

TEST(ParamForm, TakeCodesWidthsAndLeavesReservedBytes)
{
  TParamSet b;
  b.fill(0x77);
  TParamFields f = paramform::StandardFields();
  f.kLimit[3] = "-5";
  f.offset2 = "+2147483647";
  f.analog2Interval = 2000;
  f.daylyReset = false;
  f.resetHour = 17;
  ASSERT_FALSE(paramform::Take(f, b));
  EXPECT_EQ(b[k_limit + 6], 0xFF);
  EXPECT_EQ(b[k_limit + 7], 0xFB);
  EXPECT_EQ(Get32(b, offset2), 2147483647);
  EXPECT_EQ(Get16(b, analog2_interval), 2000u);
  EXPECT_EQ(b[dayly_reset], 0);
  EXPECT_EQ(b[reset_hour], 17);  // stored although the reset is off
  EXPECT_EQ(b[reserved19], 0x77);
  for (int i = reserved45; i < Size; ++i)
    EXPECT_EQ(b[i], 0x77);
  TParamFields shown = paramform::StandardFields();
  paramform::Show(b, shown);
  EXPECT_EQ(shown.kLimit[3], "65531");
}

TEST(ParamForm, TakeRefusesTextThatIsNoNumberAndChangesNothing)
{
  for (auto bend : std::initializer_list<void (*)(TParamFields&)>{
           [](TParamFields& f) { f.kLimit[0] = ""; }, [](TParamFields& f) { f.kLimit[8] = "-"; },
           [](TParamFields& f) { f.offset1 = "12a"; }, [](TParamFields& f) { f.offset2 = "99999999999"; }}) {
    TParamFields f = paramform::StandardFields();
    bend(f);
    TParamSet b{};
    const auto error = paramform::Take(f, b);
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->field.empty());
    EXPECT_EQ(b, TParamSet{});
  }
  EXPECT_EQ(paramform::ParseWhole(" -82000 "), -82000);
  EXPECT_EQ(paramform::ParseWhole("+7"), 7);
  EXPECT_FALSE(paramform::ParseWhole("--7"));
}

TEST(ParamForm, ShowKeepsFieldsABytesCannotExpress)
{
  TParamSet b = StandardSet;
  b[dayly_reset] = 2;  // only 1 means yes
  b[reset_hour] = 9;
  b[sensor1_axis] = 'Q';
  b[sensor2_axis] = 'Z';
  b[rs232_mode] = 4;
  b[analog2_mode] = 1;
  b[digin] = 1;
  TParamFields f = paramform::StandardFields();
  f.resetHour = 5;
  paramform::Show(b, f);
  EXPECT_FALSE(f.daylyReset);
  EXPECT_EQ(f.resetHour, 5);
  EXPECT_EQ(f.sensor1, 1);  // still Y
  EXPECT_EQ(f.sensor2, 2);
  EXPECT_EQ(f.rs232Mode, 1);
  EXPECT_EQ(f.analog2Mode, 1);
  EXPECT_TRUE(f.digin);
  b[dayly_reset] = 1;
  paramform::Show(b, f);
  EXPECT_EQ(f.resetHour, 9);
}
