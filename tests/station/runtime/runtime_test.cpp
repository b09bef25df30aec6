// The logging station's runtime, driven line by line with a fake port and clock: what is
// filed where, what the observer is told, and what the batch publishes.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "../../support/SlowMedium.h"
#include "FakeStation.h"
#include "mox/rtl/AtomicFile.h"
#include "mox/rtl/TextFile.h"
#include "station/app/BatchRun.h"
#include "station/app/Reports.h"
#include "station/runtime/UploadRunner.h"

namespace {

std::vector<std::string> FileLines(const std::string& file)
{
    std::vector<std::string> lines;
    ReadTextLines(file, lines);
    return lines;
}

using StationRuntimeTest = RuntimeTest;

const char* const kDataOutputs[] = {"mox_data.txt", "mox_data.mox", "mox_data.log"};
const char* const kImageOutputs[] = {"mox_data.png",     "mox_small.png",    "mox_data.wap",
                                     "mox_data_wap.png", "mox_data_wap.txt", "mox_data.htm"};

// A batch that copies the day log whole and writes every output anew, into folders of its own:
// what the station's batch has always published.
class WholeBatch {
public:
    WholeBatch(const TempDir& dir, const TIniFile& ini, const std::string& templates, int run)
        : data(dir / ("whole-" + std::to_string(run) + "/data/")),
          images(dir / ("whole-" + std::to_string(run) + "/images/"))
    {
        std::filesystem::create_directories(data);
        std::filesystem::create_directories(images);
        for (const char* t : {"Header.txt", "Footer.txt"}) std::filesystem::copy_file(templates + t, images + t);
        settings = ReadStationSettings(ini, diagram, true);
    }
    void Run(const std::string& log)
    {
        ASSERT_TRUE(CopyFileAtomically(log, data + "mox_data.txt"));
        ASSERT_EQ(LoadDay(diagram, data + "mox_data.txt", settings.BatchVortag), "");
        diagram.bestimme_K_Wert();
        BatchOutputs out;
        out.ImageDir = images;
        out.Format = 2;
        out.Preview = settings.BatchVorschau;
        Reports reports;
        ASSERT_TRUE(PublishDay(diagram, out, reports));
    }

    std::string data, images;

private:
    TMOX_Diagram diagram;
    StationSettings settings;
};

// (inode, modification time in ns) of every file the batch publishes.
std::map<std::string, std::pair<ino_t, long long>> Stamps(const std::string& data, const std::string& images)
{
    std::map<std::string, std::pair<ino_t, long long>> stamps;
    auto add = [&](const std::string& path) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0)
            stamps[path] = {st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
    };
    for (const char* f : kDataOutputs) add(data + f);
    for (const char* f : kImageOutputs) add(images + f);
    return stamps;
}

}  // namespace

TEST(ReportChannelTest, EachMatterIsToldOnceUntilItChangesOrIsSettled)
{
    ReportChannel channel;
    std::vector<std::string> seen;
    channel.AddSink([&](const Report& r) { seen.push_back(r.Text); });
    channel.Tell({LogLevel::Warning, "Bild fehlt", "image", true});
    channel.Tell({LogLevel::Warning, "Bild fehlt", "image", true});
    channel.Tell({LogLevel::Warning, "Seite fehlt", "page", true});
    channel.Tell({LogLevel::Warning, "Bild fehlt wieder", "image", true});
    channel.Tell({LogLevel::Info, "", "image", false});  // settled
    channel.Tell({LogLevel::Warning, "Bild fehlt wieder", "image", true});
    channel.Tell({LogLevel::Info, "jedes Mal", "", false});
    channel.Tell({LogLevel::Info, "jedes Mal", "", false});
    channel.Tell({LogLevel::Warning,
                  std::string("Steuer\x1b"
                              "zeichen"),
                  "", false});
    EXPECT_EQ(seen, (std::vector<std::string>{"Bild fehlt", "Seite fehlt", "Bild fehlt wieder", "Bild fehlt wieder",
                                              "jedes Mal", "jedes Mal", "Steuer\\x1Bzeichen"}));
}

TEST_F(StationRuntimeTest, LinesAreFiledIntoTheDaysTheyBelongToAcrossMidnight)
{
    wall = 1055721590;  // 15.06.03 23:59:50
    Start();
    EXPECT_TRUE(port->IsOpen());
    EXPECT_EQ(port->Name(), "ttyFAKE");
    SendLines(20);
    port->Send("MOX bereit");  // not a data line: shown, not filed
    EXPECT_EQ(runtime->LineText(), "20030616.txt: MOX bereit");
    SendLines(1);
    EXPECT_EQ(FileLines(data + "20030615.txt").size(), 10u);
    EXPECT_EQ(FileLines(data + "20030616.txt").size(), 11u);
    EXPECT_EQ(FileLines(data + "20030616.txt").front(), "16.06.03 00:00:00:  103");
    EXPECT_EQ(runtime->LineText().rfind("20030616.txt: 16.06.03 00:00:10", 0), 0u) << runtime->LineText();
    EXPECT_EQ(runtime->PortState(), "Logging...");
    EXPECT_EQ(runtime->Title().rfind("Logging ", 0), 0u);
    EXPECT_TRUE(told.empty()) << told.front().Text;
    // Handling lines leaves the process's date formats to the pictures and pages.
    EXPECT_EQ(FormatSettings().ShortDateFormat, "dd.mm.yy");
}

TEST_F(StationRuntimeTest, ALostDeviceIsToldOnceReopenedAndItsReturnToldUnderTheSameMatter)
{
    Start();
    SendLines(3);
    port->HangUp();
    EXPECT_TRUE(runtime->DeviceLost());
    EXPECT_EQ(runtime->PortState(), "Getrennt");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].Key, "port");
    EXPECT_TRUE(told[0].Box);
    EXPECT_EQ(told[0].Text.rfind("Keine Verbindung zum Gerät: die Gegenstelle hat aufgelegt", 0), 0u);
    EXPECT_NE(runtime->Service().Status().Text().find("Gerät getrennt"), std::string::npos);

    port->refuse = true;
    runtime->TryReopen();
    EXPECT_TRUE(runtime->DeviceLost());
    port->refuse = false;
    runtime->TryReopen();
    EXPECT_FALSE(runtime->DeviceLost());
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[1].Key, "port");
    EXPECT_EQ(told[1].Level, LogLevel::Info);
    EXPECT_EQ(told[1].Text.rfind("Das Gerät ist wieder verbunden (/dev/ttyFAKE, 12:00:03 UTC)", 0), 0u) << told[1].Text;
    SendLines(2);
    EXPECT_EQ(FileLines(data + "20030615.txt").size(), 5u);
    // A second loss for the same reason is news again.
    port->HangUp();
    EXPECT_EQ(told.size(), 3u);
}

TEST_F(StationRuntimeTest, APortThatCannotBeOpenedIsNamedAndTriedAgain)
{
    auto* refusing = new FakePort;  // handed over below
    refusing->refuse = true;
    WriteBytes(ini, "[Verzeichnisse]\r\nDatenverzeichnis=" + data + "\r\n[COM-Port]\r\nPort=ttyWEG\r\n");
    iniFile = std::make_unique<TIniFile>(ini);
    runtime = std::make_unique<StationRuntime>(*iniFile, diagram, ReadStationSettings(*iniFile, diagram, true),
                                               std::unique_ptr<LinePort>(refusing), reports,
                                               RuntimeClock{[this] { return mono; }, [this] { return wall; }});
    runtime->Start(false);
    ASSERT_EQ(Told("ttyWEG: kein solches Gerät").size(), 1u);
    EXPECT_EQ(runtime->Title(), "Gerät getrennt...");
    runtime->TryReopen();
    runtime->TryReopen();
    EXPECT_EQ(refusing->openings, 3);
    EXPECT_EQ(Told("ttyWEG").size(), 1u);  // told once, however often it is tried
}

TEST_F(StationRuntimeTest, PauseClosesThePortAndNoLineIsTakenUntilItGoesOn)
{
    Start();
    SendLines(2);
    runtime->SetPaused(true);
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(runtime->PortState(), "Pause...");
    EXPECT_NE(runtime->Service().Status().Text().find("Pause"), std::string::npos);
    runtime->Tick();
    runtime->SetPaused(false);
    EXPECT_TRUE(port->IsOpen());
    SendLines(1);
    EXPECT_EQ(FileLines(data + "20030615.txt").size(), 3u);
}

TEST_F(StationRuntimeTest, ASilentDeviceRaisesTheAlarmHasItsPortReopenedAndTheNextLineClearsIt)
{
    Start("Stille-Sekunden=5\r\n");
    SendLines(2);
    const int opened = port->openings;
    Advance(10);
    runtime->Tick();
    EXPECT_EQ(runtime->Alerts().rfind("Keine Daten seit ", 0), 0u) << runtime->Alerts();
    EXPECT_TRUE(runtime->Alarm());
    EXPECT_GT(port->openings, opened);
    EXPECT_EQ(Told("Keine Daten seit").size(), 1u);
    SendLines(1);
    EXPECT_TRUE(runtime->Alerts().empty()) << runtime->Alerts();
    EXPECT_FALSE(runtime->Alarm());
    EXPECT_EQ(Told("Wieder Daten vom Gerät").size(), 1u);
    EXPECT_NE(runtime->Service().Status().Text().find("Loggen, letzte Zeile "), std::string::npos);
}

TEST_F(StationRuntimeTest, ADeviceClockOutsideTheToleranceIsToldOnceAndItsLinesFiledAsSent)
{
    Start("Uhr-Toleranz=300\r\n");
    for (int i = 0; i < 5; ++i) {
        port->Send(DeviceLine(wall - 3600, 100));
        Advance(1);
    }
    const auto clock = Told("Uhr des Geräts");
    ASSERT_EQ(clock.size(), 1u);
    EXPECT_TRUE(clock[0].Box);
    EXPECT_NE(clock[0].Text.find("nach"), std::string::npos) << clock[0].Text;
    EXPECT_TRUE(runtime->Alarm());
    EXPECT_NE(runtime->Alerts().find("Uhr"), std::string::npos);
    EXPECT_EQ(FileLines(data + "20030615.txt").size(), 5u);
    EXPECT_EQ(FileLines(data + "20030615.txt").front(), "15.06.03 11:00:00:  100");
}

TEST_F(StationRuntimeTest, ADayLogDeletedWhileLoggingIsMadeAnewAndToldOnce)
{
    Start("Uhr-Toleranz=0\r\n");
    SendLines(5);
    std::filesystem::remove(data + "20030615.txt");
    SendLines(4);
    EXPECT_EQ(FileLines(data + "20030615.txt").size(), 4u);
    EXPECT_EQ(Told("gelöscht oder verschoben").size(), 1u);
    SendLines(4);
    EXPECT_EQ(FileLines(data + "20030615.txt").size(), 8u);
}

TEST_F(StationRuntimeTest, ASlowMediumHoldsUpNoLineAndTheLinesOfAFailedSyncAreFiledOnce)
{
    auto slow = std::make_unique<SlowMedium>();
    SlowMedium& medium = *slow;
    Start("Uhr-Toleranz=0\r\n", std::move(slow));
    std::vector<std::string> sent;
    auto send = [&](int n) {
        for (int i = 0; i < n; ++i) {
            sent.push_back(DeviceLine(wall, 100 + i));
            port->Send(sent.back());
            Advance(1);
            runtime->Tick();
        }
    };
    send(1);
    ASSERT_TRUE(medium.Started(1));
    // While the medium takes its time, the station goes on: lines, ticks, the timer's sync.
    send(30);
    runtime->SyncLog();
    EXPECT_EQ(medium.Begun(), 1);
    EXPECT_EQ(FileLines(data + "20030615.txt"), sent);
    EXPECT_FALSE(runtime->Alarm());

    // The sync fails: its news comes through the event loop, and the lines are written again.
    medium.End(false);
    ASSERT_TRUE(RunUntil([&] { return runtime->Logger().Waiting() > 0; }, 10000));
    for (int i = 0; i < 10; ++i) medium.End(true);
    send(2);
    runtime->Stop();
    EXPECT_EQ(FileLines(data + "20030615.txt"), sent);
    EXPECT_EQ(runtime->Logger().Waiting(), 0u);
}

TEST_F(StationRuntimeTest, TheBatchPublishesImagePagesAndStartsTheUploadOnItsSchedule)
{
    const std::string script = dir / "upload.sh";
    WriteBytes(script, "#!/bin/sh\necho $$ >> " + dir / "uploads" + "\n");
    chmod(script.c_str(), 0755);
    Start("[Batch]\r\nFTP-Kommando=" + script + "\r\nFTP-Intervall=2\r\nVorschau=1\r\nBildformat=2\r\n");
    int loaded = 0;
    runtime->OnDayLoaded = [&] { ++loaded; };
    runtime->RunBatch();  // nothing logged yet: nothing to draw
    EXPECT_EQ(runtime->BatchCount(), 0);
    SendLines(120);
    runtime->RunBatch();
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(runtime->BatchCount(), 1);
    for (const char* f : {"mox_data.png", "mox_small.png", "mox_data.wap", "mox_data_wap.png", "mox_data_wap.txt"})
        EXPECT_TRUE(std::filesystem::exists(images + f)) << f;
    // The page waits for its templates, told once.
    EXPECT_FALSE(std::filesystem::exists(images + "mox_data.htm"));
    EXPECT_EQ(Told("Header.txt").size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "uploads"));
    // The WAP text keeps the station's date format.
    EXPECT_EQ(FileLines(images + "mox_data.wap").at(3), "15.06.03");

    WriteBytes(images + "Header.txt", "<html><body>\r\n");
    WriteBytes(images + "Footer.txt", "</body></html>\r\n");
    SendLines(60);
    runtime->RunBatch();
    EXPECT_TRUE(std::filesystem::exists(images + "mox_data.htm"));
    EXPECT_EQ(Told("Header.txt").size(), 1u);
    // Every second batch starts the upload.
    ASSERT_TRUE(RunUntil([&] { return std::filesystem::exists(dir / "uploads"); }, 5000));
    std::filesystem::remove(images + "Footer.txt");
    runtime->RunBatch();
    EXPECT_EQ(Told("Footer.txt").size(), 2u);  // the first message named both templates
    EXPECT_EQ(told.back().Text.find("Header.txt"), std::string::npos) << told.back().Text;
}

// The batch appends to its copy of the day log and writes only what changed; whatever happens
// to the log and the copy between two batches, it publishes exactly what a batch that copies
// and writes everything whole publishes.
TEST_F(StationRuntimeTest, TheBatchPublishesWhatAWholeCopyWouldAndRewritesNothingUnchanged)
{
    Start("[Batch]\r\nBildformat=2\r\nVorschau=1\r\nWAP=1\r\nHTML=1\r\n");
    std::filesystem::create_directories(images);
    WriteBytes(images + "Header.txt", "<html><body>\r\n");
    WriteBytes(images + "Footer.txt", "</body></html>\r\n");
    const std::string copy = data + "mox_data.txt";
    int run = 0;
    auto batchAsWhole = [&](const std::string& step) {
        runtime->RunBatch();
        WholeBatch whole(dir, *iniFile, images, ++run);
        whole.Run(runtime->Logger().LogFileName());
        EXPECT_EQ(ReadBytes(copy), ReadBytes(runtime->Logger().LogFileName())) << step;
        for (const char* f : kDataOutputs)
            EXPECT_EQ(ReadBytes(data + f), ReadBytes(whole.data + f)) << step << ": " << f;
        for (const char* f : kImageOutputs)
            EXPECT_EQ(ReadBytes(images + f), ReadBytes(whole.images + f)) << step << ": " << f;
        for (const std::string& folder : {data, images})
            for (const auto& e : std::filesystem::directory_iterator(folder))
                EXPECT_NE(e.path().extension(), ".tmp") << step << ": " << e.path();
    };

    SendLines(300);
    batchAsWhole("first batch");
    struct stat first {};
    stat(copy.c_str(), &first);
    SendLines(120);
    batchAsWhole("log grown");
    struct stat grown {};
    stat(copy.c_str(), &grown);
    EXPECT_EQ(grown.st_ino, first.st_ino);  // appended to, not written anew

    // No new line: no file is written again.
    const auto before = Stamps(data, images);
    ASSERT_EQ(before.size(), 9u);
    batchAsWhole("nothing new");
    EXPECT_EQ(Stamps(data, images), before);

    // The copy edited in its middle, deleted, or the log replaced by another file.
    {
        std::fstream edit(copy, std::ios::in | std::ios::out | std::ios::binary);
        edit.seekp(100);
        edit.put('#');
    }
    SendLines(60);
    batchAsWhole("copy edited");
    std::filesystem::remove(copy);
    SendLines(60);
    batchAsWhole("copy deleted");
    const std::string log = runtime->Logger().LogFileName();
    std::string other = ReadBytes(log);
    other.erase(0, other.find('\n') + 1);
    WriteBytes(log + ".neu", other);
    std::filesystem::rename(log + ".neu", log);
    batchAsWhole("log replaced");
    SendLines(30);
    batchAsWhole("replaced log grown");
    std::filesystem::resize_file(log, std::filesystem::file_size(log) / 2);
    batchAsWhole("log cut back");

    // A new day: its own log, a new copy.
    wall += 86400 - wall % 86400;
    SendLines(120);
    ASSERT_NE(runtime->Logger().LogFileName(), log);
    batchAsWhole("new day");
    SendLines(60);
    batchAsWhole("new day grown");
    // The logger's word on the replaced log is the only warning.
    for (const Report& r : told)
        if (r.Text.find("gelöscht oder verschoben") == std::string::npos)
            EXPECT_FALSE(r.Level == LogLevel::Warning && !r.Text.empty()) << r.Text;
}

TEST_F(StationRuntimeTest, WithPublishingOnTheFilesKeepTheStationsDateFormat)
{
    // No broker listens: the lines wait in the spool, the batch goes on as ever.
    Start("[MQTT]\r\nHost=127.0.0.1\r\nPort=1\r\nStation=Nord\r\n");
    SendLines(120);
    EXPECT_EQ(runtime->MqttBacklog(), 120u);
    runtime->RunBatch();
    EXPECT_EQ(FormatSettings().ShortDateFormat, "dd.mm.yy");
    EXPECT_EQ(FileLines(images + "mox_data.wap").at(3), "15.06.03");
    const std::string graphData = ReadBytes(images + "mox_data_wap.txt");
    EXPECT_NE(graphData.find(",15.06.03,"), std::string::npos) << graphData.substr(0, 40);
    EXPECT_EQ(runtime->MqttText().rfind("MQTT getrennt: ", 0), 0u) << runtime->MqttText();
}

TEST_F(StationRuntimeTest, AFreshStationMakesItsOwnFoldersWithoutAWord)
{
    const std::string share = dir / "home/share";
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string before = saved ? saved : "";
    setenv("XDG_DATA_HOME", share.c_str(), 1);
    WriteBytes(ini, "[COM-Port]\r\nPort=ttyFAKE\r\n");
    iniFile = std::make_unique<TIniFile>(ini);
    auto p = std::make_unique<FakePort>();
    port = p.get();
    runtime =
        std::make_unique<StationRuntime>(*iniFile, diagram, ReadStationSettings(*iniFile, diagram, true), std::move(p),
                                         reports, RuntimeClock{[this] { return mono; }, [this] { return wall; }});
    runtime->Start(false);
    SendLines(3);
    EXPECT_EQ(runtime->Logger().LogFileName(), share + "/mox/data/20030615.txt");
    runtime->RunBatch();
    EXPECT_TRUE(std::filesystem::exists(share + "/mox/images/mox_data.bmp"));
    EXPECT_FALSE(runtime->Alarm());
    // What the first batch of a fresh station rightly tells is that the page templates are missing.
    for (const Report& r : told) EXPECT_TRUE(!r.Box || r.Text.find("Header.txt") != std::string::npos) << r.Text;
    if (saved) setenv("XDG_DATA_HOME", before.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
}

// A small filesystem of its own, unmounted at the end; empty `reason` when mounted.
class SmallMedium {
public:
    explicit SmallMedium(const std::string& path) : path(path)
    {
        std::filesystem::create_directories(path);
        if (mount("tmpfs", path.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) reason = std::strerror(errno);
    }
    ~SmallMedium()
    {
        if (reason.empty()) umount2(path.c_str(), MNT_DETACH);
    }
    void Fill()
    {
        std::ofstream fill(path + "fill", std::ios::binary);
        const std::string block(512, 'x');
        while (fill.write(block.data(), block.size()) && fill.flush()) {}
    }
    void Free() { std::filesystem::remove(path + "fill"); }

    std::string path, reason;
};

TEST_F(StationRuntimeTest, NoLineIsLostOrDoubledWhileTheMediumIsFullAcrossMidnight)
{
    data = dir / "klein/";
    SmallMedium medium(data);
    if (!medium.reason.empty())
        GTEST_SKIP() << "no small filesystem to fill: mounting a tmpfs failed (" << medium.reason
                     << "); this test needs root";
    wall = 1055721570;  // 15.06.03 23:59:30
    Start("Uhr-Toleranz=0\r\n");
    std::map<std::string, std::vector<std::string>> sent;
    auto send = [&](int n) {
        for (int i = 0; i < n; ++i) {
            const std::string line = DeviceLine(wall, 100 + i);
            sent[(line.substr(0, 2) == "15" ? "20030615" : "20030616") + std::string(".txt")].push_back(line);
            port->Send(line);
            Advance(1);
            runtime->Tick();
        }
    };
    send(10);
    medium.Fill();
    send(60);  // midnight passes while the lines wait
    EXPECT_NE(runtime->Service().Status().Text().find("Datenträger voll"), std::string::npos)
        << runtime->Service().Status().Text();
    EXPECT_TRUE(runtime->Alarm());
    EXPECT_EQ(Told("No space left").size(), 1u);
    medium.Free();
    send(5);
    EXPECT_FALSE(runtime->Alarm()) << runtime->Alerts();
    EXPECT_EQ(Told("Alle wartenden Zeilen sind geschrieben").size(), 1u);
    runtime->Stop();
    ASSERT_EQ(sent.size(), 2u);
    for (const auto& [name, lines] : sent) EXPECT_EQ(FileLines(data + name), lines) << name;
}

TEST_F(StationRuntimeTest, AStopOnAFullMediumLosesNoLineAndTheNextStartFilesThemFirst)
{
    data = dir / "klein/";
    SmallMedium medium(data);
    if (!medium.reason.empty())
        GTEST_SKIP() << "no small filesystem to fill: mounting a tmpfs failed (" << medium.reason
                     << "); this test needs root";
    Start("Uhr-Toleranz=0\r\n");
    std::vector<std::string> sent;
    auto send = [&](int n) {
        for (int i = 0; i < n; ++i) {
            sent.push_back(DeviceLine(wall, 100 + i));
            port->Send(sent.back());
            Advance(1);
            runtime->Tick();
        }
    };
    send(5);
    medium.Fill();
    send(200);  // beyond the page the day file already has
    ASSERT_NE(runtime->Service().Status().Text().find("Datenträger voll"), std::string::npos);
    runtime->Stop();
    runtime.reset();
    EXPECT_FALSE(FileLines(dir / "state/wartende-zeilen.txt").empty());

    medium.Free();
    told.clear();
    Start("Uhr-Toleranz=0\r\n");
    send(3);
    EXPECT_EQ(FileLines(data + "20030615.txt"), sent);
    EXPECT_FALSE(std::filesystem::exists(dir / "state/wartende-zeilen.txt"));
}
