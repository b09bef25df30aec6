#include <gtest/gtest.h>

#include "../../support/SmallDisk.h"
#include "../../support/TempDir.h"
#include "station/app/DaySnapshot.h"
#include "station/app/OutputTail.h"

TEST(DaySnapshot, WithoutRoomForTheCopyTheBatchDrawsFromTheDayLogAndSaysSoOnce)
{
    TempDir dir;
    SmallDisk disk(dir / "daten", 256);
    REQUIRE_SMALL_DISK(disk);
    const std::string log = disk / "20261208.txt", snapshot = disk / "mox_data.txt";
    DaySnapshot snapshots;
    WriteBytes(log, std::string(20000, 'x'));
    EXPECT_EQ(snapshots.Take(log, snapshot), snapshot);
    EXPECT_EQ(ReadBytes(snapshot).size(), 20000u);
    EXPECT_TRUE(snapshots.Problem().empty());

    // The day log grows until its copy no longer fits beside it.
    WriteBytes(log, std::string(150000, 'x'));
    EXPECT_EQ(snapshots.Take(log, snapshot), log);
    EXPECT_NE(snapshots.Problem().find("Kein Platz"), std::string::npos) << snapshots.Problem();
    EXPECT_NE(snapshots.Problem().find("braucht 147 kB"), std::string::npos) << snapshots.Problem();
    EXPECT_EQ(ReadBytes(snapshot).size(), 20000u);  // the last good copy, whole
    EXPECT_FALSE(std::filesystem::exists(snapshot + ".tmp"));
    WriteBytes(log, std::string(160000, 'x'));
    EXPECT_EQ(snapshots.Take(log, snapshot), log);
    EXPECT_EQ(snapshots.Problem(), "");  // told once, however the log grows

    // Room again: the copy is back, and a later shortage is told anew.
    WriteBytes(log, std::string(1000, 'x'));
    EXPECT_EQ(snapshots.Take(log, snapshot), snapshot);
    WriteBytes(log, std::string(150000, 'x'));
    EXPECT_EQ(snapshots.Take(log, snapshot), log);
    EXPECT_FALSE(snapshots.Problem().empty());
}

TEST(DaySnapshot, OtherFailuresNameTheirOwnReason)
{
    TempDir dir;
    DaySnapshot snapshots;
    WriteBytes(dir / "20261208.txt", "12:00:00 Y, 1\r\n");
    EXPECT_EQ(snapshots.Take(dir / "20261208.txt", dir / "fehlt/mox_data.txt"), dir / "20261208.txt");
    EXPECT_NE(snapshots.Problem().find("No such file or directory"), std::string::npos) << snapshots.Problem();
}

TEST(OutputTail, KeepsTheLastLinesOfAnyAmountOfOutput)
{
    OutputTail tail(3, 10);
    const std::string chunk = "Zeile\r\n";
    for (int i = 0; i < 100000; ++i) tail.Append(chunk.data(), chunk.size());
    tail.Append("vorletzte\nletzte ohne Ende und zu lang", 37);
    EXPECT_EQ(tail.Text(), "Zeile\nvorletzte\nletzte ohn...");
    EXPECT_EQ(tail.Total(), 700037u);
}
