#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <utility>

#include "../../support/LoopDisk.h"
#include "../../support/SlowMedium.h"
#include "../../support/TempDir.h"
#include "lines/DayLogger.h"
#include "mox/rtl/SysUtils.h"

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
    FormatSettings().ShortDateFormat = "dd.mm.yy";
    EXPECT_EQ(log.HandleLine("15.06.03 23:59:59:  -87"), Outcome::Logged);
    EXPECT_EQ(log.LogFileName(), dir / "20030615.txt");
    EXPECT_EQ(log.HandleLine("16.06.03 00:00:00:  -88"), Outcome::Logged);
    EXPECT_EQ(log.LogFileName(), dir / "20030616.txt");
    EXPECT_EQ(log.HandleLine("15.06.03 23:59:58:  -86"), Outcome::Logged);  // a late line
    // The process's date format belongs to the pictures and pages, not to the logger.
    EXPECT_EQ(FormatSettings().ShortDateFormat, "dd.mm.yy");
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

TEST_F(DayLoggerTest, AMissingFolderIsMadeAndOneThatCannotBeMadeKeepsTheLinesWaiting)
{
    const std::string folder = dir / "neu/daten" + "/";
    DayLogger log(folder);
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:00: 1"), Outcome::Logged);
    EXPECT_EQ(ReadBytes(folder + "20030615.txt"), "15.06.03 12:00:00: 1\r\n");
    auto notices = log.TakeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].kind, DayLogger::Notice::Kind::FolderCreated);
    EXPECT_NE(notices[0].text.find(folder), std::string::npos) << notices[0].text;
    EXPECT_TRUE(log.TakeNotices().empty());

    // A file where the folder should be: nothing can be made, the lines wait.
    const std::string blocked = dir / "blockiert";
    WriteBytes(blocked, "");
    log.SetDataDir(blocked + "/daten/");
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:01: 2"), Outcome::Failed);
    EXPECT_NE(log.Error().find(blocked + "/daten/20030615.txt"), std::string::npos) << log.Error();
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:02: 3"), Outcome::Failed);
    EXPECT_EQ(log.Waiting(), 2u);
    EXPECT_FALSE(log.MediumFull());
    std::filesystem::remove(blocked);
    EXPECT_EQ(log.Retry(), 2u);
    EXPECT_EQ(ReadBytes(blocked + "/daten/20030615.txt"), "15.06.03 12:00:01: 2\r\n15.06.03 12:00:02: 3\r\n");
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
    EXPECT_TRUE(log.MediumFull());
    // The line that did not fit waited and goes in whole, before the next one.
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:02: 3"), Outcome::Logged);
    EXPECT_EQ(ReadBytes(dir / "20030615.txt"), good + "15.06.03 12:00:01: 22222222222222\r\n15.06.03 12:00:02: 3\r\n");
}

TEST(DayLoggerTitle, ComponentLettersInAxisOrder)
{
    EXPECT_EQ(DayLogger::ComponentText("15.06.03 12:00:00: Z, 5 X, 7"), "X/Z");
    EXPECT_EQ(DayLogger::ComponentText("15.06.03 12:00:00: X, 1 Y, 2 Z, 3"), "X/Y/Z");
    EXPECT_EQ(DayLogger::ComponentText("15.06.03 12:00:00:  -87"), "");
    EXPECT_EQ(DayLogger::ComponentText("y, 5"), "");  // letters are matched in capitals only
}

namespace {

// A medium that fills up and is freed again: writes fail with ENOSPC while full, after
// letting a few bytes through when asked to, and the cut-off may fail too.
class FillingMedium : public DayFileIO {
public:
    bool full = false;
    std::size_t bytesBeforeFull = 0;  // let this much through of the next write, then fail
    bool cutFails = false;
    bool syncFails = false;
    std::function<void()> afterWrite;  // once, after the next write

    int DataSync(int fd) override
    {
        if (syncFails) {
            errno = EIO;
            return -1;
        }
        return DayFileIO::DataSync(fd);
    }
    ssize_t Write(int fd, const char* data, std::size_t size) override
    {
        if (full && bytesBeforeFull == 0) {
            errno = ENOSPC;
            return -1;
        }
        if (full) size = std::min(size, std::exchange(bytesBeforeFull, 0));
        const ssize_t n = DayFileIO::Write(fd, data, size);
        if (afterWrite) std::exchange(afterWrite, nullptr)();
        return n;
    }
    int Truncate(int fd, off_t size) override
    {
        if (cutFails) {
            errno = EIO;
            return -1;
        }
        return DayFileIO::Truncate(fd, size);
    }
};

std::string Record(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* l : lines) text += std::string(l) + "\r\n";
    return text;
}

}  // namespace

TEST_F(DayLoggerTest, LinesWaitWhileTheMediumIsFullAndGoIntoTheirOwnDayFilesOnceEach)
{
    auto medium = std::make_unique<FillingMedium>();
    FillingMedium& m = *medium;
    DayLogger log(dir.str(), 10, std::move(medium));
    std::string published;
    log.OnWritten = [&](const std::string& line) { published += line + "\r\n"; };
    ASSERT_EQ(log.HandleLine("15.06.03 23:59:58: 1"), Outcome::Logged);

    // Full: the first line tears after a few bytes and cannot even be cut off at once.
    m.full = true;
    m.bytesBeforeFull = 7;
    m.cutFails = true;
    EXPECT_EQ(log.HandleLine("15.06.03 23:59:59: 2"), Outcome::Failed);
    EXPECT_TRUE(log.MediumFull());
    EXPECT_EQ(log.HandleLine("16.06.03 00:00:00: 3"), Outcome::Failed);
    EXPECT_EQ(log.HandleLine("device says hello"), Outcome::Ignored);
    EXPECT_EQ(log.HandleLine("16.06.03 00:00:01: 4"), Outcome::Failed);
    EXPECT_EQ(log.Waiting(), 3u);
    EXPECT_EQ(log.Retry(), 0u);

    // Space again: the torn piece goes first, then every waiting line in order, by its date.
    m.full = false;
    m.cutFails = false;
    EXPECT_EQ(log.Retry(), 3u);
    EXPECT_EQ(log.Waiting(), 0u);
    EXPECT_EQ(log.HandleLine("16.06.03 00:00:02: 5"), Outcome::Logged);
    EXPECT_EQ(ReadBytes(dir / "20030615.txt"), Record({"15.06.03 23:59:58: 1", "15.06.03 23:59:59: 2"}));
    EXPECT_EQ(ReadBytes(dir / "20030616.txt"),
              Record({"16.06.03 00:00:00: 3", "16.06.03 00:00:01: 4", "16.06.03 00:00:02: 5"}));
    EXPECT_EQ(log.Dropped(), 0u);
    // Each line is handed on once, when it is filed.
    EXPECT_EQ(published, ReadBytes(dir / "20030615.txt") + ReadBytes(dir / "20030616.txt"));
}

TEST_F(DayLoggerTest, BeyondItsRoomTheOldestWaitingLinesAreGivenUpAndCounted)
{
    auto medium = std::make_unique<FillingMedium>();
    medium->full = true;
    FillingMedium& m = *medium;
    DayLogger log(dir.str(), 10, std::move(medium), 3);
    for (const char* line : {"15.06.03 12:00:01: 1", "15.06.03 12:00:02: 2", "15.06.03 12:00:03: 3",
                             "15.06.03 12:00:04: 4", "15.06.03 12:00:05: 5"})
        EXPECT_EQ(log.HandleLine(line), Outcome::Failed);
    EXPECT_EQ(log.Waiting(), 3u);
    EXPECT_EQ(log.Dropped(), 2u);
    m.full = false;
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:06: 6"), Outcome::Logged);
    EXPECT_EQ(ReadBytes(dir / "20030615.txt"),
              Record({"15.06.03 12:00:03: 3", "15.06.03 12:00:04: 4", "15.06.03 12:00:05: 5", "15.06.03 12:00:06: 6"}));
}

TEST_F(DayLoggerTest, ADayFileDeletedOrMovedWhileOpenIsMadeAnewWithTheLinesSinceThen)
{
    auto medium = std::make_unique<FillingMedium>();
    FillingMedium& m = *medium;
    DayLogger log(dir.str(), 10, std::move(medium));
    int published = 0;
    log.OnWritten = [&](const std::string&) { ++published; };
    const std::string day = dir / "20030615.txt";
    ASSERT_EQ(log.HandleLine("15.06.03 12:00:01: 1"), Outcome::Logged);
    ASSERT_EQ(log.HandleLine("15.06.03 12:00:02: 2"), Outcome::Logged);

    // Deleted just as a line went in: the line is in the new file.
    m.afterWrite = [&] { std::filesystem::remove(day); };
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:03: 3"), Outcome::Logged);
    EXPECT_EQ(ReadBytes(day), Record({"15.06.03 12:00:03: 3"}));
    auto notices = log.TakeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].kind, DayLogger::Notice::Kind::FileRenewed);
    EXPECT_NE(notices[0].text.find(day), std::string::npos) << notices[0].text;

    // Moved away, between two lines or just after one: its lines go with it, the next line
    // starts the new file.
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:04: 4"), Outcome::Logged);
    m.afterWrite = [&] { std::filesystem::rename(day, dir / "weg.txt"); };
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:05: 5"), Outcome::Logged);
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:06: 6"), Outcome::Logged);
    std::filesystem::rename(day, dir / "weg2.txt");
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:07: 7"), Outcome::Logged);
    EXPECT_EQ(ReadBytes(dir / "weg.txt"),
              Record({"15.06.03 12:00:03: 3", "15.06.03 12:00:04: 4", "15.06.03 12:00:05: 5"}));
    EXPECT_EQ(ReadBytes(dir / "weg2.txt"), Record({"15.06.03 12:00:06: 6"}));
    EXPECT_EQ(ReadBytes(day), Record({"15.06.03 12:00:07: 7"}));
    EXPECT_EQ(log.TakeNotices().size(), 2u);
    EXPECT_EQ(published, 7);  // the line written again into the new file is not handed on twice
}

TEST_F(DayLoggerTest, LinesWhoseSyncFailedAreWrittenAgainOnceAndToldAsWaiting)
{
    auto medium = std::make_unique<FillingMedium>();
    FillingMedium& m = *medium;
    DayLogger log(dir.str(), 3600, std::move(medium));
    std::string published;
    log.OnWritten = [&](const std::string& line) { published += line + "\r\n"; };
    ASSERT_EQ(log.HandleLine("15.06.03 12:00:00: 1"), Outcome::Logged);  // the first line is synced
    ASSERT_EQ(log.HandleLine("15.06.03 12:00:01: 2"), Outcome::Logged);
    ASSERT_EQ(log.HandleLine("15.06.03 12:00:02: 3"), Outcome::Logged);

    // The written lines never reached the medium: they wait again.
    m.syncFails = true;
    log.Sync();
    EXPECT_EQ(log.Waiting(), 2u);
    EXPECT_NE(log.Error().find("20030615.txt"), std::string::npos) << log.Error();
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:03: 4"), Outcome::Logged);  // written, not yet synced
    log.Sync();  // fails again: everything since the last good sync waits
    EXPECT_EQ(log.Waiting(), 3u);

    // Cut back to the synced line, then each line once, in order.
    m.syncFails = false;
    EXPECT_EQ(log.Retry(), 3u);
    EXPECT_EQ(log.Waiting(), 0u);
    EXPECT_EQ(log.Error(), "");
    const std::string all =
        Record({"15.06.03 12:00:00: 1", "15.06.03 12:00:01: 2", "15.06.03 12:00:02: 3", "15.06.03 12:00:03: 4"});
    EXPECT_EQ(ReadBytes(dir / "20030615.txt"), all);
    EXPECT_EQ(published, all);
}

TEST_F(DayLoggerTest, LinesGoBackToTheMediumThatFailedMidStreamOnceItIsMountedAgain)
{
    LoopDisk disk(dir / "medium.img", dir / "medium");
    REQUIRE_LOOP_DISK(disk);
    DayLogger log(disk.path + "/", 3600);
    std::string sent;
    auto line = [&](int i) {
        const std::string l =
            "15.06.03 12:00:" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ":  " + std::to_string(i);
        sent += l + "\r\n";
        return log.HandleLine(l);
    };
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(line(i), Outcome::Logged);
        if (i == 4) log.Sync();
    }
    // An I/O error: the medium refuses every write, and what was not synced is not on it.
    ASSERT_TRUE(disk.Fail());
    for (int i = 10; i < 15; ++i) EXPECT_EQ(line(i), Outcome::Failed);
    EXPECT_EQ(log.Waiting(), 10u);
    EXPECT_EQ(log.Retry(), 0u);

    disk.Unmount(false);
    ASSERT_TRUE(disk.Mount());
    EXPECT_EQ(log.Retry(), 10u);
    EXPECT_EQ(log.Waiting(), 0u);
    ASSERT_EQ(line(15), Outcome::Logged);
    log.Close();
    EXPECT_EQ(ReadBytes(disk.path + "/20030615.txt"), sent);
}

TEST_F(DayLoggerTest, WhileItsMediumIsUnmountedTheLinesWaitAndNoneGoesBelowTheMountPoint)
{
    LoopDisk disk(dir / "medium.img", dir / "medium");
    REQUIRE_LOOP_DISK(disk);
    DayLogger log(disk.path + "/", 3600);
    std::string sent;
    auto line = [&](int i) {
        const std::string l = "15.06.03 12:00:0" + std::to_string(i) + ":  " + std::to_string(i);
        sent += l + "\r\n";
        return log.HandleLine(l);
    };
    for (int i = 0; i < 5; ++i) ASSERT_EQ(line(i), Outcome::Logged);
    disk.Unmount(true);  // the open day log keeps the medium until it is closed
    for (int i = 5; i < 8; ++i) EXPECT_EQ(line(i), Outcome::Failed);
    EXPECT_NE(log.Error().find("nicht da"), std::string::npos) << log.Error();
    EXPECT_TRUE(log.TakeNotices().empty());  // no day log made anew
    EXPECT_TRUE(std::filesystem::is_empty(disk.path));
    EXPECT_EQ(log.Retry(), 0u);
    EXPECT_TRUE(std::filesystem::is_empty(disk.path));

    ASSERT_TRUE(disk.Mount());
    EXPECT_EQ(log.Retry(), 3u);
    ASSERT_EQ(line(8), Outcome::Logged);
    log.Close();
    EXPECT_EQ(ReadBytes(disk.path + "/20030615.txt"), sent);
}

TEST_F(DayLoggerTest, BackgroundSyncsLeaveTheWriterFreeAndAFailedOneSendsItsLinesBackOnce)
{
    auto medium = std::make_unique<SlowMedium>();
    SlowMedium& m = *medium;
    DayLogger log(dir.str(), 3600, std::move(medium));
    log.SyncInBackground(nullptr);
    std::string published;
    log.OnWritten = [&](const std::string& line) { published += line + "\r\n"; };
    const std::string day = dir / "20030615.txt";

    ASSERT_EQ(log.HandleLine("15.06.03 12:00:00: 1"), Outcome::Logged);  // the first line is synced
    ASSERT_TRUE(m.Started(1));
    // The medium holds that sync; lines still go in, and one sync runs at a time.
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:01: 2"), Outcome::Logged);
    log.Sync();
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:02: 3"), Outcome::Logged);
    EXPECT_EQ(m.Begun(), 1);

    // It fails: its line and the lines written after it wait again, the file is cut back.
    m.End(false);
    ASSERT_TRUE(m.Ended(1));
    log.FinishSyncs();
    EXPECT_EQ(log.Waiting(), 3u);
    EXPECT_NE(log.Error().find(day), std::string::npos) << log.Error();
    EXPECT_EQ(log.Retry(), 3u);
    ASSERT_TRUE(m.Started(2));
    m.End(true);
    ASSERT_TRUE(m.Ended(2));
    log.FinishSyncs();
    EXPECT_EQ(log.Waiting(), 0u);
    const std::string all = Record({"15.06.03 12:00:00: 1", "15.06.03 12:00:01: 2", "15.06.03 12:00:02: 3"});
    EXPECT_EQ(ReadBytes(day), all);
    EXPECT_EQ(published, all);

    // At the end every sync is waited for: a failed last one leaves its lines waiting, to be
    // kept by the owner, not lost unseen.
    EXPECT_EQ(log.HandleLine("15.06.03 12:00:03: 4"), Outcome::Logged);
    m.End(false);
    log.SyncInForeground();
    log.Sync();
    EXPECT_EQ(log.WaitingLines(), std::vector<std::string>{"15.06.03 12:00:03: 4"});
}

TEST_F(DayLoggerTest, MidnightDuringASlowSyncThatFailsLeavesEachLineOnceInItsOwnDay)
{
    auto medium = std::make_unique<SlowMedium>();
    SlowMedium& m = *medium;
    DayLogger log(dir.str(), 3600, std::move(medium));
    log.SyncInBackground(nullptr);
    ASSERT_EQ(log.HandleLine("15.06.03 23:59:58: 1"), Outcome::Logged);
    ASSERT_TRUE(m.Started(1));
    ASSERT_EQ(log.HandleLine("15.06.03 23:59:59: 2"), Outcome::Logged);
    // The new day closes the old file: its last line goes to a sync of its own, queued.
    ASSERT_EQ(log.HandleLine("16.06.03 00:00:00: 3"), Outcome::Logged);
    m.End(false);  // the old day's first sync fails, the queued one would succeed
    m.End(true);
    ASSERT_TRUE(m.Ended(2));
    log.FinishSyncs();
    EXPECT_EQ(log.Waiting(), 2u);
    for (int i = 0; i < 6; ++i) m.End(true);
    EXPECT_EQ(log.Retry(), 2u);
    ASSERT_EQ(log.HandleLine("16.06.03 00:00:01: 4"), Outcome::Logged);
    log.SyncInForeground();
    log.Close();
    EXPECT_EQ(log.Waiting(), 0u);
    EXPECT_EQ(ReadBytes(dir / "20030615.txt"), Record({"15.06.03 23:59:58: 1", "15.06.03 23:59:59: 2"}));
    EXPECT_EQ(ReadBytes(dir / "20030616.txt"), Record({"16.06.03 00:00:00: 3", "16.06.03 00:00:01: 4"}));
}
