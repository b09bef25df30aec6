// The logging station's runtime, driven line by line with a fake port and clock: what is
// filed where, what the observer is told, and how the port is kept alive.
#include <gtest/gtest.h>

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "../../support/SlowMedium.h"
#include "FakeStation.h"
#include "station/app/Reports.h"

namespace {

using StationRuntimeTest = RuntimeTest;

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

// A terminal that opens and stays silent, as a serial port of the PC with no device behind it.
TEST_F(StationRuntimeTest, APortThatOpensButSendsNothingIsAskedAboutByNameOnce)
{
    Start("Erste-Zeile-Sekunden=1\r\n");
    Advance(1);
    runtime->Tick();
    const auto asked = Told("kein Gerät an ttyFAKE?");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].Box);
    EXPECT_FALSE(runtime->Alarm());  // a question, not yet the silence alarm
    Advance(5);
    runtime->Tick();
    EXPECT_EQ(Told("kein Gerät an").size(), 1u);
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
    // Told once, however often the port is opened anew while the silence lasts.
    for (int i = 0; i < 3; ++i) {
        const int before = port->openings;
        Advance(6);
        runtime->Tick();
        EXPECT_GT(port->openings, before);
    }
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

// Pauses and losses around midnight: each line the device sent while the port was open is in
// the file of its day once, in order; what it sent meanwhile was lost on the wire.
TEST_F(StationRuntimeTest, EveryLineSentWhileThePortIsOpenIsFiledOnceAcrossPauseLossAndMidnight)
{
    wall = 1055721570;  // 15.06.03 23:59:30
    Start("Uhr-Toleranz=0\r\n");
    std::map<std::string, std::vector<std::string>> filed;
    auto send = [&](int n) {
        for (int i = 0; i < n; ++i) {
            const std::string line = DeviceLine(wall, 100 + i);
            if (port->IsOpen())
                filed[(line.substr(0, 2) == "15" ? "20030615" : "20030616") + std::string(".txt")].push_back(line);
            port->Send(line);
            Advance(1);
            runtime->Tick();
        }
    };
    send(10);
    runtime->SetPaused(true);
    send(5);
    runtime->SetPaused(false);
    send(5);
    port->HangUp();
    send(10);  // midnight passes while the device is away
    runtime->TryReopen();
    send(5);
    runtime->SetPaused(true);
    send(3);
    runtime->SetPaused(false);
    send(5);
    runtime->Stop();
    ASSERT_EQ(filed.size(), 2u);
    for (const auto& [name, lines] : filed) EXPECT_EQ(FileLines(data + name), lines) << name;
}

// A data folder that does not exist is made and told; taken away while logging, it is made
// and told again.
TEST_F(StationRuntimeTest, AMissingDataFolderIsMadeAndToldEachTimeItIsMissing)
{
    data = dir / "nicht-da/daten/";
    images = dir / "bilder/neu/";
    Start("Uhr-Toleranz=0\r\n");
    const std::string made = "Das Datenverzeichnis " + data + " fehlte und wurde angelegt";
    SendLines(2);
    EXPECT_EQ(FileLines(data + "20030615.txt").size(), 2u);
    ASSERT_EQ(Told(made).size(), 1u);
    EXPECT_TRUE(Told(made)[0].Box);
    EXPECT_FALSE(runtime->Alarm());
    std::filesystem::remove_all(dir / "nicht-da");
    SendLines(3);
    EXPECT_EQ(FileLines(data + "20030615.txt").size(), 3u);
    EXPECT_EQ(Told(made).size(), 2u);
    // The batch makes the folder of the pictures it needs, and says so.
    runtime->RunBatch();
    EXPECT_TRUE(std::filesystem::exists(images + "mox_data.bmp"));
    EXPECT_EQ(Told("Das Bildverzeichnis " + images + " fehlte und wurde angelegt").size(), 1u);
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
    auto send = [&](int n) { SendTicking(n, sent); };
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
    auto send = [&](int n) { SendTicking(n, sent); };
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
