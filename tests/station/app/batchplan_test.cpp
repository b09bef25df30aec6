#include <gtest/gtest.h>

#include "station/app/BatchPlan.h"

TEST(BatchPlan, FileNamesOfTheBatchOutputs)
{
    EXPECT_EQ(SnapshotName("/daten/"), "/daten/mox_data.txt");
    EXPECT_EQ(ImageBase("/srv/www/"), "/srv/www/mox_data");
    EXPECT_EQ(PreviewBase("/srv/www/mox_data"), "/srv/www/mox_small");
    EXPECT_EQ(OneShotBase("/srv/www/", "/daten/20030615.txt"), "/srv/www/20030615");
    EXPECT_EQ(OneShotBase("/srv/www/", "tag.txt"), "/srv/www/tag");
    EXPECT_EQ(ImageExtension(0), ".bmp");
    EXPECT_EQ(ImageExtension(2), ".png");
    EXPECT_EQ(ImageExtension(3), "");
}

TEST(BatchPlan, SaveDialogTakesOnlyTheExactExtensions)
{
    EXPECT_EQ(FormatOfExtension("/tmp/diagram.png"), 2);
    EXPECT_EQ(FormatOfExtension("/tmp/diagram.jpg"), 1);
    EXPECT_EQ(FormatOfExtension("/tmp/diagram.bmp"), 0);
    EXPECT_EQ(FormatOfExtension("/tmp/diagram.PNG"), -1);
    EXPECT_EQ(FormatOfExtension("/tmp/diagram.jpeg"), -1);
    EXPECT_EQ(FormatOfExtension("/tmp/diagram"), -1);
}

TEST(BatchPlan, OneShotSizesKeepTheWindowBelowTheirMinimum)
{
    int v = 0;
    EXPECT_TRUE(ParseSizeArgument("400", 400, 600, v));
    EXPECT_EQ(v, 400);
    EXPECT_TRUE(ParseSizeArgument("399", 400, 600, v));
    EXPECT_EQ(v, 600);
    EXPECT_FALSE(ParseSizeArgument("breit", 400, 600, v));
    EXPECT_FALSE(ParseSizeArgument("", 400, 600, v));
}

TEST(BatchPlan, UploadEveryNthBatch)
{
    UploadSchedule every3("/usr/local/bin/upload", 3);
    std::string due;
    for (int batch = 1; batch <= 9; ++batch) due += every3.BatchDone() ? '1' : '0';
    EXPECT_EQ(due, "001001001");

    UploadSchedule zero("/usr/local/bin/upload", 0);  // a hand-edited 0 means every batch
    EXPECT_TRUE(zero.BatchDone());
    EXPECT_TRUE(zero.BatchDone());

    every3.BatchDone();
    every3.Set("/usr/local/bin/upload", 2);  // new settings keep the count
    EXPECT_TRUE(every3.BatchDone());

    UploadSchedule none("", 1);  // no command: the counter never moves
    EXPECT_FALSE(none.BatchDone());
    EXPECT_EQ(none.Counter(), 0);
}
