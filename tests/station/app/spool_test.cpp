// The spool keeps every unacknowledged line across restarts and crashes, in order.
#include <gtest/gtest.h>

#include <filesystem>
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
