#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "../support/TempDir.h"
#include "mox/rtl/IniFile.h"

TEST(IniFile, UmlautAndBlankKeysRoundTripInWindows1252)
{
    TempDir dir;
    TIniFile ini(dir / "mox.ini");
    EXPECT_TRUE(ini.WriteString("Station", "Länge", "13.5 E"));
    EXPECT_TRUE(ini.WriteBool("Diagramm", "Datum in Legende", true));
    EXPECT_TRUE(ini.WriteInteger("Station", "Intervall", -5));
    EXPECT_TRUE(ini.WriteString("Station", "Länge", "14.0 E"));  // replaced in place

    EXPECT_EQ(ReadBytes(dir / "mox.ini"),
              "[Station]\r\nL\xE4nge=14.0 E\r\nIntervall=-5\r\n\r\n[Diagramm]\r\nDatum in Legende=1\r\n");
    TIniFile again(dir / "mox.ini");
    EXPECT_EQ(again.ReadString("Station", "Länge", ""), "14.0 E");
    EXPECT_EQ(again.ReadString("station", "LÄNGE", "none"), "none");  // only ASCII folds
    EXPECT_EQ(again.ReadString("STATION", "länge", ""), "14.0 E");
    EXPECT_TRUE(again.ReadBool("Diagramm", "Datum in Legende", false));
    EXPECT_EQ(again.ReadInteger("Station", "Intervall", 0), -5);
    EXPECT_EQ(again.ReadSection("Station"), (std::vector<std::string>{"Länge", "Intervall"}));
}

TEST(IniFile, DefaultsForMissingAndUnreadableValues)
{
    TempDir dir;
    WriteBytes(dir / "mox.ini", "; comment\r\n[A]\r\nn=abc\r\nb=2\r\nz=0\r\nleer=\r\n  x = 7  \r\n[B]\n");
    TIniFile ini(dir / "mox.ini");
    EXPECT_EQ(ini.ReadInteger("A", "n", 42), 42);
    EXPECT_TRUE(ini.ReadBool("A", "b", false));  // any non-zero number is true
    EXPECT_FALSE(ini.ReadBool("A", "z", true));
    EXPECT_TRUE(ini.ReadBool("A", "n", true));  // not a number: the default
    EXPECT_FALSE(ini.ReadBool("A", "n", false));
    EXPECT_EQ(ini.ReadString("A", "leer", "d"), "");
    EXPECT_EQ(ini.ReadInteger("A", "x", 0), 7);
    EXPECT_EQ(ini.ReadString("B", "x", "d"), "d");
    EXPECT_EQ(ini.ReadString("C", "x", "d"), "d");
    EXPECT_TRUE(ini.SectionExists("B"));
    EXPECT_FALSE(ini.ValueExists("B", "x"));
    EXPECT_EQ(TIniFile(dir / "none.ini").ReadString("A", "n", "d"), "d");

    // Writing into an existing section keeps the comment and the other sections.
    ini.WriteString("A", "neu", "1");
    ini.WriteString("B", "y", "2");
    EXPECT_EQ(ReadBytes(dir / "mox.ini"),
              "; comment\r\n[A]\r\nn=abc\r\nb=2\r\nz=0\r\nleer=\r\n  x = 7  \r\nneu=1\r\n[B]\r\ny=2\r\n");
}

TEST(IniFile, EveryWriteReplacesTheFileAtomically)
{
    TempDir dir;
    const std::string f = (dir.path / "sub" / "mox.ini").string();  // parent folders are made
    TIniFile ini(f);
    ASSERT_TRUE(ini.WriteString("A", "k", "1"));
    // A second program's write is seen by the next read.
    TIniFile other(f);
    ASSERT_TRUE(other.WriteString("A", "k", "2"));
    EXPECT_EQ(ini.ReadString("A", "k", ""), "2");
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(dir.path / "sub"), std::filesystem::directory_iterator{}), 1);
    // When the new file cannot be written the old one stays whole.
    std::filesystem::permissions(dir.path / "sub",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (access((dir.path / "sub").c_str(), W_OK) != 0) {
        EXPECT_FALSE(ini.WriteString("A", "k", "3"));
        EXPECT_EQ(ini.ReadString("A", "k", ""), "2");
    }
    std::filesystem::permissions(dir.path / "sub", std::filesystem::perms::owner_all);
    EXPECT_TRUE(ini.DeleteKey("A", "k"));
    EXPECT_FALSE(ini.ValueExists("A", "k"));
    EXPECT_TRUE(ini.EraseSection("A"));
    EXPECT_FALSE(ini.SectionExists("A"));
}

TEST(IniFile, LocationRule)
{
    const char* saved = std::getenv("MOX_INI");
    const std::string keep = saved ? saved : "";
    setenv("MOX_INI", "/tmp/x/own.ini", 1);
    EXPECT_EQ(MoxIniPath(), "/tmp/x/own.ini");
    unsetenv("MOX_INI");
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(MoxIniPath(), "/cfg/mox/mox.ini");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/obs", 1);
    EXPECT_EQ(MoxIniPath(), "/home/obs/.config/mox/mox.ini");
    if (saved) setenv("MOX_INI", keep.c_str(), 1);
}
