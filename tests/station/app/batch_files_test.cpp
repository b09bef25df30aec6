// What a batch writes: the copy of the day log that grows by appending, and the outputs that
// are replaced only when their content changed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "../../support/TempDir.h"
#include "mox/rtl/AtomicFile.h"
#include "station/app/BatchFiles.h"
#include "station/app/GrowingCopy.h"

namespace {

struct Identity {
    ino_t inode = 0;
    timespec mtime{};
    bool operator==(const Identity& o) const
    {
        return inode == o.inode && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

Identity IdentityOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return {st.st_ino, st.st_mtim};
}

// Dates the file back a day, so that any write to it shows in its time stamp however fast
// the test runs.
void Age(const std::string& path)
{
    timespec old[2];
    clock_gettime(CLOCK_REALTIME, &old[0]);
    old[0].tv_sec -= 86400;
    old[1] = old[0];
    EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), old, AT_SYMLINK_NOFOLLOW), 0) << path;
}

std::string Lines(int from, int to)
{
    std::string text;
    for (int i = from; i < to; ++i)
        text += "15.06.03 12:" + std::to_string(10 + i / 60) + ":" + std::to_string(10 + i % 50) + ": X, " +
                std::to_string(i) + "\r\n";
    return text;
}

}  // namespace

// After every update the copy is what a whole copy of the log would be, byte for byte; it
// grows in place while it holds the log's beginning and is made anew when it does not.
TEST(UpdateCopy, TheCopyIsAlwaysTheWholeLogAndGrowsInPlaceWhileItCan)
{
    TempDir dir;
    const std::string log = dir / "20030615.txt", copy = dir / "mox_data.txt";
    std::string text = Lines(0, 100);
    WriteBytes(log, text);
    ASSERT_TRUE(UpdateCopy(log, copy));
    EXPECT_EQ(ReadBytes(copy), text);

    // The log grows: the copy grows with it, the same file.
    const Identity first = IdentityOf(copy);
    text += Lines(100, 160);
    WriteBytes(log, text);
    ASSERT_TRUE(UpdateCopy(log, copy));
    EXPECT_EQ(ReadBytes(copy), text);
    EXPECT_EQ(IdentityOf(copy).inode, first.inode);

    // Nothing new: nothing written.
    Age(copy);
    const Identity aged = IdentityOf(copy);
    ASSERT_TRUE(UpdateCopy(log, copy));
    EXPECT_TRUE(IdentityOf(copy) == aged);
    EXPECT_FALSE(std::filesystem::exists(copy + ".tmp"));

    auto expectWholeCopy = [&](const char* step) {
        ASSERT_TRUE(UpdateCopy(log, copy)) << step;
        EXPECT_EQ(ReadBytes(copy), ReadBytes(log)) << step;
        EXPECT_FALSE(std::filesystem::exists(copy + ".tmp")) << step;
    };
    // A line in the middle of the log changed, the log the same length or longer.
    text[text.size() / 2] = '#';
    WriteBytes(log, text);
    expectWholeCopy("log changed");
    text[10] = '$';
    text += Lines(160, 170);
    WriteBytes(log, text);
    expectWholeCopy("log changed and grown");
    // The log cut back, then a new day's log in its place.
    text.resize(text.size() - 300);
    WriteBytes(log, text);
    expectWholeCopy("log cut back");
    WriteBytes(log, "16.06.03 00:00:01: X, 1\r\n");
    expectWholeCopy("new day");
    text = ReadBytes(log) + Lines(0, 50);
    WriteBytes(log, text);
    expectWholeCopy("new day grown");

    // The copy edited, cut short, made longer or deleted by someone else.
    WriteBytes(copy, ReadBytes(copy).replace(5, 3, "xyz"));
    text += Lines(50, 60);
    WriteBytes(log, text);
    expectWholeCopy("copy edited");
    WriteBytes(copy, text.substr(0, 17));
    expectWholeCopy("copy cut short");
    WriteBytes(copy, text + "more");
    expectWholeCopy("copy longer");
    std::filesystem::remove(copy);
    expectWholeCopy("copy deleted");
    WriteBytes(copy, "");
    expectWholeCopy("copy emptied");
}

// A copy that is a link, or has a second name, was replaced by a file of its own before; the
// file behind it is not written into.
TEST(UpdateCopy, ALinkedCopyIsReplacedNotWrittenThrough)
{
    TempDir dir;
    const std::string log = dir / "20030615.txt", copy = dir / "mox_data.txt", other = dir / "other.txt";
    const std::string begin = Lines(0, 10), text = begin + Lines(10, 20);
    WriteBytes(log, text);
    WriteBytes(other, begin);
    std::filesystem::create_symlink(other, copy);
    ASSERT_TRUE(UpdateCopy(log, copy));
    EXPECT_FALSE(std::filesystem::is_symlink(copy));
    EXPECT_EQ(ReadBytes(copy), text);
    EXPECT_EQ(ReadBytes(other), begin);

    std::filesystem::remove(copy);
    std::filesystem::create_hard_link(other, copy);
    ASSERT_TRUE(UpdateCopy(log, copy));
    EXPECT_EQ(ReadBytes(copy), text);
    EXPECT_EQ(ReadBytes(other), begin);
}

TEST(BatchFiles, AFileThatHoldsTheSameBytesIsLeftAloneAndAChangedOneReplacedWhole)
{
    TempDir dir;
    const std::string page = dir / "mox_data.htm";
    {
        BatchFiles files;
        ASSERT_TRUE(files.Stage(page, "eins"));
        EXPECT_FALSE(std::filesystem::exists(page));  // in place only when published
        EXPECT_TRUE(files.Publish().empty());
    }
    EXPECT_EQ(ReadBytes(page), "eins");

    Age(page);
    const Identity aged = IdentityOf(page);
    {
        BatchFiles files;
        ASSERT_TRUE(files.Stage(page, "eins"));
        EXPECT_TRUE(files.Publish().empty());
    }
    EXPECT_TRUE(IdentityOf(page) == aged);

    // The same length, other bytes: a new file takes the old one's place.
    {
        BatchFiles files;
        ASSERT_TRUE(files.Stage(page, "zwei"));
        EXPECT_EQ(ReadBytes(page), "eins");
        EXPECT_TRUE(files.Publish().empty());
    }
    EXPECT_EQ(ReadBytes(page), "zwei");
    EXPECT_NE(IdentityOf(page).inode, aged.inode);

    // A file another writer finished beside its target counts by its bytes alike.
    Age(page);
    const Identity again = IdentityOf(page);
    auto written = [&](const std::string& bytes) {
        auto file = std::make_unique<AtomicFile>();
        EXPECT_TRUE(file->Open(page));
        EXPECT_TRUE(file->Write(bytes));
        return file;
    };
    {
        BatchFiles files;
        files.Stage(written("zwei"));
        EXPECT_FALSE(std::filesystem::exists(page + ".tmp"));
        EXPECT_TRUE(files.Publish().empty());
    }
    EXPECT_TRUE(IdentityOf(page) == again);
    {
        BatchFiles files;
        files.Stage(written("drei"));
        EXPECT_TRUE(files.Publish().empty());
    }
    EXPECT_EQ(ReadBytes(page), "drei");

    // What is staged but never published leaves no temporary and the old file.
    {
        BatchFiles files;
        ASSERT_TRUE(files.Stage(page, "vier"));
    }
    EXPECT_EQ(ReadBytes(page), "drei");
    EXPECT_FALSE(std::filesystem::exists(page + ".tmp"));

    // A link with the same bytes behind it becomes a file, as every replacement made it.
    const std::string picture = dir / "mox_data.png", shared = dir / "shared.png";
    WriteBytes(shared, "bild");
    std::filesystem::create_symlink(shared, picture);
    {
        BatchFiles files;
        ASSERT_TRUE(files.Stage(picture, "bild"));
        EXPECT_TRUE(files.Publish().empty());
    }
    EXPECT_FALSE(std::filesystem::is_symlink(picture));
    EXPECT_EQ(ReadBytes(picture), "bild");
}
