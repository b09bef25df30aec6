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
    for (int i = reserved45; i < Size; ++i) EXPECT_EQ(b[i], 0x77);
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

TEST(ParamForm, UnchangedFieldsKeepTheirBytesAndOddBytesAreNoted)
{
    TParamSet b = StandardSet;
    b[dayly_reset] = 2;
    b[reset_hour] = 30;
    b[alarm_k] = 0;
    Put16(b, analog1_interval, 100);
    b[rs232_mode] = 7;
    b[sensor1_axis] = 'Q';
    Put16(b, k_limit + 16, 1000);
    TParamFields shown = paramform::StandardFields();
    paramform::Show(b, shown);
    EXPECT_EQ(shown.alarmK, 0);  // as it is, not clamped
    EXPECT_EQ(shown.analog1Interval, 100);
    EXPECT_EQ(shown.kLimit[8], "1000");

    std::vector<paramform::TField> noted;
    for (const auto& note : paramform::Notes(b, shown)) {
        noted.push_back(note.field);
        EXPECT_NE(note.text.find("unverändert"), std::string::npos);
    }
    using F = paramform::TField;
    EXPECT_EQ(noted,
              (std::vector<F>{F::DaylyReset, F::ResetHour, F::Analog1Interval, F::AlarmK, F::RS232Mode, F::Sensor1}));
    EXPECT_TRUE(paramform::Notes(StandardSet, paramform::StandardFields()).empty());

    // Taken unchanged, every byte stays; a changed field alone is coded.
    TParamSet out = b;
    ASSERT_FALSE(paramform::Take(shown, out, &shown));
    EXPECT_EQ(out, b);
    TParamFields edited = shown;
    edited.alarmK = 5;
    ASSERT_FALSE(paramform::Take(edited, out, &shown));
    TParamSet expected = b;
    expected[alarm_k] = 5;
    EXPECT_EQ(out, expected);
    // Without a reference every field is coded, as the standard values need.
    ASSERT_FALSE(paramform::Take(shown, out));
    EXPECT_EQ(out[dayly_reset], 0);
    EXPECT_EQ(out[sensor1_axis], 'Y');
}
