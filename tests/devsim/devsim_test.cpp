#include "tools/devsim/Device.h"
#include "tools/devsim/FieldModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>

using namespace moxparam;

namespace {

double At(const char* text)
{
    double t = 0;
    EXPECT_TRUE(ParseDeviceTime(text, t)) << text;
    return t;
}

TDevice MakeDevice(TParamSet params, bool letters = true, TDeviceFaults faults = {})
{
    return TDevice(TFieldModel(7, false, 0), params, letters, faults, TDeviceClock(At("2003-06-15T12:00:00"), 0, 1));
}

// The readings of a payload as the station's raw-log reader takes them: after each axis
// letter the number behind the next comma; without letters the first number.
std::vector<std::pair<char, long>> Readings(const std::string& line)
{
    std::vector<std::pair<char, long>> out;
    const std::string p = line.substr(18);
    std::size_t i = p.find_first_of("XYZ");
    if (i == std::string::npos) {
        out.emplace_back('-', std::stol(p));
        return out;
    }
    while (i != std::string::npos) {
        const std::size_t comma = p.find(',', i);
        out.emplace_back(p[i], std::stol(p.substr(comma + 1)));
        i = p.find_first_of("XYZ", comma);
    }
    return out;
}

std::string Bytes(std::initializer_list<int> b)
{
    std::string s;
    for (int v : b) s += static_cast<char>(v);
    return s;
}

}  // namespace

TEST(DeviceLines, FollowTheOutputModeSensorsAndLetters)
{
    TParamSet p = FactoryParams();
    const double t = At("2003-04-15T23:59:07");
    {
        TDevice d = MakeDevice(p);  // one sensor Y, relative values
        const std::string line = d.DataLine(t);
        EXPECT_EQ(line, "15.04.03 23:59:07: Y,  0");  // the first reading is the reference
        EXPECT_EQ(line[17], ':');
    }
    p[rs232_mode] = 0;
    p[dual_sensor] = 1;
    p[sensor1_axis] = 'Z';
    {
        TDevice d = MakeDevice(p);
        const auto r = Readings(d.DataLine(t));
        ASSERT_EQ(r.size(), 2u);
        EXPECT_EQ(r[0].first, 'Z');
        EXPECT_NEAR(r[0].second, 44100, 200);  // absolute field of the Z component
        EXPECT_EQ(r[1].first, 'X');
        EXPECT_NEAR(r[1].second, 20800, 200);
    }
    p[rs232_mode] = 3;
    {
        TDevice d = MakeDevice(p);
        const std::string line = d.DataLine(t);
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(15\.04\.03 23:59:07: Z,  \d+  0 X,  \d+  0  K0)"))) << line;
        EXPECT_LE(line.size(), 70u);
    }
    p[rs232_mode] = 2;
    p[dual_sensor] = 0;
    {
        TDevice d = MakeDevice(p, false);
        d.DataLine(t);
        const std::string line = d.DataLine(t + 60);
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(16\.04\.03 00:00:07:  \d+  -?\d+)"))) << line;
        EXPECT_EQ(line.find_first_of("XYZ"), std::string::npos);
    }
    p[print_date_time] = 0;
    {
        TDevice d = MakeDevice(p, false);
        const std::string bytes = d.LineBytes(t);
        EXPECT_EQ(bytes.front(), '\r');
        EXPECT_EQ(bytes.back(), '\n');
        EXPECT_EQ(bytes.find(':'), std::string::npos);  // no date, no time
    }
}

TEST(DeviceLines, RelativeValuesRestartAtTheDailyResetHour)
{
    TParamSet p = FactoryParams();
    p[rs232_mode] = 2;  // absolute and relative
    p[reset_hour] = 6;
    TDevice d = MakeDevice(p);
    d.DataLine(At("2003-06-15T12:00:00"));
    d.DataLine(At("2003-06-16T05:59:59"));
    const std::string atReset = d.DataLine(At("2003-06-16T06:00:00"));
    EXPECT_TRUE(std::regex_search(atReset, std::regex(R"(Y,  \d+  0$)"))) << atReset;
    p[dayly_reset] = 0;
    TDevice noReset = MakeDevice(p);
    noReset.DataLine(At("2003-06-15T12:00:00"));
    const std::string later = noReset.DataLine(At("2003-06-16T06:00:00"));
    const long absolute = std::stol(later.substr(later.find(',') + 1));
    const long relative = std::stol(later.substr(later.rfind(' ')));
    EXPECT_NE(relative, 0);
    EXPECT_NEAR(absolute - relative, 1450, 200);  // the reference stayed at the first reading
}

TEST(DeviceCommands, ClockCommandsSetTheLinesDateAndTime)
{
    TDevice d = MakeDevice(FactoryParams());
    EXPECT_EQ(d.Receive(Bytes({0x02, 0x0F, 0x04, 0x03, 0xFF, 0x1B}), 10), "");
    EXPECT_EQ(d.Receive(Bytes({0x01, 0x17, 0x3B, 0x07, 0xFF, 0x1B}), 10), "");
    EXPECT_EQ(FormatDeviceTime(d.Now(10)), "15.04.03 23:59:07");
    EXPECT_EQ(FormatDeviceTime(d.Now(12.5)), "15.04.03 23:59:09");  // and the clock runs on
    // A frame with a wrong trailer is not taken.
    EXPECT_EQ(d.Receive(Bytes({0x01, 0x01, 0x02, 0x03, 0xFF, 0x1C}), 13), "");
    EXPECT_EQ(FormatDeviceTime(d.Now(13)), "15.04.03 23:59:10");
}

TEST(DeviceCommands, ReadAnswersTwoCopiesAndWriteEchoes)
{
    TDevice d = MakeDevice(FactoryParams());
    const TParamSet factory = FactoryParams();
    const std::string set(factory.begin(), factory.end());
    EXPECT_EQ(d.Receive(Bytes({0x03, 0xFF, 0x1B}), 1), set + set);

    TParamSet written{};
    for (int i = 0; i < Size; ++i) written[i] = static_cast<std::uint8_t>(200 - i);
    int stored = 0;
    d.OnParamsWritten = [&](const TParamSet& p) {
        ++stored;
        EXPECT_EQ(p, written);
    };
    EXPECT_EQ(d.Receive(Bytes({0x04, 0xFF, 0x1B}), 2), "");
    // The tool sends one byte at a time; the device stays busy (quiet) until the last.
    std::string echo;
    for (int i = 0; i < Size; ++i) {
        EXPECT_TRUE(d.Busy(2 + i * 0.2));
        echo += d.Receive(std::string(1, static_cast<char>(written[i])), 2 + i * 0.2);
    }
    EXPECT_FALSE(d.Busy(13));
    EXPECT_EQ(echo, std::string(written.begin(), written.end()));
    EXPECT_EQ(stored, 1);
    EXPECT_EQ(d.Params(), written);

    // A write broken off is forgotten after a while, and the next command is understood.
    d.Receive(Bytes({0x04, 0xFF, 0x1B, 1, 2, 3}), 20);
    EXPECT_TRUE(d.Busy(20.5));
    EXPECT_FALSE(d.Busy(20 + TDevice::CommandTimeout));
    EXPECT_EQ(d.Receive(Bytes({0x03, 0xFF, 0x1B}), 30).size(), 102u);
}

TEST(DeviceCommands, FaultsBendTheAnswers)
{
    const TParamSet factory = FactoryParams();
    const std::string set(factory.begin(), factory.end());
    const std::string read = Bytes({0x03, 0xFF, 0x1B});
    TDeviceFaults f;
    f.oneCopy = true;
    EXPECT_EQ(MakeDevice(FactoryParams(), true, f).Receive(read, 1), set);
    f = {};
    f.badCopy = true;
    const std::string two = MakeDevice(FactoryParams(), true, f).Receive(read, 1);
    ASSERT_EQ(two.size(), 102u);
    EXPECT_EQ(two.substr(0, 51), set);
    int differing = 0;
    for (int i = 0; i < 51; ++i) differing += two[i] != two[51 + i];
    EXPECT_EQ(differing, 1);
    f = {};
    f.silent = true;
    EXPECT_EQ(MakeDevice(FactoryParams(), true, f).Receive(read, 1), "");
    f = {};
    f.badEcho = true;
    TDevice d = MakeDevice(FactoryParams(), true, f);
    const std::string echo = d.Receive(Bytes({0x04, 0xFF, 0x1B}) + set, 1);
    ASSERT_EQ(echo.size(), 51u);
    EXPECT_NE(echo, set);
    EXPECT_EQ(std::string(d.Params().begin(), d.Params().end()), set);  // taken, echoed wrong
    f = {};
    f.garbage = true;
    TDevice g = MakeDevice(FactoryParams(), true, f);
    bool overlong = false;
    for (int i = 0; i < 5; ++i) {
        const std::string bytes = g.LineBytes(At("2003-06-15T12:00:00") + i);
        EXPECT_EQ(bytes.rfind("\r15.06.03 12:00:0", 0), 0u);
        overlong = overlong || bytes.size() > 100;
    }
    EXPECT_TRUE(overlong);
}

TEST(FieldModel, QuietDaysVarySmoothlyByTensOfNanotesla)
{
    const TFieldModel m(3, false, 0);
    const double day = At("2003-06-15T00:00:00");
    for (char axis : {'X', 'Y', 'Z'}) {
        double low = 1e9, high = -1e9, sumSq = 0;
        for (int minute = 0; minute < 1440; ++minute) {
            const double q = m.Quiet(axis, day + minute * 60);
            low = std::min(low, q);
            high = std::max(high, q);
        }
        EXPECT_GT(high - low, 10) << axis;
        EXPECT_LT(high - low, 100) << axis;
        for (int s = 0; s < 3600; ++s) sumSq += m.Noise(axis, day + s) * m.Noise(axis, day + s);
        const double sigma = std::sqrt(sumSq / 3600);
        EXPECT_GT(sigma, 0.5) << axis;
        EXPECT_LT(sigma, 5) << axis;
    }
}

TEST(FieldModel, SpikesLastOneMinuteAndStepsOccur)
{
    const TFieldModel m(11, false, 0);
    const double start = At("2003-01-01T00:00:00");
    int spikes = 0, steps = 0;
    double previousStep = m.Steps('X', start);
    for (int minute = 0; minute < 30 * 1440; ++minute) {
        const double t = start + minute * 60;
        if (m.Spike('X', t) != 0) {
            ++spikes;
            EXPECT_EQ(m.Spike('X', t + 59), m.Spike('X', t));
            EXPECT_GE(std::fabs(m.Spike('X', t)), 30);
        }
        const double step = m.Steps('X', t);
        steps += std::fabs(step - previousStep) >= 9;
        previousStep = step;
    }
    EXPECT_GT(spikes, 30 * 1);
    EXPECT_LT(spikes, 30 * 10);
    EXPECT_GT(steps, 10);
    EXPECT_LT(steps, 60);
}

TEST(FieldModel, StormReachesK6WithTheStandardLimits)
{
    const double start = At("2003-10-29T06:00:00");
    const TFieldModel storm(5, true, start + 600), quiet(5, false, 0);
    // K from the largest range of the per-minute readings in a three-hour block.
    auto maxK = [&](const TFieldModel& m, char axis) {
        int best = 0;
        for (int block = 0; block < 8; ++block) {
            double low = 1e9, high = -1e9;
            for (int minute = 0; minute < 180; ++minute) {
                const double v = m.Value(axis, start + block * 10800 + minute * 60 + 30);
                low = std::min(low, v);
                high = std::max(high, v);
            }
            int k = 9;
            for (int n = 0; n < KLimitCount; ++n)
                if (StandardKLimits[n] >= high - low) {
                    k = n;
                    break;
                }
            best = std::max(best, k);
        }
        return best;
    };
    for (char axis : {'X', 'Y', 'Z'}) {
        EXPECT_GE(maxK(storm, axis), 6) << axis;
        EXPECT_LE(maxK(quiet, axis), 5) << axis;
    }
    EXPECT_EQ(storm.Storm('X', start), 0);
}

TEST(DevSimProgram, HelpNamesEveryOptionAndBadOptionsFail)
{
    const std::string program = MOX_BINARY_DIR "/bin/mox-devsim";
    FILE* help = popen((program + " --help").c_str(), "r");
    ASSERT_NE(help, nullptr);
    std::string text;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, help)) text += buffer;
    EXPECT_EQ(pclose(help), 0);
    for (const char* option : {"--link", "--interval", "--speed", "--start", "--sensors", "--no-letters", "--params",
                               "--fault", "silent", "one-copy", "bad-copy", "bad-echo", "garbage", "hangup-after=N",
                               "--hangup-pause", "--open-quiet", "--storm", "--help"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
    for (const char* bad : {" --sensors 3", " --start 2003-13-01T00:00:00", " --fault loud", " --interval 0",
                            " --hangup-pause -1", " --open-quiet x"})
        EXPECT_NE(std::system((program + bad + " >/dev/null 2>&1").c_str()), 0) << bad;
}
