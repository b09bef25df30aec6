// A station network end to end: simulated devices running over midnight, MOX_View LOG
// stations publishing to a real broker, mox-collect filing. Three networks run side by side,
// one per broker (mosquitto without and with persistence, NATS with JetStream), each through
// its own mishaps: the broker stopped or killed, the collector killed, a station killed, its
// spool lost, the archive's day file deleted, an outage beyond the spool's bound and the
// longest retry pause. In the end every archive holds every station's day files byte for byte,
// each day that had a gap rewritten whole, none left half rewritten. The stations run as the
// service runs them, without a display; one of them also publishes its pictures and pages and
// starts an upload after the batch it is asked for.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <thread>

#include "../devsim/DevSim.h"
#include "../support/Broker.h"
#include "../support/NatsBroker.h"
#include "../support/Process.h"
#include "../support/TempDir.h"

namespace {

constexpr int kLong = 120000;  // generous: three networks share the machine

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

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// How long the brokers stay away: 5 s by default, which the stations' small spool and short
// retry pause make an outage beyond both; MOX_TEST_OUTAGE_MS=120000 runs the same network
// through outages of two minutes at the real pace.
int OutageMs()
{
    const char* ms = std::getenv("MOX_TEST_OUTAGE_MS");
    return ms && std::atoi(ms) > 0 ? std::atoi(ms) : 5000;
}

// One of the brokers, behind one face.
class AnyBroker {
public:
    enum class Kind { Mosquitto, MosquittoPersistent, Nats };
    AnyBroker(Kind kind, const std::string& dir)
    {
        if (kind == Kind::Nats) nats = std::make_unique<NatsBroker>(dir);
        else mosquitto = std::make_unique<TestBroker>(dir, "", kind == Kind::MosquittoPersistent);
    }
    int Port() const { return nats ? nats->Port() : mosquitto->Port(); }
    bool Running() const { return nats ? nats->Running() : mosquitto->Running(); }
    bool Start() { return nats ? nats->Start() : mosquitto->Start(); }
    void Stop(int signal) { nats ? nats->Stop(signal) : mosquitto->Stop(signal); }

private:
    std::unique_ptr<TestBroker> mosquitto;
    std::unique_ptr<NatsBroker> nats;
};

struct Station {
    std::string name, ini, data, log;
    std::unique_ptr<TDevSim> device;
    std::unique_ptr<ChildProcess> program;

    void Start()
    {
        // As the service runs it: no display, and no platform named.
        program = std::make_unique<ChildProcess>(
            std::vector<std::string>{MOX_BINARY_DIR "/bin/MOX_View", "LOG"}, log,
            std::vector<std::string>{"MOX_INI=" + ini, "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"});
    }
    std::size_t Size(const std::string& day) { return DayFiles(data)[day].size(); }
    // Waits until the station has filed more of the day.
    bool Grows(const std::string& day)
    {
        const std::size_t before = Size(day);
        return WaitFor([&] { return Size(day) > before; }, kLong);
    }
};

// Six device seconds per second: midnight comes after about ten seconds. The spool holds only
// 20 lines and the longest retry pause is one second, so a few seconds of outage outlast both.
std::unique_ptr<Station> MakeStation(const TempDir& dir, const std::string& name, int port,
                                     const std::vector<std::string>& device, bool makeData = true,
                                     const std::string& batchKeys = "")
{
    auto s = std::make_unique<Station>();
    s->name = name;
    s->ini = dir / (name + ".ini");
    s->data = dir / (name + "-data");
    s->log = dir / (name + ".log");
    s->device = std::make_unique<TDevSim>(device);
    if (makeData) std::filesystem::create_directories(s->data);
    WriteBytes(s->ini,
               "[MOX-Header]\r\nOrt=Ort von " + name + "\r\n[Verzeichnisse]\r\nDatenverzeichnis=" + s->data +
                   "\r\nBilder=" + dir / (name + "-web") + "\r\n[COM-Port]\r\nPort=" + s->device->Link() +
                   "\r\n[Batch]\r\nIntervall=1\r\nBildformat=2\r\n" + batchKeys +
                   "[MQTT]\r\nHost=127.0.0.1\r\nPort=" + std::to_string(port) + "\r\nStation=" + name +
                   "\r\nArchiv=1\r\nSpoolgrenze=20\r\nWiederholung=1\r\nVerbindungsfrist=2\r\nNachsenden=3\r\n");
    return s;
}

class Network {
public:
    // `nordBatch`: more batch settings of the northern station.
    Network(AnyBroker::Kind kind, const TempDir& dir, const std::string& tag, const std::string& nordBatch = "")
        : broker(kind, dir / (tag + "-broker")), archive(dir / (tag + "-archive")),
          collectLog(dir / (tag + "-collect.log"))
    {
        nord = MakeStation(dir, tag + "_Nord", broker.Port(),
                           {"--start", "2026-12-08T23:59:00", "--speed", "6", "--interval", "1", "--sensors", "2"},
                           true, nordBatch);
        sued = MakeStation(
            dir, tag + "_Sued", broker.Port(),
            {"--start", "2026-12-08T23:59:05", "--speed", "6", "--interval", "2", "--sensors", "1", "--seed", "7"},
            // The data folder appears only when the station files its first line.
            false);
    }

    void StartCollector()
    {
        collect = std::make_unique<ChildProcess>(
            std::vector<std::string>{MOX_BINARY_DIR "/bin/mox-collect", "--host", "127.0.0.1", "--port",
                                     std::to_string(broker.Port()), "--root", archive, "--id", "archive", "--ack-ms",
                                     "100", "--request-ms", "500", "--retry-max", "1"},
            collectLog);
    }

    // Everything each station filed is in the archive, byte for byte, both days.
    void ExpectArchiveEqualsStations()
    {
        for (Station* s : {nord.get(), sued.get()}) {
            const bool equal = WaitFor(
                [&] { return !DayFiles(s->data).empty() && DayFiles(archive + "/" + s->name) == DayFiles(s->data); },
                kLong);
            EXPECT_TRUE(equal) << s->name << ": station " << DayFiles(s->data)["20261209.txt"].size()
                               << " bytes, archive " << DayFiles(archive + "/" + s->name)["20261209.txt"].size();
            EXPECT_EQ(DayFiles(s->data).size(), 2u) << s->name;
            // Days rewritten after their gaps are all in place: no rewrite is left half done.
            for (const auto& e : std::filesystem::directory_iterator(archive + "/" + s->name))
                EXPECT_NE(e.path().extension(), ".tmp") << e.path();
            // The station's record beside its days.
            EXPECT_EQ(ReadBytes(archive + "/" + s->name + "/station.ini"),
                      "[MOX-Header]\r\nOrt=Ort von " + s->name + "\r\n");
        }
    }

    void StopAll()
    {
        EXPECT_EQ(nord->program->Stop(SIGTERM), 0);
        EXPECT_EQ(sued->program->Stop(SIGTERM), 0);
        EXPECT_EQ(collect->Stop(SIGTERM), 0);
    }

    AnyBroker broker;
    std::string archive, collectLog;
    std::unique_ptr<Station> nord, sued;
    std::unique_ptr<ChildProcess> collect;
};

bool AfterMidnight(Network& n)
{
    return WaitFor([&] { return n.nord->Size("20261209.txt") > 0 && n.sued->Size("20261209.txt") > 0; }, kLong);
}

// Without persistence the broker forgets everything when stopped; one station is killed and
// started again, then the collector; then the archive's newest day file is deleted. The
// northern station also publishes its pictures and pages and starts an upload that outlives
// its time limit, all without a display.
void MosquittoForgetting(const TempDir& dir)
{
    const std::string web = dir / "A_Nord-web", upload = dir / "upload.sh", uploadPid = dir / "upload.pid";
    std::filesystem::create_directories(web);
    WriteBytes(web + "/Header.txt", "<html><body><pre>\r\n");
    WriteBytes(web + "/Footer.txt", "</pre></body></html>\r\n");
    WriteBytes(upload, "#!/bin/sh\necho $$ >> " + uploadPid + "\nexec sleep 60\n");
    chmod(upload.c_str(), 0755);
    Network n(AnyBroker::Kind::Mosquitto, dir, "A",
              "Vorschau=1\r\nFTP-Kommando=" + upload + "\r\nFTP-Intervall=1\r\nFTP-Timeout=3\r\n");
    ASSERT_TRUE(n.broker.Running());
    n.StartCollector();
    TestSubscriber status(n.broker.Port(), "mox/+/status");
    n.nord->Start();
    n.sued->Start();
    ASSERT_TRUE(AfterMidnight(n)) << "no line after midnight";

    n.broker.Stop(SIGTERM);
    Pause(OutageMs());
    ASSERT_TRUE(n.broker.Start());
    ASSERT_TRUE(n.sued->Grows("20261209.txt"));
    n.sued->program->Stop(SIGKILL);
    n.sued->Start();
    n.collect->Stop(SIGKILL);
    Pause(1000);
    n.StartCollector();
    ASSERT_TRUE(n.nord->Grows("20261209.txt"));
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(n.archive + "/A_Nord/20261209.txt"); }, kLong));
    std::filesystem::remove(n.archive + "/A_Nord/20261209.txt");
    ASSERT_TRUE(n.nord->Grows("20261209.txt"));

    // Published at once when asked, not only after the batch interval. The first batch of a
    // station brings the retained state, as valid JSON.
    ASSERT_EQ(kill(n.nord->program->Pid(), SIGUSR1), 0);
    ASSERT_TRUE(WaitFor([&] { return !status.Payloads("mox/A_Nord/status").empty(); }, kLong)) << "no status";
    QJsonParseError error;
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromStdString(status.Payloads("mox/A_Nord/status").back()), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(doc.object()["station"].toString(), "A_Nord");
    EXPECT_TRUE(doc.object()["time"].toString().startsWith("2026-12-09T"));
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(uploadPid); }, kLong)) << "no upload";
    for (const char* f : {"/mox_data.png", "/mox_small.png", "/mox_data.wap", "/mox_data_wap.png", "/mox_data_wap.txt",
                          "/mox_data.htm"})
        EXPECT_TRUE(std::filesystem::exists(web + f)) << f;
    EXPECT_EQ(ReadBytes(web + "/mox_data.htm").rfind("<html><body><pre>\r\n\"", 0), 0u);
    EXPECT_TRUE(WaitFor([&] { return !Running(uploadPid); }, 10000)) << "upload not ended at its limit";
    // Drawn and published with no display.
    const std::string maps = ReadBytes("/proc/" + std::to_string(n.nord->program->Pid()) + "/maps");
    EXPECT_EQ(maps.find("/platforms/"), std::string::npos) << "a Qt platform plugin is loaded";
    EXPECT_EQ(maps.find("libQt6Widgets"), std::string::npos) << "a widget library is loaded";
    EXPECT_EQ(maps.find("libQt6Gui"), std::string::npos) << "a graphics library is loaded";

    n.nord->device.reset();
    n.sued->device.reset();
    n.ExpectArchiveEqualsStations();
    n.StopAll();
}

// With persistence the broker is killed outright during an outage longer than the spool holds;
// one station is killed then and its spool file lost, the other's deleted while it runs.
void MosquittoKilled(const TempDir& dir)
{
    Network n(AnyBroker::Kind::MosquittoPersistent, dir, "B");
    ASSERT_TRUE(n.broker.Running());
    n.StartCollector();
    n.nord->Start();
    n.sued->Start();
    ASSERT_TRUE(AfterMidnight(n)) << "no line after midnight";

    n.broker.Stop(SIGKILL);
    ASSERT_TRUE(n.nord->Grows("20261209.txt"));
    std::filesystem::remove(n.nord->data + "/mqtt-spool.dat");
    n.sued->program->Stop(SIGKILL);
    std::filesystem::remove(n.sued->data + "/mqtt-spool.dat");
    n.sued->Start();
    Pause(OutageMs());
    // The spool of the running station is back, made again.
    EXPECT_TRUE(std::filesystem::exists(n.nord->data + "/mqtt-spool.dat"));
    ASSERT_TRUE(n.broker.Start());

    n.nord->device.reset();
    n.sued->device.reset();
    n.ExpectArchiveEqualsStations();
    n.StopAll();
}

// NATS serving MQTT over JetStream: stopped for a while, killed once, the collector killed.
void OverNats(const TempDir& dir)
{
    Network n(AnyBroker::Kind::Nats, dir, "C");
    ASSERT_TRUE(n.broker.Running());
    n.StartCollector();
    n.nord->Start();
    n.sued->Start();
    ASSERT_TRUE(AfterMidnight(n)) << "no line after midnight";

    n.broker.Stop(SIGTERM);
    Pause(OutageMs());
    ASSERT_TRUE(n.broker.Start());
    ASSERT_TRUE(n.nord->Grows("20261209.txt"));
    n.collect->Stop(SIGKILL);
    n.broker.Stop(SIGKILL);
    Pause(3000);
    ASSERT_TRUE(n.broker.Start());
    n.StartCollector();

    n.nord->device.reset();
    n.sued->device.reset();
    n.ExpectArchiveEqualsStations();
    n.StopAll();
}

}  // namespace

TEST(StationNetwork, EveryArchiveEqualsItsStationsDayFilesWhateverTheBrokerDoes)
{
    TempDir dir;
    std::thread a([&] { MosquittoForgetting(dir); });
    std::thread b([&] { MosquittoKilled(dir); });
    std::thread c([&] { OverNats(dir); });
    a.join();
    b.join();
    c.join();
}
