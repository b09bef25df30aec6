// The benchmark tools as docs/benchmarks.md calls them, each on a tiny input: every one ends
// well and prints its rows. Timings are never checked, only that the figures are there. The
// tools run side by side, started together before the first test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../support/Process.h"
#include "../support/TempDir.h"

namespace {

const std::string kBin = MOX_BINARY_DIR "/bin/";
constexpr int kLong = 300000;

// The folder of the whole suite: the background runs outlive a single test.
std::string Folder() { return std::string(MOX_BINARY_DIR) + "/test-tmp/BenchTools/"; }

struct Finished {
    int status = -1;
    std::string output;  // stdout and stderr
};

// A tool running beside the tests until one of them asks for its end.
struct Started {
    std::unique_ptr<ChildProcess> process;
    std::string outputFile;
};

std::map<std::string, Started>& Background()
{
    static std::map<std::string, Started> runs;
    return runs;
}

void Start(const std::string& name, const std::vector<std::string>& argv)
{
    Started& s = Background()[name];
    s.outputFile = Folder() + name + ".out";
    s.process = std::make_unique<ChildProcess>(argv, s.outputFile);
}

Finished Finish(const std::string& name)
{
    Started& s = Background().at(name);
    Finished f;
    f.status = s.process->Started() ? s.process->Wait(kLong) : -1;
    f.output = ReadBytes(s.outputFile);
    return f;
}

Finished RunTool(const std::string& name, const std::vector<std::string>& argv)
{
    Start(name, argv);
    return Finish(name);
}

// A line of the output starting with `start` (a table row by its first cells).
bool HasLine(const std::string& output, const std::string& start)
{
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(start, 0) == 0) return true;
    return false;
}

class BenchTools : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::filesystem::remove_all(Folder());
        std::filesystem::create_directories(Folder() + "logger");
        Start("conversion", {kBin + "mox-bench", "--runs", "1", Folder() + "conversion"});
        Start("render", {kBin + "mox-bench-render", "1"});
        Start("logger", {kBin + "mox-bench-logger", Folder() + "logger", "20"});
        Start("network", {kBin + "mox-bench-network", "1", "2"});
        Start("web", {kBin + "mox-bench-web", "1"});
        Start("peers", {"/usr/bin/python3", MOX_SOURCE_DIR "/tools/bench/peers.py", MOX_BINARY_DIR, "--runs", "1",
                        "--days", "2", "--hours", "1"});
    }
    static void TearDownTestSuite()
    {
        Background().clear();
        std::filesystem::remove_all(Folder());
    }
};

TEST_F(BenchTools, ConversionTablesWithTheirFloors)
{
    const Finished f = Finish("conversion");
    ASSERT_EQ(f.status, 0) << f.output;
    for (const char* row : {"| two sensors X Y, 1 line/s | 86400 | 3.37 |", "| one sensor Z, 1 line/s | 86400 |",
                            "| one sensor without letter, 1 line/10 s | 8640 |",
                            "| raw log of the day, the day before as raw log only | 4 |",
                            "| .mox of the day, the day before as .mox | 4 |"})
        EXPECT_TRUE(HasLine(f.output, row)) << row << "\n" << f.output;
    EXPECT_TRUE(HasLine(f.output, "| Raw log | Lines | MB | CPU ms | Floor: read CPU ms | Floor: split CPU ms |"))
        << f.output;
}

TEST_F(BenchTools, LogsOneConversionAndAFolderOfDays)
{
    const std::string days = Folder() + "days";
    Finished f = RunTool("logs", {kBin + "mox-bench", "--logs", days, "--days", "2"});
    ASSERT_EQ(f.status, 0) << f.output;
    EXPECT_TRUE(std::filesystem::exists(days + "/20220101.txt"));
    EXPECT_TRUE(std::filesystem::exists(days + "/20220102.txt"));
    EXPECT_FALSE(std::filesystem::exists(days + "/20220103.txt"));

    // Convert and the line split, processor milliseconds.
    f = RunTool("convert", {kBin + "mox-bench", "--convert", days + "/20220101.txt", "--runs", "2"});
    ASSERT_EQ(f.status, 0) << f.output;
    std::istringstream figures(f.output);
    double convert = 0, split = 0;
    EXPECT_TRUE(figures >> convert >> split) << f.output;
    EXPECT_GT(convert, 0);
    EXPECT_GT(split, 0);

    f = RunTool("year", {kBin + "mox-bench", "--year", days, "--days", "2", "--runs", "1"});
    ASSERT_EQ(f.status, 0) << f.output;
    for (const char* row : {"2 days of one-second logs", "| floor: `cat` of the logs |",
                            "| floor: line split of the logs (`awk 'END { print NR }'`) |",
                            "| `MOX_Convert auto`, all cores |", "| `MOX_Convert auto`, one core (`taskset -c 0`) |"})
        EXPECT_TRUE(HasLine(f.output, row)) << row << "\n" << f.output;
    EXPECT_TRUE(std::filesystem::exists(days + "/20220102.mox"));

    // One measurement at a time, and counts above zero.
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--convert", days + "/20220101.txt", days}, {"--runs", "0"}, {"--days", "3"}}) {
        std::vector<std::string> argv = {kBin + "mox-bench"};
        argv.insert(argv.end(), wrong.begin(), wrong.end());
        EXPECT_EQ(RunTool("wrong", argv).status, 2) << wrong[0];
    }
}

TEST_F(BenchTools, DrawingAndTheDayLogger)
{
    Finished f = Finish("render");
    ASSERT_EQ(f.status, 0) << f.output;
    for (const char* row : {"| ShowMagnetogramm 1000x600 |", "| SaveDiagramImage PNG 1000x600 |", "file sizes: PNG",
                            "| 642x376 | palette | none |", "| 400x250 | RGB | adaptive (all five) |"})
        EXPECT_TRUE(HasLine(f.output, row)) << row << "\n" << f.output;

    f = Finish("logger");
    ASSERT_EQ(f.status, 0) << f.output;
    EXPECT_TRUE(HasLine(f.output, "| after every line |")) << f.output;
    EXPECT_TRUE(HasLine(f.output, "| at most every 10 s |")) << f.output;
}

TEST_F(BenchTools, WebFaceAnswersAndPushesLines)
{
    const Finished f = Finish("web");
    ASSERT_EQ(f.status, 0) << f.output;
    for (const char* row : {"| in-process Bench/raw csv | 86400 |", "| HTTP Bench/raw csv | 86400 |",
                            "| HTTP Bench/minute json | 1440 |", "| 1 | 1 of 1 |", "| 100 |"})
        EXPECT_TRUE(HasLine(f.output, row)) << row << "\n" << f.output;
}

TEST_F(BenchTools, NetworkOfTwoStations)
{
    const Finished f = Finish("network");
    ASSERT_EQ(f.status, 0) << f.output;
    EXPECT_TRUE(HasLine(f.output, "| Stations |")) << f.output;
    EXPECT_TRUE(HasLine(f.output, "| 2 ")) << f.output;
}

// The peers draw this project's picture: as many points per curve (an hour of minutes), the
// same size; plain Python takes the same minute values.
TEST_F(BenchTools, PeersSideBySide)
{
    const Finished f = Finish("peers");
    ASSERT_EQ(f.status, 0) << f.output;
    EXPECT_NE(f.output.find("| floor: line split (read, find every line end) |"), std::string::npos) << f.output;
    for (const char* row :
         {"| one day, 3600 lines, ", "|  | this project |", "| one day: whole process (wall ms) | floor: `/bin/true` |",
          "|  | floor: `cat` |", "| 2 days folder: whole process (wall ms) |",
          "| picture 642 x 376 PNG from the raw log: whole process (wall ms) | floor: `/bin/true` |", "|  | gnuplot |",
          "|  | matplotlib |", "- this project: 60 and 60, 642x376", "- gnuplot: 60 and 60, 642x376",
          "- matplotlib: 60 and 60, 642x376", "- plain Python: 2880 of 2880"})
        EXPECT_TRUE(HasLine(f.output, row)) << row << "\n" << f.output;
    EXPECT_EQ(f.output.find("not installed"), std::string::npos) << f.output;
}

}  // namespace
