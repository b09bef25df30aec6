// The station's settings for publishing and the status text it publishes.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

#include "../../support/DayFiles.h"
#include "lines/MqttSettings.h"
#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"
#include "station/app/StationStatus.h"

namespace {

QJsonObject Parse(const std::string& json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json << "\n" << error.errorString().toStdString();
    return doc.object();
}

}  // namespace

TEST(MqttSettings, OffWithoutHostAndStationIdsThatFitATopicLevelAndAFolder)
{
    TempDir dir;
    WriteBytes(dir / "mox.ini", "[MQTT]\r\nStation=Berlin-Ost_2\r\nPasswort=geheim!\r\n");
    MqttSettings s = ReadMqttSettings(TIniFile(dir / "mox.ini"));
    EXPECT_FALSE(s.Enabled());
    EXPECT_EQ(s.Port, 1883);
    EXPECT_EQ(s.Password, "geheim!");
    EXPECT_EQ(MqttSettingsProblem(s), "");

    for (const char* bad : {"", "a b", "a/b", "a+", "#", "Görlitz", "a.b"}) {
        s.Station = bad;
        const std::string problem = MqttSettingsProblem(s);
        EXPECT_FALSE(problem.empty()) << bad;
        EXPECT_EQ(problem.find("geheim"), std::string::npos);
    }
    s.Station = "x";
    s.Port = 0;
    EXPECT_NE(MqttSettingsProblem(s).find("Port"), std::string::npos);
}

TEST(StationStatus, ValidJsonWithTheNewestDaysKValuesAndTheStationRecord)
{
    TempDir dir;
    TMOX_Diagram d;
    // Curve 2 carries the newest day (the day before is curve 1): block 1 quiet, block 2
    // alternating 0 and 40 nT with a jump to 300 nT in the newest hour, the rest empty.
    const auto today = Minutes([](int m) {
        if (m >= 360) return double(NAN);
        if (m == 350) return 300.0;
        return m < 180 ? 5.0 : (m % 2 ? 40.0 : 0.0);
    });
    WriteBytes(dir / "today.mox", DayFileText({{"Bx", today}}, "09.12.26"));
    WriteBytes(dir / "before.mox", DayFileText({{"Bx", Minutes([](int m) { return double(m); })}}, "08.12.26"));
    d.LoadData(dir / "before.mox", 0, 1);
    d.LoadData(dir / "today.mox", 0, 2);
    ASSERT_TRUE(d.is_loaded(1) && d.is_loaded(2));
    d.set_Ort("Lindenberg \"Süd\"");
    d.set_Breite("52.2 N");
    d.set_Laenge("14.1 E");
    d.set_Locator("JO62");
    d.set_Autor("Obs\\Team");
    d.set_Alarm_limit(4);  // 90 nT
    d.bestimme_K_Wert();
    const std::string line = "09.12.26 05:59:50: X,  12345  Y,  -20";
    const QJsonObject o = Parse(StationStatusJson(d, true, "Lindenberg", line, 17));
    EXPECT_EQ(o["station"].toString(), "Lindenberg");
    EXPECT_EQ(o["time"].toString(), "2026-12-09T05:59:50Z");
    const QJsonArray k = o["k"].toArray();
    ASSERT_EQ(k.size(), 8);
    EXPECT_EQ(k[0].toInt(), 0);
    EXPECT_EQ(k[1].toInt(), 7);  // the jump widens block 2 to 300 nT
    for (int b = 2; b < 8; ++b) EXPECT_TRUE(k[b].isNull()) << b;
    EXPECT_EQ(o["k_max"].toInt(), 7);
    EXPECT_EQ(o["k_day"].toString(), "2026-12-09");
    EXPECT_TRUE(o["alarm"].toBool());
    EXPECT_EQ(o["components"].toArray(), QJsonArray({"X", "Y"}));
    EXPECT_EQ(o["location"].toString(), QString::fromUtf8("Lindenberg \"Süd\""));
    EXPECT_EQ(o["author"].toString(), "Obs\\Team");
    EXPECT_EQ(o["latitude"].toString(), "52.2 N");
    EXPECT_EQ(o["longitude"].toString(), "14.1 E");
    EXPECT_EQ(o["locator"].toString(), "JO62");
    EXPECT_EQ(o["backlog"].toInt(), 17);

    // Quiet data: no alarm. Nothing loaded: all eight values null, no day.
    TMOX_Diagram quiet;
    WriteBytes(dir / "quiet.mox", DayFileText({{"Bx", Minutes([](int) { return 3.0; })}}, "09.12.26"));
    quiet.LoadData(dir / "quiet.mox", 0, 1);
    quiet.set_Alarm_limit(0);  // 10 nT
    quiet.bestimme_K_Wert();
    EXPECT_FALSE(Parse(StationStatusJson(quiet, false, "S", line, 0))["alarm"].toBool());
    TMOX_Diagram empty;
    empty.bestimme_K_Wert();
    const QJsonObject none = Parse(StationStatusJson(empty, false, "S", "MOX bereit\x01", 0));
    for (const auto& v : none["k"].toArray()) EXPECT_TRUE(v.isNull());
    EXPECT_TRUE(none["time"].isNull());
    EXPECT_TRUE(none["k_max"].isNull());
}
