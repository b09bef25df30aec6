// The spool keeps every unacknowledged line across restarts and crashes, in order.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "../../support/TempDir.h"
#include "station/app/LineSpool.h"

namespace {

std::vector<std::string> Lines(const LineSpool& spool)
{
    std::vector<std::string> out;
    for (const auto& [seq, line] : spool.Pending()) out.push_back(line);
    return out;
}

std::uintmax_t Size(const std::string& f) { return std::filesystem::file_size(f); }

// Polls for up to three seconds.
bool WaitUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 300; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

}  // namespace

TEST(LineSpool, PendingLinesSurviveARestartInOrderAcknowledgedOnesDoNot)
{
    TempDir dir;
    const std::string file = dir / "spool.dat";
    {
        LineSpool spool(file);
        const auto a = spool.Append("08.12.26 23:59:58: X,  1");
        const auto b = spool.Append("08.12.26 23:59:59: X,  2");
        const auto c = spool.Append("09.12.26 00:00:00: X,  3");
        spool.Append("09.12.26 00:00:01: X,  4");
        // Acknowledgments may come in any order.
        spool.Acknowledge(c);
        spool.Acknowledge(a);
        spool.Acknowledge(a);  // twice is harmless
        EXPECT_LT(a, b);
        EXPECT_EQ(spool.Backlog(), 2u);
    }
    LineSpool again(file);
    EXPECT_EQ(Lines(again), (std::vector<std::string>{"08.12.26 23:59:59: X,  2", "09.12.26 00:00:01: X,  4"}));
    EXPECT_TRUE(again.Error().empty());
    // New lines come after the old ones, never before.
    again.Append("09.12.26 00:00:02: X,  5");
    EXPECT_EQ(Lines(again).back(), "09.12.26 00:00:02: X,  5");
    EXPECT_GT(again.Pending().rbegin()->first, again.Pending().begin()->first);
}

// A killed station leaves the file cut anywhere inside its last record: every earlier line is
// still there, the cut record is neither half read nor spoiling the next append.
TEST(LineSpool, ACutAnywhereInTheLastRecordLosesNothingEarlier)
{
    TempDir dir;
    const std::string whole = dir / "whole.dat";
    std::uintmax_t before = 0;
    {
        LineSpool spool(whole);
        spool.Append("line one");
        const auto two = spool.Append("line two with\ttab and \"quote\"");
        spool.Append("line three");
        spool.Acknowledge(two);
        before = Size(whole);
        spool.Append("line four");
    }
    const std::string bytes = ReadBytes(whole);
    // Cuts inside the last data record.
    for (std::size_t cut = before; cut < bytes.size(); ++cut) {
        const std::string file = dir / ("cut" + std::to_string(cut));
        WriteBytes(file, bytes.substr(0, cut));
        LineSpool spool(file);
        EXPECT_EQ(Lines(spool), (std::vector<std::string>{"line one", "line three"})) << "cut at " << cut;
        EXPECT_TRUE(spool.Error().empty()) << spool.Error();
        spool.Append("line five");
        LineSpool reread(file);
        EXPECT_EQ(Lines(reread), (std::vector<std::string>{"line one", "line three", "line five"})) << cut;
    }
    // A cut acknowledgment leaves its line pending: it goes out once more, nothing is lost.
    {
        const std::string file = dir / "ack.dat";
        LineSpool spool(file);
        spool.Append("a");
        spool.Append("b");
        const auto seqA = spool.Pending().begin()->first;
        spool.Acknowledge(seqA);
        const std::string withAck = ReadBytes(file);
        WriteBytes(file, withAck.substr(0, withAck.size() - 3));
        LineSpool reread(file);
        EXPECT_EQ(Lines(reread), (std::vector<std::string>{"a", "b"}));
    }
}

TEST(LineSpool, DamageInsideTheFileIsSkippedAndTold)
{
    TempDir dir;
    const std::string file = dir / "spool.dat";
    {
        LineSpool spool(file);
        spool.Append("first");
        spool.Append("second");
        spool.Append("third");
    }
    std::string bytes = ReadBytes(file);
    bytes[bytes.find("second")] = 'S';  // the CRC no longer matches
    WriteBytes(file, bytes);
    LineSpool spool(file);
    EXPECT_EQ(Lines(spool), (std::vector<std::string>{"first", "third"}));
    EXPECT_NE(spool.Error().find(file), std::string::npos);
    // The damaged record is gone from the file after the rewrite.
    LineSpool again(file);
    EXPECT_EQ(Lines(again), (std::vector<std::string>{"first", "third"}));
    EXPECT_TRUE(again.Error().empty());
}

TEST(LineSpool, TheFileEmptiesWhenEverythingIsAcknowledged)
{
    TempDir dir;
    const std::string file = dir / "spool.dat";
    LineSpool spool(file);
    const std::string line(60, 'x');
    for (int i = 0; i < 3000; ++i) spool.Acknowledge(spool.Append(line));
    // Never more than the threshold of acknowledged records, however long the station runs.
    EXPECT_LT(Size(file), 80u * 1024);
    for (int i = 0; i < 100; ++i) spool.Append(line);
    for (int i = 0; i < 100; ++i) spool.Acknowledge(spool.Pending().begin()->first);
    LineSpool reread(file);
    EXPECT_EQ(reread.Backlog(), 0u);
}

TEST(LineSpool, AnUnwritableFileStillKeepsTheLinesInMemory)
{
    TempDir dir;
    LineSpool spool(dir / "missing/folder/spool.dat");
    EXPECT_NE(spool.Error().find("missing/folder/spool.dat"), std::string::npos);
    spool.Append("kept");
    EXPECT_EQ(Lines(spool), std::vector<std::string>{"kept"});
}

// Whatever bytes a damaged or hostile file holds, the reader stays inside them: a length field
// of -8 once made it read before its buffer.
TEST(LineSpool, AnyBytesAreReadSafely)
{
    TempDir dir;
    const std::string file = dir / "spool.dat";
    WriteBytes(file, std::string("D 9-8a\nbb:6\x92\xd2 3A\n", 17));
    EXPECT_EQ(LineSpool(file).Backlog(), 0u);
    std::string good;
    {
        LineSpool spool(dir / "good.dat");
        spool.Append("09.12.26 00:00:01: X,  1");
        spool.Append("09.12.26 00:00:02: X,  2");
        spool.Acknowledge(spool.Pending().begin()->first);
        good = ReadBytes(dir / "good.dat");
    }
    const std::vector<std::string> heads = {"D 1 -8 00000000\n",
                                            "D 1 18446744073709551615 00000000\n",
                                            "D 99999999999999999999 1 00000000\nx\n",
                                            "A -1 00000000\n",
                                            "T 1 zzzzzzzz\n",
                                            "E  1 00000000\n",
                                            "D\n",
                                            "\n\n"};
    std::uint32_t random = 12345;
    for (int round = 0; round < 300; ++round) {
        std::string bytes = good;
        if (round < int(heads.size())) {
            bytes.insert(std::size_t(round) % bytes.size(), heads[std::size_t(round)]);
        } else {
            // Flipped bytes and cut ends, deterministic.
            for (int flips = 0; flips < 4; ++flips) {
                random = random * 1103515245u + 12345u;
                bytes[random % bytes.size()] = char(random >> 16);
            }
            random = random * 1103515245u + 12345u;
            bytes.resize(random % (bytes.size() + 1));
        }
        WriteBytes(file, bytes);
        LineSpool spool(file);
        for (const auto& [seq, line] : spool.Pending()) EXPECT_NE(bytes.find(line), std::string::npos) << round;
    }
}

TEST(LineSpool, AnAcknowledgmentThroughASequenceNumberReleasesEverythingUpToItOfThisFileOnly)
{
    TempDir dir;
    const std::string file = dir / "spool.dat";
    std::string epoch;
    {
        LineSpool spool(file);
        epoch = spool.Epoch();
        EXPECT_EQ(epoch.size(), 16u);
        std::uint64_t third = 0;
        for (int i = 0; i < 5; ++i) {
            const auto seq = spool.Append("line " + std::to_string(i));
            if (i == 2) third = seq;
        }
        spool.AcknowledgeThrough(third);
        EXPECT_EQ(Lines(spool), (std::vector<std::string>{"line 3", "line 4"}));
    }
    // The epoch and the numbering survive a restart, even with nothing pending.
    LineSpool again(file);
    EXPECT_EQ(again.Epoch(), epoch);
    EXPECT_EQ(Lines(again), (std::vector<std::string>{"line 3", "line 4"}));
    const auto next = again.Append("line 5");
    EXPECT_GT(next, again.Pending().begin()->first);
    // A file made anew (the old one lost) has an epoch of its own.
    EXPECT_NE(LineSpool(dir / "other.dat").Epoch(), epoch);
}

// A long outage: the spool holds at most its bound, in memory and on disk, and the file does
// not grow with every line the backlog saw.
TEST(LineSpool, ALastingBacklogStaysBoundedInLinesAndInFileSize)
{
    TempDir dir;
    const std::string file = dir / "spool.dat";
    const std::string line(60, 'x');
    {
        LineSpool spool(file, 10, 1000);
        for (int i = 0; i < 20000; ++i) spool.Append(line);
        EXPECT_EQ(spool.Backlog(), 1000u);
        EXPECT_EQ(spool.Dropped(), 19000u);
        // The newest lines are kept.
        EXPECT_EQ(spool.Pending().rbegin()->first - spool.Pending().begin()->first, 999u);
        EXPECT_LT(Size(file), 3u * 1000 * 90 + 64 * 1024);
        // Acknowledged while new lines keep coming: still bounded.
        for (int i = 0; i < 20000; ++i) {
            spool.Append(line);
            spool.Acknowledge(spool.Pending().begin()->first);
        }
        EXPECT_LT(Size(file), 3u * 1000 * 90 + 64 * 1024);
    }
    LineSpool again(file, 10, 1000);
    EXPECT_EQ(again.Backlog(), 999u);
}

TEST(LineSpool, AFileDeletedOrAFolderMadeLaterIsWrittenAgainWithEveryWaitingLine)
{
    TempDir dir;
    const std::string file = dir / "spool.dat";
    LineSpool spool(file, 0);
    spool.Append("one");
    spool.Append("two");
    std::filesystem::remove(file);
    LineSpool::SyncCopy(spool.SyncDue());
    // Checked once a second at most.
    ASSERT_TRUE(WaitUntil([&] {
        LineSpool::SyncCopy(spool.SyncDue());
        return std::filesystem::exists(file);
    }));
    EXPECT_NE(spool.TakeNotice().find("neu angelegt"), std::string::npos);
    EXPECT_TRUE(spool.TakeNotice().empty());
    spool.Append("three");
    EXPECT_EQ(Lines(LineSpool(file)), (std::vector<std::string>{"one", "two", "three"}));

    const std::string later = dir / "later/spool.dat";
    LineSpool waiting(later, 0);
    EXPECT_TRUE(waiting.InMemoryOnly());
    EXPECT_NE(waiting.Error().find("nur im Speicher"), std::string::npos) << waiting.Error();
    waiting.Append("kept");
    std::filesystem::create_directories(dir / "later");
    ASSERT_TRUE(WaitUntil([&] {
        LineSpool::SyncCopy(waiting.SyncDue());
        return !waiting.InMemoryOnly();
    }));
    EXPECT_NE(waiting.TakeNotice().find("angelegt"), std::string::npos);
    EXPECT_TRUE(waiting.Error().empty());
    EXPECT_EQ(Lines(LineSpool(later)), std::vector<std::string>{"kept"});
}
