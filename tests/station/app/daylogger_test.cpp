#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "../../support/TempDir.h"
#include "mox/rtl/SysUtils.h"
#include "station/app/DayLogger.h"

namespace {

class DayLoggerTest : public ::testing::Test {
protected:
    void SetUp() override { saved = FormatSettings(); }
    void TearDown() override { FormatSettings() = saved; }
    TempDir dir;
    TFormatSettings saved;
};

using Outcome = DayLogger::Outcome;

}  // namespace

TEST_F(DayLoggerTest, EachLineGoesToTheFileOfItsOwnDate)
{
    DayLogger log(dir.str());
    EXPECT_EQ(log.HandleLine("15.06.03 23:59:59:  -87"), Outcome::Logged);
    EXPECT_EQ(log.LogFileName(), dir / "20030615.txt");
    EXPECT_EQ(log.HandleLine("16.06.03 00:00:00:  -88"), Outcome::Logged);
    EXPECT_EQ(log.LogFileName(), dir / "20030616.txt");
    EXPECT_EQ(log.HandleLine("15.06.03 23:59:58:  -86"), Outcome::Logged);  // a late line
    EXPECT_EQ(FormatSettings().ShortDateFormat, "yyyymmdd");
    EXPECT_EQ(ReadBytes(dir / "20030615.txt"), "15.06.03 23:59:59:  -87\r\n15.06.03 23:59:58:  -86\r\n");
    EXPECT_EQ(ReadBytes(dir / "20030616.txt"), "16.06.03 00:00:00:  -88\r\n");

    // After a pause the day's file is appended to, never overwritten.
    log.Close();
    EXPECT_EQ(log.LogFileName(), "");
    EXPECT_EQ(log.HandleLine("15.06.03 23:59:59:  -85"), Outcome::Logged);
    EXPECT_EQ(ReadBytes(dir / "20030615.txt"),
              "15.06.03 23:59:59:  -87\r\n15.06.03 23:59:58:  -86\r\n15.06.03 23:59:59:  -85\r\n");

    // Two-digit years fall into the window of 50 years.
    EXPECT_EQ(log.HandleLine("01.01.99 00:00:00: 1"), Outcome::Logged);
    EXPECT_EQ(log.LogFileName(), dir / "19990101.txt");
}

TEST_F(DayLoggerTest, DeviceMessagesAndBadDates)
{
    DayLogger log(dir.str());
    for (const char* msg : {" 15.06.03 12:00:00: 1", "2003-06-15 12:00:00: 1", "MOX ready", ""})
        EXPECT_EQ(log.HandleLine(msg), Outcome::Ignored) << msg;
    EXPECT_EQ(log.HandleLine("32.13.03 12:00:00: 1"), Outcome::Rejected);
    EXPECT_NE(log.Error().find("32.13.03"), std::string::npos);
    EXPECT_EQ(log.LogFileName(), "");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}

TEST_F(DayLoggerTest, MissingFolderFailsNamingItAndRecoversWhenItAppears)
{
    const std::string folder = dir / "daten" + "/";
    DayLogger log(folder);
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:00: 1"), Outcome::Failed);
    EXPECT_NE(log.Error().find(folder + "20030615.txt"), std::string::npos) << log.Error();
    EXPECT_NE(log.Error().find("No such file"), std::string::npos) << log.Error();
    std::filesystem::create_directory(folder);
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:01: 2"), Outcome::Logged);
    EXPECT_EQ(ReadBytes(folder + "20030615.txt"), "15.06.03 12:00:01: 2\r\n");
}

TEST_F(DayLoggerTest, AFullMediumNeverLeavesHalfALine)
{
    DayLogger log(dir.str());
    ASSERT_EQ(log.HandleLine("15.06.03 12:00:00: 1"), Outcome::Logged);
    const std::string good = ReadBytes(dir / "20030615.txt");

    // A file size limit just past the end stands in for a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved, small;
    getrlimit(RLIMIT_FSIZE, &saved);
    small = saved;
    small.rlim_cur = good.size() + 10;
    setrlimit(RLIMIT_FSIZE, &small);
    const Outcome full = log.HandleLine("15.06.03 12:00:01: 22222222222222");
    const std::string error = log.Error();
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(full, Outcome::Failed);
    EXPECT_NE(error.find("20030615.txt"), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(dir / "20030615.txt"), good);
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:02: 3"), Outcome::Logged);
    EXPECT_EQ(ReadBytes(dir / "20030615.txt"), good + "15.06.03 12:00:02: 3\r\n");
}

TEST(DayLoggerTitle, ComponentLettersInAxisOrder)
{
    EXPECT_EQ(DayLogger::ComponentText("15.06.03 12:00:00: Z, 5 X, 7"), "X/Z");
    EXPECT_EQ(DayLogger::ComponentText("15.06.03 12:00:00: X, 1 Y, 2 Z, 3"), "X/Y/Z");
    EXPECT_EQ(DayLogger::ComponentText("15.06.03 12:00:00:  -87"), "");
    EXPECT_EQ(DayLogger::ComponentText("y, 5"), "");  // letters are matched in capitals only
}
