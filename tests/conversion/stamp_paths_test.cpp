// The device's own time stamps are read by a fast path and everything else by the general
// date scanner. Both must give byte for byte the same day file and report: damaged logs made
// from a real day are converted both ways and compared.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "ConversionFiles.h"
#include "RealSeconds.h"
#include "mox/Mm.h"
#include "mox/RawLog.h"
#include "mox/rtl/SysUtils.h"

namespace {

// Faults of a serial line and of a power cut, and stamps that are close to the device's form
// but not quite it, each at the start of a line or in place of one.
std::string Damaged(std::mt19937& random, const std::string& good)
{
    std::string s = good;
    switch (random() % 16) {
    case 0: return good.substr(0, random() % good.size());
    case 1:
        for (int i = 0; i < 3; ++i) s[random() % 20] = char(random() % 128);
        return s;
    case 2: return "11" + good.substr(2);                       // another date
    case 3: return "31.02.22" + good.substr(8);                 // no such date
    case 4: return good.substr(0, 9) + "24" + good.substr(11);  // no such hour
    case 5: return good.substr(0, 12) + "60" + good.substr(14);
    case 6: return good.substr(0, 15) + "61" + good.substr(17);
    case 7: return good.substr(0, 17) + ".5:" + good.substr(18);  // milliseconds
    case 8: return " " + good;
    case 9: return good.substr(0, 8) + "  " + good.substr(9);
    case 10: return good.substr(0, 6) + "2022" + good.substr(8);  // four-digit year
    case 11: return good.substr(1);                               // one-digit day
    case 12: return good.substr(0, 17) + " " + good.substr(18);   // no colon after the time
    case 13: return good.substr(0, 18) + " X  12 Y  34";          // no commas
    case 14: return "00.00.00 00:00:00:" + good.substr(18);
    default: return std::string(random() % 40, '\0');
    }
}

std::string MakeLog(const std::vector<SecondRecord>& records, const std::string& letters, int step, unsigned seed)
{
    std::mt19937 random(seed);
    std::string text;
    for (const SecondRecord& r : records) {
        if (r.second % step) continue;
        long readings[2];
        for (int s = 0; s < 2; ++s) {
            const double x = r.v[letters == "Z" ? 2 : s];
            readings[s] = std::isnan(x) ? 0 : std::lround(x);
        }
        std::string line = DeviceStamp(10, 8, 2022, r.second) + DevicePayload(letters, readings);
        if (random() % 50 == 0) line = Damaged(random, line);
        text += line + (random() % 7 ? "\r\n" : "\n");
    }
    return text;
}

}  // namespace

TEST(StampPaths, FastAndGeneralScannerWriteTheSameFiles)
{
    const std::string source = std::string(REAL_DATA_DIR) + "/wic20220810vsec.sec";
    if (!FileExists(source)) GTEST_SKIP() << "no real data at " << source;
    const auto records = ReadIagaSeconds(source);
    ASSERT_EQ(records.size(), 86400u);

    struct Variant {
        std::string letters;
        int step;
        std::string head;  // lines before the day's own, as a restarted device leaves them
    };
    const Variant variants[] = {
        {"XY", 1, ""},
        {"Z", 5, "\r\n10.08.22 00:00:00: Z,  1\r\n"},
        {"", 10, "1.8.22 1:2:3:  5\r\n10.08.22 00:00:00.250:  7\r\n"},
        {"XY", 2, "garbage\r\n30.12.99 00:00:00: X, 1 Y, 2\r\n"},
    };
    unsigned seed = 1;
    for (const Variant& v : variants) {
        SCOPED_TRACE("letters '" + v.letters + "' every " + std::to_string(v.step) + " s");
        TempDir dir;
        const std::string text = v.head + MakeLog(records, v.letters, v.step, seed++);
        TMOX_Diagram d;
        d.set_1sensor_vec(vecBz);
        for (const char* name : {"fast", "general"}) {
            WriteBytes(dir / (std::string(name) + ".txt"), text);
            RawLogOptions options;
            options.generalStampsOnly = std::string(name) == "general";
            d.Convert(dir / (std::string(name) + ".txt"), options);
        }
        const std::string mox = ReadBytes(dir / "fast.mox"), report = ReadBytes(dir / "fast.log");
        ASSERT_GT(mox.size(), 1440u * 4);
        EXPECT_TRUE(mox == ReadBytes(dir / "general.mox"));
        EXPECT_TRUE(report == ReadBytes(dir / "general.log"));
        // The damage is there and was seen.
        EXPECT_GT(std::count(report.begin(), report.end(), '\n'), 100);
    }
}
