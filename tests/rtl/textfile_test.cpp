#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "../support/TempDir.h"
#include "mox/rtl/TextFile.h"

TEST(TextFile, WritesWindows1252WithCrLfAndReadsItBack)
{
    TempDir dir;
    const std::string f = dir / "a.txt";
    ASSERT_TRUE(WriteTextLines(f, {"Länge=13,5", "", "Grüße €"}));
    EXPECT_EQ(ReadBytes(f), "L\xE4nge=13,5\r\n\r\nGr\xFC\xDF"
                            "e \x80\r\n");
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadTextLines(f, lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"Länge=13,5", "", "Grüße €"}));
}

TEST(TextFile, ReadsLfAndUtf8AndKeepsOddBytes)
{
    TempDir dir;
    const std::string f = dir / "b.txt";
    // LF ends, a UTF-8 line, a line with a NUL byte, a last line without an end.
    WriteBytes(f, std::string("eins\nL\xC3\xA4nge\r\nx\0y\nende", 21));
    TextReader r(f);
    std::string line;
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, "eins");
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, "Länge");
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, std::string("x\0y", 3));
    EXPECT_FALSE(r.Eof());
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, "ende");
    EXPECT_EQ(r.LineNumber(), 4);
    EXPECT_TRUE(r.Eof());
    EXPECT_FALSE(r.ReadLine(line));
    EXPECT_FALSE(TextReader(dir / "missing.txt").IsOpen());
}

TEST(TextFile, AtomicWriterLeavesTheOldFileUntilCommit)
{
    TempDir dir;
    const std::string f = dir / "c.mox";
    ASSERT_TRUE(WriteTextLines(f, {"alt"}));
    {
        TextWriter w(f, true);
        ASSERT_TRUE(w.IsOpen());
        w.WriteLine("neu");
        EXPECT_EQ(ReadBytes(f), "alt\r\n");
        w.Abort();
    }
    EXPECT_EQ(ReadBytes(f), "alt\r\n");
    {
        TextWriter w(f, true);
        w.WriteLine("neu");
        EXPECT_TRUE(w.Commit());
    }
    EXPECT_EQ(ReadBytes(f), "neu\r\n");
    // Nothing but the target is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), std::filesystem::directory_iterator{}), 1);
    // A temporary that cannot be made (a folder stands in its place): the write fails, also
    // for root, and the target stays.
    std::filesystem::create_directory(AtomicFile::TemporaryName(f));
    errno = 0;
    EXPECT_FALSE(WriteTextLines(f, {"x"}));
    EXPECT_EQ(errno, EISDIR) << std::strerror(errno);
    EXPECT_EQ(ReadBytes(f), "neu\r\n");
    std::filesystem::remove(AtomicFile::TemporaryName(f));
    // A folder that cannot be written: the write fails and says so.
    std::filesystem::permissions(dir.path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (access(dir.path.c_str(), W_OK) != 0) {  // root may write anyway
        EXPECT_FALSE(WriteTextLines(f, {"x"}));
        EXPECT_EQ(ReadBytes(f), "neu\r\n");
    }
}

TEST(TextFile, FullDiskIsAFailureNotASuccess)
{
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP();
    TextWriter w("/dev/full", false);
    ASSERT_TRUE(w.IsOpen());
    for (int i = 0; i < 10000; ++i) w.WriteLine("0123456789012345678901234567890123456789");
    EXPECT_FALSE(w.Commit());
}

TEST(TextFile, CodePageConversions)
{
    EXPECT_EQ(Cp1252ToUtf8("\x80\x9F\xA0\xFF"), "€Ÿ\u00A0ÿ");
    EXPECT_EQ(Utf8ToCp1252("€ÿ日"), "\x80\xFF?");
    EXPECT_TRUE(IsValidUtf8("Länge"));
    EXPECT_FALSE(IsValidUtf8("L\xE4nge"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_EQ(DecodeLine("L\xE4nge"), "Länge");
}
