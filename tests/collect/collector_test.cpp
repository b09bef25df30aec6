// The collector's filing rules without a broker: day files as the station writes them, second
// copies dropped also after a restart, foreign topics and lines refused; and its command line.
#include <gtest/gtest.h>

#include <filesystem>

#include "../support/TempDir.h"
#include "collect/Collector.h"
#include "collect/Options.h"

namespace {

using Result = Collector::Result;

}  // namespace

TEST(Collector, FilesEachStationsLinesByTheirOwnDateAndDropsSecondCopies)
{
    TempDir dir;
    Collector c(dir.str());
    EXPECT_EQ(c.Take("mox/Nord/raw", "08.12.26 23:59:59: X,  1"), Result::Filed);
    EXPECT_EQ(c.Take("mox/Sued-2/raw", "08.12.26 23:59:59: Z,  7"), Result::Filed);
    EXPECT_EQ(c.Take("mox/Nord/raw", "09.12.26 00:00:00: X,  2"), Result::Filed);
    // QoS 1 repeats what was in flight, also lines of the day before.
    EXPECT_EQ(c.Take("mox/Nord/raw", "08.12.26 23:59:59: X,  1"), Result::Duplicate);
    EXPECT_EQ(c.Take("mox/Nord/raw", "09.12.26 00:00:00: X,  2"), Result::Duplicate);
    EXPECT_EQ(c.Take("mox/Nord/raw", "09.12.26 00:00:01: X,  3"), Result::Filed);
    // The same line from another station is that station's line.
    EXPECT_EQ(c.Take("mox/Sued-2/raw", "09.12.26 00:00:01: X,  3"), Result::Filed);
    EXPECT_EQ(ReadBytes(dir / "Nord/20261208.txt"), "08.12.26 23:59:59: X,  1\r\n");
    EXPECT_EQ(ReadBytes(dir / "Nord/20261209.txt"), "09.12.26 00:00:00: X,  2\r\n09.12.26 00:00:01: X,  3\r\n");
    EXPECT_EQ(ReadBytes(dir / "Sued-2/20261208.txt"), "08.12.26 23:59:59: Z,  7\r\n");
    EXPECT_EQ(c.LinesFiled(), 5u);
    EXPECT_EQ(c.Duplicates(), 2u);
}

TEST(Collector, ARestartedCollectorKnowsTheLinesAlreadyFiled)
{
    TempDir dir;
    {
        Collector c(dir.str());
        for (int s = 0; s < 60; ++s)
            c.Take("mox/Nord/raw", "09.12.26 10:00:" + std::string(s < 10 ? "0" : "") + std::to_string(s) + ": X,  1");
    }
    const std::string before = ReadBytes(dir / "Nord/20261209.txt");
    Collector again(dir.str());
    EXPECT_EQ(again.Take("mox/Nord/raw", "09.12.26 10:00:58: X,  1"), Result::Duplicate);
    EXPECT_EQ(again.Take("mox/Nord/raw", "09.12.26 10:00:59: X,  1"), Result::Duplicate);
    EXPECT_EQ(ReadBytes(dir / "Nord/20261209.txt"), before);
    EXPECT_EQ(again.Take("mox/Nord/raw", "09.12.26 10:01:00: X,  1"), Result::Filed);
}

TEST(Collector, RefusesForeignTopicsStationIdsAndLines)
{
    TempDir dir;
    Collector c(dir.str());
    for (const char* topic : {"mox/Nord/status", "mox/../raw", "mox/a b/raw", "mox//raw", "other/Nord/raw",
                              "mox/Nord/raw/x"}) {
        EXPECT_EQ(c.Take(topic, "09.12.26 10:00:00: X,  1"), Result::Refused) << topic;
        EXPECT_NE(c.Message().find(topic), std::string::npos);
    }
    for (const char* line : {"MOX bereit", "32.13.26 10:00:00: X,  1", "09.12.26 10:00:00: X,\r\n09.12.26 x"})
        EXPECT_EQ(c.Take("mox/Nord/raw", line), Result::Refused) << line;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}

TEST(Collector, AnUnwritableArchiveFailsNamingTheFile)
{
    TempDir dir;
    WriteBytes(dir / "Nord", "a file where the station's folder belongs");
    Collector c(dir.str());
    EXPECT_EQ(c.Take("mox/Nord/raw", "09.12.26 10:00:00: X,  1"), Result::Failed);
    EXPECT_NE(c.Message().find("Nord/20261209.txt"), std::string::npos) << c.Message();
    EXPECT_EQ(c.Take("mox/West/raw", "09.12.26 10:00:00: X,  1"), Result::Filed);
}

TEST(Collector, KeepsFewFilesOpenWithManyStations)
{
    TempDir dir;
    Collector c(dir.str(), 4);
    for (int round = 0; round < 2; ++round)
        for (int s = 0; s < 20; ++s)
            EXPECT_EQ(c.Take("mox/S" + std::to_string(s) + "/raw", "09.12.26 10:00:0" + std::to_string(round) + ": X,  1"),
                      Result::Filed);
    int open = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(e.path(), ec).string().find(dir.path.string()) == 0) ++open;
    }
    EXPECT_LE(open, 4);
    EXPECT_EQ(ReadBytes(dir / "S7/20261209.txt"), "09.12.26 10:00:00: X,  1\r\n09.12.26 10:00:01: X,  1\r\n");
}

TEST(CollectOptions, RequiredValuesPortsAndThePasswordFile)
{
    CollectOptions o;
    std::string error;
    ASSERT_TRUE(ParseCollectOptions({"--host", "h", "--root", "/a", "--port", "8883", "--id", "c1", "--user", "u",
                                     "--password-file", "/p", "--cafile", "/ca"},
                                    o, error));
    EXPECT_EQ(o.Port, 8883);
    EXPECT_EQ(o.ClientId, "c1");
    EXPECT_EQ(o.PasswordFile, "/p");
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--root", "/a"}, {"--host", "h"}, {"--host", "h", "--root", "/a", "--port", "0"},
             {"--host", "h", "--root", "/a", "--port", "18x"}, {"--host", "h", "--root"}, {"--bogus"}}) {
        CollectOptions x;
        error.clear();
        EXPECT_FALSE(ParseCollectOptions(bad, x, error));
        EXPECT_FALSE(error.empty());
    }

    TempDir dir;
    WriteBytes(dir / "pw", "s3cret\r\nsecond line\n");
    std::string password;
    ASSERT_TRUE(ReadPasswordFile(dir / "pw", password, error));
    EXPECT_EQ(password, "s3cret");
    WriteBytes(dir / "empty", "\n");
    EXPECT_FALSE(ReadPasswordFile(dir / "empty", password, error));
    EXPECT_NE(error.find(dir / "empty"), std::string::npos);
    EXPECT_FALSE(ReadPasswordFile(dir / "none", password, error));
    EXPECT_NE(error.find(dir / "none"), std::string::npos);
}
