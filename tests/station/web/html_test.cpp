#include <gtest/gtest.h>

#include <filesystem>

#include "WebSupport.h"
#include "station/app/WebPages.h"

namespace {

using HtmlTest = WebTest;

}  // namespace

// The templates are copied as they are stored, whatever their encoding, with CR LF line ends;
// the readings go between them as one quoted string, missing minutes as 0.
TEST_F(HtmlTest, PageAroundTheReadings)
{
    LoadTwo(1, Until(4, [](int m) { return m == 0   ? 1000.9
                                           : m == 1 ? NAN
                                           : m == 2 ? -3.7
                                                    : 12.0 + m; }), 2,
            [](int m) { return 500.0 + m; });
    WriteBytes(dir / "Header.txt", "<html>\r\n<head><meta charset=\"utf-8\"></head>\n<body>\xE4 \xC3\xBC\r\n");
    WriteBytes(dir / "Footer.txt", "</body>\n</html>");
    const std::string folder = dir.path.string();  // no trailing separator
    ASSERT_TRUE(PublishPage(false, folder, dir / "mox_data.htm"));
    EXPECT_EQ(ReadBytes(dir / "mox_data.htm"),
              "<html>\r\n<head><meta charset=\"utf-8\"></head>\r\n<body>\xE4 \xC3\xBC\r\n"
              "\"1000,0,-3,15,16,500,501,502,503,504\"</body>\r\n</html>\r\n");
}

TEST_F(HtmlTest, NoReadingOfTheFirstSensor)
{
    WriteBytes(dir / "Header.txt", "<p>\r\n");
    WriteBytes(dir / "Footer.txt", "");
    LoadOne(1, Constant(NAN));
    ASSERT_TRUE(PublishPage(false, dir.str(), dir / "one.htm"));
    EXPECT_EQ(ReadBytes(dir / "one.htm"), "<p>\r\n\"\"");

    // With the second sensor loaded its readings follow a comma, up to the first sensor's last.
    LoadTwo(1, Constant(NAN), 2, Constant(5000));
    ASSERT_TRUE(PublishPage(false, dir.str(), dir / "two.htm"));
    EXPECT_EQ(ReadBytes(dir / "two.htm"), "<p>\r\n\",\"");
}

TEST_F(HtmlTest, MissingTemplateLeavesThePageAlone)
{
    LoadOne(1, Constant(1000));
    WriteBytes(dir / "Header.txt", "<p>\r\n");
    WriteBytes(dir / "mox_data.htm", "yesterday");
    EXPECT_FALSE(PublishPage(false, dir.str(), dir / "mox_data.htm"));
    EXPECT_EQ(ReadBytes(dir / "mox_data.htm"), "yesterday");

    WriteBytes(dir / "Footer.txt", "</p>\r\n");
    EXPECT_FALSE(PublishPage(false, dir.str(), dir / "missing/mox_data.htm"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path)) files += e.is_regular_file();
    EXPECT_EQ(files, 4u);  // the day file, the templates and the old page: no temporary left
}

// With the previous day loaded beside it, the current day sits in curves 2 and 4.
TEST_F(HtmlTest, PreviousDayLoaded)
{
    LoadTwo(1, Constant(111), 3, Constant(333), "14.06.03", "Bx", "By");
    LoadTwo(2, Until(2, Constant(222)), 4, Until(2, Constant(444)), "15.06.03", "Bx", "Bz");
    WriteBytes(dir / "Header.txt", "");
    WriteBytes(dir / "Footer.txt", "\r\n");
    ASSERT_TRUE(PublishPage(true, dir.str(), dir / "mox_data.htm"));
    EXPECT_EQ(ReadBytes(dir / "mox_data.htm"), "\"222,222,222,444,444,444\"\r\n");

    ASSERT_TRUE(PublishWap(true, dir / "mox_data.wap"));
    const std::string wap = ReadBytes(dir / "mox_data.wap");
    EXPECT_NE(wap.find("\r\n15.06.03\r\n"), std::string::npos);
    EXPECT_NE(wap.find("\r\n00:00 - 00:03 UT\r\nMin. X Z Trend\r\nnow 222 444 * \r\n"), std::string::npos);
    std::string data = "L\xFCneburg,15.06.03,00:03,X,Z,50";
    for (int i = 0; i < 117; ++i) data += ",-";
    data += ",0,0,0";
    for (int i = 0; i < 117; ++i) data += ",-";
    EXPECT_EQ(ReadBytes(dir / "mox_data_wap.txt"), data + ",0,0,0");
}
