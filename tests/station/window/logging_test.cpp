#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "../../devsim/DevSim.h"
#include "RecordedLines.h"
#include "StationTest.h"
#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"
#include "station/MainWindow.h"

namespace {

using LoggingStation = StationTest;

}  // namespace

TEST_F(LoggingStation, EveryLineSentWhileOpenLandsOnceInItsDayFile)
{
    const std::string record = dir / "sent.bin";
    // Thirty device seconds per real second, a minute before midnight; the line goes away
    // about a second after the pause below and comes back a second later.
    TDevSim sim({"--start", "2003-06-15T23:59:00", "--speed", "30", "--interval", "1", "--sensors", "2", "--record",
                 record, "--fault", "hangup-after=3600"});
    ASSERT_TRUE(sim.Started());
    std::filesystem::create_directory(dir / "data");
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + dir / "data" + "\r\n[COM-Port]\r\nPort=" + sim.Link() + "\r\n");

    TMain w({"log"});
    w.show();
    EXPECT_TRUE(w.LogMode());
    ASSERT_TRUE(w.Runtime()->Port().IsOpen()) << w.Runtime()->Port().LastError();
    ASSERT_TRUE(RunUntil([&] { return w.LogFileName() == dir / "data/20030616.txt"; }, 15000))
        << "no line of the new day";
    EXPECT_TRUE(w.ApplicationTitle().startsWith("Logging X/")) << w.ApplicationTitle().toStdString();
    EXPECT_TRUE(w.StatusPanel(0).startsWith("2003061")) << w.StatusPanel(0).toStdString();

    w.LoggenStartStoppClick();
    EXPECT_TRUE(w.Paused());
    EXPECT_EQ(w.ApplicationTitle(), "Pause...");
    EXPECT_EQ(w.StatusPanel(1), "Pause...");
    EXPECT_FALSE(w.Runtime()->Port().IsOpen());
    RunFor(1500);
    w.LoggenStartStoppClick();
    EXPECT_FALSE(w.Paused());
    EXPECT_TRUE(w.Runtime()->Port().IsOpen());

    // The simulator hangs up; the station notices, says so and comes back by itself.
    ASSERT_TRUE(RunUntil([&] { return !w.Runtime()->Port().IsOpen(); }, 30000)) << "no hang-up seen";
    EXPECT_EQ(w.ApplicationTitle(), "Gerät getrennt...");
    ASSERT_TRUE(RunUntil([&] { return w.Runtime()->Port().IsOpen(); }, 10000)) << "port not reopened";
    const auto loggedBefore = Lines(dir / "data/20030616.txt").size();
    ASSERT_TRUE(RunUntil([&] { return Lines(dir / "data/20030616.txt").size() > loggedBefore + 5; }, 10000));
    w.close();

    const auto expected = ExpectedDayFiles(ReadBytes(record));
    ASSERT_EQ(expected.size(), 2u);
    for (const auto& [name, lines] : expected) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Lines(dir / ("data/" + name)), lines);
    }
    EXPECT_GT(expected.at("20030615.txt").size(), 20u);
}

// A device at a high line rate: the status bar shows the latest line a few times a second,
// not every line.
TEST_F(LoggingStation, TheStatusLineFollowsFastDevicesAFewTimesASecond)
{
    std::optional<TDevSim> sim;
    sim.emplace(std::vector<std::string>{"--start", "2003-06-15T12:00:00", "--speed", "400", "--interval", "1"});
    ASSERT_TRUE(sim->Started());
    std::filesystem::create_directory(dir / "data");
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + dir / "data" + "\r\n[COM-Port]\r\nPort=" + sim->Link() + "\r\n");
    TMain w({"log"});
    w.show();
    ASSERT_TRUE(RunUntil([&] { return !w.StatusPanel(0).isEmpty(); }, 15000)) << "no line";
    std::set<QString> shown;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] { shown.insert(w.StatusPanel(0)); });
    sample.start(1);
    const auto logged = Lines(dir / "data/20030615.txt").size();
    RunFor(2000);
    sample.stop();
    const auto lines = Lines(dir / "data/20030615.txt").size() - logged;
    EXPECT_GT(lines, 100u) << "the device was too slow for the test";
    EXPECT_GE(shown.size(), 2u);
    EXPECT_LE(shown.size(), 12u);
    // The latest line is shown soon after it came.
    sim.reset();
    RunFor(600);
    const std::vector<std::string> last = Lines(dir / "data/20030615.txt");
    ASSERT_FALSE(last.empty());
    EXPECT_TRUE(w.StatusPanel(0).endsWith(QString::fromStdString(last.back()))) << w.StatusPanel(0).toStdString();
    w.close();
}

TEST_F(LoggingStation, AMissingDataFolderIsMadeAndToldOnce)
{
    TDevSim sim({"--speed", "20", "--interval", "1"});
    ASSERT_TRUE(sim.Started());
    const std::string missing = dir / "nicht-da/daten";
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + missing + "\r\nBilder=" + dir / "bilder/neu" +
             "\r\n[COM-Port]\r\nPort=" + sim.Link() + "\r\nUhr-Toleranz=0\r\n");
    TMain w({"LOG"});
    w.show();
    ASSERT_TRUE(
        RunUntil([&] { return std::filesystem::exists(missing) && !std::filesystem::is_empty(missing); }, 5000));
    EXPECT_TRUE(w.LastProblem().contains(QString::fromStdString(missing))) << w.LastProblem().toStdString();
    EXPECT_TRUE(w.LastProblem().contains("angelegt")) << w.LastProblem().toStdString();
    EXPECT_FALSE(w.StatusIsRed());
    // Taken away while logging: made again and told again.
    const std::string first = w.LogFileName();
    std::filesystem::remove_all(dir / "nicht-da");
    ASSERT_TRUE(RunUntil([&] { return std::filesystem::exists(first) && Lines(first).size() > 3; }, 5000));
    EXPECT_EQ(w.findChildren<QMessageBox*>().size(), 1);
    w.Runtime()->RunBatch();
    EXPECT_TRUE(w.LastProblem().contains(QString::fromStdString(dir / "bilder/neu/"))) << w.LastProblem().toStdString();
    EXPECT_TRUE(std::filesystem::exists(dir / "bilder/neu/mox_data.bmp"));
    w.close();
}

TEST_F(LoggingStation, APortThatCannotBeOpenedIsNamedAndTriedAgain)
{
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + dir.str() + "\r\n[COM-Port]\r\nPort=" + dir / "tty" + "\r\n");
    TMain w({"LOG"});
    w.show();
    EXPECT_FALSE(w.Runtime()->Port().IsOpen());
    EXPECT_TRUE(w.LastProblem().contains(QString::fromStdString(dir / "tty"))) << w.LastProblem().toStdString();
    EXPECT_EQ(w.ApplicationTitle(), "Gerät getrennt...");
    w.close();
}

// The warning about the lost device is not left standing once the line is back: it says so,
// and so does stderr, for the journal of a station that runs as a service.
TEST_F(LoggingStation, TheLostDeviceMessageTellsWhenTheDeviceIsBack)
{
    TDevSim sim({"--speed", "20", "--interval", "1", "--fault", "hangup-after=400"});
    ASSERT_TRUE(sim.Started());
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + dir.str() + "\r\n[COM-Port]\r\nPort=" + sim.Link() + "\r\n");
    StderrCapture err(dir / "stderr.txt");
    TMain w({"LOG"});
    w.show();
    ASSERT_TRUE(w.Runtime()->Port().IsOpen()) << w.Runtime()->Port().LastError();
    ASSERT_TRUE(RunUntil([&] { return !w.Runtime()->Port().IsOpen(); }, 30000)) << "no hang-up seen";
    const auto boxes = w.findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0]->text().startsWith("Keine Verbindung zum Gerät: ")) << boxes[0]->text().toStdString();
    EXPECT_EQ(boxes[0]->icon(), QMessageBox::Warning);
    ASSERT_TRUE(RunUntil([&] { return w.Runtime()->Port().IsOpen(); }, 15000)) << "port not reopened";
    EXPECT_TRUE(boxes[0]->isVisible());
    EXPECT_TRUE(boxes[0]->text().startsWith("Das Gerät ist wieder verbunden (" + QString::fromStdString(sim.Link())))
        << boxes[0]->text().toStdString();
    EXPECT_EQ(boxes[0]->icon(), QMessageBox::Information);
    EXPECT_TRUE(w.ApplicationTitle().startsWith("Logging")) << w.ApplicationTitle().toStdString();
    w.close();
    const std::string text = err.Text();
    EXPECT_NE(text.find("MOX_View: Keine Verbindung zum Gerät"), std::string::npos) << text;
    EXPECT_NE(text.find("MOX_View: Das Gerät ist wieder verbunden"), std::string::npos) << text;
}
