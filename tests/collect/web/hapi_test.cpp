// The web face's Qt-free units against a small archive of their own: HAPI's time forms, the
// refusals, data answers that hold exactly the archive's lines of the range, the minute
// values of the station's own conversion, and the stations' facts.
#include <gtest/gtest.h>

#include <sstream>

#include <cstdio>
#include <filesystem>

#include "../../support/TempDir.h"
#include "collect/Options.h"
#include "collect/web/DayConversion.h"
#include "collect/web/HapiTime.h"
#include "collect/web/StationBoard.h"
#include "collect/web/WebFace.h"

namespace {

// Lines of 09.12.26 from 23:58:00 on, one a second, and the first minutes of the next day.
void WriteArchive(const std::string& root)
{
    std::filesystem::create_directories(root + "/Ost");
    std::string day1, day2;
    char line[80];
    for (int s = 0; s < 120; ++s) {
        std::snprintf(line, sizeof line, "09.12.26 23:%02d:%02d: X,  %d, Y, %d\r\n", 58 + s / 60, s % 60, 17000 + s,
                      -300 - s);
        day1 += line;
    }
    day1 += "10.12.26 00:00:00: X,  1, Y, 1\r\n";  // a line of another day, filed here by mistake
    for (int s = 0; s < 180; ++s) {
        std::snprintf(line, sizeof line, "10.12.26 00:%02d:%02d: X,  %d, Y, %d\r\n", s / 60, s % 60, 18000 + s, s);
        day2 += line;
    }
    WriteBytes(root + "/Ost/20261209.txt", day1);
    WriteBytes(root + "/Ost/20261210.txt", day2);
    std::filesystem::create_directories(root + "/leer");
    std::filesystem::create_directories(root + "/nicht gueltig");
    WriteBytes(root + "/nicht gueltig/20261209.txt", day1);
}

std::string Body(HapiDataStream& s)
{
    std::string out;
    while (s.Next(out)) {}
    return out;
}

struct Web : ::testing::Test {
    TempDir dir;
    std::string root = dir / "archiv";
    Archive archive{root};
    DayConversion days{archive, dir / "arbeit"};
    HapiService hapi{archive, days};
    void SetUp() override { WriteArchive(root); }

    std::unique_ptr<HapiDataStream> Data(const HapiQuery& q)
    {
        HapiAnswer error;
        auto s = hapi.Data(q, error);
        EXPECT_TRUE(s) << error.body;
        return s;
    }
    HapiAnswer Refusal(const HapiQuery& q)
    {
        HapiAnswer error;
        EXPECT_FALSE(hapi.Data(q, error));
        return error;
    }
};

}  // namespace

TEST(HapiTime, RestrictedIsoFormsAndImpossibleDates)
{
    const std::int64_t midnight = 1765238400;  // 2025-12-09T00:00:00Z
    EXPECT_EQ(ParseHapiTime("2025-12-09"), midnight);
    EXPECT_EQ(ParseHapiTime("2025-12-09T00:00:00Z"), midnight);
    EXPECT_EQ(ParseHapiTime("2025-343"), midnight);
    EXPECT_EQ(ParseHapiTime("2025-343T01Z"), midnight + 3600);
    EXPECT_EQ(ParseHapiTime("2025-12-09T01:02Z"), midnight + 3720);
    EXPECT_EQ(ParseHapiTime("2025-12-09T01:02:03.000Z"), midnight + 3723);
    EXPECT_EQ(ParseHapiTime("2025-12-09T01:02:03.5Z"), midnight + 3724) << "a fraction rounds up";
    EXPECT_EQ(ParseHapiTime("2025-12-08T24:00Z"), midnight);
    EXPECT_EQ(ParseHapiTime("2024-366"), ParseHapiTime("2024-12-31"));
    for (const char* bad : {"", "2025-13-01", "2025-02-29", "2025-366", "2025-12-09T25Z", "2025-12-09T24:01Z",
                            "2025-12-09T10:60Z", "2025-12-9", "2025/12/09", "2025-12-09T10:00:00.Z", "abcd"})
        EXPECT_FALSE(ParseHapiTime(bad)) << bad;
    EXPECT_EQ(FormatHapiTime(midnight + 3723), "2025-12-09T01:02:03Z");
    EXPECT_EQ(DeviceLineTime("09.12.25 01:02:03: X, 1", 23), midnight + 3723);
    EXPECT_FALSE(DeviceLineTime("31.11.25 01:02:03: X, 1", 23));
    EXPECT_FALSE(DeviceLineTime("09.12.25 01:02", 14));
}

TEST(HttpAddress, PortAloneMeansLoopback)
{
    CollectOptions o;
    std::ostringstream out, err;
    ASSERT_EQ(ParseCollectOptions({"--host", "b", "--root", "r", "--http", "8080", "--http-clients", "5"}, o, out, err),
              -1);
    EXPECT_EQ(o.Http, "8080");
    EXPECT_EQ(o.HttpClients, 5);
    EXPECT_EQ(ParseCollectOptions({"--host", "b", "--root", "r", "--http-clients", "0"}, o, out, err), 2);

    std::string host, error;
    int port = 0;
    ASSERT_TRUE(ParseHttpAddress("8080", host, port, error));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 8080);
    ASSERT_TRUE(ParseHttpAddress("0.0.0.0:80", host, port, error));
    EXPECT_EQ(host, "0.0.0.0");
    ASSERT_TRUE(ParseHttpAddress("[::1]:81", host, port, error));
    EXPECT_EQ(host, "::1");
    for (const char* bad : {"", "x:80", "1.2.3.4:", "1.2.3.4:70000", "localhost:80", ":80"})
        EXPECT_FALSE(ParseHttpAddress(bad, host, port, error)) << bad;
}

TEST_F(Web, CatalogListsOnlyStationFoldersWithDayFiles)
{
    EXPECT_EQ(archive.Stations(), std::vector<std::string>{"Ost"});
    const HapiAnswer a = hapi.Answer("catalog", {});
    EXPECT_NE(a.body.find("\"Ost/raw\""), std::string::npos);
    EXPECT_NE(a.body.find("\"Ost/minute\""), std::string::npos);
    EXPECT_EQ(a.body.find("gueltig"), std::string::npos);
    const auto raw = archive.Find("Ost/raw");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->parameters, (std::vector<std::string>{"X", "Y"}));
    EXPECT_EQ(archive.Find("Ost/minute")->parameters, (std::vector<std::string>{"Bx", "By"}));
    for (const char* id : {"../Ost/raw", "Ost/../Ost/raw", "Ost/day", "Ost", "nicht gueltig/raw", "/etc/raw"})
        EXPECT_FALSE(archive.Find(id)) << id;
}

TEST_F(Web, ARangeGivesExactlyItsLinesAcrossMidnightAndNoneAtStop)
{
    auto s = Data({{"dataset", "Ost/raw"}, {"start", "2026-12-09T23:59:58Z"}, {"stop", "2026-12-10T00:00:02Z"}});
    ASSERT_TRUE(s);
    EXPECT_EQ(Body(*s), "2026-12-09T23:59:58Z,17118,-418\n2026-12-09T23:59:59Z,17119,-419\n"
                        "2026-12-10T00:00:00Z,18000,0\n2026-12-10T00:00:01Z,18001,1\n");
    EXPECT_EQ(s->Status(), 1200);
    EXPECT_EQ(s->Rows(), 4u);

    auto y = Data({{"dataset", "Ost/raw"},
                   {"parameters", "Y"},
                   {"start", "2026-12-10T00:00:00.5Z"},
                   {"stop", "2026-12-10T00:00:02.5Z"},
                   {"format", "json"}});
    const std::string json = Body(*y);
    EXPECT_NE(json.find("\"data\":[\n[\"2026-12-10T00:00:01Z\",1],\n[\"2026-12-10T00:00:02Z\",2]\n]}"),
              std::string::npos)
        << json;
    EXPECT_EQ(json.find("\"name\":\"X\""), std::string::npos);

    auto none = Data({{"dataset", "Ost/raw"}, {"start", "2026-12-11"}, {"stop", "2026-12-12"}, {"include", "header"}});
    const std::string empty = Body(*none);
    EXPECT_EQ(none->Status(), 1201);
    EXPECT_EQ(empty.rfind("#{\"HAPI\":\"3.3\",\"status\":{\"code\":1201", 0), 0u) << empty;
}

// The day's picture names the station by the record of its state, else by the record the
// archive keeps beside its days: the same picture either way, not the placeholder's.
TEST_F(Web, TheMagnetogramNamesTheStationAlsoWithoutItsState)
{
    const std::int64_t day = *ParseHapiTime("2026-12-10") / 86400;
    const std::string unnamed = days.Magnetogram("Ost", day, nullptr, 400, 250);
    StationRecord record;
    record.location = "Kiel";
    record.latitude = "54.3 N";
    record.longitude = "10.1 E";
    record.locator = "JO54";
    record.author = "Team Ost";
    const std::string named = days.Magnetogram("Ost", day, &record, 400, 250);
    WriteBytes(root + "/Ost/station.ini",
               "[MOX-Header]\r\nAutor=Team Ost\r\nOrt=Kiel\r\nLänge=10.1 E\r\nBreite=54.3 N\r\nLocator=JO54\r\n");
    const std::string kept = days.Magnetogram("Ost", day, nullptr, 400, 250);
    ASSERT_FALSE(named.empty());
    EXPECT_NE(named, unnamed);
    EXPECT_EQ(kept, named);
}

TEST_F(Web, ConversionsLeaveNothingBehind)
{
    ASSERT_TRUE(days.Day("Ost", *ParseHapiTime("2026-12-09") / 86400));
    EXPECT_FALSE(days.Magnetogram("Ost", *ParseHapiTime("2026-12-10") / 86400, nullptr, 400, 250).empty());
    EXPECT_TRUE(days.Magnetogram("Ost", *ParseHapiTime("2026-12-11") / 86400, nullptr, 400, 250).empty());
    std::size_t left = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir / "arbeit"))
        left += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(left, 0u);
}

TEST_F(Web, MinuteValuesAreTheStationsConversion)
{
    auto s = Data({{"dataset", "Ost/minute"}, {"start", "2026-12-09"}, {"stop", "2026-12-11"}});
    // Medians of 60 readings, the upper middle one; the stray line of the next day is no reading.
    EXPECT_EQ(Body(*s),
              "2026-12-09T23:58:00Z,17030,-329\n2026-12-09T23:59:00Z,17090,-389\n"
              "2026-12-10T00:00:00Z,18030,30\n2026-12-10T00:01:00Z,18090,90\n2026-12-10T00:02:00Z,18150,150\n");
    // The archive stays as it was: the conversion works on copies.
    EXPECT_FALSE(std::filesystem::exists(root + "/Ost/20261209.mox"));
    EXPECT_FALSE(std::filesystem::exists(root + "/Ost/20261209.log"));
}

TEST_F(Web, RefusalsCarryTheirStatusAndHttpCode)
{
    const std::string day = "2026-12-09";
    struct Case {
        HapiQuery q;
        int status, http;
    } cases[] = {
        {{{"dataset", "Ost/raw"}, {"parameters", "X,Q"}, {"start", day}, {"stop", "2026-12-10"}}, 1400, 400},
        {{{"dataset", "West/raw"}, {"start", day}, {"stop", "2026-12-10"}}, 1406, 404},
        {{{"dataset", "../../etc/raw"}, {"start", day}, {"stop", "2026-12-10"}}, 1406, 404},
        {{{"dataset", "Ost/raw"}, {"start", "gestern"}, {"stop", "2026-12-10"}}, 1402, 400},
        {{{"dataset", "Ost/raw"}, {"start", day}}, 1403, 400},
        {{{"dataset", "Ost/raw"}, {"start", day}, {"stop", day}}, 1404, 400},
        {{{"dataset", "Ost/raw"}, {"start", "2026-11-01"}, {"stop", "2026-12-10"}}, 1408, 400},
        {{{"dataset", "Ost/raw"}, {"start", day}, {"stop", "2026-12-10"}, {"format", "binary"}}, 1409, 400},
        {{{"dataset", "Ost/raw"}, {"start", day}, {"stop", "2026-12-10"}, {"include", "all"}}, 1410, 400},
        {{{"dataset", "Ost/raw"}, {"parameters", "Y,X"}, {"start", day}, {"stop", "2026-12-10"}}, 1411, 400},
        {{{"dataset", "Ost/raw"}, {"start", day}, {"stop", "2026-12-10"}, {"zeit", "1"}}, 1401, 400},
    };
    for (const Case& c : cases) {
        const HapiAnswer a = Refusal(c.q);
        EXPECT_EQ(a.status, c.status) << a.body;
        EXPECT_EQ(a.http, c.http) << a.body;
        EXPECT_NE(a.body.find("\"code\":" + std::to_string(c.status)), std::string::npos);
    }
    EXPECT_TRUE(Data({{"dataset", "Ost/minute"}, {"start", "2026-01-01"}, {"stop", "2027-01-01"}}))
        << "a year of minutes is allowed";
    EXPECT_EQ(hapi.Answer("info", {{"dataset", "Ost/raw"}, {"parameters", "Z"}}).status, 1400);
    EXPECT_EQ(hapi.Answer("nichts", {}).http, 400);
}

TEST(StationBoard, FactsActivityAndTheLivePush)
{
    StationBoard board(120);
    const std::int64_t t = *DeviceLineTime("09.12.26 12:00:00:", 18);
    board.Line("Ost", "09.12.26 12:00:00: X,  17000, Y, -5", t + 3);
    board.Online("Ost", true);
    StationRecord r;
    r.location = "Lindenberg \"Süd\"";
    r.latitude = "52,2";
    r.k = {1, 2, 5, -1, -1, -1, -1, -1};
    r.backlog = 12;
    board.Record("Ost", r);
    board.Line("West", "09.12.26 11:50:00: X,  1", t);  // ten minutes behind: backlog or a clock off
    const std::string status = board.StatusJson(t + 10);
    EXPECT_NE(status.find(
                  "{\"station\":\"Ost\",\"online\":true,\"last_line_time\":\"2026-12-09T12:00:00Z\","
                  "\"last_line_age_s\":10,\"backlog\":12,\"lag_s\":3,\"clock_ok\":true,\"k\":5,\"activity\":\"storm\""),
              std::string::npos)
        << status;
    EXPECT_NE(status.find("\"location\":\"Lindenberg \\\"Süd\\\"\""), std::string::npos);
    EXPECT_NE(status.find("\"station\":\"West\",\"online\":false"), std::string::npos);
    EXPECT_NE(status.find("\"backlog\":null,\"lag_s\":600,\"clock_ok\":false,\"k\":null,\"activity\":\"unknown\""),
              std::string::npos);
    EXPECT_STREQ(ActivityOf(2).key, "quiet");
    EXPECT_STREQ(ActivityOf(7).text, "starker Sturm");
    EXPECT_EQ(StationBoard::LineMessage("Ost", "09.12.26 12:00:00: X,  17000, Y, -5"),
              "{\"line\":{\"station\":\"Ost\",\"time\":\"2026-12-09T12:00:00Z\",\"values\":{\"X\":17000,\"Y\":-5}}}");
    EXPECT_EQ(StationBoard::LineMessage("Nord", "09.12.26 12:00:00:  42"),
              "{\"line\":{\"station\":\"Nord\",\"time\":\"2026-12-09T12:00:00Z\",\"values\":{\"B\":42}}}");
}
