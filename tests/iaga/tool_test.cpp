#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "../support/DayFiles.h"
#include "IagaFiles.h"

namespace {

struct Result {
    int exit = -1;
    std::string out, err;
};

// Runs mox-iaga with the given arguments (shell words) and settings file.
Result RunTool(const TempDir& dir, const std::string& args, const std::string& ini = "none.ini")
{
    const std::string cmd = "MOX_INI='" + dir / ini + "' '" + MOX_BINARY_DIR + "/bin/mox-iaga' " + args + " >'" +
                            dir / "stdout" + "' 2>'" + dir / "stderr" + "'";
    const int status = std::system(cmd.c_str());
    Result r;
    r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadBytes(dir / "stdout");
    r.err = ReadBytes(dir / "stderr");
    return r;
}

}  // namespace

TEST(MoxIaga, HelpVersionAndUsageErrors)
{
    TempDir dir;
    const Result help = RunTool(dir, "--help");
    EXPECT_EQ(help.exit, 0);
    EXPECT_NE(help.out.find("mox-iaga import DATEI... [--out ORDNER]"), std::string::npos);
    EXPECT_NE(help.out.find("mox-iaga export DATEI.mox... [--code ABC] [--out ORDNER]"), std::string::npos);
    EXPECT_NE(help.out.find("[IAGA]"), std::string::npos);
    EXPECT_EQ(RunTool(dir, "--version").exit, 0);

    for (const char* args : {"", "convert x.min", "import", "import x.min --out", "import --code ABC x.min",
                             "export x.mox --bogus", "export x.mox --code AB", "export x.mox"}) {
        const Result r = RunTool(dir, args);
        EXPECT_EQ(r.exit, 2) << args;
        EXPECT_NE(r.err.find("mox-iaga: "), std::string::npos) << args;
    }
    EXPECT_NE(RunTool(dir, "export x.mox").err.find("[IAGA]"), std::string::npos);
}

TEST(MoxIaga, ImportGoesOnPastAFileItCannotConvert)
{
    TempDir dir;
    const std::string out = dir / "out";
    const Result r = RunTool(dir, "import '" + RealUsgs("LLO20200106vmin.min") + "' '" +
                                      RealUsgs("bou20141101vmin.min") + "' --out '" + out + "'");
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.out, out + "/bou20141101.mox\n");
    EXPECT_NE(r.err.find(RealUsgs("LLO20200106vmin.min") + ": die Elemente U, V, W, NUL"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(out + "/bou20141101.mox"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 1);
}

TEST(MoxIaga, ExportTakesTheCodeFromTheSettingsOrTheCommandLine)
{
    TempDir dir;
    WriteBytes(dir / "20261208.mox", DayFileText({{"Bx", Minutes([](int m) { return m; })}}, "08.12.26"));
    WriteBytes(dir / "mox.ini", "[IAGA]\r\nCode=plv\r\n");

    const Result fromSettings = RunTool(dir, "export '" + dir / "20261208.mox" + "'", "mox.ini");
    EXPECT_EQ(fromSettings.exit, 0) << fromSettings.err;
    EXPECT_EQ(fromSettings.out, dir / "plv20261208vmin.min\n");
    EXPECT_NE(ReadBytes(dir / "plv20261208vmin.min").find(" IAGA CODE              PLV "), std::string::npos);

    const Result given = RunTool(dir,
                                 "export --out '" + dir / "share" + "' --code XYZ '" + dir / "20261208.mox" + "' '" +
                                     dir / "missing.mox" + "'",
                                 "mox.ini");
    EXPECT_EQ(given.exit, 1);
    EXPECT_EQ(given.out, dir / "share/xyz20261208vmin.min\n");
    EXPECT_NE(given.err.find(dir / "missing.mox"), std::string::npos) << given.err;

    WriteBytes(dir / "bad.ini", "[iaga]\r\ncode=toolong\r\n");
    const Result bad = RunTool(dir, "export '" + dir / "20261208.mox" + "'", "bad.ini");
    EXPECT_EQ(bad.exit, 2);
    EXPECT_NE(bad.err.find("toolong"), std::string::npos);
}
