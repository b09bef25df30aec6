// The upload command as a process of its own: what it says reaches the observer, not the
// station's output.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "FakeStation.h"
#include "station/runtime/UploadRunner.h"

namespace {

class UploadRunnerTest : public ::testing::Test {
protected:
    void SetUp() override { CoreApp(); }

    std::string Script(const std::string& body)
    {
        const std::string script = dir / "upload.sh";
        WriteBytes(script, "#!/bin/sh\n" + body);
        chmod(script.c_str(), 0755);
        return script;
    }

    TempDir dir;
};

}  // namespace

TEST_F(UploadRunnerTest, AChattyUploadLeavesTheStationsOutputAloneAndItsLastWordsAreTold)
{
    const std::string script = Script("head -c 5000000 /dev/zero | tr '\\0' 'x'\necho\n"
                                      "echo 'Anmeldung fehlgeschlagen' >&2\nexit 3\n");
    // The station's own output goes to a file for the time of the run.
    std::fflush(stdout);
    const int saved = dup(1);
    const int file = open((dir / "stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(file, 0);
    dup2(file, 1);
    close(file);
    UploadRunner runner;
    std::string problem;
    runner.OnProblem = [&](const std::string& p) { problem = p; };
    const bool started = runner.Start(script, "", 60000);
    RunUntil([&] { return !problem.empty(); }, 60000);
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    ASSERT_TRUE(started);
    EXPECT_LT(std::filesystem::file_size(dir / "stdout.txt"), 1000u);
    EXPECT_NE(problem.find("endete mit Code 3"), std::string::npos) << problem.substr(0, 300);
    EXPECT_NE(problem.find("Anmeldung fehlgeschlagen"), std::string::npos) << problem.substr(0, 300);
    EXPECT_LT(problem.size(), 2000u);
}

TEST_F(UploadRunnerTest, AnUploadThatCannotStartIsNamedAndTheNextOneStarts)
{
    UploadRunner runner;
    EXPECT_FALSE(runner.Start(dir / "no-such-script", "", 1000));
    EXPECT_NE(runner.LastError().find("no-such-script"), std::string::npos);
    EXPECT_TRUE(runner.Start("/bin/true", "", 1000));
}
