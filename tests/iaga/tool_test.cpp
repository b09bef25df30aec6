#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <tuple>

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

// Day files of a network's archive go under the code their station's record names, into one
// folder without one station's file taking the other's name; this machine's code is for its own
// days. A station whose record names no code is refused before anything is written.
TEST(MoxIaga, ExportsEachArchiveStationUnderItsOwnCodeAndRecord)
{
    TempDir dir;
    WriteBytes(dir / "mox.ini", "[MOX-Header]\r\nOrt=Hiesig\r\n[IAGA]\r\nCode=LOC\r\n");
    const std::vector<Section> day = {{"By", Minutes([](int m) { return m; })}};
    const std::vector<std::array<std::string, 4>> folders = {{"Nord", "Kiel", "Team Nord", "NRD"},
                                                             // converted before its record came
                                                             {"Sued", "Passau", "MOX-Station", "SUD"},
                                                             {"own", "Hiesig", "Zentrale", ""},
                                                             {"West", "Aachen", "Team West", ""}};
    for (const auto& [folder, place, author, code] : folders) {
        std::filesystem::create_directories(dir / folder);
        WriteBytes(dir / (folder + "/20030615.mox"), DayFileText(day, "15.06.03", place, author));
        if (folder != "own")
            WriteBytes(dir / (folder + "/station.ini"), "[MOX-Header]\r\nOrt=" + place + "\r\n" +
                                                            (code.empty() ? "" : "[IAGA]\r\nCode=" + code + "\r\n"));
    }
    const std::string share = dir / "share";
    const Result r = RunTool(dir,
                             "export --out '" + share + "' '" + dir / "Nord/20030615.mox" + "' '" +
                                 dir / "Sued/20030615.mox" + "' '" + dir / "own/20030615.mox" + "'",
                             "mox.ini");
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out,
              share + "/nrd20030615vmin.min\n" + share + "/sud20030615vmin.min\n" + share + "/loc20030615vmin.min\n");
    for (const auto& [file, place, code] :
         {std::tuple{"nrd", "Kiel", "NRD"}, {"sud", "Passau", "SUD"}, {"loc", "Hiesig", "LOC"}}) {
        const std::string text = ReadBytes(share + "/" + file + "20030615vmin.min");
        EXPECT_NE(text.find(" Station Name           " + std::string(place) + " "), std::string::npos) << file;
        EXPECT_NE(text.find(" IAGA CODE              " + std::string(code) + " "), std::string::npos) << file;
    }
    // The placeholder is told where the station's record comes from, not this machine's settings.
    EXPECT_NE(r.err.find(dir / "Sued/station.ini"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(dir / "mox.ini"), std::string::npos) << r.err;

    const Result west =
        RunTool(dir, "export --out '" + dir / "west" + "' '" + dir / "West/20030615.mox" + "'", "mox.ini");
    EXPECT_EQ(west.exit, 2);
    EXPECT_NE(west.err.find(dir / "West/station.ini"), std::string::npos) << west.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "west"));
}
