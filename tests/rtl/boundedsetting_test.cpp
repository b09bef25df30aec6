#include <gtest/gtest.h>

#include "../support/TempDir.h"
#include "mox/rtl/BoundedSetting.h"
#include "mox/rtl/IniFile.h"

TEST(BoundedSetting, OutOfRangeGivesTheNearestBoundAndIsToldOnce)
{
    TempDir dir;
    WriteBytes(dir / "mox.ini", "[Batch]\r\nIntervall=35792\r\nTief=-7\r\nRiesig=99999999999999999999\r\nGut=12\r\n"
                                "Text=zwölf\r\n");
    TIniFile ini(dir / "mox.ini");
    TakeSettingNotes();
    const IntRange range{1, 30};
    EXPECT_EQ(ReadBoundedInteger(ini, "Batch", "Intervall", 1, range), 30);
    EXPECT_EQ(ReadBoundedInteger(ini, "Batch", "Tief", 1, range), 1);
    // Beyond what an int holds is still a number, too large: the top, not the default.
    EXPECT_EQ(ReadBoundedInteger(ini, "Batch", "Riesig", 5, range), 30);
    EXPECT_EQ(ReadBoundedInteger(ini, "Batch", "Gut", 1, range), 12);
    EXPECT_EQ(ReadBoundedInteger(ini, "Batch", "Text", 4, range), 4);
    EXPECT_EQ(ReadBoundedInteger(ini, "Batch", "Fehlt", 90, {1, 9}), 90);  // a missing key: its default

    const std::vector<std::string> notes = TakeSettingNotes();
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0], dir / "mox.ini" + ": [Batch] Intervall=35792 liegt nicht zwischen 1 und 30; es gilt 30.");
    // Read again, as the station reads some keys at every batch: not told again.
    EXPECT_EQ(ReadBoundedInteger(ini, "Batch", "Intervall", 1, range), 30);
    EXPECT_TRUE(TakeSettingNotes().empty());
}

TEST(BoundedSetting, ControlCharactersAreShownNotObeyed)
{
    EXPECT_EQ(VisibleText(std::string("/data\0/x\x1b[2J\tend", 16)), "/data\\x00/x\\x1B[2J\\x09end");
    EXPECT_EQ(VisibleText("Zeile 1\nZeile 2 \xC3\xA4"), "Zeile 1\nZeile 2 \xC3\xA4");
}
