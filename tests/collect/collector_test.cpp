// The collector's filing rules without a broker: day files as the station writes them, second
// copies dropped also after a restart, foreign topics and lines refused; and its command line.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "../support/TempDir.h"
#include "collect/ArchiveSync.h"
#include "collect/Collector.h"
#include "collect/Options.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/StationRecord.h"

namespace {

using Result = Collector::Result;
using namespace std::chrono_literals;

const std::string kEpoch = "00000000000000a1";

std::string Msg(std::uint64_t seq, std::uint64_t index, const std::string& line, const std::string& epoch = kEpoch)
{
    return NetLineText({epoch, seq, index, line});
}

std::string Second(int s)
{
    char text[48];
    std::snprintf(text, sizeof text, "09.12.26 10:%02d:%02d: X,  1", s / 60 % 60, s % 60);
    return text;
}

std::string Seconds(int from, int to)
{
    std::string text;
    for (int s = from; s < to; ++s) text += Second(s) + "\r\n";
    return text;
}

std::string Yesterday(int s)
{
    char text[48];
    std::snprintf(text, sizeof text, "08.12.26 23:59:%02d: X,  %d", s, 100 + s);
    return text;
}

ino_t Inode(const std::string& file)
{
    struct stat st {};
    return stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Rewrites not yet in place.
int Temporaries(const std::string& folder)
{
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".tmp") ++n;
    return n;
}

}  // namespace

TEST(Collector, FilesEachStationsLinesByTheirOwnDateAndPosition)
{
    TempDir dir;
    Collector c(dir.str());
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(1, 0, "08.12.26 23:59:59: X,  1")), Result::Filed);
    EXPECT_EQ(c.Take("mox/Sued-2/line", Msg(1, 0, "08.12.26 23:59:59: Z,  7")), Result::Filed);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(2, 0, "09.12.26 00:00:00: X,  2")), Result::Filed);
    // Sent again after a reconnection: dropped by position, also lines of the day before.
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(1, 0, "08.12.26 23:59:59: X,  1")), Result::Duplicate);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(2, 0, "09.12.26 00:00:00: X,  2")), Result::Duplicate);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(3, 1, "09.12.26 00:00:01: X,  3")), Result::Filed);
    // A device clock set back repeats lines word for word: each is a line of its own.
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(4, 2, "09.12.26 00:00:01: X,  3")), Result::Filed);
    EXPECT_EQ(c.Take("mox/Sued-2/line", Msg(2, 0, "09.12.26 00:00:01: X,  3")), Result::Filed);
    EXPECT_EQ(ReadBytes(dir / "Nord/20261208.txt"), "08.12.26 23:59:59: X,  1\r\n");
    EXPECT_EQ(ReadBytes(dir / "Nord/20261209.txt"),
              "09.12.26 00:00:00: X,  2\r\n09.12.26 00:00:01: X,  3\r\n09.12.26 00:00:01: X,  3\r\n");
    EXPECT_EQ(ReadBytes(dir / "Sued-2/20261208.txt"), "08.12.26 23:59:59: Z,  7\r\n");
    EXPECT_EQ(c.LinesFiled(), 6u);
    EXPECT_EQ(c.Duplicates(), 2u);

    // Each station hears how far its spool's lines are filed, once, with the newest number.
    auto acks = c.AcknowledgmentsDue();
    ASSERT_EQ(acks.size(), 2u);
    EXPECT_EQ(acks[0].first, "Nord");
    EXPECT_EQ(acks[0].second.seq, 4u);
    EXPECT_EQ(acks[0].second.epoch, kEpoch);
    EXPECT_EQ(acks[1].second.seq, 2u);
    EXPECT_TRUE(c.AcknowledgmentsDue().empty());
    // A station that sends filed lines again has not heard its acknowledgment (they may be
    // lost): it hears the newest one again.
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(3, 1, "09.12.26 00:00:01: X,  3")), Result::Duplicate);
    acks = c.AcknowledgmentsDue();
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].second.seq, 4u);
    // A station with a new spool is acknowledged in its new numbers.
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(1, 3, "09.12.26 00:00:02: X,  4", "00000000000000b2")), Result::Filed);
    acks = c.AcknowledgmentsDue();
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].second.epoch, "00000000000000b2");
    EXPECT_EQ(acks[0].second.seq, 1u);
}

TEST(Collector, ARestartedCollectorKnowsTheLinesAlreadyFiledFromItsFiles)
{
    TempDir dir;
    {
        Collector c(dir.str());
        for (int s = 0; s < 60; ++s) c.Take("mox/Nord/line", Msg(std::uint64_t(s + 1), std::uint64_t(s), Second(s)));
    }
    const std::string before = ReadBytes(dir / "Nord/20261209.txt");
    Collector again(dir.str());
    EXPECT_EQ(again.Take("mox/Nord/line", Msg(59, 58, Second(58))), Result::Duplicate);
    EXPECT_EQ(again.Take("mox/Nord/line", Msg(60, 59, Second(59))), Result::Duplicate);
    EXPECT_EQ(ReadBytes(dir / "Nord/20261209.txt"), before);
    EXPECT_EQ(again.Take("mox/Nord/line", Msg(61, 60, Second(60))), Result::Filed);
    // Already filed lines are acknowledged too: the station may release them.
    const auto acks = again.AcknowledgmentsDue();
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].second.seq, 61u);
}

// A line beyond what the archive holds is not filed out of order: the day is asked for whole,
// again when the answer stalls, and rewritten from the lines read back from the station's day
// file. The new file takes the old one's place in one rename, and the live lines of the day go
// on into it, none lost and none twice.
TEST(Collector, ADayWithAGapIsAskedForWholeAndReplacedInOneRename)
{
    TempDir dir;
    CollectorLimits limits;
    limits.RequestEvery = 1s;
    Collector c(dir.str(), limits);
    const std::string day = dir / "Nord/20261209.txt";
    const auto t0 = Collector::Clock::now();
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(1, 0, Second(0)), t0), Result::Filed);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(5, 4, Second(4)), t0), Result::Gap);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(6, 5, Second(5)), t0), Result::Gap);
    auto requests = c.RequestsDue(t0);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].first, "Nord");
    EXPECT_EQ(requests[0].second.day, "20261209");
    EXPECT_EQ(requests[0].second.from, 0u);
    EXPECT_TRUE(c.RequestsDue(t0 + 500ms).empty());
    // The gap lines were not acknowledged: only line 1.
    auto acks = c.AcknowledgmentsDue();
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].second.seq, 1u);
    const ino_t before = Inode(day);

    // Part of the answer came: the archive's day stays as it was meanwhile. While it comes
    // nobody asks again; once it stalls, from where the new file stands.
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(0, 0, Second(0)), t0 + 800ms), Result::Duplicate);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(0, 1, Second(1)), t0 + 800ms), Result::Filed);
    EXPECT_EQ(ReadBytes(day), Second(0) + "\r\n");
    EXPECT_TRUE(c.RequestsDue(t0 + 1500ms).empty());
    requests = c.RequestsDue(t0 + 1900ms);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].second.from, 2u);
    for (int i = 2; i <= 4; ++i)
        EXPECT_EQ(c.Take("mox/Nord/line", Msg(0, std::uint64_t(i), Second(i)), t0 + 2s), Result::Filed);
    EXPECT_EQ(Inode(day), before);
    // The line that showed the gap completes the day: it takes the old file's place.
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(0, 5, Second(5)), t0 + 2s), Result::Filed);
    EXPECT_NE(Inode(day), before);
    EXPECT_EQ(Temporaries(dir / "Nord"), 0);
    // The next live line goes into the new file, not into the old one still open before.
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(7, 6, Second(6)), t0 + 2s), Result::Filed);
    EXPECT_TRUE(c.RequestsDue(t0 + 10s).empty());
    EXPECT_EQ(ReadBytes(day), Seconds(0, 7));
    EXPECT_EQ(c.LinesFiled(), 7u);
    // The gap closed: the spool lines that came meanwhile are in the archive now.
    acks = c.AcknowledgmentsDue();
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].second.seq, 7u);

    // The archive's day file deleted: the next line shows the gap from the start of the day.
    std::filesystem::remove(day);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(8, 7, Second(7)), t0 + 3s), Result::Gap);
    requests = c.RequestsDue(t0 + 20s);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].second.from, 0u);
}

// Whether a day file was deleted, replaced or written by someone else is not looked up per
// line but learnt from the folder's watch, read at most every 100 ms. A line filed in that while
// into a deleted file is asked back with the rest of the day, so the archive ends up whole.
TEST(Collector, ADayFileChangedUnderTheCollectorIsNoticedAtTheNextLookAndMadeWhole)
{
    TempDir dir;
    Collector c(dir.str());
    const auto t0 = Collector::Clock::now();
    const std::string file = dir / "Nord/20261209.txt";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(c.Take("mox/Nord/line", Msg(std::uint64_t(i + 1), std::uint64_t(i), Second(i)), t0), Result::Filed);

    std::filesystem::remove(file);
    // Before the next look: still written to the file we hold, which is gone.
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(4, 3, Second(3)), t0 + 10ms), Result::Filed);
    EXPECT_FALSE(std::filesystem::exists(file));
    // After it: the day is missing from its start and asked for.
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(5, 4, Second(4)), t0 + 200ms), Result::Gap);
    auto requests = c.RequestsDue(t0 + 200ms);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].second.from, 0u);
    for (int i = 0; i <= 4; ++i)
        EXPECT_EQ(c.Take("mox/Nord/line", Msg(0, std::uint64_t(i), Second(i)), t0 + 210ms), Result::Filed);
    std::string whole;
    for (int i = 0; i <= 4; ++i) whole += Second(i) + "\r\n";
    EXPECT_EQ(ReadBytes(file), whole);
    // The gap is closed, and the spool lines that came meanwhile are acknowledged.
    EXPECT_TRUE(c.RequestsDue(t0 + 10s).empty());
    bool released = false;
    for (const auto& [station, filed] : c.AcknowledgmentsDue()) released = station == "Nord" && filed.seq == 5;
    EXPECT_TRUE(released);

    // Replaced whole by an older copy (a restore from a backup): judged by the new file, and
    // the day asked for whole and rewritten.
    WriteBytes(file + ".new", Second(0) + "\r\n" + Second(1) + "\r\n");
    std::filesystem::rename(file + ".new", file);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(6, 5, Second(5)), t0 + 400ms), Result::Gap);
    requests = c.RequestsDue(t0 + 20s);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].second.from, 0u);

    // Written to by someone else after the rewrite's own rename: counted again, the positions
    // follow the file.
    for (int i = 0; i <= 5; ++i)
        EXPECT_EQ(c.Take("mox/Nord/line", Msg(0, std::uint64_t(i), Second(i)), t0 + 410ms),
                  i < 2 ? Result::Duplicate : Result::Filed);
    {
        std::ofstream other(file, std::ios::app | std::ios::binary);
        other << Second(6) << "\r\n";
    }
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(7, 6, Second(6)), t0 + 600ms), Result::Duplicate);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(8, 7, Second(7)), t0 + 610ms), Result::Filed);
    whole.clear();
    for (int i = 0; i <= 7; ++i) whole += Second(i) + "\r\n";
    EXPECT_EQ(ReadBytes(file), whole);

    // The station's folder removed with everything in it: made again from the start of the day.
    std::filesystem::remove_all(dir / "Nord");
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(9, 8, Second(8)), t0 + 800ms), Result::Gap);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(0, 0, Second(0)), t0 + 810ms), Result::Filed);
    EXPECT_EQ(ReadBytes(file), Second(0) + "\r\n");
    EXPECT_EQ(c.OpenFiles(), 1u);
}

namespace {

// A day file of `lines` lines as a station writes it, for an archive that was there before.
std::string LongDay(int lines)
{
    std::string text;
    for (int i = 0; i < lines; ++i) text += Second(i) + "\r\n";
    return text;
}

// Pumps until no line waits for its day file (a few seconds at most) and returns the decisions.
std::vector<Collector::Decision> Settle(Collector& c)
{
    std::vector<Collector::Decision> all;
    for (int i = 0; i < 500; ++i) {
        for (auto& d : c.Pump()) all.push_back(std::move(d));
        if (c.Holding() == 0) break;
        std::this_thread::sleep_for(10ms);
    }
    return all;
}

}  // namespace

// After a restart late in the day, a station's first line is judged by the lines its day file
// already holds, counted once.
TEST(Collector, AStationsFirstLineIsJudgedByTheLinesItsExistingDayFileHolds)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "Nord");
    const std::string day = LongDay(50000);
    WriteBytes(dir / "Nord/20261209.txt", day);
    Collector c(dir.str());
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(1, 49999, Second(49999)), Collector::Clock::now()), Result::Duplicate);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(2, 50000, Second(50000))), Result::Filed);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(4, 50002, Second(50002))), Result::Gap);
    const auto requests = c.RequestsDue();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].second.from, 0u);
    EXPECT_EQ(ReadBytes(dir / "Nord/20261209.txt"), day + Second(50000) + "\r\n");
}

// In the collector's service, day files are opened and records written in a thread of their
// own: a station's lines wait for its file (in order), the other stations' lines do not.
TEST(Collector, InTheBackgroundAStationsLinesWaitForItsDayFileAndNoOtherStationWaits)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "Sued");
    WriteBytes(dir / "Sued/20261209.txt", LongDay(30000));
    WriteBytes(dir / "Kaputt", "a file where the station's folder belongs");
    CollectorLimits limits;
    limits.BackgroundFileWork = true;
    Collector c(dir.str(), limits);

    EXPECT_EQ(c.Take("mox/Nord/line", Msg(1, 0, Second(0))), Result::Held);
    auto decided = Settle(c);
    ASSERT_EQ(decided.size(), 1u);
    EXPECT_EQ(decided[0].result, Result::Filed);
    EXPECT_EQ(decided[0].topic, "mox/Nord/line");
    EXPECT_EQ(decided[0].payload, Msg(1, 0, Second(0)));

    // Sued's file is being counted: its lines wait, in the order they came; Nord's go on.
    EXPECT_EQ(c.Take("mox/Sued/line", Msg(7, 30000, Second(30000))), Result::Held);
    EXPECT_EQ(c.Take("mox/Sued/line", Msg(8, 30001, Second(30001))), Result::Held);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(2, 1, Second(1))), Result::Filed);
    EXPECT_EQ(c.Take("mox/Kaputt/line", Msg(1, 0, Second(0))), Result::Held);
    EXPECT_EQ(c.Holding(), 3u);
    decided = Settle(c);
    ASSERT_EQ(decided.size(), 3u);
    std::vector<std::string> order;
    for (const auto& d : decided) {
        if (d.topic == "mox/Sued/line") {
            EXPECT_EQ(d.result, Result::Filed);
            order.push_back(d.payload);
        } else {
            EXPECT_EQ(d.result, Result::Failed);
            EXPECT_NE(d.message.find("Kaputt/20261209.txt"), std::string::npos) << d.message;
        }
    }
    EXPECT_EQ(order, (std::vector<std::string>{Msg(7, 30000, Second(30000)), Msg(8, 30001, Second(30001))}));
    EXPECT_EQ(ReadBytes(dir / "Sued/20261209.txt"), LongDay(30002));

    // A new day is a new file, opened in the background too; duplicates of the day before
    // are judged by its file, opened again.
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(3, 0, "10.12.26 00:00:00: X,  1")), Result::Held);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(2, 1, Second(1))), Result::Held);
    decided = Settle(c);
    ASSERT_EQ(decided.size(), 2u);
    EXPECT_EQ(decided[0].result, Result::Filed);
    EXPECT_EQ(decided[1].result, Result::Duplicate);
    EXPECT_EQ(ReadBytes(dir / "Nord/20261210.txt"), "10.12.26 00:00:00: X,  1\r\n");
    EXPECT_EQ(ReadBytes(dir / "Nord/20261209.txt"), Second(0) + "\r\n" + Second(1) + "\r\n");
    EXPECT_EQ(c.LinesFiled(), 5u);

    // A station's record is written (and synced) in the background as well.
    const std::string record = "[MOX-Header]\r\nOrt=Kiel\r\n";
    EXPECT_EQ(c.TakeRecord("mox/Nord/record", record), Result::Held);
    EXPECT_EQ(c.TakeRecord("mox/Nord/record", record), Result::Held);
    EXPECT_EQ(c.TakeRecord("mox/Nord/record", "Ort=Kiel\r\n"), Result::Refused);
    decided = Settle(c);
    ASSERT_EQ(decided.size(), 2u);
    EXPECT_EQ(decided[0].result, Result::Filed);
    EXPECT_EQ(decided[0].topic, "mox/Nord/record");
    EXPECT_EQ(decided[1].result, Result::Duplicate);
    EXPECT_EQ(ReadBytes(dir / "Nord/station.ini"), record);

    const auto acks = c.AcknowledgmentsDue();
    ASSERT_EQ(acks.size(), 2u);
    EXPECT_EQ(acks[0].second.seq, 3u);
    EXPECT_EQ(acks[1].second.seq, 8u);
}

// Acknowledgments go out only after a sync that worked.
TEST(ArchiveSync, TellsWhenTheSyncEndedAndWhetherItWorked)
{
    TempDir dir;
    const int fd = ::open(dir.str().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    {
        ArchiveSync sync(fd);
        ASSERT_TRUE(sync.Start());
        bool ok = false;
        int error = 0;
        for (int i = 0; i < 1000 && !sync.Finished(ok, error); ++i) std::this_thread::sleep_for(10ms);
        EXPECT_TRUE(ok);
        EXPECT_FALSE(sync.Running());
        EXPECT_FALSE(sync.Finished(ok, error));
    }
    ::close(fd);
    ArchiveSync broken(fd);
    ASSERT_TRUE(broken.Start());
    bool ok = true;
    int error = 0;
    for (int i = 0; i < 1000 && !broken.Finished(ok, error); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, EBADF);
}

// A late day, the archive's copy short and damaged (restored from a backup): rewritten as the
// station has it, while the station's live day goes on being filed; nothing of either is
// released from the station's spool before it is in the archive. A collector killed during a
// rewrite leaves its temporary, which the next one removes; and a network that lost much at once
// rewrites only so many days at a time.
TEST(Collector, ALateDayIsRewrittenAsTheStationHasItBesideTheLiveDay)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "Nord");
    WriteBytes(dir / "Nord/20261208.txt", Yesterday(0) + "\r\n" + "08.12.26 23:5\r\n");
    WriteBytes(dir / "Nord/20261208.txt.tmp", "left by a killed collector");
    CollectorLimits limits;
    limits.MaxOpenFiles = 2;
    Collector c(dir.str(), limits);
    const auto t0 = Collector::Clock::now();
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(10, 9, Yesterday(9)), t0), Result::Gap);
    EXPECT_EQ(Temporaries(dir / "Nord"), 0);
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(11, 0, Second(0)), t0), Result::Filed);
    EXPECT_EQ(c.Take("mox/Sued/line", Msg(1, 3, Second(3)), t0), Result::Gap);
    // One rewrite at a time with this few files: Sued waits its turn.
    auto requests = c.RequestsDue(t0);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].first, "Nord");
    EXPECT_EQ(requests[0].second.day, "20261208");
    EXPECT_EQ(c.Rewrites(), 1u);
    // Filed, but not acknowledged while yesterday's lines are missing.
    EXPECT_TRUE(c.AcknowledgmentsDue().empty());

    const ino_t before = Inode(dir / "Nord/20261208.txt");
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(c.Take("mox/Nord/line", Msg(0, std::uint64_t(i), Yesterday(i)), t0),
                  i < 2 ? Result::Duplicate : Result::Filed);
        EXPECT_EQ(c.Take("mox/Nord/line", Msg(std::uint64_t(12 + i), std::uint64_t(1 + i), Second(1 + i)), t0),
                  Result::Filed);
    }
    std::string yesterday;
    for (int i = 0; i < 10; ++i) yesterday += Yesterday(i) + "\r\n";
    EXPECT_EQ(ReadBytes(dir / "Nord/20261208.txt"), yesterday);
    EXPECT_NE(Inode(dir / "Nord/20261208.txt"), before);
    EXPECT_EQ(ReadBytes(dir / "Nord/20261209.txt"), Seconds(0, 11));

    // Sued's turn; Nord's gap closed, its spool released up to the newest line.
    requests = c.RequestsDue(t0);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].first, "Sued");
    const auto acks = c.AcknowledgmentsDue();
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].first, "Nord");
    EXPECT_EQ(acks[0].second.seq, 21u);
}

TEST(Collector, RefusesForeignTopicsUnknownStationsAndWhatIsNoLine)
{
    TempDir dir;
    CollectorLimits limits;
    limits.MaxPayload = 200;
    Collector c(dir.str(), limits);
    for (const char* topic : {"mox/Nord/status", "mox/../line", "mox/a b/line", "mox//line", "other/Nord/line",
                              "mox/Nord/line/x", "mox/Nord/raw"}) {
        EXPECT_EQ(c.Take(topic, Msg(1, 0, "09.12.26 10:00:00: X,  1")), Result::Refused) << topic;
        EXPECT_NE(c.Message().find(topic), std::string::npos);
    }
    for (const std::string& payload : std::vector<std::string>{
             Msg(1, 0, "MOX bereit"), Msg(1, 0, "32.13.26 10:00:00: X,  1"),
             Msg(1, 0, "09.12.26 10:00:00: X,\r\n09.12.26 x"), std::string("09.12.26 10:00:00: X,  1"),
             kEpoch + " -1 0 09.12.26 10:00:00: X,  1", std::string("XYZ 1 0 09.12.26 10:00:00: X,  1"),
             Msg(1, 0, "09.12.26 10:00:00: X,  " + std::string(300, '1'))})
        EXPECT_EQ(c.Take("mox/Nord/line", payload), Result::Refused) << payload;
    EXPECT_EQ(c.Refusals(), 14u);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));

    // With a list, only the stations on it.
    CollectorLimits listed;
    listed.Stations = {"Nord"};
    Collector only(dir.str(), listed);
    EXPECT_EQ(only.Take("mox/Fremd/line", Msg(1, 0, "09.12.26 10:00:00: X,  1")), Result::Refused);
    EXPECT_NE(only.Message().find("unbekannte Station Fremd"), std::string::npos);
    EXPECT_EQ(only.Take("mox/Nord/line", Msg(1, 0, "09.12.26 10:00:00: X,  1")), Result::Filed);
    // Without one, made-up ids stop at the bound: no flood of folders.
    CollectorLimits bounded;
    bounded.MaxStations = 10;
    Collector flood((dir / "flood").c_str(), bounded);
    for (int s = 0; s < 100; ++s)
        flood.Take("mox/S" + std::to_string(s) + "/line", Msg(1, 0, "09.12.26 10:00:00: X,  1"));
    EXPECT_EQ(flood.Stations(), 10u);
    EXPECT_EQ(flood.Refusals(), 90u);
}

TEST(Collector, AnUnwritableArchiveFailsNamingTheFileAndAcknowledgesNothing)
{
    TempDir dir;
    WriteBytes(dir / "Nord", "a file where the station's folder belongs");
    Collector c(dir.str());
    EXPECT_EQ(c.Take("mox/Nord/line", Msg(1, 0, "09.12.26 10:00:00: X,  1")), Result::Failed);
    EXPECT_NE(c.Message().find("Nord/20261209.txt"), std::string::npos) << c.Message();
    EXPECT_TRUE(c.AcknowledgmentsDue().empty());
    // Asked for again once writing may work.
    EXPECT_EQ(c.RequestsDue().size(), 1u);
    EXPECT_EQ(c.Take("mox/West/line", Msg(1, 0, "09.12.26 10:00:00: X,  1")), Result::Filed);
}

TEST(Collector, KeepsFewFilesOpenWithManyStationsAndClosesIdleOnes)
{
    TempDir dir;
    CollectorLimits limits;
    limits.MaxOpenFiles = 4;
    Collector c(dir.str(), limits);
    for (int round = 0; round < 2; ++round)
        for (int s = 0; s < 20; ++s)
            EXPECT_EQ(c.Take("mox/S" + std::to_string(s) + "/line",
                             Msg(std::uint64_t(round + 1), std::uint64_t(round), Second(round))),
                      Result::Filed);
    int open = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(e.path(), ec).string().find(dir.path.string()) == 0) ++open;
    }
    EXPECT_LE(open, 4);
    EXPECT_EQ(c.OpenFiles(), 4u);
    EXPECT_EQ(ReadBytes(dir / "S7/20261209.txt"), Second(0) + "\r\n" + Second(1) + "\r\n");
    c.Tick(Collector::Clock::now() + 1h);
    EXPECT_EQ(c.OpenFiles(), 0u);
}

// Each station's record is kept beside its day files, replaced whole when it changes; what is
// no record is refused.
TEST(Collector, KeepsEachStationsRecordBesideItsDayFiles)
{
    TempDir dir;
    Collector c(dir.str());
    const std::string nord = "[MOX-Header]\r\nOrt=Kiel\r\nLocator=JO54\r\n";
    const std::string sued = "[MOX-Header]\r\nOrt=Passau\r\n";
    EXPECT_EQ(c.TakeRecord("mox/Nord/record", nord), Result::Filed);
    EXPECT_EQ(c.TakeRecord("mox/Sued/record", sued), Result::Filed);
    EXPECT_EQ(c.TakeRecord("mox/Nord/record", nord), Result::Duplicate);
    EXPECT_EQ(ReadBytes(dir / "Nord/station.ini"), nord);
    EXPECT_EQ(ReadBytes(dir / "Sued/station.ini"), sued);
    EXPECT_EQ(c.TakeRecord("mox/Nord/record", "[MOX-Header]\r\nOrt=Schleswig\r\n"), Result::Filed);
    EXPECT_EQ(ReadBytes(dir / "Nord/station.ini"), "[MOX-Header]\r\nOrt=Schleswig\r\n");
    for (const std::string& bad :
         {std::string("Ort=Kiel\r\n"), std::string("[MOX-Header]\r\n[Batch]\r\nX=1\r\n"),
          "[MOX-Header]\r\nOrt=" + std::string(5000, 'x') + "\r\n", std::string("[MOX-Header]\r\nOrt=Kiel")})
        EXPECT_EQ(c.TakeRecord("mox/Nord/record", bad), Result::Refused) << bad;
    EXPECT_EQ(c.TakeRecord("mox/Nord/line", nord), Result::Refused);
    EXPECT_EQ(ReadBytes(dir / "Nord/station.ini"), "[MOX-Header]\r\nOrt=Schleswig\r\n");

    // The record as a station makes it from its settings, with its IAGA code.
    WriteBytes(dir / "mox.ini", "[Batch]\r\nIntervall=1\r\n[IAGA]\r\nCode=SLW\r\n[MOX-Header]\r\nOrt=Schleswig\r\n"
                                "Remarks=nur hier\r\n");
    const std::string withCode = StationRecordText(TIniFile(dir / "mox.ini"));
    EXPECT_EQ(withCode, "[MOX-Header]\r\nOrt=Schleswig\r\n[IAGA]\r\nCode=SLW\r\n");
    EXPECT_EQ(c.TakeRecord("mox/Nord/record", withCode), Result::Filed);
    EXPECT_EQ(c.TakeRecord("mox/Nord/record", withCode + "[IAGA]\r\nCode=XYZ\r\n"), Result::Refused);
    EXPECT_EQ(ReadBytes(dir / "Nord/station.ini"), withCode);
}

TEST(CollectOptions, RequiredValuesPortsAndThePasswordFile)
{
    CollectOptions o;
    std::ostringstream out, err;
    ASSERT_EQ(ParseCollectOptions({"--host", "h", "--root", "/a", "--port", "8883", "--id", "c1", "--user", "u",
                                   "--password-file", "/p", "--cafile", "/ca"},
                                  o, out, err),
              -1);
    EXPECT_EQ(o.Port, 8883);
    EXPECT_EQ(o.ClientId, "c1");
    EXPECT_EQ(o.PasswordFile, "/p");
    ASSERT_EQ(ParseCollectOptions({"--host", "h", "--root", "/a", "--ack-ms", "50", "--retry-max", "2"}, o, out, err),
              -1);
    EXPECT_EQ(o.AckMs, 50);
    EXPECT_EQ(o.RetryMaxSeconds, 2);
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--root", "/a"},
                                               {"--host", "h"},
                                               {"--host", "h", "--root", "/a", "--port", "0"},
                                               {"--host", "h", "--root", "/a", "--port", "18x"},
                                               {"--host", "h", "--root"},
                                               {"--bogus"},
                                               {"--host", "h", "--root", "/a", "--ack-ms", "0"},
                                               {"--host", "h", "--root", "/a", "--retry-max", "x"}}) {
        CollectOptions x;
        std::ostringstream complaint;
        EXPECT_EQ(ParseCollectOptions(bad, x, out, complaint), 2);
        EXPECT_EQ(complaint.str().rfind("mox-collect: ", 0), 0u) << complaint.str();
    }
    std::ostringstream help;
    EXPECT_EQ(ParseCollectOptions({"--help"}, o, help, err), 0);
    EXPECT_EQ(help.str().rfind("Aufruf: mox-collect", 0), 0u);

    std::string error;
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

    WriteBytes(dir / "stations", "# the network\nNord\r\n\nSued_2\n");
    std::set<std::string> stations;
    ASSERT_TRUE(ReadStationsFile(dir / "stations", stations, error)) << error;
    EXPECT_EQ(stations, (std::set<std::string>{"Nord", "Sued_2"}));
    WriteBytes(dir / "bad", "Nord\nall/stations\n");
    EXPECT_FALSE(ReadStationsFile(dir / "bad", stations, error));
    EXPECT_NE(error.find("Zeile 2"), std::string::npos) << error;
}

// In the background too, the lines of a day being rewritten go into its new file in the order
// they came, between the live day's lines that wait with them; after the rename the day goes on
// from the new file's end.
TEST(Collector, InTheBackgroundADayBeingRewrittenTakesItsLinesInOrder)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "Nord");
    WriteBytes(dir / "Nord/20261208.txt", Yesterday(0) + "\r\n");
    CollectorLimits limits;
    limits.BackgroundFileWork = true;
    Collector c(dir.str(), limits);
    std::vector<Result> results;
    const auto take = [&](const std::string& payload) {
        if (const Result r = c.Take("mox/Nord/line", payload); r != Result::Held) results.push_back(r);
    };
    const auto settle = [&] {
        for (const auto& d : Settle(c)) results.push_back(d.result);
    };

    take(Msg(1, 0, Second(0)));
    take(Msg(2, 3, Yesterday(3)));
    settle();
    EXPECT_EQ(results, (std::vector<Result>{Result::Filed, Result::Gap}));
    const auto requests = c.RequestsDue();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].second.day, "20261208");
    EXPECT_EQ(requests[0].second.from, 0u);
    c.AcknowledgmentsDue();

    results.clear();
    for (int i = 0; i <= 3; ++i) {
        take(Msg(0, std::uint64_t(i), Yesterday(i)));
        take(Msg(std::uint64_t(3 + i), std::uint64_t(1 + i), Second(1 + i)));
    }
    settle();
    EXPECT_EQ(results, (std::vector<Result>{Result::Duplicate, Result::Filed, Result::Filed, Result::Filed,
                                            Result::Filed, Result::Filed, Result::Filed, Result::Filed}));
    std::string yesterday;
    for (int i = 0; i <= 3; ++i) yesterday += Yesterday(i) + "\r\n";
    EXPECT_EQ(ReadBytes(dir / "Nord/20261208.txt"), yesterday);
    EXPECT_EQ(ReadBytes(dir / "Nord/20261209.txt"), Seconds(0, 5));
    EXPECT_EQ(Temporaries(dir / "Nord"), 0);
    // Nothing released before the gap is closed, then all of it.
    EXPECT_TRUE(c.AcknowledgmentsDue().empty());
    EXPECT_TRUE(c.RequestsDue().empty());
    const auto acks = c.AcknowledgmentsDue();
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].second.seq, 6u);

    results.clear();
    take(Msg(7, 3, Yesterday(3)));
    take(Msg(8, 4, Yesterday(4)));
    settle();
    EXPECT_EQ(results, (std::vector<Result>{Result::Duplicate, Result::Filed}));
    EXPECT_EQ(ReadBytes(dir / "Nord/20261208.txt"), yesterday + Yesterday(4) + "\r\n");
}
