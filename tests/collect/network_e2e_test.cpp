// A station network end to end: two simulated devices running over midnight, two MOX_View LOG
// stations publishing to a real broker, mox-collect filing. The broker goes away for several
// seconds and one station is killed and started again; in the end the collector's archive
// holds every station's day files byte for byte.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <map>
#include <regex>

#include "../devsim/DevSim.h"
#include "../support/Broker.h"
#include "../support/Process.h"
#include "../support/TempDir.h"

namespace {

constexpr int kLong = 120000;  // generous: two stations, a broker and a collector share the machine

// Day files of a folder (yyyymmdd.txt) with their bytes.
std::map<std::string, std::string> DayFiles(const std::string& folder)
{
    std::map<std::string, std::string> files;
    std::error_code ec;
    static const std::regex day("[0-9]{8}\\.txt");
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        if (std::regex_match(e.path().filename().string(), day))
            files[e.path().filename().string()] = ReadBytes(e.path().string());
    return files;
}

struct Station {
    std::string name, ini, data, log;
};

Station MakeStation(const TempDir& dir, const std::string& name, const std::string& link, int port)
{
    Station s{name, dir / (name + ".ini"), dir / (name + "-data"), dir / (name + ".log")};
    std::filesystem::create_directories(s.data);
    WriteBytes(s.ini, "[Verzeichnisse]\r\nDatenverzeichnis=" + s.data + "\r\nBilder=" + dir / (name + "-web") +
                          "\r\n[COM-Port]\r\nPort=" + link + "\r\n[Batch]\r\nIntervall=1\r\nBildformat=2\r\n"
                          "[MQTT]\r\nHost=127.0.0.1\r\nPort=" + std::to_string(port) + "\r\nStation=" + name + "\r\n");
    return s;
}

std::unique_ptr<ChildProcess> StartStation(const Station& s)
{
    return std::make_unique<ChildProcess>(std::vector<std::string>{MOX_BINARY_DIR "/bin/MOX_View", "LOG"}, s.log,
                                          std::vector<std::string>{"MOX_INI=" + s.ini, "QT_QPA_PLATFORM=offscreen"});
}

bool HasFile(const Station& s, const std::string& name) { return DayFiles(s.data).count(name) > 0; }

// The online topic of the station shows `value`, retained or as it changes.
bool OnlineBecomes(int port, const std::string& station, const std::string& value)
{
    TestSubscriber look(port, "mox/" + station + "/online");
    return WaitFor(
        [&] {
            const auto p = look.Payloads("mox/" + station + "/online");
            return !p.empty() && p.back() == value;
        },
        kLong);
}

}  // namespace

TEST(StationNetwork, TheArchiveEqualsEveryStationsDayFilesAfterOutagesAndAKill)
{
    TempDir dir;
    TestBroker broker(dir / "broker");
    ASSERT_TRUE(broker.Running());
    const std::string archive = dir / "archive", collectLog = dir / "collect.log";
    ChildProcess collect({MOX_BINARY_DIR "/bin/mox-collect", "--host", "127.0.0.1", "--port",
                          std::to_string(broker.Port()), "--root", archive, "--id", "e2e-archive"},
                         collectLog);
    ASSERT_TRUE(WaitFor([&] { return ReadBytes(collectLog).find("verbunden") != std::string::npos; }, kLong));

    // Six device seconds per second: midnight comes after about ten seconds.
    auto simNord = std::make_unique<TDevSim>(std::vector<std::string>{
        "--start", "2026-12-08T23:59:00", "--speed", "6", "--interval", "1", "--sensors", "2"});
    auto simSued = std::make_unique<TDevSim>(std::vector<std::string>{
        "--start", "2026-12-08T23:59:05", "--speed", "6", "--interval", "2", "--sensors", "1", "--seed", "7"});
    ASSERT_TRUE(simNord->Started() && simSued->Started());
    const Station nord = MakeStation(dir, "Nord", simNord->Link(), broker.Port());
    const Station sued = MakeStation(dir, "Sued_2", simSued->Link(), broker.Port());
    TestSubscriber status(broker.Port(), "mox/+/status");
    auto stationNord = StartStation(nord);
    auto stationSued = StartStation(sued);

    ASSERT_TRUE(WaitFor([&] { return HasFile(nord, "20261209.txt") && HasFile(sued, "20261209.txt"); }, kLong))
        << "no line after midnight";

    // The broker goes away for several seconds; the stations keep logging and spool.
    broker.Stop();
    const std::size_t before = DayFiles(nord.data)["20261209.txt"].size();
    WaitFor([] { return false; }, 5000);
    EXPECT_GT(DayFiles(nord.data)["20261209.txt"].size(), before) << "the station stopped logging";
    ASSERT_TRUE(broker.Start());

    // One station is killed outright: its will says it is gone. Then it starts again.
    const std::size_t sizeSued = DayFiles(sued.data)["20261209.txt"].size();
    ASSERT_TRUE(WaitFor([&] { return DayFiles(sued.data)["20261209.txt"].size() > sizeSued; }, kLong));
    stationSued->Stop(SIGKILL);
    EXPECT_TRUE(OnlineBecomes(broker.Port(), "Sued_2", "0")) << "no last will";
    stationSued = StartStation(sued);

    // The first batch of the station that ran throughout brings the retained state.
    ASSERT_TRUE(WaitFor([&] { return !status.Payloads("mox/Nord/status").empty(); }, kLong)) << "no status";

    // The devices fall silent; everything spooled reaches the archive.
    simNord.reset();
    simSued.reset();
    for (const Station* s : {&nord, &sued}) {
        const bool equal =
            WaitFor([&] { return !DayFiles(s->data).empty() && DayFiles(archive + "/" + s->name) == DayFiles(s->data); },
                    kLong);
        EXPECT_TRUE(equal) << s->name;
        if (!equal) continue;
        const auto files = DayFiles(s->data);
        EXPECT_EQ(files.size(), 2u) << s->name;  // both days
    }
    EXPECT_TRUE(OnlineBecomes(broker.Port(), "Sued_2", "1"));

    // A subscriber arriving now gets the state from the broker's store, as valid JSON.
    TestSubscriber later(broker.Port(), "mox/Nord/status");
    ASSERT_TRUE(WaitFor([&] { return !later.Messages().empty(); }, kLong));
    EXPECT_TRUE(later.Messages().front().retained);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(later.Messages().front().payload), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << later.Messages().front().payload;
    EXPECT_EQ(doc.object()["station"].toString(), "Nord");
    EXPECT_TRUE(doc.object()["time"].toString().startsWith("2026-12-09T"));

    EXPECT_EQ(stationNord->Stop(SIGTERM), 0);
    EXPECT_EQ(stationSued->Stop(SIGTERM), 0);
    EXPECT_EQ(collect.Stop(SIGTERM), 0);
}
