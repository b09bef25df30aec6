#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "../support/SmallDisk.h"
#include "../support/TempDir.h"
#include "mox/rtl/AtomicFile.h"
#include "mox/rtl/TextFile.h"

namespace {

std::vector<std::string> Entries(const TempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(AtomicFile, AWriteCutShortLeavesOneTemporaryThatTheNextWriteTakesOver)
{
    TempDir dir;
    const std::string target = dir / "mox_data.mox";
    // Leftovers of earlier versions, one per crashed process, go with the first write; a
    // temporary of a writer that still runs, or of no file, stays.
    WriteBytes(target, "alt\r\n");
    WriteBytes(dir / "mox_data.mox.tmp-999999999", "alt");
    WriteBytes(dir / "mox_data.htm", "alt");
    WriteBytes(dir / "mox_data.htm.tmp-999999998", "alt");
    WriteBytes(dir / "mox_data.mox.tmp-1", "init");
    WriteBytes(dir / "fremd.tmp-999999997", "fremd");
    ASSERT_TRUE(WriteTextLines(target, {"alt"}));
    const std::vector<std::string> others{"fremd.tmp-999999997", "mox_data.htm", "mox_data.mox", "mox_data.mox.tmp-1"};
    EXPECT_EQ(Entries(dir), others);

    // Crashes in the middle of writes, as often as they come: always the one same leftover.
    for (int crash = 0; crash < 3; ++crash) {
        const pid_t child = fork();
        if (child == 0) {
            TextWriter w(target, true);
            w.WriteLine("halb");
            _exit(0);  // no Commit, no destructor
        }
        int status;
        waitpid(child, &status, 0);
    }
    EXPECT_EQ(ReadBytes(target), "alt\r\n");
    EXPECT_TRUE(std::filesystem::exists(target + ".tmp"));
    EXPECT_EQ(Entries(dir).size(), others.size() + 1);
    // Left by another user, it is not writable for us: removed and made anew.
    chmod((target + ".tmp").c_str(), 0400);
    ASSERT_TRUE(WriteTextLines(target, {"neu"}));
    EXPECT_EQ(Entries(dir), others);
    EXPECT_EQ(ReadBytes(target), "neu\r\n");
}

TEST(AtomicFile, ConcurrentWritersOfOneTargetNeverMixTheirFiles)
{
    TempDir dir;
    const std::string target = dir / "20030615.mox";
    // Two processes, as the station and the converter, write the same day file over and over,
    // each its own lines; a reader must only ever see one writer's whole file.
    std::vector<pid_t> writers;
    for (char who : {'a', 'b'}) {
        const pid_t child = fork();
        if (child == 0) {
            const std::vector<std::string> lines(2000, std::string(40, who));
            for (int i = 0; i < 30; ++i)
                if (!WriteTextLines(target, lines)) _exit(1);
            _exit(0);
        }
        writers.push_back(child);
    }
    int bad = 0;
    for (int i = 0; i < 200; ++i) {
        const std::string text = ReadBytes(target);
        if (text.empty()) continue;
        if (text.size() != 2000 * 42 || text.find(text[0] == 'a' ? 'b' : 'a') != std::string::npos) ++bad;
    }
    for (pid_t w : writers) {
        int status;
        waitpid(w, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(Entries(dir), (std::vector<std::string>{"20030615.mox"}));
}

TEST(AtomicFile, AWriterThatHangsHoldsUpTheNextOneOnlyForItsWait)
{
    TempDir dir;
    const std::string target = dir / "mox.ini";
    WriteBytes(target, "alt");
    AtomicFile hung;
    ASSERT_TRUE(hung.Open(target));
    // The other writer is another process, as the converter beside the station; its wait is
    // shortened, the giving up is the same.
    const pid_t child = fork();
    if (child == 0) {
        AtomicFile next;
        _exit(next.Open(target, 100) ? 1 : errno == EBUSY ? 0 : 2);
    }
    int status;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadBytes(target), "alt");
    hung.Abort();
    EXPECT_TRUE(WriteTextLines(target, {"neu"}));
}

TEST(AtomicFile, AFailedWriteKeepsTheTargetAndTellsTheReasonOfTheFailingStep)
{
    TempDir dir;
    // The source of a copy is missing: the old copy stays and the reason is that of the open.
    WriteBytes(dir / "kopie.txt", "alt");
    EXPECT_FALSE(CopyFileAtomically(dir / "fehlt.txt", dir / "kopie.txt"));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(ReadBytes(dir / "kopie.txt"), "alt");

    // A full disk: the reason is the write's, not that of the cleaning up after it.
    SmallDisk disk(dir / "voll", 64);
    REQUIRE_SMALL_DISK(disk);
    const std::string target = disk / "20030615.mox";
    ASSERT_TRUE(WriteTextLines(target, {"alt"}));
    errno = 0;
    EXPECT_FALSE(WriteTextLines(target, std::vector<std::string>(5000, std::string(60, 'x'))));
    EXPECT_EQ(errno, ENOSPC) << std::strerror(errno);
    EXPECT_EQ(ReadBytes(target), "alt\r\n");
    WriteBytes(dir / "gross.txt", std::string(100000, 'y'));
    errno = 0;
    EXPECT_FALSE(CopyFileAtomically(dir / "gross.txt", disk / "kopie.txt"));
    EXPECT_EQ(errno, ENOSPC) << std::strerror(errno);
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(disk / "")) left.push_back(e.path().filename());
    EXPECT_EQ(left, (std::vector<std::string>{"20030615.mox"}));
}

// A private settings file stays private when a program rewrites it, and a file of the
// station's group stays readable by the group.
TEST(AtomicFile, ARewriteKeepsModeAndGroupOfTheFile)
{
    TempDir dir;
    const std::string target = dir / "mox.ini";
    for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0664)}) {
        WriteBytes(target, "[Batch]\n");
        ASSERT_EQ(chmod(target.c_str(), mode), 0);
        struct stat before {};
        ASSERT_EQ(stat(target.c_str(), &before), 0);
        AtomicFile f;
        ASSERT_TRUE(f.Open(target));
        ASSERT_EQ(write(f.Fd(), "x\n", 2), 2);
        ASSERT_TRUE(f.Commit());
        struct stat after {};
        ASSERT_EQ(stat(target.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode & 07777, mode) << std::oct << mode;
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_EQ(ReadBytes(target), "x\n");
    }
    if (geteuid() != 0) return;
    // Root rewriting a file of another owner (the service's settings, edited by root) hands
    // it back to that owner.
    ASSERT_EQ(chown(target.c_str(), 1, 1), 0);
    AtomicFile f;
    ASSERT_TRUE(f.Open(target));
    ASSERT_TRUE(f.Commit());
    struct stat after {};
    ASSERT_EQ(stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, 1u);
    EXPECT_EQ(after.st_gid, 1u);
}
