// The unattended run with "--iaga DIR", as cron starts the program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "../support/SmallDisk.h"
#include "ConvertFiles.h"

namespace {

int RunConvert(const TempDir& dir, const std::string& args)
{
    const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM MOX_INI=" + dir / "mox.ini" + " " +
                            MOX_BINARY_DIR + "/bin/MOX_Convert " + args + " >" + dir / "out" + " 2>" + dir / "err";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(UnattendedIaga, EveryConvertedOrUpdatedDayIsExported)
{
    TempDir dir;
    WriteBytes(dir / "mox.ini", "[IAGA]\r\nCode=TST\r\n[MOX-Header]\r\nOrt=Cronhausen\r\n");
    std::filesystem::create_directory(dir / "logs");
    const std::string logs = dir / "logs";
    WriteBytes(dir / "logs/20030614.txt", RawLog("14.06.03"));  // missing
    WriteOutdated(dir, "logs/20030615", "15.06.03");            // outdated
    WriteBytes(dir / "logs/20030613.txt", RawLog("13.06.03"));  // up to date: left alone
    WriteBytes(dir / "logs/20030613.mox", "old\r\n");
    SetFileTime(dir / "logs/20030613.txt", 0);
    SetFileTime(dir / "logs/20030613.mox", 1);
    BlockDayFile(dir, "logs/20030612", "12.06.03");  // fails

    EXPECT_EQ(RunConvert(dir, "auto " + logs + " --iaga " + dir / "share"), 1);
    const std::string out = ReadBytes(dir / "out");
    EXPECT_NE(out.find("20030614.txt\n"), std::string::npos) << out;
    EXPECT_NE(out.find(dir / "share/tst20030615vmin.min\n"), std::string::npos) << out;
    EXPECT_EQ(Names(dir / "share"), (std::vector<std::string>{"tst20030614vmin.min", "tst20030615vmin.min"}));
    const std::string shared = ReadBytes(dir / "share/tst20030614vmin.min");
    EXPECT_NE(shared.find(" Station Name           Cronhausen "), std::string::npos);
    EXPECT_NE(shared.find("2003-06-14 12:00:00.000 165     "), std::string::npos);
    EXPECT_NE(ReadBytes(dir / "err").find("20030612.txt"), std::string::npos);
}

TEST(UnattendedIaga, WithoutCodeOrFolderNothingIsConverted)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "logs");
    WriteBytes(dir / "logs/20030614.txt", RawLog("14.06.03"));
    WriteBytes(dir / "mox.ini", "[MOX-Header]\r\nOrt=Cronhausen\r\n");
    EXPECT_EQ(RunConvert(dir, "auto " + dir / "logs" + " --iaga " + dir / "share"), 2);
    EXPECT_NE(ReadBytes(dir / "err").find("[IAGA]"), std::string::npos);
    WriteBytes(dir / "mox.ini", "[IAGA]\r\nCode=TST\r\n");
    EXPECT_EQ(RunConvert(dir, "auto " + dir / "logs" + " --iaga"), 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "logs/20030614.mox"));
    EXPECT_FALSE(std::filesystem::exists(dir / "share"));
}

// A day whose IAGA-2002 file could not be written stays owed, although its day file is renewed:
// every run tries it again and fails naming it, until the file is written.
TEST(UnattendedIaga, AnExportThatFailedIsOwedUntilItIsWritten)
{
    TempDir dir;
    SmallDisk share(dir / "share", 256);  // an IAGA-2002 day is about 100 kB
    REQUIRE_SMALL_DISK(share);
    {
        std::ofstream fill(share / "fill", std::ios::binary);
        const std::string block(512, 'x');
        while (fill.write(block.data(), block.size()) && fill.flush()) {}
    }
    WriteBytes(dir / "mox.ini", "[IAGA]\r\nCode=TST\r\n");
    std::filesystem::create_directory(dir / "logs");
    WriteBytes(dir / "logs/20030614.txt", RawLog("14.06.03"));
    const std::string args = "auto " + dir / "logs" + " --iaga " + dir / "share";
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        EXPECT_EQ(RunConvert(dir, args), 1);
        EXPECT_NE(ReadBytes(dir / "err").find("20030614.mox bleibt offen"), std::string::npos)
            << ReadBytes(dir / "err");
        EXPECT_TRUE(std::filesystem::exists(dir / "logs/20030614.mox"));
    }
    std::filesystem::remove(share / "fill");
    EXPECT_EQ(RunConvert(dir, args), 0) << ReadBytes(dir / "err");
    EXPECT_EQ(ReadBytes(dir / "out"), dir / "share/tst20030614vmin.min\n");
    EXPECT_NE(ReadBytes(dir / "share/tst20030614vmin.min").find("2003-06-14 12:00:00.000"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "logs/.iaga-offen"));
    // Nothing owed any more: the next run has nothing to do.
    EXPECT_EQ(RunConvert(dir, args), 0);
    EXPECT_EQ(ReadBytes(dir / "out"), "");
}
