#include <gtest/gtest.h>

#include "../../support/SmallDisk.h"
#include "../../support/TempDir.h"
#include "station/app/DaySnapshot.h"
#include "station/app/OutputTail.h"

TEST(DaySnapshot, WithoutRoomForTheCopyTheBatchDrawsFromASpareCopyElsewhereAndSaysSoOnce)
{
    TempDir dir;
    SmallDisk disk(dir / "daten", 256);
    REQUIRE_SMALL_DISK(disk);
    const std::string log = disk / "20261208.txt", snapshot = disk / "mox_data.txt";
    const std::string spare = dir / "run/mox-batch", copy = spare + "/mox_data.txt";
    DaySnapshot snapshots;
    WriteBytes(log, std::string(20000, 'x'));
    // The day before: its day file is older than its log, so its log goes beside the copy.
    WriteBytes(disk / "20261207.mox", "alt");
    WriteBytes(disk / "20261207.txt", "07.12.26 23:59:00: 1\r\n");
    EXPECT_EQ(snapshots.Take(log, snapshot, spare), snapshot);
    EXPECT_EQ(ReadBytes(snapshot).size(), 20000u);
    EXPECT_TRUE(snapshots.Problem().empty());

    // The day log grows until its copy no longer fits beside it.
    WriteBytes(log, std::string(140000, 'x'));
    EXPECT_EQ(snapshots.Take(log, snapshot, spare), copy);
    EXPECT_NE(snapshots.Problem().find("Kein Platz"), std::string::npos) << snapshots.Problem();
    EXPECT_NE(snapshots.Problem().find("braucht 137 kB"), std::string::npos) << snapshots.Problem();
    EXPECT_NE(snapshots.Problem().find("aus einer Kopie in " + spare), std::string::npos) << snapshots.Problem();
    EXPECT_EQ(ReadBytes(copy).size(), 140000u);
    EXPECT_EQ(ReadBytes(spare + "/20261207.txt"), "07.12.26 23:59:00: 1\r\n");
    EXPECT_FALSE(std::filesystem::exists(spare + "/20261207.mox"));
    EXPECT_EQ(ReadBytes(snapshot).size(), 20000u);  // the last good copy, whole
    EXPECT_FALSE(std::filesystem::exists(snapshot + ".tmp"));
    WriteBytes(log, std::string(150000, 'x'));
    EXPECT_EQ(snapshots.Take(log, snapshot, spare), copy);
    EXPECT_EQ(snapshots.Problem(), "");  // told once, however the log grows

    // Room again: the copy is back, and a later shortage is told anew.
    WriteBytes(log, std::string(1000, 'x'));
    EXPECT_EQ(snapshots.Take(log, snapshot, spare), snapshot);
    WriteBytes(log, std::string(150000, 'x'));
    EXPECT_EQ(snapshots.Take(log, snapshot, spare), copy);
    EXPECT_FALSE(snapshots.Problem().empty());

    // No room anywhere: nothing to draw from, rather than a day file written beside the log.
    WriteBytes(dir / "run/blocked", "");
    EXPECT_EQ(snapshots.Take(log, snapshot, dir / "run/blocked/mox-batch"), "");
    EXPECT_NE(snapshots.Problem().find("keine Bilder"), std::string::npos) << snapshots.Problem();
}

TEST(DaySnapshot, OtherFailuresNameTheirOwnReason)
{
    TempDir dir;
    DaySnapshot snapshots;
    WriteBytes(dir / "20261208.txt", "12:00:00 Y, 1\r\n");
    EXPECT_EQ(snapshots.Take(dir / "20261208.txt", dir / "fehlt/mox_data.txt", dir / "spare"),
              dir / "spare/mox_data.txt");
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
